#include "platform/win32/win32_controls.h"

namespace vindle {

void EnableDialogControl(HWND control, bool enabled) {
    if (!enabled) {
        const HWND focus = GetFocus();
        if (focus != nullptr && (focus == control || IsChild(control, focus))) {
            SendMessageW(GetParent(control), WM_NEXTDLGCTL, 0, FALSE);
        }
    }
    EnableWindow(control, enabled ? TRUE : FALSE);
}

}  // namespace vindle
