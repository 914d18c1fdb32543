#include "import/docx/DocxFields.h"

#include "import/common/PageFields.h"

namespace importer::docx {

namespace {

// Fields nest a few levels in real documents; a hostile one could open millions and never close them.
constexpr std::size_t kMaxOpenFields = 64;
constexpr std::size_t kMaxInstructionLength = 4096;

// The arguments of a field code: words and quoted strings, switches included ("\l").
std::vector<std::string> fieldArguments(std::string_view code)
{
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (i < code.size()) {
        while (i < code.size() && (code[i] == ' ' || code[i] == '\t'))
            ++i;
        if (i >= code.size())
            break;
        std::string argument;
        if (code[i] == '"') {
            ++i;
            while (i < code.size() && code[i] != '"') {
                // Backslashes escape quotes and themselves inside quoted field arguments.
                if (code[i] == '\\' && i + 1 < code.size() && (code[i + 1] == '"' || code[i + 1] == '\\'))
                    ++i;
                argument += code[i++];
            }
            ++i;
        } else {
            while (i < code.size() && code[i] != ' ' && code[i] != '\t')
                argument += code[i++];
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? char(a[i] - 32) : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? char(b[i] - 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

std::string DocxFields::hyperlinkTarget(std::string_view instruction)
{
    auto arguments = fieldArguments(instruction);
    if (arguments.empty() || !equalsIgnoringCase(arguments[0], "HYPERLINK"))
        return {};
    std::string url, anchor;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() == 2 && argument[0] == '\\') {
            // \l names a bookmark; \o, \t and \m take an argument we do not use; \n takes none.
            char option = char(argument[1] | 0x20);
            if (option == 'l' && i + 1 < arguments.size())
                anchor = arguments[++i];
            else if ((option == 'o' || option == 't' || option == 'm') && i + 1 < arguments.size())
                ++i;
            continue;
        }
        if (url.empty())
            url = argument;
    }
    if (!anchor.empty())
        url += "#" + anchor;
    return url;
}

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
    field.link = hyperlinkTarget(field.instruction);
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
    m_fields.push_back({ true, std::string(instruction.substr(0, kMaxInstructionLength)), hyperlinkTarget(instruction) });
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
