#include "import/package/ScriptRuns.h"

#include "import/common/OutputBudget.h"
#include "kit/foundation/Utf8.h"

#include <algorithm>

namespace importer {

namespace {

bool isLetterLike(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    return c >= 0xC0 && c != 0xD7 && c != 0xF7 && !(c >= 0x2000 && c <= 0x2BFF) && !(c >= 0x3000 && c <= 0x303F);
}

} // namespace

bool isComplexScriptCharacter(char32_t c)
{
    return (c >= 0x0590 && c <= 0x08FF) // Hebrew, Arabic, Syriac, Thaana, N'Ko, Samaritan, Mandaic
        || (c >= 0x0900 && c <= 0x0DFF) // the Indic scripts
        || (c >= 0x0E00 && c <= 0x0FFF) // Thai, Lao, Tibetan
        || (c >= 0x1000 && c <= 0x109F) // Myanmar
        || (c >= 0x1780 && c <= 0x17FF) // Khmer
        || (c >= 0xFB1D && c <= 0xFDFF) // Hebrew and Arabic presentation forms
        || (c >= 0xFE70 && c <= 0xFEFF);
}

void appendWithScripts(kit::TextStorage& out, std::string_view text, const kit::Attributes& regular,
    const kit::Attributes* complex)
{
    if (text.empty())
        return;
    // U+0590, the first complex-script character, is D6 90 in UTF-8: text without such lead bytes has none.
    if (!complex || !std::any_of(text.begin(), text.end(), [](char ch) { return std::uint8_t(ch) >= 0xD6; })) {
        OutputBudget::current().append(out, text, regular);
        return;
    }
    std::size_t start = 0, i = 0;
    bool inComplex = false;
    while (i < text.size()) {
        std::size_t at = i;
        char32_t c = kit::decodeUtf8(text, i);
        bool isComplex = isComplexScriptCharacter(c);
        if (!isComplex && !isLetterLike(c))
            continue;
        if (isComplex != inComplex && at > start) {
            OutputBudget::current().append(out, text.substr(start, at - start), inComplex ? *complex : regular);
            start = at;
        }
        inComplex = isComplex;
    }
    OutputBudget::current().append(out, text.substr(start), inComplex ? *complex : regular);
}

} // namespace importer
