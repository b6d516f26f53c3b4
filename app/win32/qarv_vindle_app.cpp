#include "app/win32/qarv_vindle_app.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/win32/qarv_vindle_dlg.h"
#include "app/win32/win32_text.h"
#include "platform/system_network.h"
#include "settings/settings.h"
#include "settings/user_settings_folder.h"
#include "vindle_version.h"

namespace {

constexpr wchar_t kCaption[] = L"Qarv Vindle";

std::vector<std::wstring> CommandLineArguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> result;
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        result.emplace_back(arguments[i]);
    }
    LocalFree(arguments);
    return result;
}

bool HasArgument(const std::vector<std::wstring>& arguments, const wchar_t* option) {
    for (const std::wstring& argument : arguments) {
        if (argument == option) {
            return true;
        }
    }
    return false;
}

// COM for the shell's browser launch, the file dialog and the accessibility annotations.
class ComApartment {
  public:
    ComApartment()
        : m_started(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (m_started) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool m_started;
};

}  // namespace

int CQarvVindleApp::InitInstance() {
    const std::vector<std::wstring> arguments = CommandLineArguments();
    if (HasArgument(arguments, L"--version")) {
        const std::wstring text =
            L"Qarv Vindle LAN Setup Utility " + vindle::Utf8ToWide(vindle::kVersionText);
        MessageBoxW(nullptr, text.c_str(), kCaption, MB_ICONINFORMATION | MB_OK);
        return 0;
    }
    if (HasArgument(arguments, L"--help")) {
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
    const bool userSettings = HasArgument(arguments, L"--user-settings");
    const vindle::UserSettingsFolderResult userFolder =
        vindle::FindUserSettingsFolder(userSettings);
    if (userSettings && !userFolder.Ok()) {
        MessageBoxW(nullptr, vindle::Utf8ToWide(userFolder.errorText).c_str(), kCaption,
                    MB_ICONEXCLAMATION | MB_OK);
        return 1;
    }
    vindle::Settings settings = userSettings
                                    ? vindle::Settings::InFolder(userFolder.folder)
                                    : vindle::Settings::InWorkingDirectory(userFolder.folder);

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&controls);
    const ComApartment com;

    const std::unique_ptr<vindle::Network> network = vindle::MakeSystemNetwork();
    CQarvVindleDlg dialog(*network, settings);
    const INT_PTR result = dialog.DoModal();
    // A search still running ends at once (its network is shut down); wait for its thread.
    dialog.FinishSearch();
    return result == -1 ? 1 : 0;
}
