#pragma once

#include "import/docx/DocxPackage.h"
#include "import/package/PackageImages.h"
#include "kit/text/Attributes.h"
#include "kit/text/VectorDrawing.h"

#include <pugixml.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace importer::docx {

// What a drawing puts into the text: attachments at its anchor, and text boxes whose paragraphs follow the
// paragraph that anchors them.
struct DrawingContent {
    std::vector<std::shared_ptr<const kit::Attachment>> attachments;
    std::vector<pugi::xml_node> textBoxes; // w:txbxContent
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

// Every w:txbxContent below node, outermost first, not descending into the ones found.
void collectTextBoxes(pugi::xml_node node, std::vector<pugi::xml_node>& boxes, int depth);

} // namespace importer::docx
