#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "platform/control.h"
#include "platform/list_view.h"
#include "settings/conset_controls.h"
#include "settings/settings_file.h"

namespace vindle {

constexpr char kIllegalAddressMessage[] = "Illegal IP Address";
constexpr char kIllegalMaskMessage[] = "Illegal Subnet Mask";
constexpr char kTimeoutRangeMessage[] = "\"Timeout\" should be between 6 and 120";

// The message for a save that failed: the file's path and the system's reason.
std::string SaveFailedMessage(const std::string& path, const std::string& reason);

constexpr int kMinTimeoutSeconds = 6;
constexpr int kMaxTimeoutSeconds = 120;

// The accepted subnet masks (8 to 32 leading one bits), each followed by a comma, then a line
// feed that ends the table.
constexpr char kMaskTable[] =
    "255.0.0.0,255.128.0.0,255.192.0.0,255.224.0.0,255.240.0.0,255.248.0.0,255.252.0.0,"
    "255.254.0.0,255.255.0.0,255.255.128.0,255.255.192.0,255.255.224.0,255.255.240.0,"
    "255.255.248.0,255.255.252.0,255.255.254.0,255.255.255.0,255.255.255.128,255.255.255.192,"
    "255.255.255.224,255.255.255.240,255.255.255.248,255.255.255.252,255.255.255.255,"
    "255.255.255.254,\n";

// False when the first field is 0, 127, or 224 and above; the other fields are not examined.
bool IsLegalAddress(const std::array<int, 4>& fields);

// True when `mask` is one of the mask table's entries, compared byte for byte.
bool IsInMaskTable(std::string_view mask);

// The edit box's text as a signed integer: an optional minus sign and decimal digits and nothing
// else; anything else, and a value that does not fit an int, gives 0.
int ParseDialogInt(std::string_view text);

// The controls of the configuration dialog that its handlers drive.
struct ConsetControls {
    CheckBoxControl& searchSpecified;
    Control& addButton;
    Control& deleteButton;
    ListView& addressList;
    Control& addressListWindow;  // the list's enabled state
    IpAddressControl& address;
    IpAddressControl& mask;
    NumberEditControl& timeout;
};

// The configuration dialog's handlers over its controls. `showMessage` shows an operator error
// ("Illegal IP Address", ...) and returns when it has been answered.
class ConsetLogic {
  public:
    using MessageFunction = std::function<void(const std::string& text)>;

    // `settings` must outlive the logic.
    ConsetLogic(const Settings& settings, const ConsetControls& controls,
                MessageFunction showMessage);

    // The dialog's initialisation after its list columns exist: fills the controls from the
    // settings file.
    void LoadSettings();
    void ApplyCheckBoxRule();
    void OnSelectionChanged();
    void OnAdd();
    void OnDelete();
    // Validates the time-out and saves; true when the dialog may close. A save that fails is
    // reported and keeps the dialog open.
    bool OnOk();

  private:
    void FillList(const char (*addresses)[16], const char (*masks)[16], int count);
    void InsertRow(int position, const std::string& address, const std::string& mask);
    void UpdateAddButton();

    const Settings& m_settings;
    ConsetControls m_controls;
    MessageFunction m_showMessage;
    // The file's list entries the dialog does not show, written back unchanged on a save.
    UnshownPairs m_unshown;
};

}  // namespace vindle
