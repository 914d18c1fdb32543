#include "kit/text/TextStorage.h"

namespace kit {

// FIXME: placeholder until the RTF writer lands; it writes the plain text only.
std::string TextStorage::rtfFromRange(Range range) const
{
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\uc0 ";
    TextStorage part = substring(range);
    for (char c : part.string()) {
        if (c == '\n')
            out += "\\par\n";
        else if (c == '\\' || c == '{' || c == '}')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out + "}";
}

} // namespace kit
