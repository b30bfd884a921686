// The link label on the offscreen platform: colours, the click, the failure message, the
// keyboard, what screen readers see.
#include "gui/widgets/link_label.h"

#include "ui/color_contrast.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
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

TEST_F(LinkLabelTest, TakesTheFocusAndShowsIt) {
    EXPECT_EQ(m_label.focusPolicy(), Qt::StrongFocus) << "in the tab chain";
    QApplication::setActiveWindow(&m_parent);
    m_label.clearFocus(); // the window gave it the focus on activation
    const QImage unfocused = m_label.grab().toImage();
    QTest::keyClick(&m_parent, Qt::Key_Tab);
    ASSERT_TRUE(m_label.hasFocus()) << "in the tab chain";
    EXPECT_NE(m_label.grab().toImage(), unfocused) << "a focus rectangle";
    m_label.clearFocus();
    EXPECT_EQ(m_label.grab().toImage(), unfocused);
}

TEST_F(LinkLabelTest, EnterReturnAndSpaceOpenTheLink) {
    QTest::keyClick(&m_label, Qt::Key_Return);
    QTest::keyClick(&m_label, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(&m_label, Qt::Key_Space);
    EXPECT_EQ(m_opener.opened.size(), 3U);
    QTest::keyClick(&m_label, Qt::Key_A);
    QTest::keyClick(&m_label, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(m_opener.opened.size(), 3U) << "other keys open nothing";
}

TEST_F(LinkLabelTest, ScreenReadersSeeALinkTheyCanPress) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&m_label);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Link);
    EXPECT_EQ(accessible->text(QAccessible::Name), "[a link]");
    EXPECT_EQ(accessible->text(QAccessible::Description), "http://127.0.0.1:1/apis");
    EXPECT_TRUE(accessible->state().focusable);
    QAccessibleActionInterface* actions = accessible->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(m_opener.opened.size(), 1U);
    EXPECT_TRUE(accessible->state().traversed);
}

Rgb rgbOf(const QColor& colour) {
    // QColor's 8-bit channels are 0..255.
    return Rgb{static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
               static_cast<std::uint8_t>(colour.blue())};
}

TEST_F(LinkLabelTest, LinkColoursStayReadableOnADarkWindow) {
    const QPalette light = m_parent.palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    m_parent.setPalette(dark);
    const Rgb background{30, 30, 30};
    const QColor link = m_label.palette().color(QPalette::WindowText);
    EXPECT_GE(contrastRatio(rgbOf(link), background), kReadableContrast);
    EXPECT_GT(link.blue(), link.red());
    m_label.OpenLink();
    const QColor visited = m_label.palette().color(QPalette::WindowText);
    EXPECT_GE(contrastRatio(rgbOf(visited), background), kReadableContrast);
    EXPECT_NE(visited, link);
    m_parent.setPalette(light);
    EXPECT_EQ(m_label.palette().color(QPalette::WindowText), QColor(85, 26, 139));
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

TEST(LinkLabelSetUp, ADarkWindowAtSetUpGetsReadableColours) {
    QWidget parent;
    QPalette dark = parent.palette();
    dark.setColor(QPalette::Window, QColor(0, 0, 0));
    parent.setPalette(dark);
    test::RecordingOpener opener;
    test::RecordingMessages messages;
    CLinkLabel label{opener, messages, &parent};
    label.attach();
    EXPECT_GE(contrastRatio(rgbOf(label.currentColor()), Rgb{0, 0, 0}), kReadableContrast);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), label.currentColor());
}

} // namespace
} // namespace tarvex::ui
