#pragma once

#include <string_view>

namespace importer {

// The outline level a word processor gives a paragraph style by its name: "heading 1"..."heading 9"
// (any case, one space or none, as Word, LibreOffice and their RTF and HTML exports write them) are
// levels 1...9; any other name is 0, body text.
int headingLevelOfStyleName(std::string_view name);

} // namespace importer

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace kit {
class TextStorage;
}

namespace importer {

// Bookmarks an importer met while reading: each name with the byte offset of the text that followed it.
using Anchors = std::vector<std::pair<std::string, std::size_t>>;
// Marks each bookmark's first character with its name (the anchor attribute), once the text is complete.
// Bookmarks sharing a place mark the characters after it in turn; one at the very end is left out.
void applyAnchors(kit::TextStorage& text, const Anchors& anchors);

} // namespace importer
