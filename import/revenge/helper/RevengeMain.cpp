// lectorin-revenge: reads one document on stdin and writes what the document libraries make of it on
// stdout, for the importer that runs it in a child process under limits. Its answer:
//   "LECTORIN-REVENGE <format>\n"   right after detection ("none": no library reads it; the program ends)
//   "<status>\n"                     "ok", "encrypted", "too large" or "damaged"
//   the document as RTF             after "ok"
// A crash or a limit between the two lines leaves the format known and the status missing.
// "--output-budget=BYTES" is what remains of the importer's output budget: the document's text and attribute
// runs are charged against it here as they would be in the importer's own process.
#include "import/common/OutputBudget.h"
#include "import/revenge/LegacyDocument.h"
#include "import/rtf/RtfImporter.h"
#include "import/rtf/RtfWriter.h"
#include "kit/foundation/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

// The process ends with _exit: it is done once its answer is written, and the libraries' process-lifetime
// state needs no tearing down (nor leak reports in sanitizer builds, which would change the exit status).
std::size_t outputBudget(int argc, char** argv)
{
    constexpr std::string_view kOption = "--output-budget=";
    for (int i = 1; i < argc; ++i) {
        std::string_view argument(argv[i]);
        if (argument.rfind(kOption, 0) != 0)
            continue;
        errno = 0;
        char* end = nullptr;
        unsigned long long bytes = std::strtoull(argv[i] + kOption.size(), &end, 10);
        if (errno == 0 && end && *end == '\0' && end != argv[i] + kOption.size())
            return std::size_t(std::min<unsigned long long>(bytes, importer::OutputBudget::kDefaultLimit));
    }
    return importer::OutputBudget::kDefaultLimit;
}

int run(std::size_t budget)
{
    std::optional<std::string> read = kit::readAll(STDIN_FILENO, SIZE_MAX);
    if (!read)
        return 2;
    std::vector<std::uint8_t> input(read->begin(), read->end());
    read.reset();
    importer::installRtfHooks();
    importer::revenge::Detection detection = importer::revenge::detectDocument(input);
    std::string detected = detection.format.empty() ? std::string("none") : detection.format;
    if (!kit::writeAll(STDOUT_FILENO, "LECTORIN-REVENGE " + detected + "\n"))
        return 2;
    if (detection.format.empty())
        return 0;
    importer::ImportBudgetScope scope(budget);
    importer::ImportResult result = importer::revenge::parseDocument(input, detection);
    if (!result.text) {
        importer::ImportError stated = result.error == importer::ImportError::Encrypted
                || result.error == importer::ImportError::TooLarge
            ? result.error
            : importer::ImportError::Damaged;
        std::string status = importer::errorText(stated);
        return kit::writeAll(STDOUT_FILENO, status + "\n") ? 0 : 2;
    }
    std::string rtf = importer::rtf::writeRtfWithPageSetup(*result.text);
    return kit::writeAll(STDOUT_FILENO, "ok\n") && kit::writeAll(STDOUT_FILENO, rtf) ? 0 : 2;
}

int main(int argc, char** argv) { _exit(run(outputBudget(argc, argv))); }
