// A printed page of the document's own layout draws its floating objects, in the margins too.
#include "kit/print/DocumentPrintJob.h"
#include "kit/text/PageSetup.h"
#include "kit/text/TextStorage.h"
#include "support/Drawings.h"

#include <gtest/gtest.h>

namespace {

using Placement = kit::FloatPlacement;

std::shared_ptr<const kit::Attachment> redBox(kit::Size size, std::optional<Placement> placement)
{
    return testsupport::filledBox(size, kit::Color::calibratedRGB(1, 0, 0), placement);
}

} // namespace

TEST(FloatPrint, APrintedPageDrawsTheObjectInTheMargin)
{
    auto body = std::make_shared<kit::TextStorage>();
    kit::Attributes a;
    Placement placement;
    placement.horizontalFrame = placement.verticalFrame = Placement::Frame::Page;
    placement.offset = { 5, 5 };
    a.attachment = redBox({ 30, 30 }, placement);
    body->append(kit::kAttachmentCharacter, a);
    body->append("Text\n", kit::Attributes {});
    auto setup = std::make_shared<kit::PageSetup>();
    kit::PageSection section;
    section.paperSize = { 200, 200 };
    section.margins = { 50, 50, 50, 50, 20, 20, 0 };
    setup->sections = { section };
    body->setPageSetup(setup);

    kit::DocumentPrintJob job(body, "floats");
    ASSERT_EQ(job.pageCount(), 1);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 200);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    job.drawPage(0, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    auto pixel = [&](int x, int y) {
        auto* row = reinterpret_cast<const std::uint32_t*>(
            cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface));
        return row[x] & 0xffffff;
    };
    EXPECT_EQ(pixel(20, 20), 0xff0000u) << "inside the box, in the top margin";
    EXPECT_EQ(pixel(45, 45), 0xffffffu) << "past its corner";
    cairo_surface_destroy(surface);
}

