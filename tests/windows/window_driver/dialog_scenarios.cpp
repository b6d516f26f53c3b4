// Scenarios on the modal dialogs: the About box and the configuration dialog. Commands that
// open a modal dialog are posted, as a sent message would return only when the dialog closes.
#include <windows.h>

#include <string>

#include "driver_failure.h"
#include "scenario.h"
#include "window_access.h"
#include "window_ids.h"

namespace vindle {
namespace {

constexpr DWORD kDialogWaitMs = 5000;

std::string Quote(const std::wstring& text) {
    return "\"" + ToBytes(text) + "\"";
}

std::wstring Dotted(const std::array<int, 4>& fields) {
    return std::to_wstring(fields[0]) + L"." + std::to_wstring(fields[1]) + L"." +
           std::to_wstring(fields[2]) + L"." + std::to_wstring(fields[3]);
}

HWND OpenByCommand(Session& session, int command, const wchar_t* caption) {
    Expect(PostMessageW(session.main, WM_COMMAND, MAKEWPARAM(command, 0), 0) != 0,
           "PostMessage WM_COMMAND failed");
    HWND dialog = session.app.WaitForTopWindow(caption, kDialogWaitMs, ids::kDialogClass);
    Expect(!IsWindowEnabled(session.main), Quote(caption) + " is open, but not modal");
    return dialog;
}

void ExpectClosed(Session& session, HWND dialog, const std::string& what) {
    HWND box = nullptr;
    const bool closed = WaitUntil(kDialogWaitMs, [&] {
        box = FindMessageBox(session.app.Id(), dialog);
        return !IsWindow(dialog) || box != nullptr;
    });
    Expect(box == nullptr, what + " showed a message: " + Quote(MessageBoxText(box)));
    Expect(closed, what + " did not close the dialog");
    Expect(WaitUntil(1000, [&] { return IsWindowEnabled(session.main) != FALSE; }),
           "the main window stays disabled after " + what);
}

// Clicks Add and waits until the list has `rows` rows; a message box is a failure.
void AddPair(Session& session, HWND dialog, const AddressPair& pair, int rows) {
    HWND address = Child(dialog, ids::kAddress);
    SetIpAddress(address, pair.address);
    SetIpAddress(Child(dialog, ids::kMask), pair.mask);
    Expect(IpAddress(session.app.Handle(), address) == pair.address,
           "the address control does not give back " + ToBytes(Dotted(pair.address)));
    PostClick(Child(dialog, ids::kAdd));
    HWND list = Child(dialog, ids::kAddressList);
    HWND box = nullptr;
    WaitUntil(kDialogWaitMs, [&] {
        box = FindMessageBox(session.app.Id(), dialog);
        return box != nullptr || ItemCount(list) == rows;
    });
    Expect(box == nullptr,
           "Add of " + ToBytes(Dotted(pair.address)) + " showed " + Quote(MessageBoxText(box)));
    Expect(ItemCount(list) == rows, "Add did not make " + std::to_string(rows) + " rows");
}

// An address Add must refuse: the message box, its caption and text, then OK.
void RefuseAddress(Session& session, HWND dialog) {
    SetIpAddress(Child(dialog, ids::kAddress), {127, 0, 0, 1});
    SetIpAddress(Child(dialog, ids::kMask), {255, 255, 255, 0});
    PostClick(Child(dialog, ids::kAdd));
    HWND box = nullptr;
    Expect(WaitUntil(kDialogWaitMs,
                     [&] { return (box = FindMessageBox(session.app.Id(), dialog)) != nullptr; }),
           "Add of 127.0.0.1 showed no message");
    wchar_t caption[64] = {};
    GetWindowTextW(box, caption, 64);
    const std::wstring text = MessageBoxText(box);
    Expect(std::wstring(caption) == ids::kMainCaption,
           "the message box's caption is " + Quote(caption));
    Expect(text == L"Illegal IP Address", "Add of 127.0.0.1 says " + Quote(text));
    Expect(!IsWindowEnabled(dialog), "the message box is not modal over the dialog");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    Expect(WaitUntil(kDialogWaitMs, [&] { return !IsWindow(box); }), "the message box stays");
    Expect(ItemCount(Child(dialog, ids::kAddressList)) == 0, "a refused Add added a row");
}

}  // namespace

std::string AboutBox(Session& session) {
    HWND about = OpenByCommand(session, ids::kAboutCommand, ids::kAboutCaption);
    std::wstring texts;
    for (HWND child = GetWindow(about, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) == L"Static") {
            texts += Text(child) + L"|";
        }
    }
    for (const wchar_t* line : {L"Qarv Vindle LAN Setup Utility|", L"Version 1.1|"}) {
        Expect(texts.find(line) != std::wstring::npos,
               "the About box's texts " + Quote(texts) + " lack " + Quote(line));
    }
    PostClick(Child(about, IDOK));
    ExpectClosed(session, about, "OK in the About box");
    return "opened by command 32773 as a modal box, texts present, closed by OK";
}

std::string ConfigurationRoundTrip(Session& session) {
    HWND dialog = OpenByCommand(session, ids::kConfigurationCommand, ids::kConfigurationCaption);
    HWND check = Child(dialog, ids::kSearchSpecified);
    HWND add = Child(dialog, ids::kAdd);
    HWND list = Child(dialog, ids::kAddressList);
    Expect(Send(check, BM_GETCHECK) == BST_UNCHECKED,
           "the box is checked for a broadcast settings file");
    Expect(!IsWindowEnabled(add) && !IsWindowEnabled(Child(dialog, ids::kAddress)),
           "Add or the address control is enabled with the box cleared");
    const wchar_t* titles[] = {L"IP Address", L"Subnet Mask"};
    for (int column = 0; column < 2; ++column) {
        const std::wstring heading = ColumnTitle(session.app.Handle(), list, column);
        Expect(heading == titles[column],
               "address list column " + std::to_string(column) + " is " + Quote(heading));
    }

    Click(check);
    Expect(Send(check, BM_GETCHECK) == BST_CHECKED, "a click does not check the box");
    for (int id : {ids::kAdd, ids::kAddressList, ids::kAddress, ids::kMask}) {
        Expect(IsWindowEnabled(Child(dialog, id)),
               "control " + std::to_string(id) + " stays disabled with the box checked");
    }
    Expect(!IsWindowEnabled(Child(dialog, ids::kDelete)), "Delete is enabled with no selection");

    RefuseAddress(session, dialog);
    int rows = 0;
    for (const AddressPair& pair : session.configPairs) {
        AddPair(session, dialog, pair, ++rows);
    }
    const auto listed = Rows(session.app.Handle(), list, 2);
    for (std::size_t i = 0; i < session.configPairs.size(); ++i) {
        const ListRow expected{Dotted(session.configPairs[i].address),
                               Dotted(session.configPairs[i].mask)};
        Expect(listed[i] == expected, "row " + std::to_string(i) + " reads " + Quote(listed[i][0]) +
                                          " " + Quote(listed[i][1]));
    }

    HWND timeout = Child(dialog, ids::kTimeout);
    SetText(timeout, session.configTimeout);
    Expect(Text(timeout) == session.configTimeout, "the time-out box does not take the text");
    PostClick(Child(dialog, IDOK));
    ExpectClosed(session, dialog, "OK in the configuration dialog");
    return "box checked, 127.0.0.1 refused, " + std::to_string(rows) + " pairs added, time-out " +
           ToBytes(session.configTimeout) + ", saved by OK";
}

std::string ThoroughSearchRoundTrip(Session& session) {
    // Opens the dialog, checks the box's state, clicks it and saves with OK; returns the value
    // the file then holds.
    auto toggleAndSave = [&](LRESULT before) {
        HWND dialog =
            OpenByCommand(session, ids::kConfigurationCommand, ids::kConfigurationCaption);
        HWND box = Child(dialog, ids::kThoroughSearch);
        Expect(GetNextDlgTabItem(dialog, Child(dialog, IDCANCEL), FALSE) == box,
               "Tab from Cancel does not reach the thorough search's box");
        Expect(Send(box, BM_GETCHECK) == before,
               "the thorough search's box opens " + std::string(before ? "cleared" : "checked"));
        Click(box);
        PostClick(Child(dialog, IDOK));
        ExpectClosed(session, dialog, "OK in the configuration dialog");
        wchar_t value[16] = {};
        GetPrivateProfileStringW(L"Search", L"Thorough", L"", value, 16, L".\\QarvVindle.ini");
        return std::wstring(value);
    };
    std::wstring saved = toggleAndSave(BST_UNCHECKED);
    Expect(saved == L"Enabled", "a tick and OK saved Thorough=" + ToBytes(saved));
    saved = toggleAndSave(BST_CHECKED);
    Expect(saved == L"Disabled", "an untick and OK saved Thorough=" + ToBytes(saved));
    return "ticked and saved Enabled, reopened ticked, unticked and saved Disabled";
}

}  // namespace vindle
