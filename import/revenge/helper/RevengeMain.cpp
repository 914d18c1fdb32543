// lectorin-revenge: reads one document on stdin and writes what the document libraries make of it on
// stdout, for the importer that runs it in a child process under limits. Its answer:
//   "LECTORIN-REVENGE <format>\n"   right after detection ("none": no library reads it; the program ends)
//   "<status>\n"                     "ok", "encrypted" or "damaged"
//   the document as RTF             after "ok"
// A crash or a limit between the two lines leaves the format known and the status missing.
#include "import/revenge/LegacyDocument.h"
#include "import/rtf/RtfImporter.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool writeAll(const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = write(STDOUT_FILENO, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += std::size_t(n);
    }
    return true;
}

} // namespace

// The process ends with _exit: it is done once its answer is written, and the libraries' process-lifetime
// state needs no tearing down (nor leak reports in sanitizer builds, which would change the exit status).
int run()
{
    std::vector<std::uint8_t> input;
    std::uint8_t buffer[65536];
    for (;;) {
        ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return 2;
        if (n == 0)
            break;
        input.insert(input.end(), buffer, buffer + n);
    }
    importer::installRtfHooks();
    importer::revenge::Detection detection = importer::revenge::detectDocument(input);
    if (!writeAll("LECTORIN-REVENGE " + (detection.format.empty() ? std::string("none") : detection.format) + "\n"))
        return 2;
    if (detection.format.empty())
        return 0;
    importer::ImportResult result = importer::revenge::parseDocument(input, detection);
    if (!result.text)
        return writeAll((result.error == "encrypted" ? "encrypted" : "damaged") + std::string("\n")) ? 0 : 2;
    std::string rtf = result.text->rtfFromRange({ 0, result.text->length() });
    return writeAll("ok\n") && writeAll(rtf) ? 0 : 2;
}

int main() { _exit(run()); }
