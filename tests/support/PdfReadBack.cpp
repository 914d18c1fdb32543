#include "support/PdfReadBack.h"

#include "support/TestSupport.h"

#include <regex>

namespace testsupport {

namespace {

std::string output(const std::string& command)
{
    std::string text;
    return runCommand(command, &text) == 0 ? text : std::string();
}

std::string quoted(const std::filesystem::path& path)
{
    return "'" + path.string() + "'";
}

} // namespace

int pdfPages(const std::filesystem::path& pdf)
{
    std::smatch match;
    std::string info = output("pdfinfo " + quoted(pdf));
    return std::regex_search(info, match, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(match[1]) : -1;
}

std::string pdfPaper(const std::filesystem::path& pdf)
{
    std::smatch match;
    std::string info = output("pdfinfo " + quoted(pdf));
    return std::regex_search(info, match, std::regex("Page size:\\s+([0-9.]+ x [0-9.]+) pts")) ? match[1].str() : "";
}

std::string pdfText(const std::filesystem::path& pdf, int page)
{
    std::string range = page ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
    return output("pdftotext" + range + " " + quoted(pdf) + " -");
}

std::vector<PdfWord> pdfWords(const std::filesystem::path& pdf)
{
    std::string html = output("pdftotext -bbox -f 1 -l 1 " + quoted(pdf) + " -");
    std::vector<PdfWord> words;
    std::regex word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it)
        words.push_back({ (*it)[5], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4]) });
    return words;
}

} // namespace testsupport
