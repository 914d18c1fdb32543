// A small document that asks for gigabytes, through the built program as a user would run it: the whole
// process stays within 1 GiB of address space and says the document is too large.
#include "import_docx/DocxBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

using testsupport::repeated;

TEST(HostileDocumentCommands, InfoOfAListLabelBombEndsTooLargeWithinBounds)
{
    // Even capped, 100,000 labels of 32 numbers in words pass the budget of the import.
    testdocx::Parts parts;
    parts.numbering = R"(<w:abstractNum w:abstractNumId="0"><w:lvl w:ilvl="0"><w:start w:val="777"/><w:numFmt w:val="cardinalText"/>)"
                     R"(<w:lvlText w:val="%1"/></w:lvl><w:lvl w:ilvl="1">)"
                     R"(<w:lvlText w:val=")"
        + repeated("%1", 30000) + R"("/></w:lvl></w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num>)";
    parts.body = repeated(R"(<w:p><w:pPr><w:numPr><w:ilvl w:val="1"/><w:numId w:val="1"/></w:numPr></w:pPr></w:p>)", 100000);
    auto bytes = testdocx::build(parts);
    auto folder = testsupport::temporaryFolder("bomb");
    testsupport::writeFile(folder / "labels.docx", std::string(bytes.begin(), bytes.end()));

    // Under AddressSanitizer the limit cannot be set; the peak resident set is checked instead.
    std::string limit = testsupport::hasAddressSpaceLimit() ? "ulimit -v " + std::to_string(testsupport::kChildAddressSpace / 1024) + "; " : "";
    std::string output, errors;
    int status = testsupport::runCommand(
        limit + "exec '" LECTORIN_EXE "' info '" + (folder / "labels.docx").string() + "' --paper letter", &output, &errors);
    EXPECT_EQ(status, 1) << errors;
    EXPECT_NE(output.find("\"importError\":\"too large\""), std::string::npos) << output;
    EXPECT_NE(errors.find("too large"), std::string::npos) << errors;
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 1L << 20) << "kilobytes: under 1 GiB";
}
