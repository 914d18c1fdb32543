#pragma once

#include "import/docx/DocxPackage.h"
#include "import/package/PackageImages.h"
#include "kit/text/Attributes.h"
#include "kit/text/VectorDrawing.h"

#include <pugixml.hpp>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace importer::docx {

// A text box's content and, for a box that floats, the box: its size, placement and the shape drawn behind
// the text (kit::TextFrame).
struct TextBox {
    pugi::xml_node content; // w:txbxContent
    std::shared_ptr<const kit::Attachment> box; // null: the text only follows its anchor's paragraph
    std::array<float, 4> insets { 3.6f, 7.2f, 3.6f, 7.2f }; // top, left, bottom, right, points
};

// What a drawing puts into the text: attachments at its anchor, and text boxes whose paragraphs follow the
// paragraph that anchors them.
struct DrawingContent {
    std::vector<std::shared_ptr<const kit::Attachment>> attachments;
    std::vector<TextBox> textBoxes;
};

// DrawingML (w:drawing) and VML (w:pict, w:object) objects of one part. Pictures become attachments sized from
// the document's extents; charts, diagrams, shapes and pictures in formats that cannot travel (EMF, WMF...)
// become placeholders; shapes that are text boxes contribute their text only.
class DocxDrawing {
public:
    DocxDrawing(DocxPackage& package, PackageImages& images)
        : m_package(package)
        , m_images(images)
    {
    }

    // The part whose relationships name the pictures; limit is the largest size a picture may take (points).
    DrawingContent readDrawing(pugi::xml_node drawing, const std::string& partName, kit::Size limit);
    DrawingContent readPicture(pugi::xml_node pict, const std::string& partName, kit::Size limit);

private:
    DrawingContent readGraphic(pugi::xml_node graphicData, const std::string& partName, kit::Size size,
        const std::string& alternativeText, kit::Size limit);
    std::optional<kit::VectorDrawing> chartDrawing(const std::string& partName, const std::string& id, kit::Size size);
    void readVmlShape(pugi::xml_node shape, const std::string& partName, kit::Size limit, DrawingContent& content, int depth);
    std::shared_ptr<const kit::Attachment> imageForRelationship(const std::string& partName, const std::string& id,
        kit::Size size, const std::string& alternativeText, kit::Size limit);
    DocxPackage& m_package;
    PackageImages& m_images;
};

// Every w:txbxContent below node, outermost first, not descending into the ones found, as boxes that do
// not float.
void collectTextBoxes(pugi::xml_node node, std::vector<TextBox>& boxes, int depth);

} // namespace importer::docx
