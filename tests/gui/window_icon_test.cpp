#include "app/qt/window_icon.h"

#include <QColorSpace>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

namespace {

// The raw pixels the program shows must be the drawn PNGs that the package installs.
TEST(WindowIconTest, RawPixelsMatchTheInstalledPngs) {
    for (const int size : vindle::kWindowIconSizes) {
        const QImage png(
            QStringLiteral(VINDLE_SOURCE_DIR "/resources/icons/qarv_vindle_%1.png").arg(size));
        ASSERT_FALSE(png.isNull()) << size;
        // The same values; only the PNGs name a colour space.
        QImage expected = png.convertToFormat(QImage::Format_RGBA8888);
        expected.setColorSpace(QColorSpace());
        EXPECT_EQ(vindle::WindowIconImage(size), expected) << size;
        EXPECT_TRUE(vindle::WindowIcon().availableSizes().contains(QSize(size, size))) << size;
    }
    EXPECT_TRUE(vindle::WindowIconImage(20).isNull());
}

}  // namespace
