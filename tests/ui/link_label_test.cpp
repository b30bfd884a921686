// The link label on the offscreen platform: colours, the click, the failure message.
#include "gui/widgets/link_label.h"

#include "window_test_support.h"

#include <gtest/gtest.h>

#include <QTest>

namespace tarvex::ui {
namespace {

class LinkLabelTest : public testing::Test {
protected:
    void SetUp() override {
        m_parent.resize(400, 100);
        m_label.setGeometry(10, 10, 300, 40);
        m_label.setText("[a link]");
        m_label.SetUrl("http://127.0.0.1:1/apis");
        m_label.attach();
        m_parent.show();
    }

    QWidget m_parent;
    test::RecordingOpener m_opener;
    test::RecordingMessages m_messages;
    CLinkLabel m_label{m_opener, m_messages, &m_parent};
};

TEST_F(LinkLabelTest, SetUpUnderlinesAndFitsTheText) {
    EXPECT_TRUE(m_label.font().underline());
    EXPECT_EQ(m_label.width(), QFontMetrics{m_label.font()}.horizontalAdvance("[a link]"));
    EXPECT_EQ(m_label.height(), QFontMetrics{m_label.font()}.height());
    EXPECT_EQ(m_label.toolTip(), "http://127.0.0.1:1/apis");
    EXPECT_EQ(m_label.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(m_label.currentColor(), QColor(0, 0, 238));
}

TEST_F(LinkLabelTest, AnOpenedLinkTurnsVisited) {
    QTest::mouseClick(&m_label, Qt::LeftButton);
    ASSERT_EQ(m_opener.opened.size(), 1U);
    EXPECT_EQ(m_opener.opened[0], "http://127.0.0.1:1/apis");
    EXPECT_TRUE(m_label.isVisited);
    EXPECT_EQ(m_label.palette().color(QPalette::WindowText), QColor(85, 26, 139));
    EXPECT_TRUE(m_messages.texts.empty());
}

TEST_F(LinkLabelTest, AFailedOpenBeepsAndSaysWhy) {
    m_opener.result = 31;
    m_label.OpenLink();
    EXPECT_FALSE(m_label.isVisited);
    EXPECT_EQ(m_messages.beeps, 1);
    ASSERT_EQ(m_messages.texts.size(), 1U);
    EXPECT_EQ(m_messages.texts[0], "Unable to open hyperlink:\n\nThere is no application "
                                   "associated\nwith the given filename extension.");
    EXPECT_EQ(m_messages.icons[0], MessageIcon::Exclamation);
    m_opener.result = 4;
    m_label.OpenLink();
    EXPECT_EQ(m_messages.texts[1], "Unable to open hyperlink:\n\nUnknown Error (4) occurred.");
}

TEST_F(LinkLabelTest, TheHoverColourHoldsWhileThePointerIsOver) {
    QEnterEvent enter{QPointF{2, 2}, QPointF{2, 2}, QPointF{2, 2}};
    QCoreApplication::sendEvent(&m_label, &enter);
    EXPECT_EQ(m_label.palette().color(QPalette::WindowText), m_label.hoverColor);
    QEvent leave{QEvent::Leave};
    QCoreApplication::sendEvent(&m_label, &leave);
    EXPECT_EQ(m_label.palette().color(QPalette::WindowText), QColor(0, 0, 238));
}

TEST(LinkLabelSetUp, AnEmptyLabelShowsItsAddress) {
    QWidget parent;
    test::RecordingOpener opener;
    test::RecordingMessages messages;
    CLinkLabel label{opener, messages, &parent};
    label.SetUrl("http://example.org/keys");
    label.attach();
    EXPECT_EQ(label.text(), "http://example.org/keys");
    CLinkLabel fromText{opener, messages, &parent};
    fromText.setText("http://example.org/text");
    fromText.attach();
    EXPECT_EQ(fromText.url(), "http://example.org/text");
}

} // namespace
} // namespace tarvex::ui
