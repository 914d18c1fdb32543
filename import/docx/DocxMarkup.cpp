#include "import/docx/DocxMarkup.h"

#include <string_view>

namespace importer::docx {

namespace {

// Prefixes (as the XML part rewrites them) of the namespaces whose content this importer reads.
bool isUnderstood(std::string_view prefix)
{
    static constexpr std::string_view understood[] = { "w", "r", "wp", "a", "pic", "m", "v", "o", "w10", "mc", "wps",
        "wpg", "wpc", "wp14", "w14", "w15", "w16", "w16se", "w16cid", "w16cex", "w16sdtdh", "a14" };
    for (auto known : understood) {
        if (prefix == known)
            return true;
    }
    return false;
}

bool requirementsUnderstood(std::string_view required)
{
    while (!required.empty()) {
        auto space = required.find(' ');
        std::string_view token = required.substr(0, space);
        required = space == std::string_view::npos ? std::string_view() : required.substr(space + 1);
        if (!token.empty() && !isUnderstood(token))
            return false;
    }
    return true;
}

} // namespace

pugi::xml_node chooseAlternative(pugi::xml_node alternateContent)
{
    for (auto choice : alternateContent.children("mc:Choice")) {
        if (requirementsUnderstood(choice.attribute("Requires").value()))
            return choice;
    }
    return alternateContent.child("mc:Fallback");
}

} // namespace importer::docx
