#include "fakes/temp_dir.h"

#include "platform/atomic_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace vindle {

ScopedTempDir::ScopedTempDir() : m_previous(std::filesystem::current_path()) {
    // A random name that nobody holds yet: create_directory reports whether it made the folder.
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const std::filesystem::path candidate = base / ("vindle-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
        }
    }
    if (m_path.empty()) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    std::filesystem::current_path(m_path);
}

ScopedTempDir::~ScopedTempDir() {
    std::error_code error;
    std::filesystem::current_path(m_previous, error);
    std::filesystem::remove_all(m_path, error);
}

void WriteFile(const std::filesystem::path& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string ReadRawFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadFile(const std::filesystem::path& path) {
    std::string text = ReadRawFile(path);
    const std::string_view lineEnd = kNativeLineEnd;
    if (lineEnd == "\n") {
        return text;
    }
    std::string lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(lineEnd, start), text.size());
        lines.append(text, start, end - start);
        if (end < text.size()) {
            lines += '\n';
        }
        start = end + lineEnd.size();
    }
    return lines;
}

}  // namespace vindle
