#pragma once

#include "kit/foundation/Range.h"
#include "kit/geometry/Geometry.h"
#include "kit/text/PageSetup.h"

#include <cairo.h>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kit {

class LayoutManager;
class TextContainer;

// One page of a document laid out as its sections say. Lengths in points; rectangles in page coordinates
// (origin at the paper's top left, y down).
struct DocumentPage {
    Size paperSize;
    // The body's area: the size of the page's text container. A header that reaches below the top margin
    // pushes its top down, a footer that reaches above the bottom margin its bottom up, as word processors do.
    Rect textRect;
    std::size_t section = 0;
    int ordinalInSection = 1; // 1 on the first page of its section
    int number = 1; // the page's number as its fields show it: restarts where a section says so
};

// Lays a body text out on the pages of its page setup, and draws the rest of each page: the header and
// footer bands, whose PAGE, NUMPAGES and SECTIONPAGES fields show this pagination's numbers.
//
// Which size a page takes: the section holding the first byte that the page will show, that is, the byte
// after the previous page's last. A section that begins on a new page therefore gets its own paper from its
// first page; one that begins mid-page (a continuous break) from the next page on, as word processors do.
// Its columns, though, begin where it does, below the balanced columns of the section before it.
class DocumentPages {
public:
    explicit DocumentPages(std::shared_ptr<const PageSetup>);
    ~DocumentPages();
    DocumentPages(const DocumentPages&) = delete;
    DocumentPages& operator=(const DocumentPages&) = delete;

    // Adds one container per page to layout (which has no containers yet) until its whole text is placed.
    // pageAdded hears of each container, with its page, after it was added and before it is laid out.
    using PageAdded = std::function<void(TextContainer&, const DocumentPage&)>;
    void paginate(LayoutManager& layout, const PageAdded& pageAdded = {});
    // The same a page at a time: begin, then add pages until addPage says the text is placed. The pages so
    // far are final; fields that count pages (NUMPAGES, SECTIONPAGES) count those made so far.
    void beginPagination(LayoutManager& layout);
    bool addPage(LayoutManager& layout, const PageAdded& pageAdded = {});
    // Takes a page another pagination of the same text made, as addPage would have made it, with the glyph
    // range its container got; the caller adds the container.
    void adoptPage(const DocumentPage&, Range glyphRange);
    const std::vector<DocumentPage>& pages() const { return m_pages; }
    const PageSetup& setup() const { return *m_setup; }

    // The header and footer stories page shows (null: none) and where their bands lie on the page.
    std::shared_ptr<TextStorage> headerFor(std::size_t page) const;
    std::shared_ptr<TextStorage> footerFor(std::size_t page) const;
    Rect headerRect(std::size_t page);
    Rect footerRect(std::size_t page);
    // A story with its page fields replaced by page's numbers (the story itself when it has none).
    std::shared_ptr<TextStorage> storyForPage(const std::shared_ptr<TextStorage>& story, std::size_t page) const;

    // The layout of a story as page shows it (its fields filled in): one container as wide as the page's
    // body, made on first use and kept for the pages that show it again.
    LayoutManager& storyLayout(const std::shared_ptr<TextStorage>& story, std::size_t page);

    // Draws page's header and footer with the paper's top left at origin, in the user space of cr (points,
    // y down). Lines outside dirty (same space) are skipped.
    void drawHeaderAndFooter(cairo_t*, std::size_t page, Point origin, Rect dirty);
    // The paper's colour: its section's page colour, else white.
    Color paperColor(std::size_t page) const;
    // The rules between the columns of each band of the page (its layout's, body coordinates) whose section
    // asks for them, as tall as the text in the band; origin is the paper's top left.
    void drawColumnRules(cairo_t*, std::size_t page, Point origin, const std::vector<ColumnBand>& bands) const;
    // The same rules as lines (from, to), and how they are drawn.
    std::vector<std::pair<Point, Point>> columnRules(std::size_t page, Point origin, const std::vector<ColumnBand>& bands) const;
    static void strokeColumnRules(cairo_t*, const std::vector<std::pair<Point, Point>>&);

    // Where the lines of a page's borders run: the rectangle their centres trace, in page coordinates; empty
    // when its section has none.
    Rect pageBorderRect(std::size_t page) const;
    // Draws the borders around a page whose section has them; origin is the paper's top left.
    void drawPageBorders(cairo_t*, std::size_t page, Point origin) const;

private:
    // Where the next page begins and how many pages in a row placed nothing, once a page got glyphRange.
    void pagePlaced(Range glyphRange);
    HeaderFooterKind kindFor(std::size_t page) const;
    HeaderFooterKind kindFor(const DocumentPage&) const;
    // The body's area of a page whose section, numbers and text rectangle are set: the section's text
    // rectangle less what its header and footer bands take.
    Rect bodyRect(const DocumentPage&);
    // shown is story with its page fields replaced by numbers (the key it is kept under).
    LayoutManager& storyLayout(const std::shared_ptr<TextStorage>& story, const std::shared_ptr<TextStorage>& shown,
        std::string numbers, float width);
    float storyHeight(const std::shared_ptr<TextStorage>& story, std::size_t page);

    std::shared_ptr<const PageSetup> m_setup;
    std::vector<DocumentPage> m_pages;
    std::vector<int> m_sectionPageCounts;
    // Pagination under way: the first byte the next page shows, where the notes' texts begin (a page of
    // notes alone does not move the body on), and the pages in a row that placed nothing.
    std::size_t m_next = 0;
    std::size_t m_bodyEnd = 0;
    int m_emptyPages = 0;
    struct StoryKey {
        const TextStorage* story;
        std::string numbers; // the field values it was laid out with
        float width;
        bool operator<(const StoryKey& o) const
        {
            return std::tie(story, numbers, width) < std::tie(o.story, o.numbers, o.width);
        }
    };
    std::map<StoryKey, std::unique_ptr<LayoutManager>> m_storyLayouts;
};

} // namespace kit
