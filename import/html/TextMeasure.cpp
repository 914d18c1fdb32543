#include "import/html/TextMeasure.h"

#include "import/html/CssValues.h"
#include "kit/foundation/Utf8.h"

#include <algorithm>

namespace importer::html {

namespace {

// Advances of ASCII 0x20 to 0x7E in thousandths of an em.
constexpr unsigned short kSerifWidths[95] = {
    250, 333, 408, 500, 500, 833, 778, 180, 333, 333, 500, 564, 250, 333, 250, 278, // space to /
    500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 278, 278, 564, 564, 564, 444, // 0 to ?
    921, 722, 667, 667, 722, 611, 556, 722, 722, 333, 389, 722, 611, 889, 722, 722, // @ to O
    556, 722, 667, 556, 611, 722, 722, 944, 722, 722, 611, 333, 278, 333, 469, 500, // P to _
    333, 444, 500, 444, 500, 444, 333, 500, 500, 278, 278, 500, 278, 778, 500, 500, // ` to o
    500, 500, 333, 389, 278, 500, 500, 722, 500, 500, 444, 480, 200, 480, 541, // p to ~
};
constexpr unsigned short kSansWidths[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278, // space to /
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, // 0 to ?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778, // @ to O
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556, // P to _
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556, // ` to o
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584, // p to ~
};

enum class Kind { Serif, Sans, Mono };

struct FontClass {
    Kind kind = Kind::Serif;
    float scale = 1; // relative to the class's standard metrics
};

FontClass classify(const std::string& family)
{
    std::string name = asciiLower(family);
    auto has = [&](const char* part) { return name.find(part) != std::string::npos; };
    if (has("mono") || has("courier") || has("consolas") || has("typewriter") || has("console") || has("code"))
        return { Kind::Mono, 1 };
    if (has("calibri") || has("carlito") || has("narrow"))
        return { Kind::Sans, 0.9f };
    if (has("verdana") || has("tahoma") || has("dejavu sans"))
        return { Kind::Sans, 1.1f };
    if (has("arial") || has("helvetica") || has("sans") || has("segoe") || has("trebuchet") || has("gothic"))
        return { Kind::Sans, 1 };
    return { Kind::Serif, 1 };
}

bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// The advance of one character in ems.
float characterEm(char32_t c, const FontClass& font, bool upperCase)
{
    if (upperCase && c >= 'a' && c <= 'z')
        c = c - 'a' + 'A';
    if (c >= 0x300 && c <= 0x36F)
        return 0; // combining marks
    if (c == 0xA0)
        c = ' ';
    if (isWide(c))
        return 1;
    if (font.kind == Kind::Mono)
        return 0.6f;
    const unsigned short* table = font.kind == Kind::Sans ? kSansWidths : kSerifWidths;
    if (c >= 0x20 && c <= 0x7E)
        return float(table[c - 0x20]) / 1000 * font.scale;
    // Other letters: the width of an average lower-case letter, wider for capitals of Latin-1.
    if (c >= 0xC0 && c <= 0xDE)
        return (font.kind == Kind::Sans ? 0.7f : 0.68f) * font.scale;
    return (font.kind == Kind::Sans ? 0.556f : 0.5f) * font.scale;
}

float emSize(const kit::Attributes& a)
{
    return a.superscript ? a.fontSize * 2 / 3 : a.fontSize;
}

float boldFactor(const kit::Attributes& a)
{
    return a.bold ? 1.06f : 1;
}

// A tab stops at the next half inch, which an estimate cannot know; a whole half inch is a fair guess.
constexpr float kTabWidth = 36;

} // namespace

float estimatedWidth(std::string_view utf8, const kit::Attributes& attributes)
{
    FontClass font = classify(attributes.fontFamily);
    float ems = 0, tabs = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = kit::decodeUtf8(utf8, i);
        if (c == '\t')
            tabs += kTabWidth;
        else
            ems += characterEm(c, font, attributes.allCaps || attributes.smallCaps);
    }
    return ems * emSize(attributes) * boldFactor(attributes) + tabs;
}

void ContentWidthMeter::add(std::string_view utf8, const kit::Attributes& attributes)
{
    FontClass font = classify(attributes.fontFamily);
    float scale = emSize(attributes) * boldFactor(attributes);
    bool upper = attributes.allCaps || attributes.smallCaps;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = kit::decodeUtf8(utf8, i);
        if (c == 0x2028) {
            lineBreak();
            continue;
        }
        if (c == '\t') {
            endWord();
            m_line += kTabWidth;
            continue;
        }
        float width = characterEm(c, font, upper) * scale;
        m_line += width;
        if (c == ' ' || c == 0x200B) {
            endWord();
        } else if (isWide(c)) {
            // Ideographs break anywhere: each is a piece of its own.
            endWord();
            m_widths.minimum = std::max(m_widths.minimum, width);
        } else {
            m_word += width;
            if (c == '-' || c == '/' || c == 0x2013 || c == 0x2014)
                endWord();
        }
    }
    m_widths.maximum = std::max(m_widths.maximum, m_line);
}

void ContentWidthMeter::addBox(float width)
{
    endWord();
    m_line += width;
    m_widths.minimum = std::max(m_widths.minimum, width);
    m_widths.maximum = std::max(m_widths.maximum, m_line);
}

void ContentWidthMeter::lineBreak()
{
    endWord();
    m_widths.maximum = std::max(m_widths.maximum, m_line);
    m_line = 0;
}

void ContentWidthMeter::endWord()
{
    m_widths.minimum = std::max(m_widths.minimum, m_word);
    m_word = 0;
}

ContentWidths ContentWidthMeter::result() const
{
    ContentWidths widths = m_widths;
    widths.minimum = std::max(widths.minimum, m_word);
    widths.maximum = std::max({ widths.maximum, m_line, widths.minimum });
    return widths;
}

} // namespace importer::html
