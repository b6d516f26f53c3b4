#include "app/qt/window_icon.h"

#include <QImage>
#include <QPixmap>
#include <QResource>

// The icon resources are compiled into this static library; registering them here makes the
// linker keep them in every program that shows the icon.
static void RegisterIconResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    static_cast<void>(registered);
}

namespace vindle {

QImage WindowIconImage(int size) {
    RegisterIconResources();
    // Raw RGBA pixels rather than PNG: reading an image file makes Qt load every image-format
    // plugin installed to ask whether it knows the file, which costs the start more than the
    // window's icon is worth.
    const QResource resource(QStringLiteral(":/icons/qarv_vindle_%1.rgba").arg(size));
    const QByteArray pixels = resource.uncompressedData();
    if (pixels.size() != qsizetype{size} * size * 4) {
        return {};
    }
    const QImage view(reinterpret_cast<const uchar*>(pixels.constData()), size, size,
                      QImage::Format_RGBA8888);
    return view.copy();
}

QIcon WindowIcon() {
    // Built once and shared. Only the sizes a window's frame and the About box show: every size
    // given here is sent to the X server when the window appears. The larger ones are for the
    // desktop's menus and come from the installed theme icons.
    static const QIcon icon = [] {
        QIcon sizes;
        for (const int size : kWindowIconSizes) {
            sizes.addPixmap(QPixmap::fromImage(WindowIconImage(size)));
        }
        return sizes;
    }();
    return icon;
}

}  // namespace vindle
