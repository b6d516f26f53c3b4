#include "app/window_icon.h"

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

QIcon WindowIcon() {
    // Built once and shared. Only the sizes a window's frame and the About box show: every size
    // given here is decoded and sent to the X server when the window appears. The larger ones
    // are for the desktop's menus and come from the installed theme icons.
    static const QIcon icon = [] {
        RegisterIconResources();
        QIcon sizes;
        for (const int size : {16, 24, 32, 48}) {
            sizes.addFile(QStringLiteral(":/icons/qarv_vindle_%1.png").arg(size),
                          QSize(size, size));
        }
        return sizes;
    }();
    return icon;
}

}  // namespace vindle
