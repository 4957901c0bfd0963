// Whether a package's code names the browser family, decided before the engine's application object exists.
#include "browser/BrowserUse.h"

#include "core/Text.h"
#include "host/Package.h"
#include "host/Zip.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace ruk {

namespace {

// Code members are small; anything larger is not read for this test.
constexpr uint64_t MaxCodeMember = uint64_t(64) << 20;

bool is_code_member(const std::string& name)
{
    return name == "identity.qexe" || name == "_identity.lib" || name == "_identity2.lib";
}

std::string field(const std::string& bytes, size_t offset, size_t width)
{
    return std::string(trim_blanks(std::string_view(bytes).substr(offset, width)));
}

bool number_field(const std::string& text, uint64_t& value)
{
    if (text.empty() || text.size() > 12 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

bool read_source(const fs::path& file, std::string& text)
{
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return false;
    std::ifstream in(file, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

} // namespace

bool stored_code_uses_browsers(std::string_view stored)
{
    // "browser" followed by the word separator, complemented as stored.
    static const std::string word = [] {
        std::string w = "browser\x8e";
        for (char& c : w)
            c = static_cast<char>(~c);
        return w;
    }();
    return stored.find(word) != std::string_view::npos;
}

bool source_uses_browsers(std::string_view source)
{
    const std::string lower = to_lower(std::string(source));
    for (size_t at = lower.find("browser."); at != std::string::npos; at = lower.find("browser.", at + 1)) {
        const char before = at == 0 ? ' ' : lower[at - 1];
        if (!((before >= 'a' && before <= 'z') || (before >= '0' && before <= '9') || before == '_'))
            return true;
    }
    return false;
}

bool package_uses_browsers(const std::string& path)
{
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        for (const auto& entry : fs::directory_iterator(path, ec)) {
            std::string text;
            if (ends_with_ignoring_case(entry.path().string(), ".rks") && read_source(entry.path(), text) &&
                source_uses_browsers(text))
                return true;
        }
        return false;
    }
    if (ends_with_ignoring_case(path, ".rks")) {
        std::string text;
        return read_source(path, text) && source_uses_browsers(text);
    }
    if (!fs::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    std::string header(package_layout::HeaderSize, '\0');
    if (!in.read(header.data(), static_cast<std::streamsize>(header.size())) || header[0] != 'Q')
        return false;
    uint64_t count = 0;
    if (!number_field(field(header, package_layout::CountOffset, package_layout::CountWidth), count) ||
        count > uint64_t(package_layout::ReaderMaxEntries))
        return false;
    std::string directory(count * package_layout::EntrySize, '\0');
    if (!in.read(directory.data(), static_cast<std::streamsize>(directory.size())))
        return false;
    uint64_t offset = package_layout::HeaderSize + directory.size();
    for (uint64_t i = 0; i < count; ++i) {
        const size_t at = size_t(i) * package_layout::EntrySize;
        uint64_t size = 0;
        if (!number_field(field(directory, at, package_layout::SizeWidth), size))
            return false;
        std::string name = field(directory, at + package_layout::SizeWidth, package_layout::NameWidth);
        const bool compressed = name.size() > 2 && name.compare(name.size() - 2, 2, "__") == 0;
        if (compressed)
            name.resize(name.size() - 2);
        if (is_code_member(to_lower(name)) && size <= MaxCodeMember) {
            std::string data(size, '\0');
            in.seekg(static_cast<std::streamoff>(offset));
            if (in.read(data.data(), static_cast<std::streamsize>(size))) {
                if (compressed) {
                    Compressor compressor;
                    auto expanded = compressor.expand(
                        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
                    data = expanded ? std::string(expanded->begin(), expanded->end()) : std::string();
                }
                if (stored_code_uses_browsers(data))
                    return true;
            }
            in.clear();
        }
        offset += size;
    }
    return false;
}

} // namespace ruk
