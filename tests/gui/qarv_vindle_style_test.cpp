#include "app/qt/qarv_vindle_style.h"

#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QStyle>

#include <gtest/gtest.h>

namespace {

// The overflow chevron is drawn and points the way the menu bar reads; other icons still come
// from the desktop's style.
TEST(QarvVindleStyleTest, DrawsTheMenuBarOverflowChevron) {
    CQarvVindleStyle style(QApplication::style()->name());
    QMenuBar leftToRight;
    QMenuBar rightToLeft;
    rightToLeft.setLayoutDirection(Qt::RightToLeft);
    const QStyle::StandardPixmap chevron = QStyle::SP_ToolBarHorizontalExtensionButton;
    const QImage ltr = style.standardIcon(chevron, nullptr, &leftToRight).pixmap(16).toImage();
    const QImage rtl = style.standardIcon(chevron, nullptr, &rightToLeft).pixmap(16).toImage();
    ASSERT_FALSE(ltr.isNull());
    int inked = 0;
    for (int y = 0; y < ltr.height(); ++y) {
        for (int x = 0; x < ltr.width(); ++x) {
            inked += qAlpha(ltr.pixel(x, y)) > 0 ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 8);
    EXPECT_NE(ltr, rtl);
    EXPECT_FALSE(style.standardIcon(QStyle::SP_DialogOkButton).isNull());
}

}  // namespace
