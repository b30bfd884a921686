// The About box: its placeholders become the brand texts.
#include "gui/dialogs/about_dlg.h"

#include "shell/brand_texts.h"

#include <gtest/gtest.h>

#include <QLabel>

namespace tarvex::shell {
namespace {

QStringList texts(QWidget& dialog) {
    QStringList all;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        all << label->text();
    }
    return all;
}

TEST(AboutDlgTest, PlaceholdersBecomeTheBrandTexts) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), "About");
    const QStringList shown = texts(about);
    EXPECT_TRUE(shown.contains(QString::fromStdString(ProductName())));
    EXPECT_TRUE(shown.contains(QString::fromStdString(aboutText())));
    EXPECT_TRUE(shown.contains(QString::fromStdString(CoBrandName())));
    EXPECT_TRUE(shown.contains("Build Date: 10.06.02"));
    EXPECT_TRUE(shown.contains("Brought to you by")) << "never changed";
    for (const QString& text : shown) {
        EXPECT_FALSE(text.startsWith('<')) << text.toStdString();
    }
    // The product name, and only it, in the bold 20-pixel font (the co-brand name may read the
    // same).
    int bold = 0;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (label->font().bold() && label->font().pixelSize() == 20) {
            ++bold;
            EXPECT_EQ(label->text(), QString::fromStdString(ProductName()));
        }
    }
    EXPECT_EQ(bold, 1);
}

TEST(AboutDlgTest, TwoOpeningsShowTheSameTexts) {
    QStringList first;
    {
        CAboutDlg about;
        first = texts(about);
    }
    CAboutDlg again;
    EXPECT_EQ(texts(again), first);
}

} // namespace
} // namespace tarvex::shell
