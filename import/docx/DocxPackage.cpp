#include "import/docx/DocxPackage.h"

#include "kit/foundation/Ascii.h"
#include "kit/foundation/Hex.h"

namespace importer {

namespace {

// Relationship targets are URIs: "media/image%201.png" names the part "media/image 1.png".
std::string percentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    auto hex = [](char ch) { return kit::hexValue(static_cast<unsigned char>(ch)); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out += char(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string_view lastSegment(std::string_view uri)
{
    auto slash = uri.rfind('/');
    return slash == std::string_view::npos ? uri : uri.substr(slash + 1);
}

} // namespace

std::string partFolder(std::string_view partName)
{
    std::string name = ZipArchive::normalizedName(partName);
    auto slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

std::string relationshipsPartName(std::string_view partName)
{
    std::string name = ZipArchive::normalizedName(partName);
    auto slash = name.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    return folder + "_rels/" + file + ".rels";
}

DocxPackage::DocxPackage(ZipArchive& archive)
    : m_archive(archive)
{
    readContentTypes();
    findMainPart();
}

bool DocxPackage::isWordprocessingMainType(std::string_view contentType)
{
    std::string type = kit::asciiLower(contentType);
    return type == "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"
        || type == "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml"
        || type == "application/vnd.ms-word.document.macroenabled.main+xml"
        || type == "application/vnd.ms-word.template.macroenabledtemplate.main+xml";
}

void DocxPackage::readContentTypes()
{
    auto part = readXmlPart("[Content_Types].xml");
    if (!part)
        return;
    for (auto node : part->root().children()) {
        std::string_view name = localName(node.name());
        if (name == "Default")
            m_defaults[kit::asciiLower(node.attribute("Extension").value())] = node.attribute("ContentType").value();
        else if (name == "Override")
            m_overrides[ZipArchive::normalizedName(node.attribute("PartName").value())] = node.attribute("ContentType").value();
    }
}

std::string DocxPackage::contentType(std::string_view partName) const
{
    std::string name = ZipArchive::normalizedName(partName);
    if (auto it = m_overrides.find(name); it != m_overrides.end())
        return it->second;
    auto dot = name.rfind('.');
    if (dot != std::string::npos) {
        if (auto it = m_defaults.find(name.substr(dot + 1)); it != m_defaults.end())
            return it->second;
    }
    return {};
}

void DocxPackage::findMainPart()
{
    // The package's officeDocument relationship names the main part; its content type says what it is.
    for (const auto& [id, relationship] : relationships("")) {
        if (relationship.type == "officeDocument" && !relationship.isExternal
            && isWordprocessingMainType(contentType(relationship.target)) && m_archive.contains(relationship.target)) {
            m_mainPart = relationship.target;
            return;
        }
    }
    // Packages whose relationships were lost still declare the main part among the content types.
    for (const auto& [name, type] : m_overrides) {
        if (isWordprocessingMainType(type) && m_archive.contains(name)) {
            m_mainPart = name;
            return;
        }
    }
}

const std::map<std::string, Relationship, std::less<>>& DocxPackage::relationships(const std::string& partName)
{
    std::string key = ZipArchive::normalizedName(partName);
    if (auto it = m_relationships.find(key); it != m_relationships.end())
        return it->second;
    auto& relationships = m_relationships[key];
    auto part = readXmlPart(key.empty() ? std::string("_rels/.rels") : relationshipsPartName(key));
    if (!part)
        return relationships;
    std::string folder = partFolder(key);
    for (auto node : part->root().children()) {
        if (localName(node.name()) != "Relationship")
            continue;
        Relationship relationship;
        relationship.type = std::string(lastSegment(node.attribute("Type").value()));
        relationship.isExternal = std::string_view(node.attribute("TargetMode").value()) == "External";
        std::string_view target = node.attribute("Target").value();
        if (relationship.isExternal)
            relationship.target = std::string(target);
        else if (!target.empty() && target.front() == '/')
            relationship.target = ZipArchive::normalizedName(percentDecoded(target));
        else
            relationship.target = ZipArchive::normalizedName(folder + percentDecoded(target));
        relationships.emplace(node.attribute("Id").value(), std::move(relationship));
    }
    return relationships;
}

std::string DocxPackage::relatedPart(const std::string& sourcePart, std::string_view type)
{
    for (const auto& [id, relationship] : relationships(sourcePart)) {
        if (relationship.type == type && !relationship.isExternal)
            return relationship.target;
    }
    return {};
}

std::optional<std::string> DocxPackage::readPart(std::string_view partName)
{
    auto result = m_archive.read(partName);
    if (!result.bytes && result.error != ZipReadError::Missing && ZipArchive::normalizedName(partName) == m_mainPart)
        m_mainPartDamaged = true;
    return std::move(result.bytes);
}

std::future<std::optional<ZipArchive::Buffer>> DocxPackage::readMainPartConcurrently(
    std::function<void(const ZipArchive::Buffer*)> whenRead)
{
    auto inflating = m_archive.readBufferConcurrently(m_mainPart, std::move(whenRead));
    return std::async(std::launch::deferred, [this, inflating = std::move(inflating)]() mutable {
        ZipArchive::BufferResult result = inflating.get();
        if (!result.buffer && result.error != ZipReadError::Missing)
            m_mainPartDamaged = true;
        return std::move(result.buffer);
    });
}

std::optional<ZipArchive::Buffer> DocxPackage::readPartBuffer(std::string_view partName)
{
    auto result = m_archive.readBuffer(partName);
    if (!result.buffer && result.error != ZipReadError::Missing && ZipArchive::normalizedName(partName) == m_mainPart)
        m_mainPartDamaged = true;
    return std::move(result.buffer);
}

std::optional<XmlPart> DocxPackage::readXmlPart(std::string_view partName)
{
    std::optional<ZipArchive::Buffer> buffer = readPartBuffer(partName);
    if (!buffer)
        return std::nullopt;
    return XmlPart::parse(std::move(buffer->data), buffer->size);
}

} // namespace importer
