// The engine of our own must break every paragraph it takes where Pango's layout breaks it, with the same
// line heights, and hand the rest to Pango. Both engines lay out the same inputs; lines are compared
// byte for byte and metric for metric.

#include "LayoutTestSupport.h"
#include "kit/text/HarfBuzzParagraphEngine.h"
#include "kit/text/PangoParagraphEngine.h"
#include "support/Cases.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using kit::HarfBuzzParagraphEngine;
using kit::LineMetrics;
using kit::ParagraphInput;
using kit::PangoParagraphEngine;

struct Agreement {
    HarfBuzzParagraphEngine ours;
    PangoParagraphEngine pango;
    std::size_t paragraphs = 0;
    std::size_t lines = 0;

    // Lays the input out with both engines; true when every line agrees.
    bool compare(const ParagraphInput& input, const std::string& why)
    {
        std::vector<LineMetrics> a, b;
        ours.layOutParagraph(input, a);
        pango.layOutParagraph(input, b);
        ++paragraphs;
        lines += b.size();
        bool same = a.size() == b.size();
        for (std::size_t i = 0; same && i < a.size(); ++i) {
            same = a[i].start == b[i].start && a[i].length == b[i].length && a[i].ascent == b[i].ascent
                && a[i].descent == b[i].descent && a[i].lineGap == b[i].lineGap;
        }
        if (!same) {
            std::string text = input.storage->string().substr(input.start, input.length);
            std::string runs;
            for (const auto& run : input.storage->runs()) {
                if (run.location >= input.start && run.location < input.start + input.length)
                    runs += std::to_string(run.location - input.start) + ":" + std::to_string(run.attributes->fontSize)
                        + (run.attributes->bold ? "b" : "") + (run.attributes->italic ? "i" : "")
                        + (run.attributes->superscript ? "^" : "") + " ";
            }
            ADD_FAILURE() << runs << why << ", width " << input.columnWidth << ": " << describe(*input.storage, a)
                          << "\n  Pango: " << describe(*input.storage, b) << "\n  text: " << text;
        }
        return same;
    }

    static std::string describe(const kit::TextStorage& storage, const std::vector<LineMetrics>& lines)
    {
        std::string out;
        for (const LineMetrics& line : lines) {
            out += "[" + storage.string().substr(line.start, line.length) + "] ";
            out += std::to_string(line.ascent) + "/" + std::to_string(line.descent) + "/"
                + std::to_string(line.lineGap) + " ";
        }
        return out;
    }
};

// Each paragraph of a storage, as the layout manager hands it over (no terminator).
std::vector<ParagraphInput> paragraphsOf(const kit::TextStorage& storage, float width)
{
    std::vector<ParagraphInput> inputs;
    const std::string& text = storage.string();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        ParagraphInput input { &storage, start, end - start, width, 648 };
        input.paragraphStart = start;
        inputs.push_back(input);
        start = end + 1;
    }
    return inputs;
}

// Compares every paragraph of storage at four widths from a narrow column to a page, giving up after ten
// disagreements; the engine must take most paragraphs for the comparison to say much.
void compareAtWidths(Agreement& agreement, const kit::TextStorage& storage, const char* what)
{
    int failures = 0;
    for (float width : { 61.0f, 133.5f, 212.25f, 468.0f }) {
        for (const ParagraphInput& input : paragraphsOf(storage, width)) {
            if (!agreement.compare(input, what) && ++failures > 10)
                return;
        }
    }
    EXPECT_GT(agreement.ours.statistics().taken, agreement.ours.statistics().declined * 4)
        << "the engine declined most paragraphs, so the agreement says little";
}

kit::Attributes styled(kit::Attributes a, bool bold, bool italic, float size, const char* family)
{
    a.bold = bold;
    a.italic = italic;
    a.fontSize = size;
    a.fontFamily = family;
    return a;
}

} // namespace

// Text of the kind documents hold: words that kern with the spaces around them (A, T, V, W, Y, L, P),
// punctuation, digits, hyphenated words, accented letters, typographic quotes and dashes, in style runs
// that change font, size, weight and slant inside words and between them.
TEST(EngineAgreement, GeneratedParagraphsBreakWherePangoBreaksThem)
{
    static const char* words[] = { "The", "new", "Antipas", "AVATAR", "Tyrant", "of", "Valley", "Wave", "Yonder",
        "Lawyer", "Paper", "a", "to", "layout", "paragraph", "international", "1,250.75", "P.", "T.", "quickly",
        "co-operation", "naïve", "Ärger", "“quoted”", "it’s", "—", "(aside)", "well-known", "x", "AT&T", "V.A.T.",
        "don't", "end.", "right?", "yes!", "fi", "office", "Wyoming", "LYNX" };
    static const char* families[] = { "Times New Roman", "Arial", "Calibri", "Cambria", "Courier New" };
    std::mt19937 random(1509);
    auto storage = std::make_shared<kit::TextStorage>();
    kit::Attributes base = layouttest::attributes();
    for (int p = 0; p < 160; ++p) {
        int count = 3 + int(random() % 40);
        const char* family = families[random() % std::size(families)];
        float size = p % 7 == 0 ? 9.5f + float(random() % 20) : 12;
        for (int w = 0; w < count; ++w) {
            std::string word = words[random() % std::size(words)];
            if (w + 1 < count)
                word += random() % 13 ? " " : "  ";
            // A run boundary inside a word now and then (the style changes mid-word).
            kit::Attributes a = styled(base, random() % 6 == 0, random() % 5 == 0, size, family);
            if (random() % 25 == 0)
                a.fontSize = size * 1.5f;
            if (random() % 30 == 0)
                a.superscript = 1;
            bool ascii = std::all_of(word.begin(), word.end(), [](char c) { return c > 0; });
            if (random() % 11 == 0 && word.size() > 3 && ascii) {
                storage->append(word.substr(0, 2), a);
                a.bold = !a.bold;
                storage->append(word.substr(2), a);
            } else {
                storage->append(word, a);
            }
        }
        storage->append("\n", base);
    }
    Agreement agreement;
    compareAtWidths(agreement, *storage, "generated");
    EXPECT_GT(agreement.lines, 1000u);
}

// Paragraphs of Latin, Cyrillic and Greek words together, as contracts and reports write company names,
// abbreviations and formulas among their own language's words, in fonts that hold all three scripts.
TEST(EngineAgreement, ParagraphsOfSeveralScriptsBreakWherePangoBreaksThem)
{
    static const char* words[] = { "Договор", "поставки", "ООО", "«Стройнова»", "(Stroynova", "LLC)", "№5", "и",
        "т.е.", "Valley", "AVATAR", "of", "Tyrant", "Ελλάδα", "(Αθήνα)", "α-β", "2013", "—", "Wave,", "Москва." };
    static const char* families[] = { "Times New Roman", "Arial", "Calibri", "Courier New" };
    std::mt19937 random(2116);
    auto storage = std::make_shared<kit::TextStorage>();
    for (int p = 0; p < 120; ++p) {
        // A paragraph in one family, now and then bold or italic throughout.
        kit::Attributes style
            = styled(layouttest::attributes(), p % 3 == 0, p % 5 == 0, 12, families[p % std::size(families)]);
        std::string text;
        for (int w = 3 + int(random() % 30); w > 0; --w)
            text += std::string(words[random() % std::size(words)]) + (w > 1 ? " " : "\n");
        storage->append(text, style);
    }
    Agreement agreement;
    compareAtWidths(agreement, *storage, "several scripts");
    EXPECT_GT(agreement.lines, 500u);
}

// Near the line's end a single break decides; sweeping the width in small steps puts every break of these
// paragraphs within a hair of the margin, including the ones where a space kerns with the next word.
TEST(EngineAgreement, BreaksAgreeAtEveryWidthAroundTheMargin)
{
    auto storage = std::make_shared<kit::TextStorage>();
    kit::Attributes roman = layouttest::attributes();
    kit::Attributes italic = roman;
    italic.italic = true;
    storage->append("The new Antipas, Tyrant of Avalon. Wave Yonder, Lawyer Paper AVATAR Tea.\n", roman);
    storage->append("Vast ", roman);
    storage->append("Yellow Tapestry ", italic);
    storage->append("Valley of the Wyvern  Tall ", roman);
    storage->append("Lanterns", italic);
    storage->append(" at Tiverton, Yorkshire.\n", roman);
    kit::ParagraphStyle indented;
    indented.firstLineHeadIndent = 18;
    indented.headIndent = 6;
    indented.tailIndent = 4;
    storage->append("Aching Yew; Volts Amps Watts: Typhoon Western Avenue.\n", layouttest::withParagraph(roman, indented));
    indented.firstLineHeadIndent = 0;
    indented.headIndent = 20;
    storage->append("Hanging Theory: Varied Ways to Yield Power.\n", layouttest::withParagraph(roman, indented));
    Agreement agreement;
    int failures = 0;
    for (float width = 30; width < 520; width += 0.1f) {
        for (const ParagraphInput& input : paragraphsOf(*storage, width)) {
            if (!agreement.compare(input, "sweep") && ++failures > 10)
                return;
        }
    }
    // Only the narrowest columns, where a word alone is wider than the line, go to Pango.
    EXPECT_GT(agreement.ours.statistics().taken, agreement.ours.statistics().declined * 10);
}

// What the engine does not take it hands to Pango whole, so the lines are Pango's.
TEST(EngineAgreement, ParagraphsItDoesNotTakeArePangos)
{
    const testsupport::Case<const char*, bool> cases[] = {
        { "plain words that wrap over more than one line of the narrow column", true, "plain Latin" },
        { "a\ttab stop", false, "tabs" },
        { "مرحبا بالعالم هذا نص عربي", false, "Arabic: right to left and joining" },
        { "mixed שלום text", false, "Hebrew inside Latin: bidi" },
        { "中文 text", false, "Han: another font and other breaks" },
        { "line\xE2\x80\xA8separator", false, "a line separator inside the paragraph" },
        { "soft\xC2\xADhyphen and more text", false, "a soft hyphen adds a hyphen when broken" },
        { "Extraordinarilylongwordthatcannotfit in the column", false, "a word wider than the line breaks by characters" },
        { "Кириллица, и только она: текст в узкой колонке", true, "Cyrillic alone" },
        { "Договор \xE2\x84\x96 44-ФЗ от 05.04.2013 и приложение \xE2\x84\x96\xC2\xA0" "2", true,
            "the numero sign before numbers, with a no-break space too" },
        { "Ελληνικά κείμενα σε στενή στήλη", true, "Greek alone" },
        { "Latin and кириллица", true, "two scripts: cut where Pango's items change script" },
        { "Греческий and Ελληνικά", true, "three scripts" },
        { "Стройнова (Stroynova) и Ко", true, "brackets around another script's words take the script outside" },
        { "emoji \xF0\x9F\x98\x80 face", false, "emoji take a font of their own" },
        { "", true, "an empty paragraph" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = std::make_shared<kit::TextStorage>();
        storage->append(c.input, layouttest::attributes());
        Agreement agreement;
        ParagraphInput input { storage.get(), 0, storage->length(), 120, 648 };
        agreement.compare(input, c.why);
        EXPECT_EQ(agreement.ours.statistics().taken, c.expected ? 1u : 0u);
    }
}

// Break opportunities found without Pango's analysis must be Pango's: every string over that alphabet.
TEST(EngineAgreement, FastBreakScanFindsPangosBreaks)
{
    static const char alphabet[] = "ab Z9 .,;:!?' ";
    std::mt19937 random(77);
    auto storage = std::make_shared<kit::TextStorage>();
    for (int p = 0; p < 400; ++p) {
        std::string text;
        int n = 2 + int(random() % 30);
        for (int i = 0; i < n; ++i)
            text += alphabet[random() % (sizeof alphabet - 1)];
        storage->append(text + "\n", layouttest::attributes());
    }
    Agreement agreement;
    // Narrow enough that every break opportunity that fits is taken.
    for (const ParagraphInput& input : paragraphsOf(*storage, 40))
        agreement.compare(input, "fast alphabet");
    EXPECT_GT(agreement.ours.statistics().taken, 100u);
}
