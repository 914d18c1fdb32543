#pragma once

#include "kit/text/Attributes.h"

#include <string_view>

// Width estimates for table layout. The importer does not lay text out: it estimates advances from the
// standard metrics of Times and Helvetica (the metrics Times New Roman, Arial and their Liberation twins
// share), a fixed pitch for monospace families and a full em for East Asian ideographs. The estimate is
// within a few percent of the real layout for Latin text, which is all column widths need.
namespace importer::html {

// The advance of UTF-8 text in points, ignoring line breaks.
float estimatedWidth(std::string_view utf8, const kit::Attributes& attributes);

// The minimum and maximum content widths of a paragraph: its longest unbreakable piece, and its longest
// line when nothing but its own line breaks breaks it.
struct ContentWidths {
    float minimum = 0;
    float maximum = 0;
};

// Accumulates pieces of one paragraph in order and tracks both widths.
class ContentWidthMeter {
public:
    void add(std::string_view utf8, const kit::Attributes& attributes);
    // An unbreakable box of the given width (an image).
    void addBox(float width);
    void lineBreak();
    ContentWidths result() const;

private:
    void endWord();
    float m_word = 0;
    float m_line = 0;
    ContentWidths m_widths;
};

} // namespace importer::html
