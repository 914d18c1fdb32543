// The RTF writer: everything the attribute model carries, in a form the reader beside it reads back to
// the same text and attributes after RTF's rounding (lengths in twips, font sizes in half points, colours in
// 8 bits). Non-ASCII characters are written as \uN with \uc0, so no code page is involved.
#include "import/rtf/RtfWriter.h"

#include "kit/foundation/GRefPtr.h"
#include "kit/foundation/Utf8.h"
#include "kit/text/PageSetup.h"
#include "kit/text/TextStorage.h"
#include "kit/text/VectorDrawing.h"

#include <algorithm>
#include <limits>
#include <cmath>
#include <cstdio>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <map>
#include <memory>
#include <utility>

namespace importer::rtf {

using namespace kit;

namespace {

int toTwips(float points) { return int(std::lround(double(points) * 20.0)); }

bool isSymbolFont(const std::string& name)
{
    return name == "Symbol" || name.rfind("Wingdings", 0) == 0 || name == "Webdings" || name == "ZapfDingbats";
}

void appendUnicodeEscape(std::string& out, char32_t unit)
{
    // RTF's \u takes a signed 16-bit number.
    int value = int(unit);
    if (value > 32767)
        value -= 65536;
    out += "\\u" + std::to_string(value) + " ";
}

// Text as RTF: ASCII as it is with \, { and } escaped, the special characters as their control words, and
// everything else as \uN (surrogate pairs past the BMP). Text in a symbol font is all \uN: a reader takes the
// bytes of such a font as glyph numbers, and ours are characters already.
void appendEscaped(std::string& out, const std::string& text, bool isSymbolFont = false)
{
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = kit::decodeUtf8(text, i);
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += char(c);
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c == 0x2028) {
            out += "\\line ";
        } else if (c < 0x20) {
            continue; // paragraph ends and page breaks are written by the paragraph; other controls are not text
        } else if (c < 0x80 && !isSymbolFont) {
            out += char(c);
        } else if (c >= 0x10000) {
            c -= 0x10000;
            appendUnicodeEscape(out, 0xD800 + (c >> 10));
            appendUnicodeEscape(out, 0xDC00 + (c & 0x3FF));
        } else {
            appendUnicodeEscape(out, c);
        }
    }
}

// A colour as the 8-bit components RTF stores.
struct ColorKey {
    int red, green, blue;
    bool operator<(const ColorKey& o) const { return std::tie(red, green, blue) < std::tie(o.red, o.green, o.blue); }
};

ColorKey colorKey(const Color& color)
{
    auto rgb = color.usingCalibratedRGB().value_or(Color::blackColor()).rgba();
    auto component = [](float v) { return int(std::lround(std::clamp(double(v), 0.0, 1.0) * 255.0)); };
    return { component(rgb[0]), component(rgb[1]), component(rgb[2]) };
}

// A picture the writer can embed: PNG and JPEG as they are, other image formats converted to PNG.
struct EmbeddedImage {
    std::vector<std::uint8_t> bytes;
    const char* blip = nullptr; // "\\pngblip" or "\\jpegblip"
    int pixelWidth = 0;
    int pixelHeight = 0;
};

std::optional<EmbeddedImage> embeddedImage(const Attachment& attachment)
{
    if (attachment.drawing) {
        // RTF carries pictures, not our shapes: a drawing travels as its picture at twice its size.
        EmbeddedImage image;
        image.bytes = vectorDrawingPng(*attachment.drawing, attachment.size, 2);
        if (image.bytes.empty())
            return std::nullopt;
        image.blip = "\\pngblip";
        image.pixelWidth = int(std::lround(std::min(attachment.size.width * 2, 4096.0f)));
        image.pixelHeight = int(std::lround(std::min(attachment.size.height * 2, 4096.0f)));
        return image;
    }
    if (attachment.bytes.empty())
        return std::nullopt;
    auto loader = adoptGRef(gdk_pixbuf_loader_new());
    bool loaded = gdk_pixbuf_loader_write(loader.get(), attachment.bytes.data(), attachment.bytes.size(), nullptr);
    loaded = gdk_pixbuf_loader_close(loader.get(), nullptr) && loaded;
    GdkPixbuf* pixbuf = loaded ? gdk_pixbuf_loader_get_pixbuf(loader.get()) : nullptr;
    EmbeddedImage image;
    if (pixbuf) {
        image.pixelWidth = gdk_pixbuf_get_width(pixbuf);
        image.pixelHeight = gdk_pixbuf_get_height(pixbuf);
    }
    if (attachment.mimeType == "image/png" || attachment.mimeType == "image/jpeg") {
        image.bytes = attachment.bytes;
        image.blip = attachment.mimeType == "image/png" ? "\\pngblip" : "\\jpegblip";
        return image;
    }
    if (!pixbuf)
        return std::nullopt;
    gchar* buffer = nullptr;
    gsize size = 0;
    if (!gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", nullptr, nullptr))
        return std::nullopt;
    image.bytes.assign(reinterpret_cast<std::uint8_t*>(buffer), reinterpret_cast<std::uint8_t*>(buffer) + size);
    g_free(buffer);
    image.blip = "\\pngblip";
    return image;
}

// The paragraphs of the range arranged as RTF writes them: body paragraphs and tables, whose cells hold
// paragraphs and nested tables.
struct TableNode;
struct Item {
    Range paragraph; // used when table is null
    std::unique_ptr<TableNode> table;
    std::size_t start = 0; // the byte its first paragraph starts at
};
struct CellNode {
    std::shared_ptr<const TableCell> cell;
    std::vector<Item> items;
};
struct RowNode {
    int row = 0;
    std::vector<CellNode> cells;
};
struct TableNode {
    int tableId = 0;
    int level = 1;
    std::vector<RowNode> rows;
};

// The chain of cells a paragraph stands in, outermost first.
std::vector<std::shared_ptr<const TableCell>> cellChain(const std::shared_ptr<const TableCell>& innermost)
{
    std::vector<std::shared_ptr<const TableCell>> chain;
    if (!innermost)
        return chain;
    chain.push_back(innermost);
    // Only the innermost cell is shared; the parents are kept alive by the storage's runs, and are copied
    // here so the chain does not depend on them after the storage changes.
    for (const TableCell* parent = innermost->parent; parent && chain.size() < 64; parent = parent->parent)
        chain.insert(chain.begin(), std::make_shared<const TableCell>(*parent));
    // A nested cell without its parents: stand-ins keep the nesting level right.
    while (int(chain.size()) < innermost->nestingLevel && chain.size() < 64) {
        auto standIn = std::make_shared<TableCell>();
        standIn->tableId = -int(chain.size()) - 1;
        standIn->nestingLevel = innermost->nestingLevel - int(chain.size());
        chain.insert(chain.begin(), standIn);
    }
    return chain;
}

bool sameCell(const TableCell& a, const TableCell& b)
{
    return a.tableId == b.tableId && a.row == b.row && a.column == b.column;
}

class RtfWriter {
public:
    // withPageSetup: the text's sections, with their headers and footers, are written too.
    RtfWriter(const TextStorage& text, bool withPageSetup)
        : m_text(&text)
        , m_withPageSetup(withPageSetup)
    {
    }

    std::string write();

private:
    // The text's paragraphs and tables into m_body; setup, when given, breaks them into its sections.
    void writeBody(const PageSetup* setup);
    // startsPage: the section's text begins a page (else the section break is continuous).
    void writeSection(const PageSection& section, const PageSection* previous, bool startsPage);
    void writeStory(const char* destination, const std::shared_ptr<TextStorage>& story);
    void collectTables();
    void writeItems(const std::vector<Item>& items, int level, bool endsCell);
    void writeParagraph(Range paragraph, int level, bool endsCell);
    void writeTable(const TableNode& table);
    void writeRowDefinition(const std::vector<const TableCell*>& cells, const std::vector<bool>& isContinuation);
    void writeCharacterFormatting(const Attributes& attributes);
    void writeParagraphFormatting(const ParagraphStyle& style);
    void writeAttachment(const Attachment& attachment);
    void writeFloatingAttachment(const Attachment& attachment);
    void writePicture(const Attachment& attachment);
    int fontIndex(const std::string& name);
    int colorIndex(const Color& color);

    const TextStorage* m_text; // the body, or the header or footer being written
    bool m_withPageSetup;
    std::string m_body;
    int m_newTableLevel = 0; // the level of a table that directly follows another, until its first paragraph
    std::vector<std::string> m_fonts;
    std::map<ColorKey, int> m_colors;
    std::vector<ColorKey> m_colorOrder;
};

int RtfWriter::fontIndex(const std::string& name)
{
    auto found = std::find(m_fonts.begin(), m_fonts.end(), name);
    if (found != m_fonts.end())
        return int(found - m_fonts.begin());
    m_fonts.push_back(name);
    return int(m_fonts.size()) - 1;
}

int RtfWriter::colorIndex(const Color& color)
{
    ColorKey key = colorKey(color);
    auto found = m_colors.find(key);
    if (found != m_colors.end())
        return found->second;
    m_colorOrder.push_back(key);
    int index = int(m_colorOrder.size()); // 0 is "automatic"
    m_colors[key] = index;
    return index;
}

void RtfWriter::writeCharacterFormatting(const Attributes& a)
{
    std::string& out = m_body;
    if (!a.fontFamilyComplex.empty())
        out += "\\rtlch\\af" + std::to_string(fontIndex(a.fontFamilyComplex)) + "\\ltrch";
    if (!a.fontFamilyEastAsian.empty())
        out += "\\dbch\\af" + std::to_string(fontIndex(a.fontFamilyEastAsian)) + "\\loch";
    out += "\\f" + std::to_string(fontIndex(a.fontFamily));
    out += "\\fs" + std::to_string(std::max(1, int(std::lround(double(a.fontSize) * 2.0))));
    if (a.bold)
        out += "\\b";
    if (a.italic)
        out += "\\i";
    if (a.underline == LineStyle::Single)
        out += "\\ul";
    else if (a.underline == LineStyle::Double)
        out += "\\uldb";
    if (a.strikethrough == LineStyle::Single)
        out += "\\strike";
    else if (a.strikethrough == LineStyle::Double)
        out += "\\striked1";
    if (a.allCaps)
        out += "\\caps";
    if (a.smallCaps)
        out += "\\scaps";
    if (a.foreground)
        out += "\\cf" + std::to_string(colorIndex(*a.foreground));
    if (a.background) {
        // \chcbpat is what Word reads as run shading; \cb is the older word for the same.
        std::string index = std::to_string(colorIndex(*a.background));
        out += "\\chshdng0\\chcbpat" + index + "\\cb" + index;
    }
    if (a.superscript > 0)
        out += "\\super";
    else if (a.superscript < 0)
        out += "\\sub";
    if (a.baselineShift != 0) {
        int halfPoints = int(std::lround(double(a.baselineShift) * 2.0));
        if (halfPoints > 0)
            out += "\\up" + std::to_string(halfPoints);
        else if (halfPoints < 0)
            out += "\\dn" + std::to_string(-halfPoints);
    }
    out += ' ';
}

void RtfWriter::writeParagraphFormatting(const ParagraphStyle& style)
{
    std::string& out = m_body;
    switch (style.alignment) {
    case TextAlignment::Left:
        out += "\\ql";
        break;
    case TextAlignment::Right:
        out += "\\qr";
        break;
    case TextAlignment::Center:
        out += "\\qc";
        break;
    case TextAlignment::Justified:
        out += "\\qj";
        break;
    case TextAlignment::Natural:
        break;
    }
    if (style.baseDirection == WritingDirection::RightToLeft)
        out += "\\rtlpar";
    else if (style.baseDirection == WritingDirection::LeftToRight)
        out += "\\ltrpar";
    int head = toTwips(style.headIndent);
    // \fi is relative to \li: the difference of two extreme indents does not fit an int.
    int first = int(std::clamp<long long>(
        static_cast<long long>(toTwips(style.firstLineHeadIndent)) - head, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    if (head)
        out += "\\li" + std::to_string(head);
    if (first)
        out += "\\fi" + std::to_string(first);
    if (toTwips(style.tailIndent))
        out += "\\ri" + std::to_string(toTwips(style.tailIndent));
    if (toTwips(style.spacingBefore))
        out += "\\sb" + std::to_string(toTwips(style.spacingBefore));
    if (toTwips(style.spacingAfter))
        out += "\\sa" + std::to_string(toTwips(style.spacingAfter));
    switch (style.lineSpacingRule) {
    case LineSpacingRule::Multiple: {
        // A multiple of single spacing, which RTF counts as 240.
        int value = int(std::lround(double(style.lineSpacing) * 240.0));
        if (value != 240 && value > 0)
            out += "\\sl" + std::to_string(value) + "\\slmult1";
        break;
    }
    case LineSpacingRule::Exact:
        out += "\\sl-" + std::to_string(std::max(1, toTwips(style.lineSpacing))) + "\\slmult0";
        break;
    case LineSpacingRule::AtLeast:
        out += "\\sl" + std::to_string(std::max(1, toTwips(style.lineSpacing))) + "\\slmult0";
        break;
    }
    for (const auto& tab : style.tabStops) {
        if (tab.alignment == TabAlignment::Right)
            out += "\\tqr";
        else if (tab.alignment == TabAlignment::Center)
            out += "\\tqc";
        else if (tab.alignment == TabAlignment::Decimal)
            out += "\\tqdec";
        out += "\\tx" + std::to_string(toTwips(tab.location));
    }
    if (style.pageBreakBefore)
        out += "\\pagebb";
    if (style.keepWithNext)
        out += "\\keepn";
    if (style.outlineLevel >= 1 && style.outlineLevel <= 9)
        out += "\\outlinelevel" + std::to_string(style.outlineLevel - 1);
    out += ' ';
}

void RtfWriter::writeFloatingAttachment(const Attachment& attachment)
{
    // A shape holding the picture (its "pib" property), placed as the shape's words say.
    const FloatPlacement& placement = *attachment.placement;
    std::string& out = m_body;
    auto twips = [](float points) { return std::to_string(toTwips(points)); };
    auto property = [&](const char* name, long value) {
        out += std::string("{\\sp{\\sn ") + name + "}{\\sv " + std::to_string(value) + "}}";
    };
    using Frame = FloatPlacement::Frame;
    out += "{\\shp{\\*\\shpinst\\shpleft" + twips(placement.offset.x) + "\\shptop" + twips(placement.offset.y) + "\\shpright"
        + twips(placement.offset.x + attachment.size.width) + "\\shpbottom" + twips(placement.offset.y + attachment.size.height);
    out += placement.horizontalFrame == Frame::Page ? "\\shpbxpage" : placement.horizontalFrame == Frame::Margin ? "\\shpbxmargin" : "\\shpbxcolumn";
    out += placement.verticalFrame == Frame::Page ? "\\shpbypage" : placement.verticalFrame == Frame::Margin ? "\\shpbymargin" : "\\shpbypara";
    static const char* const kWraps[] = { "\\shpwr2", "\\shpwr1", "\\shpwr3" }; // Square, TopAndBottom, None
    out += kWraps[std::size_t(placement.wrap) % 3];
    out += std::string("\\shpfblwtxt") + (placement.behindText ? "1" : "0");
    // Alignments: 1 left (top), 2 centre, 3 right (bottom); 0 is the offset.
    static const long kAligns[] = { 0, 1, 2, 3 };
    property("posh", kAligns[std::size_t(placement.horizontalAlign) % 4]);
    property("posv", kAligns[std::size_t(placement.verticalAlign) % 4]);
    static const char* const kDistances[] = { "dyWrapDistTop", "dxWrapDistLeft", "dyWrapDistBottom", "dxWrapDistRight" };
    for (std::size_t i = 0; i < 4; ++i)
        property(kDistances[i], std::lround(std::clamp(placement.distance[i], 0.0f, 1584.0f) * 12700));
    out += "{\\sp{\\sn pib}{\\sv ";
    writePicture(attachment);
    out += "}}}}";
}

void RtfWriter::writeAttachment(const Attachment& attachment)
{
    if (attachment.placement)
        writeFloatingAttachment(attachment);
    else
        writePicture(attachment);
}

void RtfWriter::writePicture(const Attachment& attachment)
{
    std::string& out = m_body;
    int widthTwips = std::max(1, toTwips(attachment.size.width));
    int heightTwips = std::max(1, toTwips(attachment.size.height));
    std::optional<EmbeddedImage> image = embeddedImage(attachment);
    out += "{\\pict";
    if (!attachment.alternativeText.empty()) {
        out += "{\\*\\picprop{\\sp{\\sn wzDescription}{\\sv ";
        appendEscaped(out, attachment.alternativeText);
        out += "}}}";
    }
    if (!image) {
        // Nothing drawable: a metafile without data keeps the placeholder's size (in hundredths of a mm).
        out += "\\wmetafile8\\picw" + std::to_string(std::lround(attachment.size.width * 2540.0 / 72.0)) + "\\pich"
            + std::to_string(std::lround(attachment.size.height * 2540.0 / 72.0)) + "\\picwgoal"
            + std::to_string(widthTwips) + "\\pichgoal" + std::to_string(heightTwips) + "}";
        return;
    }
    int pixelWidth = image->pixelWidth ? image->pixelWidth : int(std::lround(attachment.size.width * 96.0 / 72.0));
    int pixelHeight = image->pixelHeight ? image->pixelHeight : int(std::lround(attachment.size.height * 96.0 / 72.0));
    out += image->blip;
    out += "\\picw" + std::to_string(pixelWidth) + "\\pich" + std::to_string(pixelHeight) + "\\picwgoal"
        + std::to_string(widthTwips) + "\\pichgoal" + std::to_string(heightTwips) + "\n";
    static const char* kHex = "0123456789abcdef";
    for (std::size_t i = 0; i < image->bytes.size(); ++i) {
        out += kHex[image->bytes[i] >> 4];
        out += kHex[image->bytes[i] & 15];
        if (i % 64 == 63)
            out += '\n';
    }
    out += "}";
}

// One paragraph: its formatting, its runs in groups (list labels marked, links as HYPERLINK fields), and
// its end: \par, \page, or \cell / \nestcell when it is the last paragraph of a table cell.
void RtfWriter::writeParagraph(Range paragraph, int level, bool endsCell)
{
    std::string& out = m_body;
    const std::string& text = m_text->string();
    Range end = paragraph;
    char terminator = 0;
    if (paragraph.length && (text[paragraph.end() - 1] == '\n' || text[paragraph.end() - 1] == '\f')) {
        terminator = text[paragraph.end() - 1];
        end.length = paragraph.length - 1;
    }
    const Attributes& first = m_text->attributesAt(paragraph.location);
    out += "\\pard\\plain";
    if (level > 0)
        out += "\\intbl\\itap" + std::to_string(level);
    if (m_newTableLevel) {
        // Two tables in a row would read back as one; our reader starts a new table here.
        out += "\\lectorinnewtable" + std::to_string(m_newTableLevel);
        m_newTableLevel = 0;
    }
    writeParagraphFormatting(first.paragraphStyle());

    std::string openLink;
    auto closeLink = [&] {
        if (!openLink.empty())
            out += "}}}";
        openLink.clear();
    };
    // A bookmark is the run of characters that carries its name: its start and end are written around them,
    // in the body itself, where readers look for them.
    auto anchorAt = [&](std::size_t index) -> const std::string& {
        static const std::string none;
        return index < m_text->length() ? m_text->attributesAt(index).anchor : none;
    };
    auto startBookmark = [&](std::size_t index) {
        const std::string& name = anchorAt(index);
        if (!name.empty() && (index == 0 || anchorAt(index - 1) != name)) {
            out += "{\\*\\bkmkstart ";
            appendEscaped(out, name);
            out += "}";
        }
    };
    auto endBookmark = [&](std::size_t last) {
        const std::string& name = anchorAt(last);
        if (!name.empty() && anchorAt(last + 1) != name) {
            out += "{\\*\\bkmkend ";
            appendEscaped(out, name);
            out += "}";
        }
    };
    bool inLabel = false;
    std::size_t position = end.location;
    while (position < end.end()) {
        Range run;
        const Attributes& attributes = m_text->attributesAt(position, &run);
        std::size_t runEnd = std::min(run.end(), end.end());
        bool isLabel = attributes.listLabel && (inLabel || position == paragraph.location);
        if (!isLabel && inLabel) {
            out += "}";
            inLabel = false;
        }
        if (attributes.link != openLink) {
            closeLink();
            startBookmark(position);
            if (!attributes.link.empty() && !isLabel) {
                // A link inside the document names its bookmark with \l, as word processors write it.
                bool isInternal = attributes.link.front() == '#';
                std::string url = isInternal ? attributes.link.substr(1) : attributes.link;
                std::string escaped;
                for (char c : url)
                    escaped += c == '"' ? std::string("%22") : c == '\\' ? std::string("\\\\") : std::string(1, c);
                out += isInternal ? "{\\field{\\*\\fldinst{HYPERLINK \\\\l \"" : "{\\field{\\*\\fldinst{HYPERLINK \"";
                appendEscaped(out, escaped);
                out += "\"}}{\\fldrslt{";
                openLink = attributes.link;
            }
        } else {
            startBookmark(position);
        }
        if (isLabel && !inLabel) {
            // The label is written as text inside a group of our own, so readers that do not know the
            // word still show it.
            out += "{\\lectorinlabel ";
            inLabel = true;
        }
        // A page number is a field whose result is the number the text holds.
        static const char* const kFieldCodes[] = { nullptr, "PAGE", "NUMPAGES", "SECTIONPAGES" };
        const char* fieldCode = kFieldCodes[std::size_t(attributes.pageField) % 4];
        if (fieldCode)
            out += std::string("{\\field{\\*\\fldinst{") + fieldCode + "}}{\\fldrslt";
        out += "{";
        writeCharacterFormatting(attributes);
        std::string part = text.substr(position, runEnd - position);
        if (attributes.attachment) {
            for (std::size_t i = 0; i < part.size();) {
                std::size_t start = i;
                char32_t c = kit::decodeUtf8(part, i);
                if (c == 0xFFFC)
                    writeAttachment(*attributes.attachment);
                else
                    appendEscaped(out, part.substr(start, i - start), isSymbolFont(attributes.fontFamily));
            }
        } else {
            appendEscaped(out, part, isSymbolFont(attributes.fontFamily));
        }
        out += "}";
        if (fieldCode)
            out += "}}";
        endBookmark(runEnd - 1);
        position = runEnd;
    }
    if (inLabel)
        out += "}";
    closeLink();
    const char* mark = nullptr;
    if (endsCell)
        mark = level > 1 ? "\\nestcell" : "\\cell";
    else if (terminator == '\n')
        mark = "\\par";
    else if (terminator == '\f')
        mark = "\\page";
    if (mark) {
        // A bookmark on the paragraph mark alone (an empty heading) still has a place.
        if (terminator)
            startBookmark(paragraph.end() - 1);
        out += "{";
        std::size_t markIndex
            = terminator ? paragraph.end() - 1 : (paragraph.length ? paragraph.end() - 1 : paragraph.location);
        if (markIndex < m_text->length())
            writeCharacterFormatting(m_text->attributesAt(markIndex));
        out += mark;
        out += "}";
        if (terminator)
            endBookmark(paragraph.end() - 1);
    }
    out += "\n";
}

void RtfWriter::writeItems(const std::vector<Item>& items, int level, bool endsCell)
{
    for (std::size_t i = 0; i < items.size(); ++i) {
        bool isLast = i + 1 == items.size();
        if (items[i].table && i > 0 && items[i - 1].table)
            m_newTableLevel = items[i].table->level;
        if (items[i].table)
            writeTable(*items[i].table);
        else
            writeParagraph(items[i].paragraph, level, endsCell && isLast);
    }
    // A cell whose last content is a nested table still ends with a paragraph of its own.
    if (endsCell && (items.empty() || items.back().table)) {
        m_body
            += "\\pard\\plain\\intbl\\itap" + std::to_string(level) + (level > 1 ? "{\\nestcell}" : "{\\cell}") + "\n";
    }
}

void RtfWriter::writeRowDefinition(const std::vector<const TableCell*>& cells, const std::vector<bool>& isContinuation)
{
    std::string& out = m_body;
    // The row's own cells say whether it is a header row; a merge continuing from above does not.
    const TableCell* any = cells.empty() ? nullptr : cells.front();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (!isContinuation[i]) {
            any = cells[i];
            break;
        }
    }
    const TableCell* first = cells.empty() ? nullptr : cells.front();
    std::vector<int> edges { 0 };
    if (any) {
        // Each width is rounded on its own, so the reader's widths are the rounded widths.
        for (float width : any->columnWidths)
            edges.push_back(edges.back() + std::max(1, toTwips(width)));
    }
    auto edge = [&](int column) {
        if (column >= 0 && std::size_t(column) < edges.size())
            return edges[std::size_t(column)];
        return edges.back() + (column - int(edges.size()) + 1) * 1440;
    };
    out += "\\trowd";
    if (any)
        out += "\\trgaph" + std::to_string(toTwips(any->padding[1]));
    out += "\\trleft" + std::to_string(first ? edge(first->column) : 0);
    if (any && any->isHeaderRow)
        out += "\\trhdr";
    if (any && any->rowKeepsTogether)
        out += "\\trkeep";
    // The table's grid, for our reader: a column whose edge no cell of any row marks would be lost.
    for (int gridEdge : edges)
        out += "\\lectoringrid" + std::to_string(gridEdge);
    static const char* kSides[] = { "\\clbrdrt", "\\clbrdrl", "\\clbrdrb", "\\clbrdrr" };
    // Word's swapped names: \clpadl is the top padding and \clpadt the left one.
    static const char* kPadding[] = { "\\clpadl", "\\clpadt", "\\clpadb", "\\clpadr" };
    static const char* kPaddingUnits[] = { "\\clpadfl3", "\\clpadft3", "\\clpadfb3", "\\clpadfr3" };
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const TableCell& cell = *cells[i];
        if (isContinuation[i])
            out += "\\clvmrg";
        else if (cell.rowSpan > 1)
            out += "\\clvmgf";
        for (int side = 0; side < 4; ++side) {
            const Border& border = cell.borders[std::size_t(side)];
            if (border.style == LineStyle::None)
                continue;
            out += kSides[side];
            out += border.style == LineStyle::Double ? "\\brdrdb" : "\\brdrs";
            out += "\\brdrw" + std::to_string(toTwips(border.width));
            out += "\\brdrcf" + std::to_string(colorIndex(border.color));
        }
        if (cell.shading)
            out += "\\clcbpat" + std::to_string(colorIndex(*cell.shading));
        for (int side = 0; side < 4; ++side)
            out += std::string(kPadding[side]) + std::to_string(toTwips(cell.padding[std::size_t(side)]))
                + kPaddingUnits[side];
        out += "\\cellx" + std::to_string(edge(cell.column + std::max(1, cell.columnSpan)));
    }
    out += "\n";
}

void RtfWriter::writeTable(const TableNode& table)
{
    // The rows to write: the table's rows, and between and after them the rows that only continue vertical
    // merges, which hold no text and so are not in the tree.
    std::vector<std::pair<int, const RowNode*>> rows;
    int coveredUntil = -1; // the last row a vertical merge reaches
    auto addContinuationRows = [&](int before) {
        if (rows.empty())
            return;
        int first = rows.back().first + 1;
        for (int missing = first; missing < before && missing <= coveredUntil && missing < first + 1000; ++missing)
            rows.push_back({ missing, nullptr });
    };
    for (const auto& row : table.rows) {
        addContinuationRows(row.row);
        rows.push_back({ row.row, &row });
        for (const auto& node : row.cells)
            coveredUntil = std::max(coveredUntil, row.row + std::max(1, node.cell->rowSpan) - 1);
    }
    addContinuationRows(coveredUntil + 1);

    // Continuations of vertical merges are not in the text; RTF wants an empty \clvmrg cell for each.
    std::map<int, std::pair<const TableCell*, int>> merges; // by column: the first cell, the last row it covers
    static const std::vector<CellNode> kNoCells;
    for (const auto& [rowNumber, node] : rows) {
        const std::vector<CellNode>& rowCells = node ? node->cells : kNoCells;
        for (auto it = merges.begin(); it != merges.end();) {
            if (it->second.second < rowNumber)
                it = merges.erase(it);
            else
                ++it;
        }
        std::vector<const TableCell*> cells;
        std::vector<bool> isContinuation;
        std::vector<const CellNode*> nodes;
        std::size_t next = 0;
        auto mergeIt = merges.begin();
        while (next < rowCells.size() || mergeIt != merges.end()) {
            bool takeMerge
                = mergeIt != merges.end() && (next >= rowCells.size() || mergeIt->first < rowCells[next].cell->column);
            if (takeMerge) {
                cells.push_back(mergeIt->second.first);
                isContinuation.push_back(true);
                nodes.push_back(nullptr);
                ++mergeIt;
            } else {
                cells.push_back(rowCells[next].cell.get());
                isContinuation.push_back(false);
                nodes.push_back(&rowCells[next]);
                ++next;
            }
        }
        if (cells.empty())
            continue;
        for (const auto& cell : rowCells) {
            if (cell.cell->rowSpan > 1)
                merges[cell.cell->column] = { cell.cell.get(), rowNumber + cell.cell->rowSpan - 1 };
        }
        if (table.level == 1)
            writeRowDefinition(cells, isContinuation);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (nodes[i])
                writeItems(nodes[i]->items, table.level, true);
            else
                writeItems({}, table.level, true);
        }
        if (table.level == 1) {
            m_body += "\\row\n";
        } else {
            m_body += "{\\*\\nesttableprops";
            writeRowDefinition(cells, isContinuation);
            m_body += "\\nestrow}{\\nonesttables\\par}\n";
        }
    }
}

// A section's page words (\sectd resets it to the defaults, from which they set it), then its stories.
void RtfWriter::writeSection(const PageSection& section, const PageSection* previous, bool startsPage)
{
    if (previous)
        m_body += "\\sect";
    m_body += std::string("\\sectd") + (startsPage || !previous ? "\\sbkpage" : "\\sbknone") + "\\pgwsxn"
        + std::to_string(toTwips(section.paperSize.width)) + "\\pghsxn"
        + std::to_string(toTwips(section.paperSize.height));
    const struct {
        const char* word;
        float value;
    } lengths[] = { { "marglsxn", section.margins.left }, { "margrsxn", section.margins.right },
        { "margtsxn", section.margins.top }, { "margbsxn", section.margins.bottom },
        { "guttersxn", section.margins.gutter }, { "headery", section.margins.header },
        { "footery", section.margins.footer } };
    for (const auto& length : lengths)
        m_body += std::string("\\") + length.word + std::to_string(toTwips(length.value));
    if (section.columnCount > 1)
        m_body += "\\cols" + std::to_string(section.columnCount) + "\\colsx" + std::to_string(toTwips(section.columnSpacing))
            + (section.columnSeparator ? "\\linebetcol" : "");
    if (section.titlePage)
        m_body += "\\titlepg";
    if (section.pageNumberStart)
        m_body += "\\pgnstarts" + std::to_string(*section.pageNumberStart) + "\\pgnrestart";
    static const char* const kNumberFormats[] = { "\\pgndec", "\\pgnlcrm", "\\pgnucrm", "\\pgnlcltr", "\\pgnucltr" };
    m_body += kNumberFormats[std::size_t(section.pageNumberFormat) % 5];
    m_body += "\n";
    // Default, First, Even: the words RTF gives each (the default is the odd pages' when even ones differ).
    const char* headers[] = { "header", "headerf", "headerl" };
    const char* footers[] = { "footer", "footerf", "footerl" };
    for (std::size_t kind = 0; kind < kHeaderFooterKinds; ++kind) {
        writeStory(headers[kind], section.headers[kind]);
        writeStory(footers[kind], section.footers[kind]);
    }
}

void RtfWriter::writeStory(const char* destination, const std::shared_ptr<TextStorage>& story)
{
    // A story of no text is written as nothing, so the section links to its predecessor's, as a reader does
    // with an empty group.
    if (!story || !story->length())
        return;
    m_body += std::string("{\\") + destination + "\n";
    const TextStorage* body = std::exchange(m_text, story.get());
    writeBody(nullptr);
    m_text = body;
    m_body += "}\n";
}

std::string RtfWriter::write()
{
    const PageSetup* setup = m_withPageSetup ? m_text->pageSetup().get() : nullptr;
    writeBody(setup && !setup->sections.empty() ? setup : nullptr);

    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\uc0\\deff0";
    if (setup && setup->evenAndOddHeaders)
        out += "\\facingp";
    if (m_text->length()) {
        float tabInterval = m_text->attributesAt(0).paragraphStyle().defaultTabInterval;
        if (tabInterval > 0)
            out += "\\deftab" + std::to_string(toTwips(tabInterval));
    }
    if (m_fonts.empty())
        m_fonts.push_back(Attributes {}.fontFamily);
    out += "{\\fonttbl";
    for (std::size_t i = 0; i < m_fonts.size(); ++i) {
        out += "{\\f" + std::to_string(i) + "\\fnil\\fcharset" + (isSymbolFont(m_fonts[i]) ? "2" : "0") + " ";
        appendEscaped(out, m_fonts[i]);
        out += ";}";
    }
    out += "}\n{\\colortbl;";
    for (const auto& color : m_colorOrder) {
        out += "\\red" + std::to_string(color.red) + "\\green" + std::to_string(color.green) + "\\blue"
            + std::to_string(color.blue) + ";";
    }
    out += "}\n";
    out += m_body;
    out += "}\n";
    return out;
}

void RtfWriter::writeBody(const PageSetup* setup)
{
    const std::string& text = m_text->string();
    // Split into paragraphs and arrange them in the tree of tables they stand in.
    std::vector<Item> document;
    struct Open {
        TableNode* table;
        std::shared_ptr<const TableCell> cell;
    };
    std::vector<Open> open;
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t end = text.find_first_of("\n\f", position);
        end = end == std::string::npos ? text.size() : end + 1;
        Range paragraph { position, end - position };
        position = end;
        auto chain = cellChain(m_text->attributesAt(paragraph.location).tableCell);
        std::size_t keep = 0;
        while (keep < open.size() && keep < chain.size() && open[keep].table->tableId == chain[keep]->tableId
            && open[keep].table->rows.back().row == chain[keep]->row && sameCell(*open[keep].cell, *chain[keep]))
            ++keep;
        // The first level that differs: a new cell in the same row, a new row, or a new table.
        std::vector<Item>* items = keep == 0 ? &document : &open[keep - 1].table->rows.back().cells.back().items;
        for (std::size_t level = keep; level < chain.size(); ++level) {
            const auto& cell = chain[level];
            TableNode* table = nullptr;
            if (level < open.size() && open[level].table->tableId == cell->tableId)
                table = open[level].table;
            open.resize(level);
            if (!table) {
                items->push_back({ {}, std::make_unique<TableNode>(), paragraph.location });
                table = items->back().table.get();
                table->tableId = cell->tableId;
                table->level = int(level) + 1;
            }
            if (table->rows.empty() || table->rows.back().row != cell->row)
                table->rows.push_back({ cell->row, {} });
            table->rows.back().cells.push_back({ cell, {} });
            open.push_back({ table, cell });
            items = &table->rows.back().cells.back().items;
        }
        open.resize(chain.size());
        items->push_back({ paragraph, nullptr, paragraph.location });
    }

    std::size_t section = 0;
    if (setup)
        writeSection(setup->sections[0], nullptr, true);
    for (std::size_t i = 0; i < document.size(); ++i) {
        // A section begins with the first paragraph or table at or after its start.
        bool broke = false;
        while (setup && section + 1 < setup->sections.size() && setup->sections[section + 1].start <= document[i].start) {
            ++section;
            broke = true;
        }
        if (broke) {
            // A section that begins mid-page in the text stays continuous; one after a page break or on a
            // paragraph that breaks the page starts its page.
            std::size_t start = document[i].start;
            bool startsPage = (start > 0 && text[start - 1] == '\f')
                || m_text->attributesAt(start).paragraphStyle().pageBreakBefore;
            writeSection(setup->sections[section], &setup->sections[section - 1], startsPage);
        }
        if (document[i].table && i > 0 && document[i - 1].table)
            m_newTableLevel = 1;
        if (document[i].table)
            writeTable(*document[i].table);
        else
            writeParagraph(document[i].paragraph, 0, false);
    }
}

} // namespace

std::string writeRtf(const TextStorage& text, Range range)
{
    TextStorage part = text.substring(range);
    return RtfWriter(part, false).write();
}

std::string writeRtfWithPageSetup(const TextStorage& text)
{
    return RtfWriter(text, true).write();
}

} // namespace importer::rtf
