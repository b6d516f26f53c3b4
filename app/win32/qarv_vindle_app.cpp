#include "app/win32/qarv_vindle_app.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "app/win32/qarv_vindle_dlg.h"
#include "platform/system_network.h"
#include "platform/win32/win32_text.h"
#include "settings/settings.h"
#include "settings/user_settings_folder.h"
#include "vindle_version.h"

namespace {

constexpr wchar_t kCaption[] = L"Qarv Vindle";

// Whether the command line holds `option`.
bool HasArgument(const wchar_t* option) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    bool found = false;
    for (int i = 1; arguments != nullptr && i < count && !found; ++i) {
        found = lstrcmpW(arguments[i], option) == 0;
    }
    LocalFree(arguments);
    return found;
}

}  // namespace

int CQarvVindleApp::InitInstance() {
    if (HasArgument(L"--version")) {
        const std::wstring text =
            L"Qarv Vindle LAN Setup Utility " + vindle::Utf8ToWide(vindle::kVersionText);
        MessageBoxW(nullptr, text.c_str(), kCaption, MB_ICONINFORMATION | MB_OK);
        return 0;
    }
    if (HasArgument(L"--help")) {
        MessageBoxW(nullptr,
                    L"Usage: qarv-vindle [--user-settings]\r\n\r\n"
                    L"Finds the printers on the local network.\r\n\r\n"
                    L"--user-settings\tkeep QarvVindle.ini in %APPDATA%\\Qarv Vindle instead of "
                    L"the working directory",
                    kCaption, MB_ICONINFORMATION | MB_OK);
        return 0;
    }
    // The Start menu's shortcut passes this option, so that a launch from there keeps its
    // settings in a folder of its own rather than in whatever folder it starts in. Otherwise the
    // working directory's file comes first, and that folder is where the settings go when the
    // file there can be neither opened nor created (a program folder the user cannot write).
    vindle::SettingsChoice choice = vindle::ChooseSettings(HasArgument(L"--user-settings"));
    if (!choice.Ok()) {
        vindle::MessageBoxUtf8(nullptr, choice.errorText, kCaption, MB_ICONEXCLAMATION | MB_OK);
        return 1;
    }

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&controls);
    // COM for the shell's browser launch, the file dialog and the accessibility annotations.
    const bool com =
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));

    const std::unique_ptr<vindle::Network> network = vindle::MakeSystemNetwork();
    CQarvVindleDlg dialog(*network, choice.settings);
    // A search still running when the window closes ends at once (its network is shut down);
    // the window waits for its thread when it goes.
    const INT_PTR result = dialog.DoModal();
    if (com) {
        CoUninitialize();
    }
    return result == -1 ? 1 : 0;
}
