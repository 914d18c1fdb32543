#include "import/sandbox/LegacyImporter.h"

#include "import/common/ByteReader.h"
#include "import/common/OutputBudget.h"
#include "kit/foundation/HelperProgram.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>

namespace importer {

namespace {

constexpr std::string_view kHelperName = "lectorin-revenge";
constexpr std::string_view kGreeting = "LECTORIN-REVENGE ";
constexpr std::size_t kSampleSize = 64 * 1024;

bool containsCaseless(std::string_view haystack, std::string_view needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    }) != haystack.end();
}

} // namespace

bool looksLikeLegacy(std::span<const std::uint8_t> bytes)
{
    ByteReader reader(bytes);
    if (reader.startsWith("\xFF"
                          "WPC")
        || reader.startsWith("\xD0\xCF\x11\xE0") || reader.startsWith("PK\x03\x04") || reader.startsWith("\x1F\x8B"))
        return true;
    std::span<const std::uint8_t> sample = bytes.first(std::min(bytes.size(), kSampleSize));
    std::string_view text(reinterpret_cast<const char*>(sample.data()), std::min<std::size_t>(sample.size(), 1024));
    if (containsCaseless(text, "<abiword") || containsCaseless(text, "<!DOCTYPE abiword"))
        return true;
    // Text has no NULs (UTF-16 has, and the libraries then decline it) and few control characters.
    if (std::find(sample.begin(), sample.end(), std::uint8_t(0)) != sample.end())
        return true;
    std::size_t controls = std::count_if(sample.begin(), sample.end(), [](std::uint8_t b) {
        return b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1A && b != 0x1B;
    });
    return controls * 10 > sample.size();
}

std::optional<std::filesystem::path> legacyHelperPath()
{
    return kit::findHelperProgram("LECTORIN_REVENGE_HOST", kHelperName);
}

ImportResult importLegacy(std::span<const std::uint8_t> bytes) { return importLegacy(bytes, {}); }

namespace {

ImportResult readLegacy(std::span<const std::uint8_t> bytes, const sandbox::ChildLimits& limits)
{
    auto helper = legacyHelperPath();
    if (!helper)
        return { nullptr, "none", ImportError::NotKnownFormat };
    // The child charges the document against what is left of this import's budget.
    std::string budget = "--output-budget=" + std::to_string(OutputBudget::current().remaining());
    sandbox::ChildResult child = sandbox::runChild(
        { helper->string(), budget }, bytes, limits, std::getenv("LECTORIN_REVENGE_STDERR") != nullptr);
    std::string_view output = child.output;

    // The first line names the format as soon as it is known, so a parse that crashes still says what it was.
    std::size_t firstEnd = output.find('\n');
    if (output.rfind(kGreeting, 0) != 0 || firstEnd == std::string_view::npos)
        return { nullptr, "none",
            child.outcome == sandbox::ChildOutcome::Exited && child.exitStatus == 0 ? ImportError::NotKnownFormat
                                                                                    : ImportError::Damaged };
    std::string format(output.substr(kGreeting.size(), firstEnd - kGreeting.size()));
    if (format == "none")
        return { nullptr, "none", ImportError::NotKnownFormat };
    if (child.outcome == sandbox::ChildOutcome::OutputTooLarge)
        return { nullptr, format, ImportError::TooLarge };
    if (child.outcome != sandbox::ChildOutcome::Exited || child.exitStatus != 0)
        return { nullptr, format, ImportError::Damaged };
    output.remove_prefix(firstEnd + 1);
    std::size_t statusEnd = output.find('\n');
    std::string_view status = output.substr(0, statusEnd);
    for (ImportError stated : { ImportError::Encrypted, ImportError::TooLarge }) {
        if (status == errorText(stated))
            return { nullptr, format, stated };
    }
    if (status != "ok" || statusEnd == std::string_view::npos)
        return { nullptr, format, ImportError::Damaged };
    output.remove_prefix(statusEnd + 1);
    auto text = kit::TextStorage::fromRtf({ reinterpret_cast<const std::uint8_t*>(output.data()), output.size() });
    if (!text)
        return { nullptr, format, ImportError::Damaged };
    return { text, format, {} };
}

} // namespace

ImportResult importLegacy(std::span<const std::uint8_t> bytes, const sandbox::ChildLimits& limits)
{
    return importWithBudget([bytes, &limits] { return readLegacy(bytes, limits); });
}

} // namespace importer