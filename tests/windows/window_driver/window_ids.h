#pragma once

// Captions, control ids and command ids of the window program's templates and menu.
namespace vindle::ids {

constexpr wchar_t kMainCaption[] = L"Qarv Vindle";
constexpr wchar_t kAboutCaption[] = L"About Qarv Vindle";
constexpr wchar_t kConfigurationCaption[] = L"Configuration Settings";
constexpr wchar_t kDialogClass[] = L"#32770";

// Main window (template 102) and the controls added to it.
constexpr int kBrowse = 1000;
constexpr int kDeviceList = 1002;
constexpr int kTitle = 1017;
constexpr int kRetrieve = 1018;
constexpr int kStatusLine = 1100;
constexpr int kStop = 1101;

// Menu 130 and the added item.
constexpr int kConfigurationCommand = 32772;
constexpr int kAboutCommand = 32773;
constexpr int kSaveListAsCommand = 32774;
// The device list's context menu.
constexpr int kCopyRowsCommand = 32781;

// Configuration dialog (template 132).
constexpr int kSearchSpecified = 1007;
constexpr int kAdd = 1008;
constexpr int kDelete = 1009;
constexpr int kTimeout = 1010;
constexpr int kAddressList = 1011;
constexpr int kAddress = 1014;
constexpr int kMask = 1015;
// Added below the template's controls.
constexpr int kThoroughSearch = 1120;

}  // namespace vindle::ids
