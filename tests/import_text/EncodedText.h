#pragma once

#include <cstdint>
#include <glib.h>
#include <gtest/gtest.h>
#include <span>
#include <string>

namespace testtext {

inline std::span<const std::uint8_t> bytesOf(const std::string& text)
{
    return { reinterpret_cast<const std::uint8_t*>(text.data()), text.size() };
}

// UTF-8 text in another encoding, through GLib's iconv (independent of the code under test).
inline std::string encode(const std::string& utf8, const char* encoding)
{
    gsize written = 0;
    gchar* converted = g_convert(utf8.data(), gssize(utf8.size()), encoding, "UTF-8", nullptr, &written, nullptr);
    EXPECT_TRUE(converted) << encoding;
    std::string result = converted ? std::string(converted, written) : std::string();
    g_free(converted);
    return result;
}

} // namespace testtext
