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

namespace importer {

// Column breaks an importer met, each as the byte offset of the paragraph that starts after it (the
// reader ends the paragraph at the break). Once the text is complete, each such paragraph gets "column
// break before". Only the first few thousand count: a page holds no more columns than that.
void applyColumnBreaks(kit::TextStorage& text, const std::vector<std::size_t>& paragraphStarts);

} // namespace importer
