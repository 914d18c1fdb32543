// The document's own layout from the command line: pages on each section's paper, in the PDF too.
#include "import_doc/SectionDocuments.h"
#include "import_docx/SectionDocuments.h"
#include "support/PngBytes.h"
#include "support/TestSupport.h"

#include <cairo.h>
#include <climits>
#include <gtest/gtest.h>
#include <regex>

namespace {

std::string run(const std::string& arguments, int* status = nullptr)
{
    std::string output, errors;
    int code = testsupport::runCommand(std::string(LECTORIN_EXE) + " " + arguments + " --paper letter", &output, &errors);
    if (status)
        *status = code;
    if (code == 1)
        ADD_FAILURE() << arguments << ": " << errors;
    return output;
}

std::filesystem::path twoSectionFile()
{
    auto bytes = testdocx::build(testdocx::twoSectionDocument());
    auto path = testsupport::temporaryFolder("layout-document") / "sections.docx";
    testsupport::writeFile(path, std::string(bytes.begin(), bytes.end()));
    return path;
}

std::filesystem::path twoSectionWordFile()
{
    auto bytes = testdoc::twoSectionDocument().build();
    auto path = testsupport::temporaryFolder("layout-document") / "sections.doc";
    testsupport::writeFile(path, std::string(bytes.begin(), bytes.end()));
    return path;
}

std::vector<std::string> pdfPageSizes(const std::filesystem::path& pdf)
{
    std::string info;
    testsupport::runCommand("pdfinfo -f 1 -l 99 " + pdf.string(), &info);
    std::vector<std::string> sizes;
    std::regex size("Page +\\d+ size: +([0-9.]+ x [0-9.]+) pts");
    for (std::sregex_iterator it(info.begin(), info.end(), size), end; it != end; ++it)
        sizes.push_back((*it)[1]);
    return sizes;
}

std::string pdfPageText(const std::filesystem::path& pdf, int page)
{
    std::string text;
    testsupport::runCommand("pdftotext -f " + std::to_string(page) + " -l " + std::to_string(page) + " " + pdf.string() + " -", &text);
    return text;
}

} // namespace

TEST(DocumentLayoutCommands, PrintGivesEachSectionItsMedia)
{
    auto document = twoSectionFile();
    auto output = testsupport::temporaryFolder("layout-output");
    auto pdf = output / "sections.pdf";
    int status = -1;
    run("print " + document.string() + " -o " + pdf.string() + " --layout document", &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(pdfPageSizes(pdf), (std::vector<std::string> { "595.3 x 841.9", "595.3 x 841.9", "841.9 x 595.3" }))
        << "A4 portrait twice, then a landscape media box";
    std::string first = pdfPageText(pdf, 1), second = pdfPageText(pdf, 2), third = pdfPageText(pdf, 3);
    EXPECT_NE(first.find("First page header"), std::string::npos) << first;
    EXPECT_EQ(first.find("Running header"), std::string::npos);
    EXPECT_NE(first.find("Page 1 of 3"), std::string::npos) << "fields computed, not the cached 9: " << first;
    EXPECT_NE(second.find("Running header"), std::string::npos) << second;
    EXPECT_NE(second.find("Bravo"), std::string::npos);
    EXPECT_NE(second.find("Page 2 of 3"), std::string::npos) << second;
    EXPECT_NE(third.find("Charlie"), std::string::npos) << third;
    EXPECT_NE(third.find("Running header"), std::string::npos) << "linked to the previous section's";
    EXPECT_NE(third.find("Page 3 of 3"), std::string::npos) << third;

    // The printer's paper stays the default: Letter pages and no header.
    auto printer = output / "printer.pdf";
    run("print " + document.string() + " -o " + printer.string(), &status);
    ASSERT_EQ(status, 0);
    for (const auto& size : pdfPageSizes(printer))
        EXPECT_EQ(size, "612 x 792");
    EXPECT_EQ(pdfPageText(printer, 1).find("First page header"), std::string::npos);
}

TEST(DocumentLayoutCommands, InfoAndRenderShowTheLayout)
{
    auto document = twoSectionFile();
    std::string info = run("info " + document.string() + " --layout document");
    EXPECT_NE(info.find("\"layout\":\"document\""), std::string::npos) << info;
    EXPECT_NE(info.find("\"pages\":3"), std::string::npos) << info;
    EXPECT_NE(info.find("\"pageSizes\":[595.3,841.9,595.3,841.9,841.9,595.3]"), std::string::npos) << info;
    EXPECT_NE(info.find("\"sections\":2"), std::string::npos);
    std::string printer = run("info " + document.string());
    EXPECT_NE(printer.find("\"layout\":\"printer\""), std::string::npos) << printer;
    EXPECT_EQ(printer.find("pageSizes"), std::string::npos);
    int status = -1;
    run("info " + document.string() + " --layout sideways", &status);
    EXPECT_EQ(status, 2);

    // Each page's PNG is its own paper with the separator around it: the landscape one is wider than tall.
    auto base = testsupport::temporaryFolder("layout-output") / "page.png";
    run("render " + document.string() + " --layout document --pages 1-3 -o " + base.string(), &status);
    ASSERT_EQ(status, 0);
    auto portrait = testsupport::readPng(base.parent_path() / "page-1.png");
    auto landscape = testsupport::readPng(base.parent_path() / "page-3.png");
    EXPECT_EQ(portrait.width, 595 + 1 + 32);
    EXPECT_EQ(portrait.height, 842 + 32);
    EXPECT_EQ(landscape.width, 842 + 32);
    EXPECT_EQ(landscape.height, 595 + 1 + 32);
    // The header's ink sits half an inch below the paper's top edge: its band, not the body's top margin.
    auto inkRows = [&](const testsupport::Image& image, int from, int to) {
        int rows = 0;
        for (int y = from; y < to; ++y) {
            for (int x = 16 + 54; x < 16 + 300; ++x) {
                if ((image.at(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                    ++rows;
                    break;
                }
            }
        }
        return rows;
    };
    EXPECT_GT(inkRows(portrait, 16 + 36, 16 + 50), 3) << "header text at the header distance";
    EXPECT_EQ(inkRows(portrait, 16 + 2, 16 + 34), 0) << "nothing above the header";
    EXPECT_GT(inkRows(portrait, 16 + 72, 16 + 86), 3) << "the body at the top margin";
}

TEST(DocumentLayoutCommands, WordBinarySectionsPrintOnTheirOwnPaper)
{
    auto document = twoSectionWordFile();
    auto pdf = testsupport::temporaryFolder("layout-output") / "sections-doc.pdf";
    int status = -1;
    run("print " + document.string() + " -o " + pdf.string() + " --layout document", &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(pdfPageSizes(pdf), (std::vector<std::string> { "595.3 x 841.9", "595.3 x 841.9", "841.9 x 595.3" }));
    std::string first = pdfPageText(pdf, 1), second = pdfPageText(pdf, 2), third = pdfPageText(pdf, 3);
    EXPECT_NE(first.find("First page header"), std::string::npos) << first;
    EXPECT_EQ(first.find("Running header"), std::string::npos);
    EXPECT_NE(first.find("Page 1 of 3"), std::string::npos) << first;
    EXPECT_NE(second.find("Running header"), std::string::npos) << second;
    EXPECT_NE(second.find("Bravo"), std::string::npos);
    EXPECT_NE(third.find("Charlie"), std::string::npos) << third;
    EXPECT_NE(third.find("Running header"), std::string::npos) << "linked to the first section's";
    EXPECT_NE(third.find("Page 3 of 3"), std::string::npos) << third;
    std::string info = run("info " + document.string() + " --layout document");
    EXPECT_NE(info.find("\"pageSizes\":[595.3,841.9,595.3,841.9,841.9,595.3]"), std::string::npos) << info;
}

TEST(DocumentLayoutCommands, FootnotesPrintAtTheFootOfTheirPage)
{
    // Letter pages, inch margins, a footer; sixty paragraphs, the third of them referring to a footnote, and
    // an endnote referred to from the first.
    testdocx::Parts parts;
    testdocx::addStory(parts, "rIdFooter", "ftr", testdocx::paragraph("Footer band text"));
    parts.footnotes = R"(<w:footnote w:id="1"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t xml:space="preserve"> Footnote words here.</w:t></w:r></w:p></w:footnote>)";
    parts.endnotes = R"(<w:endnote w:id="1"><w:p><w:r><w:endnoteRef/></w:r><w:r><w:t xml:space="preserve"> Endnote words here.</w:t></w:r></w:p></w:endnote>)";
    parts.body = "<w:p><w:r><w:t>Opening paragraph</w:t></w:r><w:r><w:endnoteReference w:id=\"1\"/></w:r></w:p>"
        + testdocx::paragraph("Second paragraph.")
        + "<w:p><w:r><w:t>Third paragraph refers</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/></w:r></w:p>";
    for (int i = 0; i < 60; ++i)
        parts.body += testdocx::paragraph("Filler paragraph number " + std::to_string(i) + ".");
    parts.body += R"(<w:sectPr><w:footerReference w:type="default" r:id="rIdFooter"/><w:pgSz w:w="12240" w:h="15840"/>)"
                  R"(<w:pgMar w:top="1440" w:right="1440" w:bottom="1440" w:left="1440" w:header="720" w:footer="720" w:gutter="0"/></w:sectPr>)";
    auto bytes = testdocx::build(parts);
    auto folder = testsupport::temporaryFolder("layout-notes");
    auto document = folder / "notes.docx";
    testsupport::writeFile(document, std::string(bytes.begin(), bytes.end()));

    auto pdf = folder / "notes.pdf";
    int status = -1;
    run("print " + document.string() + " -o " + pdf.string() + " --layout document", &status);
    ASSERT_EQ(status, 0);
    std::size_t pages = pdfPageSizes(pdf).size();
    ASSERT_GE(pages, 2u);
    std::string first = pdfPageText(pdf, 1), last = pdfPageText(pdf, int(pages));
    std::size_t body = first.find("Filler paragraph number"), note = first.find("Footnote words here.");
    std::size_t footer = first.find("Footer band text");
    ASSERT_NE(note, std::string::npos) << "on its reference's page: " << first;
    EXPECT_LT(first.rfind("Filler paragraph number"), note) << "below the body";
    EXPECT_LT(note, footer) << "above the footer";
    EXPECT_NE(body, std::string::npos);
    EXPECT_EQ(first.find("Endnote words"), std::string::npos);
    EXPECT_NE(last.find("Endnote words here."), std::string::npos) << "the endnote ends the document: " << last;
    for (std::size_t page = 2; page <= pages; ++page)
        EXPECT_EQ(pdfPageText(pdf, int(page)).find("Footnote words"), std::string::npos) << "shown once, page " << page;
    std::string found = run("find " + document.string() + " \"Footnote words\" --layout document -o " + (folder / "find.png").string());
    EXPECT_NE(found.find("page 1 bytes"), std::string::npos) << "found where it is shown: " << found;

    // On the printer's paper the notes still follow the body, and the text lists each once.
    auto printer = folder / "printer.pdf";
    run("print " + document.string() + " -o " + printer.string(), &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(pdfPageText(printer, 1).find("Footnote words"), std::string::npos);
    std::string text = run("text " + document.string());
    EXPECT_NE(text.find("Footnote words here."), std::string::npos);
    EXPECT_EQ(text.find("Footnote words here."), text.rfind("Footnote words here."));
}

namespace {

// The bounding box (x0, y0, x1, y1, in pixels) of a colour on a page of the PDF rasterised at 72 pixels per
// inch, so that pixels are points; and how many pixels have it. Colours within 24 of each channel count.
struct ColourBox {
    int x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
    int count = 0;
};

ColourBox colourOnPage(const std::filesystem::path& pdf, int page, std::uint32_t rgb)
{
    ColourBox box;
    auto prefix = pdf.parent_path() / ("raster-" + std::to_string(page));
    testsupport::runCommand("pdftoppm -r 72 -singlefile -png -f " + std::to_string(page) + " -l " + std::to_string(page) + " "
            + pdf.string() + " " + prefix.string(),
        nullptr);
    cairo_surface_t* image = cairo_image_surface_create_from_png((prefix.string() + ".png").c_str());
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
        auto* data = cairo_image_surface_get_data(image);
        int stride = cairo_image_surface_get_stride(image);
        auto near = [](std::uint32_t a, std::uint32_t b, int shift) {
            return std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) <= 24;
        };
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
            for (int x = 0; x < width; ++x) {
                std::uint32_t pixel = row[x] & 0xffffff;
                if (near(pixel, rgb, 16) && near(pixel, rgb, 8) && near(pixel, rgb, 0)) {
                    box.x0 = std::min(box.x0, x), box.y0 = std::min(box.y0, y);
                    box.x1 = std::max(box.x1, x), box.y1 = std::max(box.y1, y);
                    ++box.count;
                }
            }
        }
    }
    cairo_surface_destroy(image);
    return box;
}

std::string emu(float points) { return std::to_string(long(points * 12700)); }

} // namespace

TEST(DocumentLayoutCommands, FloatingPicturesAndChartsPrintWhereTheDocumentPutsThem)
{
    // Letter, inch margins. A green picture 100 x 50 points at (300, 100) on the paper, text wrapping around
    // it; below, a chart 300 x 150 centred between the margins with text above and below it only.
    testdocx::Parts parts;
    parts.extra.push_back({ "word/media/green.png", testsupport::pngBytes(20, 10, 0, 0.6, 0) });
    parts.relationships.push_back({ "rIdGreen", "image", "media/green.png" });
    std::string chartNamespace = R"( xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart")";
    parts.extra.push_back({ "word/charts/chart1.xml",
        R"(<?xml version="1.0"?><c:chartSpace)" + chartNamespace + R"( xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main">)"
            R"(<c:chart><c:plotArea><c:barChart><c:barDir val="col"/><c:ser><c:spPr><a:solidFill><a:srgbClr val="C00000"/></a:solidFill></c:spPr>)"
            R"(<c:val><c:numLit><c:pt idx="0"><c:v>5</c:v></c:pt><c:pt idx="1"><c:v>10</c:v></c:pt></c:numLit></c:val></c:ser>)"
            R"(</c:barChart></c:plotArea></c:chart></c:chartSpace>)" });
    parts.relationships.push_back({ "rIdChart", "chart", "charts/chart1.xml" });
    auto anchored = [](const std::string& position, const std::string& wrap, float width, float height, const std::string& data) {
        return "<w:r><w:drawing><wp:anchor distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" simplePos=\"0\" behindDoc=\"0\">"
            "<wp:simplePos x=\"0\" y=\"0\"/>" + position + "<wp:extent cx=\"" + emu(width) + "\" cy=\"" + emu(height) + "\"/>" + wrap
            + "<wp:docPr id=\"1\" name=\"Object\"/><a:graphic><a:graphicData>" + data + "</a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
    };
    std::string words;
    for (int i = 0; i < 80; ++i)
        words += "wrapping ";
    parts.body = "<w:p>"
        + anchored("<wp:positionH relativeFrom=\"page\"><wp:posOffset>" + emu(300) + "</wp:posOffset></wp:positionH>"
                   "<wp:positionV relativeFrom=\"page\"><wp:posOffset>" + emu(100) + "</wp:posOffset></wp:positionV>",
            "<wp:wrapSquare wrapText=\"bothSides\"/>", 100, 50, "<pic:pic><pic:blipFill><a:blip r:embed=\"rIdGreen\"/></pic:blipFill></pic:pic>")
        + "<w:r><w:t>" + words + "</w:t></w:r></w:p><w:p>"
        + anchored("<wp:positionH relativeFrom=\"margin\"><wp:align>center</wp:align></wp:positionH>"
                   "<wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV>",
            "<wp:wrapTopAndBottom/>", 300, 150, "<c:chart" + chartNamespace + " r:id=\"rIdChart\"/>")
        + "<w:r><w:t>After the chart.</w:t></w:r></w:p>"
        + R"(<w:sectPr><w:pgSz w:w="12240" w:h="15840"/><w:pgMar w:top="1440" w:right="1440" w:bottom="1440" w:left="1440" w:header="720" w:footer="720" w:gutter="0"/></w:sectPr>)";
    auto bytes = testdocx::build(parts);
    auto folder = testsupport::temporaryFolder("layout-floats");
    auto document = folder / "floats.docx";
    testsupport::writeFile(document, std::string(bytes.begin(), bytes.end()));
    auto pdf = folder / "floats.pdf";
    int status = -1;
    run("print " + document.string() + " -o " + pdf.string() + " --layout document", &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(pdfPageSizes(pdf), (std::vector<std::string> { "612 x 792" }));

    ColourBox picture = colourOnPage(pdf, 1, 0x009900);
    ASSERT_GT(picture.count, 0);
    EXPECT_NEAR(picture.x0, 300, 1.5);
    EXPECT_NEAR(picture.y0, 100, 1.5);
    EXPECT_NEAR(picture.x1, 399, 1.5);
    EXPECT_NEAR(picture.y1, 149, 1.5);

    ColourBox bars = colourOnPage(pdf, 1, 0xc00000);
    ASSERT_GT(bars.count, 500) << "the chart's columns are drawn";
    EXPECT_GE(bars.x0, 156);
    EXPECT_LE(bars.x1, 456) << "within the chart's 300 points, centred between the margins";
    EXPECT_GT(bars.y0, 150) << "below the wrapped paragraph";

    // The text wraps: no line crosses the picture, and the text after the chart lies below its columns.
    std::string layout;
    testsupport::runCommand("pdftotext -bbox " + pdf.string() + " -", &layout);
    std::regex word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
    int beside = 0;
    float afterTop = -1;
    for (std::sregex_iterator it(layout.begin(), layout.end(), word), end; it != end; ++it) {
        float x0 = std::stof((*it)[1]), y0 = std::stof((*it)[2]), x1 = std::stof((*it)[3]), y1 = std::stof((*it)[4]);
        bool overlaps = x1 > 300.5f && x0 < 399.5f && y1 > 100.5f && y0 < 149.5f;
        EXPECT_FALSE(overlaps) << (*it)[5] << " at " << x0 << "," << y0;
        beside += y0 < 150 && y1 > 100;
        if ((*it)[5] == "After")
            afterTop = y0;
    }
    EXPECT_GT(beside, 3) << "lines run beside the picture";
    EXPECT_GT(afterTop, float(bars.y1)) << "the chart's paragraph text goes below it";
}
