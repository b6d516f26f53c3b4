#include "settings/profile_file.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/atomic_file.h"

// The INI library is compiled here, header-only, with no character-set conversion: bytes are
// kept as they are.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace vindle {
namespace {

bool IsCommentOrBlank(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    return first == std::string_view::npos || line[first] == ';' || line[first] == '#';
}

// Where the file's closing run of comment and blank lines starts. The library attaches a comment
// to the entry after it, so a comment with no entry after it would be lost on a rewrite.
std::size_t TrailerStart(const std::string& text) {
    std::size_t start = text.size();
    std::size_t end = text.size();
    while (end > 0) {
        const auto newline = text.rfind('\n', end - 1);
        const std::size_t lineStart = newline == std::string::npos ? 0 : newline + 1;
        if (!IsCommentOrBlank(std::string_view(text).substr(lineStart, end - lineStart))) {
            break;
        }
        start = lineStart;
        end = lineStart == 0 ? 0 : lineStart - 1;
    }
    return start;
}

bool HasAny(std::string_view text, std::string_view characters) {
    return text.find_first_of(characters) != std::string_view::npos;
}

constexpr std::string_view kLineBreaks("\r\n\0", 3);

// A section header is one line: one that lost its "]" ends at the end of its line. The INI
// library skips such a line but keeps pointing at its name, so the next key's end would make the
// name run over the line break up to that key. Lines end at LF, CRLF or a lone CR (old Macintosh
// files); the text comes back with LF line ends.
// Every UTF-8 byte-order mark at the start is dropped here: the library drops one mark from the
// start of what it is given, so a second mark left in the text would hide from this check a
// header that the library then reads.
void CloseOpenSectionHeaders(std::string& text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::string_view rest(text);
    while (rest.starts_with(kByteOrderMark)) {
        rest.remove_prefix(kByteOrderMark.size());
    }
    std::string closed;
    closed.reserve(text.size() + 1);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
        const std::string_view line = rest.substr(0, end);
        closed.append(line);
        const auto first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos && line[first] == '[' &&
            line.find(']', first) == std::string_view::npos) {
            closed += ']';
        }
        closed += '\n';
        rest.remove_prefix(end);
        if (rest.starts_with("\r\n")) {
            rest.remove_prefix(2);
        } else if (!rest.empty()) {
            rest.remove_prefix(1);
        }
    }
    text = std::move(closed);
}

}  // namespace

struct ProfileDocument::Impl {
    std::string path;
    CSimpleIniA ini{false, false, false};
    bool readable = true;
    std::string readError;
    std::string trailer;

    Impl() { ini.SetSpaces(false); }
    void Load(std::string text);
};

void ProfileDocument::Impl::Load(std::string text) {
    // A NUL byte would end the library's parse early and lose the rest of the file on a rewrite;
    // no value can hold one anyway.
    std::erase(text, '\0');
    CloseOpenSectionHeaders(text);

    const std::size_t trailerStart = TrailerStart(text);
    std::string closing = text.substr(trailerStart);
    text.resize(trailerStart);
    if (!std::all_of(closing.begin(), closing.end(),
                     [](char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; })) {
        std::erase(closing, '\r');
        while (!closing.empty() && closing.back() == '\n') {
            closing.pop_back();
        }
        trailer = std::move(closing);
    }
    if (ini.LoadData(text.data(), text.size()) < 0) {
        readable = false;
        readError = std::generic_category().message(ENOMEM);
        ini.Reset();
    }
}

ProfileDocument::ProfileDocument(std::string path) : m_impl(std::make_unique<Impl>()) {
    m_impl->path = std::move(path);
    std::string text;
    bool exists = false;
    if (!ReadWholeFile(m_impl->path, text, exists, &m_impl->readError)) {
        m_impl->readable = false;
        return;
    }
    m_impl->Load(std::move(text));
}

ProfileDocument::ProfileDocument(std::string path, std::string contents)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->path = std::move(path);
    m_impl->Load(std::move(contents));
}

ProfileDocument::~ProfileDocument() = default;
ProfileDocument::ProfileDocument(ProfileDocument&&) noexcept = default;
ProfileDocument& ProfileDocument::operator=(ProfileDocument&&) noexcept = default;

std::string ProfileDocument::ReadString(std::string_view section, std::string_view key,
                                        std::size_t bufferSize) const {
    if (bufferSize == 0) {
        return {};
    }
    const char* value =
        m_impl->ini.GetValue(std::string(section).c_str(), std::string(key).c_str(), nullptr);
    if (value == nullptr) {
        return {};
    }
    std::string text(value);
    if (text.size() > bufferSize - 1) {
        text.resize(bufferSize - 1);
    }
    return text;
}

bool ProfileDocument::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value) {
    if (section.empty() || key.empty() || HasAny(section, kLineBreaks) || HasAny(section, "]") ||
        HasAny(key, kLineBreaks) || HasAny(key, "=") || HasAny(value, kLineBreaks)) {
        return false;
    }
    return m_impl->ini.SetValue(std::string(section).c_str(), std::string(key).c_str(),
                                std::string(value).c_str()) >= 0;
}

bool ProfileDocument::EmptySection(std::string_view section) {
    if (section.empty() || HasAny(section, kLineBreaks) || HasAny(section, "]")) {
        return false;
    }
    const std::string name(section);
    CSimpleIniA::TNamesDepend keys;
    if (!m_impl->ini.GetAllKeys(name.c_str(), keys)) {
        return m_impl->ini.SetValue(name.c_str(), nullptr, nullptr) >= 0;
    }
    std::vector<std::string> keyNames;
    for (const auto& key : keys) {
        keyNames.emplace_back(key.pItem);
    }
    for (const auto& key : keyNames) {
        m_impl->ini.Delete(name.c_str(), key.c_str(), false);
    }
    return true;
}

namespace {

// The library separates sections with blank lines; the file is written without them, one line
// per header, key or comment, each ending in a line feed.
std::string WithoutBlankLines(const std::string& text) {
    std::string compact;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            compact.append(text, start, end - start);
            compact += '\n';
        }
        start = end + 1;
    }
    return compact;
}

}  // namespace

std::string ProfileDocument::Serialize() const {
    std::string saved;
    m_impl->ini.Save(saved);
    // The library ends lines with CRLF when built for Windows; the text is LF until Commit().
    std::erase(saved, '\r');
    std::string text = WithoutBlankLines(saved);
    if (!m_impl->trailer.empty()) {
        text += m_impl->trailer;
        text += '\n';
    }
    return text;
}

std::string ProfileDocument::ReadError() const {
    return m_impl->readable ? std::string() : m_impl->readError;
}

namespace {

// The file is written with the line ends of the system's own tools (CRLF on Windows).
std::string WithNativeLineEnds(std::string text) {
    const std::string_view lineEnd = kNativeLineEnd;
    if (lineEnd == "\n") {
        return text;
    }
    std::string converted;
    converted.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\n') {
            converted += lineEnd;
        } else {
            converted += c;
        }
    }
    return converted;
}

}  // namespace

bool ProfileDocument::Commit(std::string* errorText) const {
    if (!m_impl->readable) {
        // A file that could not be read is never replaced.
        if (errorText != nullptr) {
            *errorText = m_impl->readError;
        }
        return false;
    }
    return ReplaceFileContents(m_impl->path, WithNativeLineEnds(Serialize()), errorText);
}

std::string ReadProfileString(std::string_view section, std::string_view key,
                              std::size_t bufferSize, const std::string& path) {
    return ProfileDocument(path).ReadString(section, key, bufferSize);
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path) {
    ProfileDocument document(path);
    return document.WriteString(section, key, value) && document.Commit();
}

bool EmptyProfileSection(std::string_view section, const std::string& path) {
    ProfileDocument document(path);
    return document.EmptySection(section) && document.Commit();
}

}  // namespace vindle
