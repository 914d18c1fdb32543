#include "kit/foundation/StringsTable.h"

#include "kit/foundation/Hex.h"
#include "kit/foundation/PropertyListCoding.h"
#include "kit/foundation/Utf8.h"

#include <cstdint>
#include <optional>

namespace kit {

namespace {

std::span<const std::uint8_t> asBytes(std::string_view text)
{
    return { reinterpret_cast<const std::uint8_t*>(text.data()), text.size() };
}

bool isHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

class Parser {
public:
    explicit Parser(std::string_view text)
        : m_text(text)
    {
    }

    // Fills entries until the end or the first error; returns the error (empty when none).
    std::string run(std::map<std::string, std::string, std::less<>>& entries)
    {
        while (true) {
            if (!skipSpaceAndComments())
                return failure("an unterminated comment");
            if (atEnd())
                return {};
            auto key = readToken();
            if (!key)
                return failure("expected a quoted string or a word");
            if (!skipSpaceAndComments())
                return failure("an unterminated comment");
            std::string value = *key;
            if (peek() == '=') {
                ++m_position;
                if (!skipSpaceAndComments())
                    return failure("an unterminated comment");
                auto read = readToken();
                if (!read)
                    return failure("expected a value after '='");
                value = std::move(*read);
                if (!skipSpaceAndComments())
                    return failure("an unterminated comment");
            }
            if (peek() != ';')
                return failure("expected ';'");
            ++m_position;
            entries.insert_or_assign(std::move(*key), std::move(value));
        }
    }

private:
    bool atEnd() const { return m_position >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_position]; }

    std::string failure(const char* what) const
    {
        std::size_t line = 1;
        for (std::size_t i = 0; i < m_position && i < m_text.size(); ++i)
            line += m_text[i] == '\n';
        return std::string(what) + " on line " + std::to_string(line);
    }

    // False only for a block comment that never ends.
    bool skipSpaceAndComments()
    {
        while (!atEnd()) {
            char c = m_text[m_position];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++m_position;
            } else if (m_text.substr(m_position, 2) == "/*") {
                std::size_t end = m_text.find("*/", m_position + 2);
                if (end == std::string_view::npos)
                    return false;
                m_position = end + 2;
            } else if (m_text.substr(m_position, 2) == "//") {
                std::size_t end = m_text.find('\n', m_position);
                m_position = end == std::string_view::npos ? m_text.size() : end + 1;
            } else {
                break;
            }
        }
        return true;
    }

    static bool isWordCharacter(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$'
            || c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
    }

    std::optional<std::string> readToken()
    {
        if (peek() == '"')
            return readQuoted();
        std::size_t start = m_position;
        // A word never starts a comment: "//" and "/*" were skipped before we got here.
        while (!atEnd() && isWordCharacter(m_text[m_position]))
            ++m_position;
        if (m_position == start)
            return std::nullopt;
        return std::string(m_text.substr(start, m_position - start));
    }

    std::optional<std::uint32_t> readHex(std::size_t maxDigits)
    {
        std::uint32_t value = 0;
        std::size_t digits = 0;
        while (digits < maxDigits && !atEnd()) {
            char c = m_text[m_position];
            int digit = hexValue(static_cast<unsigned char>(c));
            if (digit < 0)
                break;
            value = value << 4 | unsigned(digit);
            ++digits;
            ++m_position;
        }
        return digits ? std::optional<std::uint32_t>(value) : std::nullopt;
    }

    std::optional<std::string> readQuoted()
    {
        ++m_position; // the opening quote
        std::string out;
        std::optional<std::uint32_t> pendingHigh; // a high surrogate waiting for its partner
        auto flushHigh = [&] {
            if (pendingHigh)
                appendUtf8(out, 0xFFFD);
            pendingHigh.reset();
        };
        while (true) {
            if (atEnd())
                return std::nullopt;
            char c = m_text[m_position++];
            if (c == '"') {
                flushHigh();
                return out;
            }
            if (c != '\\') {
                flushHigh();
                out += c;
                continue;
            }
            if (atEnd())
                return std::nullopt;
            char escape = m_text[m_position++];
            if (escape == 'U' || escape == 'u') {
                auto unit = readHex(4);
                if (!unit)
                    return std::nullopt;
                if (pendingHigh && isLowSurrogate(*unit)) {
                    appendUtf8(out, 0x10000 + ((*pendingHigh - 0xD800) << 10) + (*unit - 0xDC00));
                    pendingHigh.reset();
                    continue;
                }
                flushHigh();
                if (isHighSurrogate(*unit))
                    pendingHigh = *unit;
                else
                    appendUtf8(out, isLowSurrogate(*unit) ? 0xFFFD : *unit);
                continue;
            }
            flushHigh();
            if (escape >= '0' && escape <= '7') {
                std::uint32_t value = std::uint32_t(escape - '0');
                for (int k = 0; k < 2 && !atEnd() && peek() >= '0' && peek() <= '7'; ++k)
                    value = value * 8 + std::uint32_t(m_text[m_position++] - '0');
                appendUtf8(out, value);
                continue;
            }
            switch (escape) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'v':
                out += '\v';
                break;
            default:
                out += escape; // \" \\ \' and any other character stand for themselves
            }
        }
    }

    std::string_view m_text;
    std::size_t m_position = 0;
};

} // namespace

StringsTable StringsTable::parse(std::string_view bytes)
{
    StringsTable table;
    std::string text;
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE")
        text = utf16ToUtf8(asBytes(bytes.substr(2)), false);
    else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF")
        text = utf16ToUtf8(asBytes(bytes.substr(2)), true);
    else
        text = std::string(bytes.substr(bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0));
    if (!isValidUtf8(text)) {
        table.m_error = "not UTF-8 or UTF-16 text";
        return table;
    }
    table.m_error = Parser(text).run(table.m_entries);
    return table;
}

const std::string* StringsTable::lookup(std::string_view key) const
{
    auto found = m_entries.find(key);
    return found == m_entries.end() ? nullptr : &found->second;
}

} // namespace kit
