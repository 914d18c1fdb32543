#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// A printed PDF read back with poppler's command-line tools, as a reader's viewer would show it.
namespace testsupport {

// The number of pages, or -1 when the file does not read as a PDF.
int pdfPages(const std::filesystem::path& pdf);
// The first page's size in points as pdfinfo writes it ("612 x 792"), or empty.
std::string pdfPaper(const std::filesystem::path& pdf);
// The text of one page (1-based), or of every page for 0.
std::string pdfText(const std::filesystem::path& pdf, int page = 0);

// A word on the first page and its box, in points from the page's top left corner.
struct PdfWord {
    std::string text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};
std::vector<PdfWord> pdfWords(const std::filesystem::path& pdf);

} // namespace testsupport
