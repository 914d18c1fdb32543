#pragma once

#include "import/common/ByteReader.h"
#include "import/doc/Fib.h"

#include <cstdint>
#include <string>
#include <vector>

namespace importer::doc {

// The document's fonts (SttbfFfn): names and character sets, by font index (ftc).
class FontTable {
public:
    struct Font {
        std::string name; // UTF-8
        std::uint8_t charset = 0; // 0 ANSI, 2 symbol, 204 Cyrillic...
    };
    static FontTable read(const ByteReader& sttbf, WordVersion version, int codePage);

    // The font's name, or the default family when the index is unknown.
    const std::string& name(std::uint16_t ftc) const;
    std::uint8_t charset(std::uint16_t ftc) const;
    bool isSymbolFont(std::uint16_t ftc) const;
    std::size_t size() const { return m_fonts.size(); }

private:
    std::vector<Font> m_fonts;
};

} // namespace importer::doc
