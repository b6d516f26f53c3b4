#pragma once

#include <string>
#include <vector>

namespace vindle {

// One row of the device list as the list holds it: byte strings, one character per byte.
struct DeviceRow {
    std::string ip;
    std::string mac;
    std::string model;
    std::string serial;
};

enum class OutputFormat { Table, Csv, Json };

// The list's bytes read as Latin-1 and written as UTF-8.
std::string Latin1ToUtf8(const std::string& bytes);

// Aligned columns under the four headings of the device list.
std::string FormatTable(const std::vector<DeviceRow>& rows);
// RFC 4180 with a header row and CRLF line ends. A cell starting with "=", "+", "-", "@", a tab
// or a carriage return gets a leading apostrophe, so that a spreadsheet does not run it as a
// formula.
std::string FormatCsv(const std::vector<DeviceRow>& rows);
// An array of objects with the keys ip, mac, model and serial.
std::string FormatJson(const std::vector<DeviceRow>& rows);
// A heading line and one line per row, cells separated by tabs, each line ending in LF. A tab,
// line break or other control character inside a cell becomes a space, so that every row stays
// one line of four cells.
std::string FormatTabSeparated(const std::vector<DeviceRow>& rows);

std::string FormatRows(OutputFormat format, const std::vector<DeviceRow>& rows);

}  // namespace vindle
