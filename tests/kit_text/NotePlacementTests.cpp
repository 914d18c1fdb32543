// Notes on the document's own pages: footnotes at the foot of their reference's page, continued when long,
// endnotes at the end of their section or of the document; on the printer's paper they stay after the body.
#include "LayoutTestSupport.h"
#include "kit/text/DocumentPages.h"
#include "kit/text/TextContainer.h"
#include "support/Cases.h"

#include <cairo.h>
#include <gtest/gtest.h>

namespace {

struct NoteText {
    kit::NoteKind kind = kit::NoteKind::Footnote;
    std::string text; // one paragraph per line
};

// A body whose "[k]" stand for references to notes[k], which are written after it as importers do, with
// the number as their mark. Small pages (300 x 300 points, half-inch margins: a 228-point square body).
struct NoteDocument {
    std::shared_ptr<kit::TextStorage> storage = std::make_shared<kit::TextStorage>();
    std::shared_ptr<kit::PageSetup> setup = std::make_shared<kit::PageSetup>();
    kit::LayoutManager layout;
    kit::DocumentPages pages { setup };

    NoteDocument(const std::string& body, const std::vector<NoteText>& notes,
        kit::EndnotePlacement placement = kit::EndnotePlacement::EndOfDocument, std::vector<std::size_t> sectionStarts = { 0 })
    {
        kit::Attributes plain;
        std::vector<std::size_t> references(notes.size());
        for (std::size_t i = 0; i < body.size();) {
            std::size_t close = body[i] == '[' ? body.find(']', i) : std::string::npos;
            if (close == std::string::npos) {
                storage->append(std::string_view(&body[i], 1), plain);
                ++i;
                continue;
            }
            std::size_t note = std::stoul(body.substr(i + 1, close - i - 1));
            references.at(note) = storage->length();
            storage->append(std::to_string(note + 1), plain);
            i = close + 1;
        }
        for (std::size_t n = 0; n < notes.size(); ++n) {
            std::size_t start = storage->length();
            storage->append(std::to_string(n + 1) + " " + notes[n].text + "\n", plain);
            setup->notes.push_back({ notes[n].kind, references[n], std::to_string(n + 1), { start, storage->length() - start } });
        }
        for (std::size_t start : sectionStarts) {
            kit::PageSection section;
            section.start = start;
            section.paperSize = { 300, 300 };
            section.margins = { 36, 36, 36, 36, 18, 18, 0 };
            setup->sections.push_back(section);
        }
        setup->endnotePlacement = placement;
        storage->setPageSetup(setup);
        layout.replaceTextStorage(storage);
        pages.paginate(layout);
    }

    struct Placement {
        std::size_t page = 0;
        kit::Rect rect;
        bool operator<(const Placement& o) const
        {
            return page != o.page ? page < o.page : rect.y() < o.rect.y();
        }
    };
    // Where the line holding byte lies; every byte must lie on exactly one line of one page.
    std::vector<Placement> placements(std::size_t byte)
    {
        std::vector<Placement> found;
        for (std::size_t page = 0; page < layout.textContainers().size(); ++page) {
            for (const auto& fragment : layout.lineFragmentsForTextContainer(*layout.textContainers()[page])) {
                if (!fragment.isDecoration && fragment.range.contains(byte))
                    found.push_back({ page, fragment.rect });
            }
        }
        return found;
    }
    Placement at(const std::string& text)
    {
        std::size_t byte = storage->string().find(text);
        EXPECT_NE(byte, std::string::npos) << text;
        auto found = placements(byte);
        EXPECT_EQ(found.size(), 1u) << text << " placed once";
        return found.empty() ? Placement { 9999, {} } : found.front();
    }
    // The body's lines on a page: those that are not a note's.
    std::vector<kit::Rect> bodyLines(std::size_t page)
    {
        std::vector<kit::Rect> rects;
        std::size_t bodyEnd = setup->notes.empty() ? storage->length() : setup->notes.front().text.location;
        for (const auto& fragment : layout.lineFragmentsForTextContainer(*layout.textContainers()[page])) {
            if (fragment.range.location < bodyEnd)
                rects.push_back(fragment.rect);
        }
        return rects;
    }
    // Each byte of the text is on exactly one line: no note lost, none shown twice.
    void expectEveryBytePlacedOnce()
    {
        std::vector<int> seen(storage->length(), 0);
        for (const auto& container : layout.textContainers()) {
            for (const auto& fragment : layout.lineFragmentsForTextContainer(*container)) {
                for (std::size_t b = fragment.range.location; b < fragment.range.end() && b < seen.size(); ++b)
                    seen[b] += fragment.isDecoration ? 0 : 1;
            }
        }
        for (std::size_t b = 0; b < seen.size(); ++b)
            ASSERT_EQ(seen[b], 1) << "byte " << b << " of " << seen.size();
    }
};

std::string numberedLines(int from, int to, const std::string& marked = {}, int markedLine = -1)
{
    std::string text;
    for (int i = from; i < to; ++i)
        text += "Line " + std::to_string(i) + (i == markedLine ? marked : std::string()) + "\n";
    return text;
}

constexpr float kBodyHeight = 228;

} // namespace

TEST(NotePlacement, FootnoteAtTheFootOfItsReferencesPage)
{
    NoteDocument d(numberedLines(0, 20) + "Line 20 refers[0] here.\n" + numberedLines(21, 30),
        { { kit::NoteKind::Footnote, "Footnote words." } });
    d.expectEveryBytePlacedOnce();
    auto reference = d.at("Line 20 refers");
    auto note = d.at("Footnote words");
    EXPECT_EQ(note.page, reference.page);
    EXPECT_EQ(reference.page, 1u);
    for (const kit::Rect& line : d.bodyLines(note.page))
        EXPECT_LE(line.maxY(), note.rect.y()) << "the note lies below every body line of its page";
    EXPECT_LE(note.rect.maxY(), kBodyHeight + 0.01f) << "inside the body's area, so above the footer band";
    EXPECT_GT(note.rect.maxY(), kBodyHeight - 1) << "at the foot, not right below the text";
    // The page without the note holds more body than the one with it.
    EXPECT_GT(d.bodyLines(0).size(), d.bodyLines(1).size() + 0);
    EXPECT_EQ(d.pages.pages().size(), 2u);
}

TEST(NotePlacement, LongFootnoteContinuesOnTheNextPage)
{
    // Thirty lines of note: more than one page's foot can hold.
    std::string longNote;
    for (int i = 0; i < 30; ++i)
        longNote += "Note line " + std::to_string(i) + (i < 29 ? "\n" : "");
    NoteDocument d("Line 0 refers[0] early.\n" + numberedLines(1, 60), { { kit::NoteKind::Footnote, longNote } });
    d.expectEveryBytePlacedOnce();
    auto first = d.at("1 Note line 0");
    auto second = d.at("Note line 20");
    auto last = d.at("Note line 29");
    EXPECT_EQ(first.page, 0u);
    EXPECT_GT(last.page, 0u) << "what did not fit continues on the next pages";
    for (std::size_t page = 1; page <= last.page; ++page) {
        SCOPED_TRACE(page);
        EXPECT_GE(d.bodyLines(page).size(), 7u) << "a continuation leaves the body at least half the page";
    }
    for (const kit::Rect& line : d.bodyLines(second.page))
        EXPECT_LE(line.maxY(), second.rect.y()) << "below the body of the page it continues on";
    EXPECT_EQ(d.bodyLines(0).size(), 1u) << "the note took the rest of its reference's page";
}

TEST(NotePlacement, ReferenceLineMovesToTheNextPageWithItsNote)
{
    // How many lines a page holds without notes.
    std::size_t perPage = NoteDocument(numberedLines(0, 40), {}).bodyLines(0).size();
    ASSERT_GT(perPage, 6u);
    const testsupport::Case<int, std::size_t> cases[] = {
        { int(perPage) - 1, 1, "the last line that fits alone cannot take its note along: both move on" },
        { int(perPage) - 3, 0, "three lines from the end there is room for the separator and the note" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        NoteDocument d(numberedLines(0, 40, "[0]", c.input), { { kit::NoteKind::Footnote, "The note." } });
        d.expectEveryBytePlacedOnce();
        auto reference = d.at("Line " + std::to_string(c.input) + "1");
        auto note = d.at("The note.");
        EXPECT_EQ(reference.page, c.expected);
        EXPECT_EQ(note.page, c.expected);
        if (c.expected == 1) {
            EXPECT_EQ(d.bodyLines(0).size(), std::size_t(c.input)) << "page one ends before the reference";
        }
    }
}

TEST(NotePlacement, EndnotesGoToTheEndOfTheirSectionOrDocument)
{
    std::string body = numberedLines(0, 5) + "Section one refers[0].\n\f";
    std::string second = "Section two starts.\n" + numberedLines(5, 30) + "Section two refers[1].\n";
    std::vector<NoteText> notes = { { kit::NoteKind::Endnote, "First endnote." }, { kit::NoteKind::Endnote, "Second endnote." } };
    std::size_t secondStart = body.size() - 3 + 1; // "[0]" becomes "1"
    {
        SCOPED_TRACE("end of section");
        NoteDocument d(body + second, notes, kit::EndnotePlacement::EndOfSection, { 0, secondStart });
        d.expectEveryBytePlacedOnce();
        ASSERT_EQ(d.storage->string().substr(secondStart, 7), "Section");
        auto endOfOne = d.at("Section one refers"), firstNote = d.at("First endnote");
        auto startOfTwo = d.at("Section two starts"), secondNote = d.at("Second endnote"), last = d.at("Section two refers");
        EXPECT_TRUE(endOfOne < firstNote);
        EXPECT_TRUE(firstNote < startOfTwo) << "before the next section begins";
        EXPECT_TRUE(last < secondNote);
        EXPECT_EQ(firstNote.page, 0u);
        EXPECT_EQ(d.pages.pages()[startOfTwo.page].section, 1u);
    }
    {
        SCOPED_TRACE("end of document");
        NoteDocument d(body + second, notes, kit::EndnotePlacement::EndOfDocument, { 0, secondStart });
        d.expectEveryBytePlacedOnce();
        auto last = d.at("Section two refers"), firstNote = d.at("First endnote"), secondNote = d.at("Second endnote");
        EXPECT_TRUE(last < firstNote);
        EXPECT_TRUE(firstNote < secondNote);
    }
}

TEST(NotePlacement, FootnotesWaitBehindAContinuedOneAndNoneIsLost)
{
    // A long note fills page one's foot; the next reference's note must come after its end, in order.
    std::string longNote;
    for (int i = 0; i < 20; ++i)
        longNote += "Long " + std::to_string(i) + (i < 19 ? "\n" : "");
    NoteDocument d("Opening refers[0].\nNext refers[1].\n" + numberedLines(0, 60) + "Closing refers[2].\n",
        { { kit::NoteKind::Footnote, longNote }, { kit::NoteKind::Footnote, "Short note." },
            { kit::NoteKind::Footnote, "Third note." } });
    d.expectEveryBytePlacedOnce();
    auto longEnd = d.at("Long 19"), shortNote = d.at("Short note"), next = d.at("Next refers");
    EXPECT_TRUE(longEnd < shortNote) << "notes keep their order";
    EXPECT_EQ(next.page, shortNote.page) << "a reference whose note must wait moves on with it";
    EXPECT_NE(d.at("Third note").page, 9999u);
}

TEST(NotePlacement, PrinterPaperKeepsNotesAfterTheBody)
{
    NoteDocument d(numberedLines(0, 20) + "Refers[0] here.\n" + numberedLines(21, 30),
        { { kit::NoteKind::Footnote, "Footnote words." } });
    auto pages = layouttest::paginate(d.storage, { 228, 228 });
    std::size_t note = d.storage->string().find("Footnote words");
    kit::TextContainer* container = pages.layoutManager->textContainerForGlyphAtIndex(note);
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container, &pages.container(pages.count() - 1)) << "the note stays where the text has it";
    EXPECT_FALSE(pages.layoutManager->placesNotes());
}

TEST(NotePlacement, SeparatorIsDrawnAboveTheNotes)
{
    // A footnote's rule stands above the page's note area, an endnote's right below the body it follows.
    for (kit::NoteKind kind : { kit::NoteKind::Footnote, kit::NoteKind::Endnote }) {
        SCOPED_TRACE(kind == kit::NoteKind::Footnote ? "footnote" : "endnote");
        NoteDocument d("Refers[0] here.\n", { { kind, "Note words." } });
        auto body = d.at("Refers"), note = d.at("Note words");
        ASSERT_EQ(note.page, 0u);
        EXPECT_GE(note.rect.y(), body.rect.maxY() + 12 - 0.01f) << "room for the rule between them";
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 228, 228);
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        d.layout.drawGlyphsForContainer(cr, *d.layout.textContainers().front(), { 0, 0 }, { 0, 0, 228, 228 });
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        auto inkInRow = [&](int y) {
            int ink = 0;
            for (int x = 0; x < 228; ++x)
                ink += (reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xFFFFFF) != 0xFFFFFF;
            return ink;
        };
        // The rule: a row of ink about 144 points long between the body's line and the note's.
        int ruleRow = -1;
        for (int y = int(body.rect.maxY()) + 1; y < int(note.rect.y()); ++y) {
            if (inkInRow(y) >= 140)
                ruleRow = y;
        }
        EXPECT_GT(ruleRow, int(note.rect.y()) - 12) << "just above the note";
        EXPECT_LE(inkInRow(ruleRow), 146) << "a short rule, not the whole width";
        cairo_surface_destroy(surface);
    }
}
