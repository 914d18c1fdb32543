#pragma once

#include "import/doc/Paragraph.h"
#include "kit/text/TextStorage.h"

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace importer::doc {

// Writes paragraphs into a text storage, assembling the paragraphs of tables into rows and cells: every
// paragraph of a cell carries the cell's attribute, merged cells span the grid columns and rows they cover,
// and nested tables point to the cell that holds them.
class TableWriter {
public:
    TableWriter(kit::TextStorage& storage, float defaultTabInterval);
    void write(const std::vector<Paragraph>& paragraphs);
    // Where the paragraphs that begin sections were written: section index → byte offset.
    const std::map<int, std::size_t>& sectionStarts() const { return m_sectionStarts; }
    // Where notes' texts begin (note index → byte offset) and where their references stand (CP → byte).
    const std::map<int, std::size_t>& noteStarts() const { return m_noteStarts; }
    const std::map<std::uint32_t, std::size_t>& noteReferences() const { return m_noteReferences; }
    // Where the paragraphs that follow column breaks start.
    const std::vector<std::size_t>& columnBreaks() const { return m_columnBreaks; }
    // The floating text boxes whose anchor and text were both written outside tables, in text order.
    std::vector<kit::TextFrame> frames() const;

private:
    using Paragraphs = std::span<const Paragraph* const>;
    void writeRange(Paragraphs, int level, const std::shared_ptr<const kit::TableCell>& cell);
    void writeTable(Paragraphs, int level, const std::shared_ptr<const kit::TableCell>& parent);
    void writeParagraph(const Paragraph&, const std::shared_ptr<const kit::TableCell>& cell);

    kit::TextStorage& m_storage;
    float m_defaultTabInterval;
    int m_nextTableId = 1;
    std::shared_ptr<const kit::ParagraphStyle> m_lastStyle;
    std::map<int, std::size_t> m_sectionStarts;
    std::map<int, std::size_t> m_noteStarts;
    std::map<std::uint32_t, std::size_t> m_noteReferences;
    std::vector<std::size_t> m_columnBreaks;
    std::map<std::uint32_t, kit::TextFrame> m_frames; // by shape: the anchor's byte and box, and the text written
};

} // namespace importer::doc
