#include "import/common/PageFields.h"

#include "kit/foundation/Ascii.h"

#include <string>
#include <vector>

namespace importer {

namespace {

// Spaces, tabs and the control characters a field code carries beside its words (Word's binary format
// marks the field's private data with 0x01 before the separator) part arguments.
bool isSeparator(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The arguments of a field code: words and quoted strings, switches included ("\l").
std::vector<std::string> fieldArguments(std::string_view code)
{
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (i < code.size()) {
        while (i < code.size() && isSeparator(code[i]))
            ++i;
        if (i >= code.size())
            break;
        std::string argument;
        if (code[i] == '"') {
            ++i;
            while (i < code.size() && code[i] != '"') {
                // Backslashes escape quotes and themselves inside quoted field arguments.
                if (code[i] == '\\' && i + 1 < code.size() && (code[i + 1] == '"' || code[i + 1] == '\\'))
                    ++i;
                argument += code[i++];
            }
            ++i;
        } else {
            while (i < code.size() && !isSeparator(code[i]))
                argument += code[i++];
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

} // namespace

kit::PageField pageFieldOfInstruction(std::string_view instruction)
{
    std::size_t start = instruction.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return kit::PageField::None;
    std::size_t end = instruction.find_first_of(" \t\r\n\\", start);
    std::string word(instruction.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    for (char& c : word)
        c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (word == "PAGE")
        return kit::PageField::Page;
    if (word == "NUMPAGES")
        return kit::PageField::NumPages;
    if (word == "SECTIONPAGES")
        return kit::PageField::SectionPages;
    return kit::PageField::None;
}

std::string hyperlinkOfInstruction(std::string_view instruction)
{
    auto arguments = fieldArguments(instruction);
    if (arguments.empty() || !kit::equalsIgnoringAsciiCase(arguments[0], "HYPERLINK"))
        return {};
    std::string url, anchor;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() == 2 && argument[0] == '\\') {
            // \l names a bookmark; \o, \t and \m take an argument we do not use; \n takes none.
            char option = char(argument[1] | 0x20);
            if (option == 'l' && i + 1 < arguments.size())
                anchor = arguments[++i];
            else if ((option == 'o' || option == 't' || option == 'm') && i + 1 < arguments.size())
                ++i;
            continue;
        }
        if (url.empty())
            url = argument;
    }
    if (!anchor.empty())
        url += "#" + anchor;
    return url;
}

} // namespace importer
