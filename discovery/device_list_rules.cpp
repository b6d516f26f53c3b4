#include "discovery/device_list_rules.h"

#include <algorithm>
#include <cctype>

#include "platform/ipv4_text.h"

namespace vindle {

namespace {

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The file name's type after its last dot, lower case; "" when the name has none.
std::string FileType(const std::string& path) {
    const std::size_t nameStart = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart) ||
        dot + 1 == path.size()) {
        return "";
    }
    return LowerCase(path.substr(dot + 1));
}

}  // namespace

std::string WebPageAddress(const std::string& ipText) {
    // Only an address becomes part of the URL: a row's text never reaches the browser otherwise.
    if (!ParseIpv4(ipText)) {
        return "";
    }
    return "http://" + ipText;
}

bool BrowseEnabledAfterSelectionChange(bool browseEnabled, int firstSelectedRow) {
    return browseEnabled || firstSelectedRow >= 0;
}

bool SortAscendingAfterClick(int previousColumn, int clickedColumn) {
    return clickedColumn != previousColumn;
}

std::vector<DeviceRow> ReadDeviceRows(ListView& list, bool selectedOnly) {
    ListUpdateScope update(list);
    std::vector<DeviceRow> rows;
    const int count = list.ItemCount();
    for (int row = 0; row < count; ++row) {
        if (!selectedOnly || list.RowState(row).selected) {
            rows.push_back(
                {list.ItemText(row, kIpAddressColumn), list.ItemText(row, kMacAddressColumn),
                 list.ItemText(row, kModelNumberColumn), list.ItemText(row, kSerialNumberColumn)});
        }
    }
    return rows;
}

std::string SelectedColumnText(ListView& list, int column) {
    ListUpdateScope update(list);
    std::string text;
    for (int row = list.NextSelected(-1); row >= 0; row = list.NextSelected(row)) {
        if (!text.empty()) {
            text += '\n';
        }
        text += list.ItemText(row, column);
    }
    return text;
}

ExportTarget ChooseExportTarget(const std::string& chosenPath, OutputFormat filterFormat) {
    const std::string type = FileType(chosenPath);
    ExportTarget target{
        chosenPath, filterFormat == OutputFormat::Json ? OutputFormat::Json : OutputFormat::Csv};
    if (type == "json") {
        target.format = OutputFormat::Json;
    } else if (type == "csv") {
        target.format = OutputFormat::Csv;
    } else if (type.empty()) {
        target.path += target.format == OutputFormat::Json ? ".json" : ".csv";
    }
    return target;
}

std::string NoBrowserMessage(const std::string& address) {
    return "No web browser could be started.\nOpen this address in a browser by hand:\n\n" +
           address;
}

std::string ListSaveFailedMessage(const std::string& path, const std::string& reason) {
    return "The list could not be saved to " + path + ":\n" + reason;
}

}  // namespace vindle
