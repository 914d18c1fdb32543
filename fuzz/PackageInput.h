#pragma once

// Turns fuzz input into a ZIP package. Input that already is a ZIP ("PK") goes in as it is; any other input
// is a list of parts separated by lines of "----", packed uncompressed after the fixed parts a format needs,
// so that mutations reach the XML instead of breaking a deflate stream. (The reader never checks CRCs.)

#include <glib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fuzzpackage {

// libgsf warns on the default log domain for every damaged ZIP member it cannot open; thousands of those
// lines drown the fuzzer's own output and slow it down. Called once per process.
inline void quietArchiveWarnings()
{
    static bool quiet = [] {
        g_log_set_handler(nullptr, G_LOG_LEVEL_WARNING, [](const gchar*, GLogLevelFlags, const gchar*, gpointer) { }, nullptr);
        return true;
    }();
    (void)quiet;
}

inline void put16(std::string& out, std::uint32_t value)
{
    out += char(value & 0xFF);
    out += char(value >> 8 & 0xFF);
}

inline void put32(std::string& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// A stored (uncompressed) ZIP of the given entries.
inline std::string storedZip(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string out, directory;
    for (const auto& [name, data] : entries) {
        std::uint32_t offset = std::uint32_t(out.size());
        put32(out, 0x04034b50);
        put16(out, 20), put16(out, 0), put16(out, 0), put16(out, 0), put16(out, 0);
        put32(out, 0), put32(out, std::uint32_t(data.size())), put32(out, std::uint32_t(data.size()));
        put16(out, std::uint32_t(name.size())), put16(out, 0);
        out += name;
        out += data;
        put32(directory, 0x02014b50);
        put16(directory, 20), put16(directory, 20), put16(directory, 0), put16(directory, 0), put16(directory, 0), put16(directory, 0);
        put32(directory, 0), put32(directory, std::uint32_t(data.size())), put32(directory, std::uint32_t(data.size()));
        put16(directory, std::uint32_t(name.size())), put16(directory, 0), put16(directory, 0), put16(directory, 0), put16(directory, 0);
        put32(directory, 0), put32(directory, offset);
        directory += name;
    }
    std::uint32_t directoryOffset = std::uint32_t(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0), put16(out, 0), put16(out, std::uint32_t(entries.size())), put16(out, std::uint32_t(entries.size()));
    put32(out, std::uint32_t(directory.size())), put32(out, directoryOffset), put16(out, 0);
    return out;
}

inline std::vector<std::string> splitParts(std::string_view input)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t separator = input.find("\n----\n", start);
        if (separator == std::string_view::npos) {
            parts.emplace_back(input.substr(start));
            return parts;
        }
        parts.emplace_back(input.substr(start, separator - start));
        start = separator + 6;
    }
}

} // namespace fuzzpackage
