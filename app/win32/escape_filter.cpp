#include "app/win32/escape_filter.h"

namespace vindle {
namespace {

HHOOK g_escapeHook = nullptr;
HWND g_guardedDialog = nullptr;

// A dialog's modal loop hands every message to the message-filter hooks (MSGF_DIALOGBOX) before
// IsDialogMessage, which would turn Escape into IDCANCEL.
LRESULT CALLBACK FilterMessage(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && g_guardedDialog != nullptr) {
        const MSG* message = reinterpret_cast<const MSG*>(lParam);
        if (message->message == WM_KEYDOWN && message->wParam == VK_ESCAPE &&
            (message->hwnd == g_guardedDialog || IsChild(g_guardedDialog, message->hwnd))) {
            return TRUE;
        }
    }
    return CallNextHookEx(g_escapeHook, code, wParam, lParam);
}

}  // namespace

EscapeFilter::EscapeFilter() {
    g_escapeHook = SetWindowsHookExW(WH_MSGFILTER, &FilterMessage, nullptr, GetCurrentThreadId());
}

EscapeFilter::~EscapeFilter() {
    if (g_escapeHook != nullptr) {
        UnhookWindowsHookEx(g_escapeHook);
    }
    g_escapeHook = nullptr;
    g_guardedDialog = nullptr;
}

void EscapeFilter::Guard(HWND dialog) {
    g_guardedDialog = dialog;
}

}  // namespace vindle
