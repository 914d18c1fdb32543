// The collector that builds our text from a document library's callbacks, fed the callback sequences a
// damaged document could make a library send: any order, any nesting, any property values. Each input
// byte picks a callback; the bytes after it pick its properties. The text that comes out keeps the
// model's rules whatever came in.
#include "import/common/Encoding.h"
#include "import/revenge/TextCollector.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool atEnd() const { return m_at >= m_size; }
    std::uint8_t next() { return m_at < m_size ? m_data[m_at++] : 0; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

const char* const kNames[] = { "fo:font-size", "fo:margin-left", "fo:text-indent", "fo:margin-right", "fo:margin-top",
    "fo:line-height", "style:line-height-at-least", "style:text-position", "fo:border-left", "fo:border",
    "librevenge:column", "librevenge:row", "table:number-columns-spanned", "table:number-rows-spanned",
    "librevenge:number", "svg:width", "svg:height", "text:start-value", "style:num-format", "style:num-prefix",
    "text:bullet-char", "text:space-before", "text:min-label-width", "fo:font-weight", "fo:text-align",
    "fo:break-before", "text:outline-level", "style:font-name", "style:font-name-complex", "fo:color",
    "fo:background-color", "style:text-underline-type", "xlink:href", "librevenge:is-header-row", "fo:page-width",
    "fo:page-height", "librevenge:field-type", "librevenge:replacement-text" };
const char* const kStrings[] = { "", "bold", "900", "italic", "super 58%", "-33% 58%", "0.02in solid #ff0000", "none",
    "double", "#00ff00", "center", "justify", "page", "1", "a", "I", "\xEF\x82\xB7", "Times New Roman", "Arial",
    "text:page-number", "http://example.com/", "100%", "nan", "-1e300", "\xC3", "x\ny\r" };
const double kNumbers[] = { 0, 1, -1, 0.5, 2.5, 72, -72, 1e9, -1e9, 1e300, 3, 1000001 };
const librevenge::RVNGUnit kUnits[] = { librevenge::RVNG_INCH, librevenge::RVNG_POINT, librevenge::RVNG_TWIP,
    librevenge::RVNG_PERCENT, librevenge::RVNG_GENERIC };

template <typename T, std::size_t N> const T& pick(const T (&table)[N], Input& in) { return table[in.next() % N]; }

librevenge::RVNGPropertyList properties(Input& in, int depth = 0)
{
    librevenge::RVNGPropertyList list;
    int count = in.next() % 5;
    for (int i = 0; i < count; ++i) {
        const char* name = pick(kNames, in);
        switch (in.next() % 6) {
        case 0:
        case 1:
            list.insert(name, pick(kStrings, in));
            break;
        case 2:
        case 3:
            list.insert(name, pick(kNumbers, in), pick(kUnits, in));
            break;
        case 4: {
            // Picture bytes: a PNG signature with whatever follows, or anything.
            std::uint8_t bytes[24] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
            for (std::size_t b = in.next() % 2 ? 8 : 0; b < sizeof bytes; ++b)
                bytes[b] = in.next();
            list.insert("office:binary-data", librevenge::RVNGBinaryData(bytes, sizeof bytes));
            break;
        }
        default:
            if (depth < 2) {
                librevenge::RVNGPropertyListVector vector;
                int items = in.next() % 4;
                for (int v = 0; v < items; ++v)
                    vector.append(properties(in, depth + 1));
                const char* children[]
                    = { "librevenge:tab-stops", "librevenge:table-columns", "librevenge:replacement-objects" };
                list.insert(children[in.next() % 3], vector);
            }
        }
    }
    return list;
}

void call(importer::revenge::TextCollector& c, Input& in)
{
    switch (in.next() % 40) {
    case 0:
        c.openPageSpan(properties(in));
        break;
    case 1:
        c.openHeader(properties(in));
        break;
    case 2:
        c.closeHeader();
        break;
    case 3:
        c.openFooter(properties(in));
        break;
    case 4:
        c.closeFooter();
        break;
    case 5:
    case 6:
        c.openParagraph(properties(in));
        break;
    case 7:
    case 8:
        c.closeParagraph();
        break;
    case 9:
        c.openSpan(properties(in));
        break;
    case 10:
        c.closeSpan();
        break;
    case 11:
        c.openLink(properties(in));
        break;
    case 12:
        c.closeLink();
        break;
    case 13:
        c.insertTab();
        break;
    case 14:
        c.insertSpace();
        break;
    case 15:
    case 16:
        c.insertText(pick(kStrings, in));
        break;
    case 17:
        c.insertLineBreak();
        break;
    case 18:
        c.insertField(properties(in));
        break;
    case 19:
        c.openOrderedListLevel(properties(in));
        break;
    case 20:
        c.openUnorderedListLevel(properties(in));
        break;
    case 21:
        c.closeOrderedListLevel();
        break;
    case 22:
        c.openListElement(properties(in));
        break;
    case 23:
        c.closeListElement();
        break;
    case 24:
        c.openFootnote(properties(in));
        break;
    case 25:
        c.closeFootnote();
        break;
    case 26:
        c.openEndnote(properties(in));
        break;
    case 27:
        c.closeEndnote();
        break;
    case 28:
        c.openComment(properties(in));
        break;
    case 29:
        c.closeComment();
        break;
    case 30:
        c.openTextBox(properties(in));
        break;
    case 31:
        c.closeTextBox();
        break;
    case 32:
        c.openTable(properties(in));
        break;
    case 33:
        c.openTableRow(properties(in));
        break;
    case 34:
        c.openTableCell(properties(in));
        break;
    case 35:
        c.closeTableCell();
        break;
    case 36:
        c.closeTable();
        break;
    case 37:
        c.openFrame(properties(in));
        break;
    case 38:
        c.closeFrame();
        break;
    default:
        c.insertBinaryObject(properties(in));
        break;
    }
}

bool sameCell(const kit::Attributes& a, const kit::Attributes& b)
{
    if (!a.tableCell || !b.tableCell)
        return !a.tableCell && !b.tableCell;
    return *a.tableCell == *b.tableCell;
}

// Says which rule broke, for the report of a crash found.
[[noreturn]] void fail(int rule)
{
    std::fprintf(stderr, "fuzz_revenge: rule %d broken\n", rule);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in(data, size);
    std::size_t limit = in.next() < 32 ? 64 : importer::revenge::TextCollector::kDefaultMaximumLength;
    importer::revenge::TextCollector collector(limit);
    collector.startDocument({});
    for (int calls = 0; !in.atEnd() && calls < 4000; ++calls)
        call(collector, in);
    collector.endDocument();

    const kit::TextStorage& text = *collector.text();
    const std::string& string = text.string();
    if (!importer::encoding::isValidUtf8({ reinterpret_cast<const std::uint8_t*>(string.data()), string.size() }))
        fail(1);
    if (string.find('\r') != std::string::npos || string.find('\0') != std::string::npos)
        fail(2);
    if (!string.empty() && string.back() != '\n')
        fail(3); // every paragraph was ended
    if (text.length() > limit + 64 * 4)
        fail(4); // (the limit counts picture bytes, the text their characters)
    const auto& runs = text.runs();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        std::size_t end = i + 1 < runs.size() ? runs[i + 1].location : text.length();
        const kit::Attributes& attributes = *runs[i].attributes;
        std::string_view runText(string.data() + runs[i].location, end - runs[i].location);
        // An attachment stands on U+FFFC, and only there.
        if (attributes.attachment && runText.find_first_not_of("\xEF\xBF\xBC") != std::string_view::npos)
            fail(5);
        // A cell's text ends in a paragraph break before the next cell or the text after the table begins.
        if (attributes.tableCell && (i + 1 == runs.size() || !sameCell(attributes, *runs[i + 1].attributes))
            && runText.back() != '\n')
            fail(6);
    }
    return 0;
}
