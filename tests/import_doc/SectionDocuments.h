#pragma once

// Word binary documents with a page setup, shared by the importer's tests and the command line's.

#include "WordFileBuilder.h"

#include <string>
#include <vector>

namespace testdoc {

// A header document: the six note separators (empty), then each section's six slots in Word's order (even
// header, odd header, even footer, odd footer, first header, first footer); an empty string leaves a slot
// empty. Each story gets its guard paragraph mark; the document ends in one more mark.
inline void addHeaderDocument(WordFileBuilder& builder, const std::vector<std::u16string>& slots)
{
    Bytes plc;
    std::u16string text;
    for (int i = 0; i < 6; ++i)
        put32(plc, 0);
    for (const auto& story : slots) {
        put32(plc, std::uint32_t(text.size()));
        if (!story.empty())
            text += story + u"\r";
    }
    put32(plc, std::uint32_t(text.size()));
    text += u"\r";
    put32(plc, std::uint32_t(text.size()));
    builder.mainLength = std::uint32_t(builder.text.size());
    builder.text += text;
    builder.headerLength = std::uint32_t(text.size());
    builder.tableEntries[11] = plc;
}

// Two sections. Section one, two pages: A4 portrait, margins of 1, 1.25, 0.75 and 0.5 inch (top,
// bottom, left, right), header and footer half an inch from the edges, a title page whose header says
// "First page header" while the other pages say "Running header"; the footer reads "Page N of M" from
// PAGE and NUMPAGES fields whose cached results say 9. Section two: A4 landscape with inch margins, one
// page, its headers and footers linked to section one's. The pages' bodies start with Alpha, Bravo and
// Charlie.
inline WordFileBuilder twoSectionDocument()
{
    WordFileBuilder builder;
    builder.text = u"Alpha opens the first page.\x0C"
                   u"Bravo ends the portrait section.\x0C"
                   u"Charlie opens the landscape section.\r";
    std::uint32_t firstBreak = 28, sectionEnd = 61, end = std::uint32_t(builder.text.size());
    builder.paragraphRuns = { { firstBreak, 0, {} }, { sectionEnd, 0, {} }, { end, 0, {} } };
    Bytes portrait = concat({ sprm16(0xB01F, 11906), sprm16(0xB020, 16838), sprm16(0x9023, 1440), sprm16(0x9024, 1800),
        sprm16(0xB021, 1080), sprm16(0xB022, 720), sprm16(0xB017, 720), sprm16(0xB018, 720), sprm(0x300A, { 1 }) });
    Bytes landscape = concat({ sprm(0x3009, { 2 }), sprm16(0xB01F, 16838), sprm16(0xB020, 11906), sprm(0x301D, { 2 }),
        sprm16(0x9023, 1440), sprm16(0x9024, 1440), sprm16(0xB021, 1440), sprm16(0xB022, 1440), sprm16(0xB017, 708),
        sprm16(0xB018, 708) });
    builder.sections = { { sectionEnd, portrait }, { end, landscape } };
    std::u16string footer = u"Page \x13 PAGE \x14"
                            u"9\x15 of \x13 NUMPAGES \x14"
                            u"9\x15\r";
    addHeaderDocument(builder,
        { u"", u"Running header\r", u"", footer, u"First page header\r", footer, u"", u"", u"", u"", u"", u"" });
    return builder;
}

} // namespace testdoc
