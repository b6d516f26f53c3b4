#include "platform/win32/owned_windows.h"

#include <vector>

namespace vindle {
namespace {

// Dialogs, message boxes and the file dialog alike.
constexpr wchar_t kDialogClass[] = L"#32770";

std::vector<HWND> OwnedWindows(HWND owner) {
    struct Search {
        HWND owner;
        std::vector<HWND> found;
    } search{owner, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(parameter);
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (GetWindow(window, GW_OWNER) == search.owner && lstrcmpW(name, kDialogClass) == 0) {
                search.found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void CancelOwnedBy(HWND owner, bool& found) {
    for (HWND window : OwnedWindows(owner)) {
        found = true;
        CancelOwnedBy(window, found);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}

}  // namespace

bool CancelOwnedWindows(HWND owner) {
    EndMenu();
    bool found = false;
    CancelOwnedBy(owner, found);
    return found;
}

}  // namespace vindle
