#pragma once

#include <cairo.h>
#include <cstdint>
#include <vector>

#include "kit/text/DocumentPages.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"
#include "support/PngBytes.h"

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace layouttest {

// A layout manager over a storage, with containers added the way a page view adds pages: one at a time
// until the layout manager has placed the whole text (bounded, so a fault cannot loop forever).
struct Pages {
    std::shared_ptr<kit::TextStorage> storage;
    std::unique_ptr<kit::LayoutManager> layoutManager;
    std::vector<kit::Range> ranges;

    kit::TextContainer& container(std::size_t i) const { return *layoutManager->textContainers()[i]; }
    std::size_t count() const { return ranges.size(); }
};

inline Pages paginate(
    std::shared_ptr<kit::TextStorage> storage, kit::Size size = { 468, 648 }, std::size_t limit = 5000)
{
    Pages pages;
    pages.storage = storage;
    pages.layoutManager = std::make_unique<kit::LayoutManager>();
    pages.layoutManager->replaceTextStorage(storage);
    bool ends = false;
    do {
        pages.layoutManager->addTextContainer(std::make_unique<kit::TextContainer>(size));
        kit::TextContainer& added = *pages.layoutManager->textContainers().back();
        pages.ranges.push_back(pages.layoutManager->glyphRangeForTextContainer(added));
        ends = pages.layoutManager->textEndsInOrBeforeTextContainer(added);
    } while (!ends && pages.ranges.size() < limit);
    return pages;
}

// A text laid out on the pages of its own page setup: by default one section of 400 x 300 points with
// margins of 50, a text area of 300 x 200 points.
struct DocumentLayout {
    std::shared_ptr<kit::TextStorage> body = std::make_shared<kit::TextStorage>();
    std::shared_ptr<kit::PageSetup> setup = std::make_shared<kit::PageSetup>();
    kit::LayoutManager layout;
    std::unique_ptr<kit::DocumentPages> pages;

    static kit::PageSection smallSection(int columns = 1, float columnSpacing = 0)
    {
        kit::PageSection section;
        section.paperSize = { 400, 300 };
        section.margins = { 50, 50, 50, 50, 20, 20, 0 };
        section.columnCount = columns;
        section.columnSpacing = columnSpacing;
        return section;
    }
    void lay(std::vector<kit::PageSection> sections = { smallSection() })
    {
        setup->sections = std::move(sections);
        body->setPageSetup(setup);
        pages = std::make_unique<kit::DocumentPages>(setup);
        layout.replaceTextStorage(body);
        pages->paginate(layout);
    }
    std::vector<kit::LayoutManager::LineFragment> lines(std::size_t page)
    {
        return layout.lineFragmentsForTextContainer(*layout.textContainers().at(page));
    }
    std::vector<kit::LayoutManager::FloatBox> floats(std::size_t page)
    {
        return layout.floatBoxesForTextContainer(*layout.textContainers().at(page));
    }
    // The page and the left edge of the line that holds byte `index`.
    std::pair<std::size_t, float> place(std::size_t index)
    {
        for (std::size_t page = 0; page < pages->pages().size(); ++page)
            for (const auto& line : lines(page))
                if (!line.isDecoration && index >= line.range.location && index < line.range.end())
                    return { page, line.rect.x() };
        return { SIZE_MAX, -1 };
    }
    // The page of the line holding the first byte of `text`.
    std::size_t pageOf(const std::string& text) { return place(body->string().find(text)).first; }
};

// Words of a dictionary-like vocabulary drawn with a fixed seed, so a failure always reproduces.
inline std::string generatedParagraph(std::mt19937& random, int words)
{
    static const char* vocabulary[] = { "the", "layout", "of", "paragraph", "international", "a", "pages", "Wednesday",
        "quickly", "brown", "jumps", "over", "lazy", "dog", "extraordinarily", "to", "and", "in", "manuscript",
        "typesetting", "é", "Ärger", "naïve", "co-operation", "x" };
    std::uniform_int_distribution<std::size_t> pick(0, std::size(vocabulary) - 1);
    std::string text;
    for (int w = 0; w < words; ++w) {
        if (w)
            text += ' ';
        text += vocabulary[pick(random)];
    }
    return text;
}

inline kit::Attributes attributes(float size = 12, const char* family = "Times New Roman");

// paragraphs generated paragraphs of words each, in 12 pt Times New Roman, from seed.
inline std::shared_ptr<kit::TextStorage> generatedText(std::uint32_t seed, int paragraphs, int words)
{
    auto storage = std::make_shared<kit::TextStorage>();
    std::mt19937 random(seed);
    for (int i = 0; i < paragraphs; ++i)
        storage->append(generatedParagraph(random, words) + "\n", attributes(12));
    return storage;
}

inline kit::Attributes attributes(float size, const char* family)
{
    kit::Attributes a;
    a.fontFamily = family;
    a.fontSize = size;
    return a;
}

inline kit::Attributes withParagraph(kit::Attributes a, const kit::ParagraphStyle& style)
{
    a.paragraph = std::make_shared<const kit::ParagraphStyle>(style);
    return a;
}

} // namespace layouttest

namespace layouttest {

// Appends table cells to a storage the way importers write them: every paragraph of a cell carries the
// cell's attribute and the cell ends in a paragraph break.
struct TableBuilder {
    std::shared_ptr<kit::TextStorage> storage;
    kit::TableCell prototype;

    TableBuilder(std::shared_ptr<kit::TextStorage> s, int tableId, std::vector<float> columnWidths)
        : storage(std::move(s))
    {
        prototype.tableId = tableId;
        prototype.columnWidths = std::move(columnWidths);
    }
    // Returns the cell attribute, so a nested table can name it as its parent.
    std::shared_ptr<const kit::TableCell> cell(int row, int column, const std::vector<std::string>& paragraphs,
        int rowSpan = 1, int columnSpan = 1, const kit::TableCell* parent = nullptr, bool header = false)
    {
        kit::TableCell cell = prototype;
        cell.row = row;
        cell.column = column;
        cell.rowSpan = rowSpan;
        cell.columnSpan = columnSpan;
        cell.parent = parent;
        cell.nestingLevel = parent ? parent->nestingLevel + 1 : 1;
        cell.isHeaderRow = header;
        auto shared = std::make_shared<const kit::TableCell>(cell);
        kit::Attributes a = attributes();
        a.tableCell = shared;
        for (const auto& paragraph : paragraphs)
            storage->append(paragraph + "\n", a);
        return shared;
    }
};

// A PNG of one colour, encoded by Cairo.
inline std::vector<std::uint8_t> solidPng(int width, int height, double r, double g, double b)
{
    std::string png = testsupport::pngBytes(width, height, r, g, b);
    return { png.begin(), png.end() };
}

} // namespace layouttest
