#include "settings/conset_logic.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>
#include <vector>

#include "settings/settings_file.h"

namespace vindle {
namespace {

constexpr int kMaxRows = kMaxAddressEntries;
constexpr char kTableEnd[] = "\n";

void CopyBounded(char (&field)[16], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

}  // namespace

std::string SaveFailedMessage(const std::string& path, const std::string& reason) {
    return "The settings could not be saved to " + path + ":\n" + reason;
}

bool IsLegalAddress(const std::array<int, 4>& fields) {
    const int first = fields[0];
    return first != 0 && first != 127 && first < 224;
}

bool IsInMaskTable(std::string_view mask) {
    const std::string_view table(kMaskTable);
    std::size_t position = 0;
    while (position < table.size()) {
        const std::size_t comma = std::min(table.find(',', position), table.size());
        const std::string_view entry = table.substr(position, comma - position);
        if (entry == kTableEnd) {
            return false;
        }
        if (entry == mask) {
            return true;
        }
        position = comma + 1;
    }
    return false;
}

int ParseDialogInt(std::string_view text) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    // from_chars takes the minus sign itself but no plus sign and no blanks.
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) {
        return 0;
    }
    return value;
}

ConsetLogic::ConsetLogic(const Settings& settings, const ConsetControls& controls,
                         MessageFunction showMessage)
    : m_settings(settings), m_controls(controls), m_showMessage(std::move(showMessage)) {}

void ConsetLogic::LoadSettings() {
    m_controls.address.SetEnabled(false);
    m_controls.mask.SetEnabled(false);

    char addresses[kMaxRows][16] = {};
    char masks[kMaxRows][16] = {};
    int count = 0;
    switch (ReadSearchMode(m_settings)) {
        case SearchMode::Specified:
            m_unshown = ReadUnshownAddressPairs(m_settings, kMaxRows);
            ReadAddressList(m_settings, count, addresses, masks, kMaxRows);
            m_controls.searchSpecified.SetChecked(true);
            ApplyCheckBoxRule();
            FillList(addresses, masks, count);
            break;
        case SearchMode::Broadcast:
            m_unshown = ReadUnshownAddressPairs(m_settings, kMaxRows);
            if (ReadAddressList(m_settings, count, addresses, masks, kMaxRows) == 1) {
                FillList(addresses, masks, count);
            }
            break;
        case SearchMode::Undefined:
            break;
    }
    m_controls.timeout.SetText(ReadTimeoutText(m_settings));

    if (m_controls.addressList.ItemCount() >= kMaxRows) {
        m_controls.addButton.SetEnabled(false);
    }
}

void ConsetLogic::FillList(const char (*addresses)[16], const char (*masks)[16], int count) {
    for (int i = 0; i < std::min(count, kMaxRows); ++i) {
        InsertRow(i, std::string(addresses[i], strnlen(addresses[i], 16)),
                  std::string(masks[i], strnlen(masks[i], 16)));
    }
}

void ConsetLogic::InsertRow(int position, const std::string& address, const std::string& mask) {
    const int row = m_controls.addressList.InsertItem(position, address);
    if (row >= 0) {
        m_controls.addressList.SetItemText(row, 1, mask);
    }
}

void ConsetLogic::UpdateAddButton() {
    m_controls.addButton.SetEnabled(m_controls.searchSpecified.IsChecked() &&
                                    m_controls.addressList.ItemCount() < kMaxRows);
}

void ConsetLogic::ApplyCheckBoxRule() {
    const bool checked = m_controls.searchSpecified.IsChecked();
    UpdateAddButton();
    if (!checked) {
        m_controls.deleteButton.SetEnabled(false);
    }
    m_controls.addressListWindow.SetEnabled(checked);
    m_controls.address.SetEnabled(checked);
    m_controls.mask.SetEnabled(checked);
}

void ConsetLogic::OnSelectionChanged() {
    // Only ever enables: the rows can be selected only while the box is checked, and a row
    // selected in code while it is cleared must not make "Delete" usable.
    if (m_controls.searchSpecified.IsChecked() && m_controls.addressList.NextSelected(-1) != -1) {
        m_controls.deleteButton.SetEnabled(true);
    }
}

void ConsetLogic::OnAdd() {
    m_controls.deleteButton.SetEnabled(false);
    if (!IsLegalAddress(m_controls.address.FieldValues())) {
        m_showMessage(kIllegalAddressMessage);
        return;
    }
    ListView& list = m_controls.addressList;
    if (list.ItemCount() >= kMaxRows) {
        m_controls.addButton.SetEnabled(false);
        return;
    }
    const std::string address = m_controls.address.Text();
    const std::string mask = m_controls.mask.Text();
    if (!IsInMaskTable(mask)) {
        m_showMessage(kIllegalMaskMessage);
        return;
    }
    if (list.ItemCount() == 0) {
        InsertRow(0, address, mask);
        return;
    }
    // An equal pair moves to the end: remove it wherever it is, then append.
    for (int row = list.ItemCount() - 1; row >= 0; --row) {
        if (list.ItemText(row, 0) == address && list.ItemText(row, 1) == mask) {
            list.DeleteItem(row);
        }
    }
    InsertRow(list.ItemCount(), address, mask);
    if (list.ItemCount() >= kMaxRows) {
        m_controls.addButton.SetEnabled(false);
    }
}

void ConsetLogic::OnDelete() {
    ListView& list = m_controls.addressList;
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(std::max(list.SelectedCount(), 0)));
    for (int row = list.NextSelected(-1); row != -1; row = list.NextSelected(row)) {
        rows.push_back(row);
    }
    // Highest first, so no deletion shifts a row still to be deleted.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        list.DeleteItem(*it);
    }
    m_controls.deleteButton.SetEnabled(false);
    UpdateAddButton();
}

bool ConsetLogic::OnOk() {
    const int seconds = ParseDialogInt(m_controls.timeout.Text());
    if (seconds < kMinTimeoutSeconds || seconds > kMaxTimeoutSeconds) {
        m_showMessage(kTimeoutRangeMessage);
        return false;
    }
    const char* status = m_controls.searchSpecified.IsChecked() ? "Enabled" : "Disabled";

    AddressEntry entries[kMaxRows] = {};
    const int count = std::min(m_controls.addressList.ItemCount(), kMaxRows);
    for (int row = 0; row < count; ++row) {
        CopyBounded(entries[row].address, m_controls.addressList.ItemText(row, 0));
        CopyBounded(entries[row].mask, m_controls.addressList.ItemText(row, 1));
    }
    const SettingsStatus saved =
        WriteSettings(m_settings, entries, count, seconds, status, m_unshown);
    if (!saved.Ok()) {
        m_showMessage(SaveFailedMessage(saved.file, saved.Reason()));
        return false;
    }
    return true;
}

}  // namespace vindle
