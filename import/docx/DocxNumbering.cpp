#include "import/docx/DocxNumbering.h"

#include "import/common/Encoding.h"
#include "import/common/OutputBudget.h"
#include "import/docx/DocxStyles.h"
#include "import/package/ListNumbers.h"
#include "import/package/OfficeUnits.h"
#include "kit/foundation/Utf8.h"

#include <algorithm>

namespace importer::docx {

namespace {

// The instance → abstract → numbering style → instance chain of linked definitions stops here.
constexpr int kMaxLinkDepth = 8;

NumberingLevel parseLevel(pugi::xml_node node, const ThemeFonts& theme)
{
    NumberingLevel level;
    if (auto start = parseInteger(node.child("w:start").attribute("w:val").value()))
        level.start = int(std::clamp(*start, -1000000L, 1000000L));
    if (auto format = node.child("w:numFmt"))
        level.format = format.attribute("w:val").value();
    if (auto text = node.child("w:lvlText"))
        level.text = cappedLabelTemplate(text.attribute("w:val").value());
    if (auto restart = parseInteger(node.child("w:lvlRestart").attribute("w:val").value()))
        level.restartAfter = int(std::clamp(*restart, 0L, 9L));
    if (auto legal = node.child("w:isLgl"))
        level.isLegal = isOn(legal);
    std::string_view suffix = node.child("w:suff").attribute("w:val").value();
    level.suffix = suffix == "space" ? LabelSuffix::Space : suffix == "nothing" ? LabelSuffix::Nothing : LabelSuffix::Tab;
    level.paragraphStyle = node.child("w:pStyle").attribute("w:val").value();
    level.run = parseRunProperties(node.child("w:rPr"), theme);
    level.paragraph = parseParagraphProperties(node.child("w:pPr"));
    return level;
}

bool isSymbolFont(std::string_view font)
{
    return font == "Symbol" || font.substr(0, 9) == "Wingdings" || font == "Webdings";
}

int levelIndex(pugi::xml_node node)
{
    auto index = parseInteger(node.attribute("w:ilvl").value());
    return index && *index >= 0 && *index < 9 ? int(*index) : -1;
}

} // namespace

DocxNumbering::DocxNumbering(std::optional<XmlPart> numbering, DocxStyles& styles)
{
    if (!numbering)
        return;
    pugi::xml_node root = numbering->root();
    std::map<int, std::string> numberingStyleLinks; // abstract id → w:numStyleLink
    for (auto node : root.children("w:abstractNum")) {
        auto id = parseInteger(node.attribute("w:abstractNumId").value());
        if (!id || m_abstracts.count(int(*id)))
            continue;
        Abstract definition;
        for (auto levelNode : node.children("w:lvl")) {
            int index = levelIndex(levelNode);
            if (index < 0 || definition.defined[index])
                continue;
            definition.levels[index] = parseLevel(levelNode, styles.theme());
            definition.defined[index] = true;
        }
        if (auto link = node.child("w:numStyleLink"))
            numberingStyleLinks[int(*id)] = link.attribute("w:val").value();
        m_abstracts.emplace(int(*id), std::move(definition));
    }
    for (auto node : root.children("w:num")) {
        auto id = parseInteger(node.attribute("w:numId").value());
        auto abstractId = parseInteger(node.child("w:abstractNumId").attribute("w:val").value());
        if (!id || !abstractId || m_instances.count(int(*id)))
            continue;
        Instance instance;
        instance.abstractId = int(*abstractId);
        for (auto override : node.children("w:lvlOverride")) {
            int index = levelIndex(override);
            if (index < 0)
                continue;
            if (auto start = parseInteger(override.child("w:startOverride").attribute("w:val").value()))
                instance.startOverride[index] = int(std::clamp(*start, -1000000L, 1000000L));
            if (auto levelNode = override.child("w:lvl"))
                instance.levelOverride[index] = parseLevel(levelNode, styles.theme());
        }
        m_instances.emplace(int(*id), std::move(instance));
    }
    // A definition that only links to a numbering style takes its levels from the instance that style names.
    for (const auto& [abstractId, styleId] : numberingStyleLinks) {
        int current = abstractId;
        for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
            const ResolvedStyle* style = styles.styleById(styleId);
            if (!style || !style->paragraph.numberingId)
                break;
            auto instance = m_instances.find(*style->paragraph.numberingId);
            if (instance == m_instances.end() || instance->second.abstractId == current)
                break;
            current = instance->second.abstractId;
            auto target = m_abstracts.find(current);
            if (target != m_abstracts.end() && std::any_of(target->second.defined.begin(), target->second.defined.end(), [](bool b) { return b; })) {
                m_styleLinks[abstractId] = current;
                break;
            }
        }
    }
}

const DocxNumbering::Abstract* DocxNumbering::abstractFor(const Instance& instance) const
{
    int id = instance.abstractId;
    if (auto link = m_styleLinks.find(id); link != m_styleLinks.end())
        id = link->second;
    auto it = m_abstracts.find(id);
    return it == m_abstracts.end() ? nullptr : &it->second;
}

const NumberingLevel* DocxNumbering::level(int numberingId, int index) const
{
    if (index < 0 || index >= 9)
        return nullptr;
    auto instance = m_instances.find(numberingId);
    if (instance == m_instances.end())
        return nullptr;
    if (instance->second.levelOverride[index])
        return &*instance->second.levelOverride[index];
    const Abstract* definition = abstractFor(instance->second);
    if (!definition || !definition->defined[index])
        return nullptr;
    return &definition->levels[index];
}

int DocxNumbering::levelForStyle(int numberingId, std::string_view styleId) const
{
    for (int index = 0; index < 9; ++index) {
        const NumberingLevel* candidate = level(numberingId, index);
        if (candidate && !styleId.empty() && candidate->paragraphStyle == styleId)
            return index;
    }
    return 0;
}

std::optional<NumberingLabel> DocxNumbering::nextLabel(int numberingId, int index)
{
    const NumberingLevel* current = level(numberingId, index);
    if (!current)
        return std::nullopt;
    auto& instance = m_instances.at(numberingId);
    int abstractId = instance.abstractId;
    if (auto link = m_styleLinks.find(abstractId); link != m_styleLinks.end())
        abstractId = link->second;
    Counters& counters = m_counters[abstractId];

    auto startOf = [&](int at) {
        if (instance.startOverride[at])
            return *instance.startOverride[at];
        const NumberingLevel* definition = level(numberingId, at);
        return definition ? definition->start : 1;
    };
    if (instance.startOverride[index] && !instance.overrideApplied[index]) {
        instance.overrideApplied[index] = true;
        counters.values[index] = *instance.startOverride[index];
    } else if (!counters.used[index]) {
        counters.values[index] = startOf(index);
    } else if (counters.values[index] < 1000000) {
        ++counters.values[index];
    }
    counters.used[index] = true;
    for (int deeper = index + 1; deeper < 9; ++deeper) {
        const NumberingLevel* definition = level(numberingId, deeper);
        int restartAfter = definition ? definition->restartAfter : -1;
        if (restartAfter < 0 || (restartAfter > 0 && index < restartAfter))
            counters.used[deeper] = false;
    }

    NumberingLabel label;
    label.level = current;
    label.suffix = current->suffix;
    std::string_view text = current->text;
    std::string font = current->run.fontAscii.value_or(current->run.fontHighAnsi.value_or(""));
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            int referenced = text[i + 1] - '1';
            int value = counters.used[referenced] ? counters.values[referenced] : startOf(referenced);
            const NumberingLevel* definition = level(numberingId, referenced);
            std::string format = definition ? definition->format : "decimal";
            if (current->isLegal || format == "bullet")
                format = "decimal";
            label.text += formatListNumber(value, format);
            ++i;
            continue;
        }
        // Bullets in symbol fonts are written as private-use characters U+F0xx, or as the font's bytes.
        std::size_t next = i;
        char32_t codePoint = kit::decodeUtf8(text, next);
        i = next - 1;
        bool isPrivateUse = codePoint >= 0xF020 && codePoint <= 0xF0FF;
        if (isPrivateUse || (isSymbolFont(font) && codePoint >= 0x20 && codePoint <= 0xFF)) {
            char32_t mapped = encoding::symbolFontCharacter(font, std::uint8_t(codePoint & 0xFF));
            if (mapped < 0xF000 || mapped > 0xF0FF) {
                encoding::appendUtf8(label.text, mapped);
                label.replacedSymbolFont = true;
                continue;
            }
        }
        encoding::appendUtf8(label.text, codePoint);
    }
    return label;
}

} // namespace importer::docx
