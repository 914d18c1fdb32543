#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace importer::rtf {

enum class TokenType { GroupStart, GroupEnd, ControlWord, ControlSymbol, Text, HexByte, Binary, End };

struct Token {
    TokenType type = TokenType::End;
    std::string_view word; // ControlWord: the letters
    int parameter = 0; // ControlWord: the number after the letters, clamped to the int range
    bool hasParameter = false;
    char symbol = 0; // ControlSymbol: the character after the backslash
    std::uint8_t byte = 0; // HexByte: the value of \'hh
    std::span<const std::uint8_t> bytes; // Text: a run of plain bytes; Binary: the data of \binN
};

// Splits RTF into tokens. Carriage returns and line feeds in text are not content in RTF and are dropped;
// a backslash before a line end is a paragraph mark and comes out as the control word "par". \binN takes
// the next N bytes (fewer when the file ends first) as one Binary token, without a \bin token.
class RtfTokenizer {
public:
    explicit RtfTokenizer(std::span<const std::uint8_t> data)
        : m_data(data)
    {
    }

    Token next();
    std::size_t position() const { return m_position; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_position = 0;
};

} // namespace importer::rtf
