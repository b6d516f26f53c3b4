#pragma once

#include <array>
#include <string>
#include <vector>

#include "discovery/device_row_format.h"
#include "platform/list_view.h"

namespace vindle {

// The device list's columns, in order, and their headings.
enum DeviceListColumn : int {
    kIpAddressColumn = 0,
    kMacAddressColumn = 1,
    kModelNumberColumn = 2,
    kSerialNumberColumn = 3,
};
constexpr int kDeviceListColumnCount = 4;
constexpr std::array<const char*, kDeviceListColumnCount> kDeviceListHeadings = {
    "IP Address", "MAC Address", "Model number", "Serial number"};
// Width of each column when the list is made, in pixels.
constexpr int kDeviceListColumnPixels = 115;

// The web page of a row whose address column holds `ipText`: "http://" and the address. Empty
// when the text is not a dotted-decimal IPv4 address (nothing is opened then).
std::string WebPageAddress(const std::string& ipText);

// "Browse" is enabled by the first selection change that finds a selected row and never
// disabled again.
bool BrowseEnabledAfterSelectionChange(bool browseEnabled, int firstSelectedRow);

// The sort direction after a left click on `clickedColumn` when `previousColumn` was clicked
// last (-1 for none): ascending for a new column, descending for the same one again.
bool SortAscendingAfterClick(int previousColumn, int clickedColumn);

// The rows of a device list, top to bottom; only the selected ones when `selectedOnly`.
std::vector<DeviceRow> ReadDeviceRows(ListView& list, bool selectedOnly);
// One column of the selected rows, one line each, joined by LF.
std::string SelectedColumnText(ListView& list, int column);

// "Save List As": the file's own type (.csv or .json, in any case) decides the format; a name
// of another type is written in the chosen filter's format, and a name without a type gets the
// filter's type appended.
struct ExportTarget {
    std::string path;
    OutputFormat format = OutputFormat::Csv;
};
ExportTarget ChooseExportTarget(const std::string& chosenPath, OutputFormat filterFormat);

// The text of the message shown when no browser could be started for `address`.
std::string NoBrowserMessage(const std::string& address);
// The text of the message shown when the list could not be saved to `path`.
std::string ListSaveFailedMessage(const std::string& path, const std::string& reason);

}  // namespace vindle
