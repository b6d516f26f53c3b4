#include "app/qt/about_dlg.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include "gui_test_support.h"

namespace {

TEST(AboutDlgTest, ShowsIconNameVersionNoticeAndOk) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), "About Qarv Vindle");
    EXPECT_EQ(about.findChild<QLabel*>("aboutProduct")->text(), "Qarv Vindle LAN Setup Utility");
    EXPECT_EQ(about.findChild<QLabel*>("aboutVersion")->text(), "Version 1.1");
    EXPECT_FALSE(about.findChild<QLabel*>("aboutNotice")->text().isEmpty());
    EXPECT_FALSE(about.findChild<QLabel*>("aboutIcon")->pixmap().isNull());
    auto* ok = about.findChild<QPushButton*>("aboutOk");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
}

TEST(AboutDlgTest, EveryTextFitsItsControl) {
    CAboutDlg about;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (label->text().isEmpty()) {
            continue;
        }
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width())
            << label->text().toStdString();
        EXPECT_LE(metrics.height(), label->height()) << label->text().toStdString();
        EXPECT_TRUE(about.rect().contains(label->geometry())) << label->text().toStdString();
    }
    auto* ok = about.findChild<QPushButton*>("aboutOk");
    EXPECT_LE(QFontMetrics(ok->font()).horizontalAdvance(ok->text()) +
                  2 * ok->style()->pixelMetric(QStyle::PM_ButtonMargin),
              ok->width());
    EXPECT_TRUE(about.rect().contains(ok->geometry()));
}

TEST(AboutDlgTest, OkEnterAndEscapeEachCloseIt) {
    const struct {
        const char* name;
        std::function<void(CAboutDlg&)> press;
        QDialog::DialogCode result;
    } ways[] = {
        {"OK clicked",
         [](CAboutDlg& dlg) {
             QTest::mouseClick(dlg.findChild<QPushButton*>("aboutOk"), Qt::LeftButton);
         },
         QDialog::Accepted},
        {"Enter", [](CAboutDlg& dlg) { QTest::keyClick(&dlg, Qt::Key_Return); }, QDialog::Accepted},
        {"Escape", [](CAboutDlg& dlg) { QTest::keyClick(&dlg, Qt::Key_Escape); },
         QDialog::Rejected},
    };
    for (const auto& way : ways) {
        CAboutDlg about;
        ASSERT_TRUE(vindle::test::ShowAndActivate(about)) << way.name;
        way.press(about);
        EXPECT_FALSE(about.isVisible()) << way.name;
        EXPECT_EQ(about.result(), way.result) << way.name;
    }
}

}  // namespace
