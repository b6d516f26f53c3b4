#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "app_process.h"

namespace vindle {

// One address/mask pair for the configuration dialog.
struct AddressPair {
    std::array<int, 4> address;
    std::array<int, 4> mask;
};

// What the scenarios work on: the program, its main window and the command line's values.
struct Session {
    explicit Session(AppProcess& process) : app(process) {}

    AppProcess& app;
    HWND main = nullptr;
    std::wstring browseAddress = L"198.51.100.10";
    std::wstring browserRecord;
    std::wstring screenshot;
    std::vector<AddressPair> configPairs;
    std::wstring configTimeout = L"45";
    // Where the window should keep its settings, when it cannot in its working folder.
    std::wstring settingsFile;
    // Set by a scenario that ended the program.
    bool closed = false;
};

// A scenario checks one group of behaviour and returns a one-line summary; a check that does
// not hold throws DriverFailure.
using Scenario = std::string (*)(Session&);

std::string ControlsAtStart(Session& session);
std::string BroadcastSearch(Session& session);
std::string BrowseSelected(Session& session);
std::string SortByHeader(Session& session);
std::string StopSearch(Session& session);
std::string CloseWhileSearching(Session& session);
std::string Screenshot(Session& session);
std::string AboutBox(Session& session);
std::string ConfigurationRoundTrip(Session& session);
std::string ThoroughSearchRoundTrip(Session& session);
std::string RowMenu(Session& session);
std::string DpiChange(Session& session);
std::string EscapeKeepsWindow(Session& session);
std::string CloseWithDialogs(Session& session);
std::string SettingsInUserFolder(Session& session);

// Points the user's roaming application data folder (the shell's, in the registry) at `folder`
// while it exists; nothing for an empty folder.
class AppDataRedirect {
  public:
    explicit AppDataRedirect(const std::wstring& folder);
    ~AppDataRedirect();
    AppDataRedirect(const AppDataRedirect&) = delete;
    AppDataRedirect& operator=(const AppDataRedirect&) = delete;

  private:
    void SetValue(DWORD type, const std::wstring& folder);

    HKEY m_key = nullptr;
    bool m_hadValue = false;
    DWORD m_type = REG_SZ;
    std::wstring m_previous;
};

// Writes the window's pixels as seen on the screen to a 24-bit BMP file.
void CaptureWindow(HWND window, const std::wstring& path);
// The height in pixels of the dark text a control shows on the screen, 0 for none.
int InkHeight(HWND window);

}  // namespace vindle
