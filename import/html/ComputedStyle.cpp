#include "import/html/ComputedStyle.h"

namespace importer::html {

kit::Attributes ComputedStyle::characterAttributes() const
{
    kit::Attributes a;
    a.fontFamily = fontFamily;
    a.fontFamilyEastAsian = fontFamilyEastAsian == fontFamily ? std::string() : fontFamilyEastAsian;
    a.fontFamilyComplex = fontFamilyComplex == fontFamily ? std::string() : fontFamilyComplex;
    a.fontSize = fontSize;
    a.bold = bold;
    a.italic = italic;
    a.smallCaps = smallCaps;
    a.allCaps = allCaps;
    a.underline = underline;
    a.strikethrough = strikethrough;
    a.foreground = color;
    a.background = textBackground;
    a.superscript = verticalAlign;
    a.link = link;
    a.anchor = anchor;
    return a;
}

} // namespace importer::html
