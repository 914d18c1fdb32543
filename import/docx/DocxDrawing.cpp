#include "import/docx/DocxDrawing.h"

#include "import/common/FloatingObject.h"
#include "import/docx/DocxChart.h"
#include "import/docx/DocxMarkup.h"
#include "import/docx/DocxShape.h"
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

// Calls take(name, value) for each declaration of a VML shape's CSS-like style ("width:100pt;height:50pt").
template<typename Take> void forEachDeclaration(std::string_view style, Take take)
{
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
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        take(name, value);
    }
}

kit::Size vmlSize(std::string_view style)
{
    kit::Size size;
    forEachDeclaration(style, [&](std::string_view name, std::string_view value) {
        if (name == "width")
            size.width = std::clamp(parseLength(value).value_or(0), 0.0f, 100000.0f);
        else if (name == "height")
            size.height = std::clamp(parseLength(value).value_or(0), 0.0f, 100000.0f);
    });
    return size;
}

// Where a VML shape positioned absolutely floats: its margins from the frames its mso-position words name,
// and the wrap of its w10:wrap (without one, the text ignores it; a negative z-index puts it behind).
std::optional<kit::FloatPlacement> vmlPlacement(pugi::xml_node shape)
{
    using Frame = kit::FloatPlacement::Frame;
    using Wrap = kit::FloatPlacement::Wrap;
    kit::FloatPlacement placement;
    placement.wrap = Wrap::None;
    bool absolute = false;
    auto length = [](std::string_view value) { return std::clamp(parseLength(value).value_or(0), -31680.0f, 31680.0f); };
    auto frame = [](std::string_view value, bool across) {
        if (value == "page")
            return Frame::Page;
        if (value == "margin")
            return Frame::Margin;
        return across ? Frame::Column : Frame::Paragraph; // text, char, line
    };
    forEachDeclaration(shape.attribute("style").value(), [&](std::string_view name, std::string_view value) {
        if (name == "position")
            absolute = value == "absolute";
        else if (name == "margin-left" || name == "left")
            placement.offset.x = length(value);
        else if (name == "margin-top" || name == "top")
            placement.offset.y = length(value);
        else if (name == "mso-position-horizontal-relative")
            placement.horizontalFrame = frame(value, true);
        else if (name == "mso-position-vertical-relative")
            placement.verticalFrame = frame(value, false);
        else if (name == "mso-position-horizontal")
            placement.horizontalAlign = floatAlignmentNamed(value);
        else if (name == "mso-position-vertical")
            placement.verticalAlign = floatAlignmentNamed(value);
        else if (name == "z-index")
            placement.behindText = !value.empty() && value.front() == '-';
    });
    if (!absolute)
        return std::nullopt;
    if (auto wrap = shape.child("w10:wrap")) {
        std::string_view type = wrap.attribute("type").value();
        placement.wrap = type == "topAndBottom" ? Wrap::TopAndBottom : type == "none" || type.empty() ? Wrap::None : Wrap::Square;
    }
    return placement;
}

float emuDistance(pugi::xml_attribute attribute) { return std::min(emuToPoints(attribute), 144.0f); }

// An offset in English Metric Units, which may be negative.
float emuOffset(const char* text)
{
    auto value = parseNumber(text);
    return value ? float(std::clamp(*value / 12700.0, -100000.0, 100000.0)) : 0;
}

// Where a wp:anchor floats: its frames, offsets or alignments, wrap and distances from the text.
kit::FloatPlacement anchorPlacement(pugi::xml_node anchor)
{
    using Frame = kit::FloatPlacement::Frame;
    using Wrap = kit::FloatPlacement::Wrap;
    kit::FloatPlacement placement;
    if (anchor.attribute("simplePos").as_bool()) {
        pugi::xml_node position = anchor.child("wp:simplePos");
        placement.horizontalFrame = placement.verticalFrame = Frame::Page;
        placement.offset = { emuOffset(position.attribute("x").value()), emuOffset(position.attribute("y").value()) };
    } else {
        pugi::xml_node across = anchor.child("wp:positionH"), down = anchor.child("wp:positionV");
        std::string_view from = across.attribute("relativeFrom").value();
        placement.horizontalFrame = from == "margin" ? Frame::Margin
            : (from == "column" || from == "character" || from.empty()) ? Frame::Column
                                                                         : Frame::Page;
        from = down.attribute("relativeFrom").value();
        placement.verticalFrame = from == "margin" ? Frame::Margin
            : (from == "paragraph" || from == "line" || from.empty()) ? Frame::Paragraph
                                                                       : Frame::Page;
        placement.horizontalAlign = floatAlignmentNamed(across.child_value("wp:align"));
        placement.verticalAlign = floatAlignmentNamed(down.child_value("wp:align"));
        placement.offset = { emuOffset(across.child_value("wp:posOffset")), emuOffset(down.child_value("wp:posOffset")) };
    }
    placement.wrap = Wrap::None;
    for (auto child : anchor.children()) {
        std::string_view name = child.name();
        if (name == "wp:wrapSquare" || name == "wp:wrapTight" || name == "wp:wrapThrough")
            placement.wrap = Wrap::Square;
        else if (name == "wp:wrapTopAndBottom")
            placement.wrap = Wrap::TopAndBottom;
    }
    placement.behindText = anchor.attribute("behindDoc").as_bool();
    placement.distance = { emuDistance(anchor.attribute("distT")), emuDistance(anchor.attribute("distL")),
        emuDistance(anchor.attribute("distB")), emuDistance(anchor.attribute("distR")) };
    return placement;
}

std::shared_ptr<const kit::Attachment> drawingAttachment(kit::VectorDrawing drawing, std::string alternativeText, kit::Size limit)
{
    auto attachment = std::make_shared<kit::Attachment>();
    attachment->size = fitSize(drawing.size, limit);
    attachment->alternativeText = std::move(alternativeText);
    attachment->drawing = std::make_shared<const kit::VectorDrawing>(std::move(drawing));
    return attachment;
}

// The box a floating text box stands in, drawn with its shape where it has one it can draw.
std::shared_ptr<const kit::Attachment> textBoxAttachment(
    std::optional<kit::VectorDrawing> shape, kit::Size size, std::string alternativeText)
{
    auto attachment = std::make_shared<kit::Attachment>();
    attachment->size = size;
    attachment->alternativeText = std::move(alternativeText);
    kit::VectorDrawing drawing;
    if (shape)
        drawing = std::move(*shape);
    drawing.size = { std::max(size.width, 1.0f), std::max(size.height, 1.0f) };
    attachment->drawing = std::make_shared<const kit::VectorDrawing>(std::move(drawing));
    return attachment;
}

// A text box's insets (wps:bodyPr lIns, tIns, rIns, bIns, in English Metric Units); the defaults are a tenth
// of an inch left and right, a twentieth above and below.
std::array<float, 4> textBoxInsets(pugi::xml_node body)
{
    auto inset = [&](const char* name, float fallback) {
        pugi::xml_attribute attribute = body.attribute(name);
        return attribute ? emuDistance(attribute) : fallback;
    };
    return { inset("tIns", 3.6f), inset("lIns", 7.2f), inset("bIns", 3.6f), inset("rIns", 7.2f) };
}

// What a VML text box's shape draws behind the text: its rectangle, filled white and outlined in black
// unless it says otherwise (filled="f", stroked="f", fillcolor, strokecolor, strokeweight).
kit::VectorDrawing vmlBoxDrawing(pugi::xml_node shape, kit::Size size)
{
    auto says = [&](const char* name, const char* child) {
        std::string_view value = shape.attribute(name).value();
        std::string_view on = shape.child(child).attribute("on").value();
        return !(value == "f" || value == "false" || on == "f" || on == "false");
    };
    std::optional<kit::Color> fill, outline;
    if (says("filled", "v:fill"))
        fill = parseHexColor(shape.attribute("fillcolor").value()).value_or(kit::Color::whiteColor());
    if (says("stroked", "v:stroke"))
        outline = parseHexColor(shape.attribute("strokecolor").value()).value_or(kit::Color::blackColor());
    float width = std::clamp(parseLength(shape.attribute("strokeweight").value()).value_or(0.75f), 0.0f, 100.0f);
    return textBoxDrawing(size, fill, outline, width);
}

// A v:textbox's inset ("left,top,right,bottom", each a length, missing ones at their defaults).
std::array<float, 4> vmlInsets(std::string_view text)
{
    std::array<float, 4> insets { 3.6f, 7.2f, 3.6f, 7.2f }; // top, left, bottom, right
    constexpr std::size_t kSide[] = { 1, 0, 3, 2 }; // the order the attribute lists them in
    for (std::size_t i = 0; i < 4 && !text.empty(); ++i) {
        auto comma = text.find(',');
        if (auto length = parseLength(text.substr(0, comma)))
            insets[kSide[i]] = std::clamp(*length, 0.0f, 144.0f);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return insets;
}

bool isVmlShape(std::string_view name)
{
    return name == "v:shape" || name == "v:rect" || name == "v:roundrect" || name == "v:oval" || name == "v:line"
        || name == "v:polyline" || name == "v:arc" || name == "v:curve" || name == "v:image" || name == "v:group";
}

} // namespace

void collectTextBoxes(pugi::xml_node node, std::vector<TextBox>& boxes, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    for (auto child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = child.name();
        if (name == "w:txbxContent") {
            boxes.push_back({ child, nullptr });
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
    pugi::xml_node frame = drawing.child("wp:inline");
    if (!frame)
        frame = drawing.child("wp:anchor");
    if (!frame)
        return {};
    pugi::xml_node extent = frame.child("wp:extent");
    kit::Size size { emuToPoints(extent.attribute("cx")), emuToPoints(extent.attribute("cy")) };
    pugi::xml_node properties = frame.child("wp:docPr");
    std::string alternativeText = properties.attribute("descr").value();
    if (alternativeText.empty())
        alternativeText = properties.attribute("title").value();
    DrawingContent content = readGraphic(frame.child("a:graphic").child("a:graphicData"), partName, size, alternativeText, limit);
    if (std::string_view(frame.name()) == "wp:anchor") {
        // Anchored objects float where the anchor says; a text box's text still follows its paragraph.
        kit::FloatPlacement placement = anchorPlacement(frame);
        for (auto& attachment : content.attachments)
            attachment = floatingCopy(*attachment, placement);
        for (auto& box : content.textBoxes) {
            if (box.box)
                box.box = floatingCopy(*box.box, placement);
        }
    } else {
        for (auto& box : content.textBoxes)
            box.box = nullptr; // an inline text box: its text follows the paragraph
    }
    return content;
}

DrawingContent DocxDrawing::readGraphic(pugi::xml_node data, const std::string& partName, kit::Size size,
    const std::string& alternativeText, kit::Size limit)
{
    DrawingContent content;
    if (auto picture = data.child("pic:pic")) {
        pugi::xml_node blip = picture.child("pic:blipFill").child("a:blip");
        content.attachments.push_back(imageForRelationship(partName, blip.attribute("r:embed").value(), size, alternativeText, limit));
        return content;
    }
    if (auto shape = data.child("wps:wsp")) {
        collectTextBoxes(shape.child("wps:txbx"), content.textBoxes, 0);
        // A text box shows its text in its shape; plain shapes are drawn; others (arrows, callouts...) hold
        // a place.
        if (content.textBoxes.size() == 1) {
            content.textBoxes.front().box = textBoxAttachment(readShapeDrawing(shape, size), size, alternativeText);
            content.textBoxes.front().insets = textBoxInsets(shape.child("wps:bodyPr"));
        }
        if (!content.textBoxes.empty())
            return content;
        if (auto drawing = readShapeDrawing(shape, size))
            content.attachments.push_back(drawingAttachment(std::move(*drawing), alternativeText, limit));
        else
            content.attachments.push_back(makePlaceholderAttachment(size, alternativeText, limit));
        return content;
    }
    if (auto chart = data.child("c:chart")) {
        if (auto drawing = chartDrawing(partName, chart.attribute("r:id").value(), size)) {
            content.attachments.push_back(drawingAttachment(std::move(*drawing), alternativeText, limit));
            return content;
        }
    }
    // Groups, canvases, diagrams, charts without values and anything newer hold a place; text boxes inside
    // groups still read.
    collectTextBoxes(data, content.textBoxes, 0);
    content.attachments.push_back(makePlaceholderAttachment(size, alternativeText, limit));
    return content;
}

std::optional<kit::VectorDrawing> DocxDrawing::chartDrawing(const std::string& partName, const std::string& id, kit::Size size)
{
    const auto& relationships = m_package.relationships(partName);
    auto it = relationships.find(id);
    if (id.empty() || it == relationships.end() || it->second.isExternal)
        return std::nullopt;
    auto part = m_package.readXmlPart(it->second.target);
    if (!part)
        return std::nullopt;
    auto chart = readChart(part->root());
    return chart ? drawChart(*chart, size) : std::nullopt;
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
        auto picture = imageForRelationship(partName, id, size, alternativeText, limit);
        // A group's members stand in the group's own coordinates: only a shape on its own floats.
        if (auto placement = depth == 0 ? vmlPlacement(shape) : std::nullopt)
            picture = floatingCopy(*picture, *placement);
        content.attachments.push_back(std::move(picture));
        return;
    }
    std::size_t boxes = content.textBoxes.size();
    collectTextBoxes(shape.child("v:textbox"), content.textBoxes, 0);
    if (content.textBoxes.size() == boxes && size.width > 0 && size.height > 0)
        content.attachments.push_back(makePlaceholderAttachment(size, alternativeText, limit));
    // A shape on its own, positioned on the page, with one text box: the box floats with it.
    auto placement = depth == 0 ? vmlPlacement(shape) : std::nullopt;
    if (content.textBoxes.size() == boxes + 1 && placement && size.width > 0 && size.height > 0) {
        TextBox& box = content.textBoxes.back();
        box.box = floatingCopy(*textBoxAttachment(vmlBoxDrawing(shape, size), size, alternativeText), *placement);
        box.insets = vmlInsets(shape.child("v:textbox").attribute("inset").value());
    }
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
