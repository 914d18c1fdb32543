#include "import/docx/DocxDrawing.h"

#include "import/docx/DocxMarkup.h"
#include "import/package/OfficeImage.h"
#include "import/package/OfficeUnits.h"
#include "import/package/XmlPart.h"

#include <algorithm>
#include <cstring>

namespace importer::docx {

namespace {

// Extents are in English Metric Units: 12700 to the point. Anything past a few metres is noise.
float emuToPoints(pugi::xml_attribute attribute)
{
    auto value = parseNumber(attribute.value());
    if (!value || *value <= 0)
        return 0;
    return float(std::min(*value / 12700.0, 100000.0));
}

// The width and height of a VML shape's CSS-like style ("width:100pt;height:50pt;...").
kit::Size vmlSize(std::string_view style)
{
    kit::Size size;
    while (!style.empty()) {
        auto semicolon = style.find(';');
        std::string_view declaration = style.substr(0, semicolon);
        style = semicolon == std::string_view::npos ? std::string_view() : style.substr(semicolon + 1);
        auto colon = declaration.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view name = declaration.substr(0, colon), value = declaration.substr(colon + 1);
        while (!name.empty() && name.front() == ' ')
            name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        if (name == "width")
            size.width = std::clamp(parseLength(value).value_or(0), 0.0f, 100000.0f);
        else if (name == "height")
            size.height = std::clamp(parseLength(value).value_or(0), 0.0f, 100000.0f);
    }
    return size;
}

bool isVmlShape(std::string_view name)
{
    return name == "v:shape" || name == "v:rect" || name == "v:roundrect" || name == "v:oval" || name == "v:line"
        || name == "v:polyline" || name == "v:arc" || name == "v:curve" || name == "v:image" || name == "v:group";
}

} // namespace

void collectTextBoxes(pugi::xml_node node, std::vector<pugi::xml_node>& boxes, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    for (auto child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = child.name();
        if (name == "w:txbxContent") {
            boxes.push_back(child);
        } else if (name == "mc:AlternateContent") {
            if (auto chosen = chooseAlternative(child))
                collectTextBoxes(chosen, boxes, depth + 1);
        } else {
            collectTextBoxes(child, boxes, depth + 1);
        }
    }
}

std::shared_ptr<const kit::Attachment> DocxDrawing::imageForRelationship(const std::string& partName, const std::string& id,
    kit::Size size, const std::string& alternativeText, kit::Size limit)
{
    const auto& relationships = m_package.relationships(partName);
    auto it = relationships.find(id);
    if (id.empty() || it == relationships.end() || it->second.isExternal)
        return makePlaceholderAttachment(size, alternativeText, limit);
    return m_images.image(it->second.target, size, alternativeText, limit);
}

DrawingContent DocxDrawing::readDrawing(pugi::xml_node drawing, const std::string& partName, kit::Size limit)
{
    DrawingContent content;
    pugi::xml_node frame = drawing.child("wp:inline");
    if (!frame)
        frame = drawing.child("wp:anchor");
    if (!frame)
        return content;
    pugi::xml_node extent = frame.child("wp:extent");
    kit::Size size { emuToPoints(extent.attribute("cx")), emuToPoints(extent.attribute("cy")) };
    pugi::xml_node properties = frame.child("wp:docPr");
    std::string alternativeText = properties.attribute("descr").value();
    if (alternativeText.empty())
        alternativeText = properties.attribute("title").value();

    pugi::xml_node data = frame.child("a:graphic").child("a:graphicData");
    if (auto picture = data.child("pic:pic")) {
        pugi::xml_node blip = picture.child("pic:blipFill").child("a:blip");
        content.attachments.push_back(imageForRelationship(partName, blip.attribute("r:embed").value(), size, alternativeText, limit));
        return content;
    }
    if (auto shape = data.child("wps:wsp")) {
        collectTextBoxes(shape.child("wps:txbx"), content.textBoxes, 0);
        // A text box shows its text; other shapes (lines, arrows, callouts without text) hold a place.
        if (content.textBoxes.empty())
            content.attachments.push_back(makePlaceholderAttachment(size, alternativeText, limit));
        return content;
    }
    // Groups, canvases, charts, diagrams and anything newer hold a place; text boxes inside groups still read.
    collectTextBoxes(data, content.textBoxes, 0);
    content.attachments.push_back(makePlaceholderAttachment(size, alternativeText, limit));
    return content;
}

void DocxDrawing::readVmlShape(pugi::xml_node shape, const std::string& partName, kit::Size limit, DrawingContent& content,
    int depth)
{
    if (depth > 32)
        return;
    std::string_view name = shape.name();
    if (name == "v:group") {
        for (auto child : shape.children()) {
            if (isVmlShape(child.name()))
                readVmlShape(child, partName, limit, content, depth + 1);
        }
        return;
    }
    kit::Size size = vmlSize(shape.attribute("style").value());
    std::string alternativeText = shape.attribute("alt").value();
    pugi::xml_node imageData = shape.child("v:imagedata");
    if (alternativeText.empty())
        alternativeText = imageData.attribute("o:title").value();
    std::string id = imageData.attribute("r:id").value();
    if (id.empty())
        id = imageData.attribute("o:relid").value();
    if (name == "v:image" && id.empty())
        id = shape.attribute("r:id").value();
    if (!id.empty()) {
        content.attachments.push_back(imageForRelationship(partName, id, size, alternativeText, limit));
        return;
    }
    std::size_t boxes = content.textBoxes.size();
    collectTextBoxes(shape.child("v:textbox"), content.textBoxes, 0);
    if (content.textBoxes.size() == boxes && size.width > 0 && size.height > 0)
        content.attachments.push_back(makePlaceholderAttachment(size, alternativeText, limit));
}

DrawingContent DocxDrawing::readPicture(pugi::xml_node pict, const std::string& partName, kit::Size limit)
{
    DrawingContent content;
    for (auto child : pict.children()) {
        if (isVmlShape(child.name()))
            readVmlShape(child, partName, limit, content, 0);
    }
    return content;
}

} // namespace importer::docx
