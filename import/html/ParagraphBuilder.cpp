#include "import/html/ParagraphBuilder.h"

#include "import/common/Encoding.h"
#include "import/common/OutputBudget.h"
#include "kit/foundation/Utf8.h"

#include <algorithm>

namespace importer::html {

namespace {

// Numeric character references to 0x80-0x9F mean the Windows-1252 characters in every browser; 0 where
// Windows-1252 defines nothing.
constexpr char16_t kC1AsWindows1252[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

// The gap between a list label's start and the item's text, at least; wider labels push it further.
constexpr float kLabelGap = 18;

bool isHtmlSpace(char32_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

} // namespace

ParagraphBuilder::ParagraphBuilder(kit::TextStorage& storage)
    : m_storage(storage)
{
}

void ParagraphBuilder::appendPiece(std::string_view text, const kit::Attributes& attributes, float boxWidth)
{
    if (boxWidth < 0 && !m_pieces.empty() && m_pieces.back().boxWidth < 0 && m_pieces.back().attributes == attributes) {
        m_pieces.back().text.append(text);
        return;
    }
    m_pieces.push_back({ std::string(text), attributes, boxWidth });
}

void ParagraphBuilder::appendSpace(const kit::Attributes& attributes)
{
    if (m_atLineStart || m_trailingCollapsibleSpace)
        return;
    appendPiece(" ", attributes);
    m_trailingCollapsibleSpace = true;
}

void ParagraphBuilder::trimTrailingSpace()
{
    if (!m_trailingCollapsibleSpace)
        return;
    m_trailingCollapsibleSpace = false;
    if (m_pieces.empty() || m_pieces.back().boxWidth >= 0 || m_pieces.back().text.empty()
        || m_pieces.back().text.back() != ' ')
        return;
    m_pieces.back().text.pop_back();
    if (m_pieces.back().text.empty())
        m_pieces.pop_back();
}

void ParagraphBuilder::appendText(std::string_view utf8, const kit::Attributes& attributes, WhiteSpace whiteSpace)
{
    bool preserveSpaces = whiteSpace == WhiteSpace::Pre || whiteSpace == WhiteSpace::PreWrap;
    bool preserveBreaks = preserveSpaces || whiteSpace == WhiteSpace::PreLine;
    std::string run;
    auto flushRun = [&] {
        if (!run.empty()) {
            appendPiece(run, attributes);
            run.clear();
        }
    };
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = kit::decodeUtf8(utf8, i);
        if (c == '\r' && i < utf8.size() && utf8[i] == '\n')
            continue; // the '\n' that follows stands for both
        if (preserveBreaks && (c == '\n' || c == '\r')) {
            flushRun();
            appendLineBreak(attributes);
            continue;
        }
        if (c == 0x2028 || c == 0x2029)
            c = ' '; // the text model reserves U+2028 for the line breaks it makes itself
        if (isHtmlSpace(c)) {
            if (preserveSpaces && c != '\n' && c != '\r') {
                run += c == '\t' ? '\t' : ' ';
                m_hasContent = true;
                m_atLineStart = false;
                m_trailingCollapsibleSpace = false;
            } else {
                flushRun();
                appendSpace(attributes);
            }
            continue;
        }
        if (c < 0x20 || c == 0x7F || c == 0xFEFF)
            continue;
        if (c >= 0x80 && c <= 0x9F) {
            c = kC1AsWindows1252[c - 0x80];
            if (!c)
                continue;
        }
        // U+FFFC stands for an attachment in the text model; a literal one in the document has none.
        if (c == 0xFFFC)
            c = 0xFFFD;
        encoding::appendUtf8(run, c);
        m_hasContent = true;
        m_atLineStart = false;
        m_trailingCollapsibleSpace = false;
    }
    flushRun();
}

void ParagraphBuilder::appendLineBreak(const kit::Attributes& attributes)
{
    trimTrailingSpace();
    appendPiece(kit::kLineSeparator, attributes);
    m_hasContent = true;
    m_atLineStart = true;
}

void ParagraphBuilder::appendAttachment(std::shared_ptr<const kit::Attachment> attachment, const kit::Attributes& attributes)
{
    kit::Attributes withAttachment = attributes;
    float width = attachment->size.width;
    withAttachment.attachment = std::move(attachment);
    appendPiece(kit::kAttachmentCharacter, withAttachment, width);
    m_hasContent = true;
    m_atLineStart = false;
    m_trailingCollapsibleSpace = false;
}

void ParagraphBuilder::finishParagraph(const kit::ParagraphStyle& style, const kit::Attributes& blockAttributes,
    bool force, char terminator)
{
    trimTrailingSpace();
    // A line break that ends a block adds no empty line after it, but one standing alone makes one.
    if (!m_pieces.empty() && m_pieces.back().boxWidth < 0) {
        std::string& last = m_pieces.back().text;
        std::string_view separator(kit::kLineSeparator);
        if (last.size() >= separator.size() && last.compare(last.size() - separator.size(), separator.size(), separator) == 0) {
            last.erase(last.size() - separator.size());
            if (last.empty())
                m_pieces.pop_back();
            force = true;
        }
    }
    if (m_pieces.empty() && !force && terminator == '\n') {
        m_hasContent = false;
        m_atLineStart = true;
        return;
    }
    writeParagraph(style, blockAttributes, terminator);
    m_pieces.clear();
    m_hasContent = false;
    m_atLineStart = true;
    m_trailingCollapsibleSpace = false;
}

void ParagraphBuilder::writeParagraph(kit::ParagraphStyle style, const kit::Attributes& blockAttributes, char terminator)
{
    if (!m_scope.suppressMargin)
        style.spacingBefore = std::max(style.spacingBefore, m_scope.pendingMargin);
    m_scope.pendingMargin = 0;
    m_scope.suppressMargin = false;
    if (m_scope.pendingPageBreak) {
        style.pageBreakBefore = true;
        m_scope.pendingPageBreak = false;
    }
    float labelIndent = 0;
    std::optional<ListLabel> label = std::move(m_scope.label);
    m_scope.label.reset();
    if (label) {
        float labelWidth = estimatedWidth(label->text, label->attributes);
        labelIndent = std::max(kLabelGap, labelWidth + 6);
        style.firstLineHeadIndent = std::max(0.0f, style.headIndent - labelIndent);
        style.tabStops = { { style.headIndent, kit::TabAlignment::Left } };
    }

    commitPending();
    PendingParagraph pending;
    pending.style = style;
    auto write = [&](std::string_view text, kit::Attributes attributes) {
        attributes.tableCell = m_scope.cell;
        pending.pieces.emplace_back(std::string(text), std::move(attributes));
    };
    ContentWidthMeter meter;
    if (label) {
        kit::Attributes labelAttributes = label->attributes;
        labelAttributes.listLabel = true;
        write(label->text + "\t", labelAttributes);
    }
    for (const Piece& piece : m_pieces) {
        write(piece.text, piece.attributes);
        if (piece.boxWidth >= 0)
            meter.addBox(piece.boxWidth);
        else
            meter.add(piece.text, piece.attributes);
    }
    kit::Attributes end = m_pieces.empty() ? blockAttributes : m_pieces.back().attributes;
    // The paragraph mark draws nothing: it keeps the font of the text before it, not its decorations.
    end.attachment.reset();
    end.link.clear();
    end.listLabel = false;
    end.underline = kit::LineStyle::None;
    end.strikethrough = kit::LineStyle::None;
    end.superscript = 0;
    end.background.reset();
    write(std::string_view(&terminator, 1), end);
    m_pending = std::move(pending);
    ++m_paragraphCount;
    ++m_scope.paragraphsWritten;

    if (m_scope.sink) {
        ContentWidths widths = meter.result();
        float lead = std::max(style.headIndent, style.firstLineHeadIndent + labelIndent);
        m_scope.sink->minimum = std::max(m_scope.sink->minimum, widths.minimum + style.headIndent + style.tailIndent);
        m_scope.sink->maximum = std::max(m_scope.sink->maximum, widths.maximum + lead + style.tailIndent);
    }
}

void ParagraphBuilder::addMargin(float points)
{
    m_scope.pendingMargin = std::max(m_scope.pendingMargin, points);
}

void ParagraphBuilder::moveMarginToPreviousParagraph()
{
    float margin = m_scope.pendingMargin;
    m_scope.pendingMargin = 0;
    if (m_pending)
        m_pending->style.spacingAfter = std::max(m_pending->style.spacingAfter, margin);
}

void ParagraphBuilder::commitPending()
{
    if (!m_pending)
        return;
    auto style = std::make_shared<const kit::ParagraphStyle>(m_pending->style);
    for (auto& [text, attributes] : m_pending->pieces) {
        attributes.paragraph = style;
        OutputBudget::current().append(m_storage, text, attributes);
    }
    m_pending.reset();
}

void ParagraphBuilder::flush()
{
    commitPending();
}

void ParagraphBuilder::requestPageBreak()
{
    m_scope.pendingPageBreak = true;
}

ParagraphBuilder::Scope ParagraphBuilder::enterCell(std::shared_ptr<const kit::TableCell> cell, ContentWidths* sink)
{
    Scope saved = std::move(m_scope);
    m_scope = Scope {};
    m_scope.cell = std::move(cell);
    m_scope.sink = sink;
    // Like browsers in quirks mode, and as word processors do, the first block of a cell keeps no margin
    // above it.
    m_scope.suppressMargin = true;
    return saved;
}

void ParagraphBuilder::leaveCell(Scope saved)
{
    m_scope = std::move(saved);
}

void ParagraphBuilder::reportWidths(const ContentWidths& widths)
{
    if (!m_scope.sink)
        return;
    m_scope.sink->minimum = std::max(m_scope.sink->minimum, widths.minimum);
    m_scope.sink->maximum = std::max(m_scope.sink->maximum, widths.maximum);
}

} // namespace importer::html
