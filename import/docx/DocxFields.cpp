#include "import/docx/DocxFields.h"

#include "import/common/PageFields.h"

namespace importer::docx {

namespace {

// Fields nest a few levels in real documents; a hostile one could open millions and never close them.
constexpr std::size_t kMaxOpenFields = 64;
constexpr std::size_t kMaxInstructionLength = 4096;

} // namespace

void DocxFields::begin()
{
    if (m_fields.size() >= kMaxOpenFields) {
        ++m_overflow;
        return;
    }
    m_fields.push_back({});
    ++m_hiddenCount;
}

void DocxFields::appendInstruction(std::string_view text)
{
    if (m_fields.empty() || m_fields.back().showsResult)
        return;
    std::string& instruction = m_fields.back().instruction;
    if (instruction.size() + text.size() <= kMaxInstructionLength)
        instruction.append(text);
}

void DocxFields::separate()
{
    if (m_fields.empty() || m_fields.back().showsResult)
        return;
    Field& field = m_fields.back();
    field.showsResult = true;
    --m_hiddenCount;
    field.link = hyperlinkOfInstruction(field.instruction);
}

void DocxFields::end()
{
    if (m_overflow) {
        --m_overflow;
        return;
    }
    if (m_fields.empty())
        return;
    if (!m_fields.back().showsResult)
        --m_hiddenCount;
    m_fields.pop_back();
}

// Simple fields nest only as deep as the XML does, which the readers bound, so they need no cap of their own.
void DocxFields::beginSimple(std::string_view instruction)
{
    m_fields.push_back({ true, std::string(instruction.substr(0, kMaxInstructionLength)), hyperlinkOfInstruction(instruction) });
}

const std::string& DocxFields::link() const
{
    static const std::string none;
    for (auto it = m_fields.rbegin(); it != m_fields.rend(); ++it) {
        if (it->showsResult && !it->link.empty())
            return it->link;
    }
    return none;
}

kit::PageField DocxFields::pageField() const
{
    if (m_fields.empty() || !m_fields.back().showsResult)
        return kit::PageField::None;
    return pageFieldOfInstruction(m_fields.back().instruction);
}

} // namespace importer::docx
