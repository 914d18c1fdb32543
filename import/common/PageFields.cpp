#include "import/common/PageFields.h"

#include <string>

namespace importer {

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

} // namespace importer
