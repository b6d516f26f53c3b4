#include "discovery/device_row_format.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string_view>

namespace vindle {

namespace {

constexpr std::array<const char*, 4> kHeadings = {"IP Address", "MAC Address", "Model number",
                                                  "Serial number"};

std::array<std::string, 4> Cells(const DeviceRow& row) {
    return {Latin1ToUtf8(row.ip), Latin1ToUtf8(row.mac), Latin1ToUtf8(row.model),
            Latin1ToUtf8(row.serial)};
}

// A control character would move the terminal's cursor or break the alignment: show it as \xNN.
std::string VisibleInTerminal(const std::string& bytes) {
    std::string shown;
    for (unsigned char c : bytes) {
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return Latin1ToUtf8(shown);
}

// Width on screen of UTF-8 text: one column per code point (Latin-1 has no wide characters).
std::size_t DisplayWidth(const std::string& utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// A spreadsheet reads a cell starting with one of these as a formula; device texts come from
// anyone on the network, so such a cell is written with a leading apostrophe, which makes it
// plain text.
bool StartsLikeFormula(const std::string& text) {
    return !text.empty() &&
           std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

// Quoted when it holds a separator, a quote or any control character, so that no byte of a
// device text can end a field or a record early.
std::string CsvField(const std::string& cell) {
    const std::string text = StartsLikeFormula(cell) ? '\'' + cell : cell;
    const bool plain = std::none_of(text.begin(), text.end(), [](unsigned char c) {
        return c == ',' || c == '"' || c < 0x20 || c == 0x7F;
    });
    if (plain) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    return quoted + '"';
}

std::string OneLineCell(const std::string& bytes) {
    std::string cell = bytes;
    std::replace_if(
        cell.begin(), cell.end(),
        [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0);
        },
        ' ');
    return Latin1ToUtf8(cell);
}

}  // namespace

std::string Latin1ToUtf8(const std::string& bytes) {
    std::string utf8;
    utf8.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

std::string FormatTable(const std::vector<DeviceRow>& rows) {
    std::vector<std::array<std::string, 4>> lines;
    lines.push_back({kHeadings[0], kHeadings[1], kHeadings[2], kHeadings[3]});
    for (const DeviceRow& row : rows) {
        lines.push_back({VisibleInTerminal(row.ip), VisibleInTerminal(row.mac),
                         VisibleInTerminal(row.model), VisibleInTerminal(row.serial)});
    }
    std::array<std::size_t, 4> widths{};
    for (const auto& line : lines) {
        for (std::size_t column = 0; column < widths.size(); ++column) {
            widths[column] = std::max(widths[column], DisplayWidth(line[column]));
        }
    }
    std::string table;
    for (const auto& line : lines) {
        std::string text;
        for (std::size_t column = 0; column < widths.size(); ++column) {
            text += line[column];
            if (column + 1 < widths.size()) {
                text.append(widths[column] - DisplayWidth(line[column]) + 2, ' ');
            }
        }
        table += text + '\n';
    }
    return table;
}

std::string FormatCsv(const std::vector<DeviceRow>& rows) {
    std::string csv = "IP Address,MAC Address,Model number,Serial number\r\n";
    for (const DeviceRow& row : rows) {
        const auto cells = Cells(row);
        csv += CsvField(cells[0]) + ',' + CsvField(cells[1]) + ',' + CsvField(cells[2]) + ',' +
               CsvField(cells[3]) + "\r\n";
    }
    return csv;
}

std::string FormatJson(const std::vector<DeviceRow>& rows) {
    nlohmann::ordered_json devices = nlohmann::ordered_json::array();
    for (const DeviceRow& row : rows) {
        const auto cells = Cells(row);
        devices.push_back(
            {{"ip", cells[0]}, {"mac", cells[1]}, {"model", cells[2]}, {"serial", cells[3]}});
    }
    return devices.dump(2) + '\n';
}

std::string FormatTabSeparated(const std::vector<DeviceRow>& rows) {
    std::string text = std::string(kHeadings[0]) + '\t' + kHeadings[1] + '\t' + kHeadings[2] +
                       '\t' + kHeadings[3] + '\n';
    for (const DeviceRow& row : rows) {
        text += OneLineCell(row.ip) + '\t' + OneLineCell(row.mac) + '\t' + OneLineCell(row.model) +
                '\t' + OneLineCell(row.serial) + '\n';
    }
    return text;
}

std::string FormatRows(OutputFormat format, const std::vector<DeviceRow>& rows) {
    switch (format) {
        case OutputFormat::Csv:
            return FormatCsv(rows);
        case OutputFormat::Json:
            return FormatJson(rows);
        case OutputFormat::Table:
            break;
    }
    return FormatTable(rows);
}

}  // namespace vindle
