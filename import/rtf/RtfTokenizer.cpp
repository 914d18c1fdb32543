#include "import/rtf/RtfTokenizer.h"

#include "kit/foundation/Hex.h"

#include <algorithm>
#include <climits>

namespace importer::rtf {

namespace {

bool isLetter(std::uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Control words are at most 32 letters and their parameters fit in 16 bits by the format's rules; longer
// ones come from damaged files and are cut rather than read without end.
constexpr std::size_t kMaximumWordLength = 32;
constexpr int kMaximumDigits = 10;

} // namespace

Token RtfTokenizer::next()
{
    Token token;
    const std::size_t size = m_data.size();
    while (m_position < size) {
        std::uint8_t c = m_data[m_position];
        if (c == '{') {
            ++m_position;
            token.type = TokenType::GroupStart;
            return token;
        }
        if (c == '}') {
            ++m_position;
            token.type = TokenType::GroupEnd;
            return token;
        }
        if (c == '\r' || c == '\n') {
            ++m_position;
            continue;
        }
        if (c != '\\') {
            std::size_t start = m_position;
            while (m_position < size) {
                std::uint8_t d = m_data[m_position];
                if (d == '\\' || d == '{' || d == '}' || d == '\r' || d == '\n')
                    break;
                ++m_position;
            }
            token.type = TokenType::Text;
            token.bytes = m_data.subspan(start, m_position - start);
            return token;
        }
        // A backslash: control word, control symbol or hex byte.
        ++m_position;
        if (m_position >= size)
            break;
        std::uint8_t d = m_data[m_position];
        if (isLetter(d)) {
            std::size_t start = m_position;
            while (m_position < size && isLetter(m_data[m_position]) && m_position - start < kMaximumWordLength)
                ++m_position;
            token.type = TokenType::ControlWord;
            token.word = std::string_view(reinterpret_cast<const char*>(m_data.data() + start), m_position - start);
            bool negative = false;
            if (m_position < size && m_data[m_position] == '-' && m_position + 1 < size
                && isDigit(m_data[m_position + 1])) {
                negative = true;
                ++m_position;
            }
            long long value = 0;
            int digits = 0;
            while (m_position < size && isDigit(m_data[m_position])) {
                if (digits < kMaximumDigits)
                    value = value * 10 + (m_data[m_position] - '0');
                ++digits;
                ++m_position;
            }
            if (digits) {
                token.hasParameter = true;
                value = negative ? -value : value;
                token.parameter = int(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value);
            }
            if (m_position < size && m_data[m_position] == ' ')
                ++m_position;
            if (token.word == "bin" && token.hasParameter && token.parameter > 0) {
                std::size_t count = std::min<std::size_t>(std::size_t(token.parameter), size - m_position);
                token.type = TokenType::Binary;
                token.bytes = m_data.subspan(m_position, count);
                m_position += count;
            }
            return token;
        }
        if (d == '\'') {
            ++m_position;
            int high = m_position < size ? kit::hexValue(m_data[m_position]) : -1;
            int low = m_position + 1 < size ? kit::hexValue(m_data[m_position + 1]) : -1;
            if (high < 0 || low < 0) {
                m_position += high < 0 ? 0 : 1; // a broken escape carries no byte, and its one digit goes with it
                continue;
            }
            m_position += 2;
            token.type = TokenType::HexByte;
            token.byte = std::uint8_t(high << 4 | low);
            return token;
        }
        ++m_position;
        if (d == '\r' || d == '\n') {
            token.type = TokenType::ControlWord;
            token.word = "par";
            return token;
        }
        token.type = TokenType::ControlSymbol;
        token.symbol = char(d);
        return token;
    }
    token.type = TokenType::End;
    return token;
}

} // namespace importer::rtf
