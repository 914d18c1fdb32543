// The older word processors' formats through the whole child-process path: the helper program with the
// document libraries behind it, its limits, and the reading of what it hands back. Whatever the bytes and
// whatever the libraries do with them (crash, loop, allocate without end), this process survives, the
// answer is a document or a stated error, and a document keeps the rules of every import. The libraries'
// own crashes end as "damaged" here; set LECTORIN_FUZZ_CHILD_CRASHES to a folder to keep the inputs that
// made the helper die by a signal, for a stack from the helper run on its own.
#include "OutputChecks.h"
#include "import/Importer.h"
#include "import/sandbox/LegacyImporter.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

namespace {

using importer::ImportError;

const ImportError kErrors[] = { ImportError::NotKnownFormat, ImportError::Damaged, ImportError::Encrypted,
    ImportError::TooLarge, ImportError::Truncated };

bool isStatedError(ImportError error)
{
    for (ImportError known : kErrors) {
        if (error == known)
            return true;
    }
    return false;
}

void keepIfTheHelperDied(std::span<const std::uint8_t> bytes)
{
    const char* folder = std::getenv("LECTORIN_FUZZ_CHILD_CRASHES");
    auto helper = importer::legacyHelperPath();
    if (!folder || !helper)
        return;
    importer::sandbox::ChildLimits limits;
    limits.wallTime = std::chrono::milliseconds(10000);
    importer::sandbox::ChildResult child = importer::sandbox::runChild({ helper->string() }, bytes, limits);
    if (child.outcome != importer::sandbox::ChildOutcome::Signalled)
        return;
    std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::filesystem::path path = std::filesystem::path(folder)
        / ("signal" + std::to_string(child.signal) + "-" + std::to_string(std::hash<std::string_view> {}(view)));
    std::ofstream(path, std::ios::binary).write(view.data(), std::streamsize(view.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static bool prepared = [] {
        importer::prepareImports();
        return true;
    }();
    (void)prepared;
    std::span<const std::uint8_t> bytes(data, size);
    importer::sandbox::ChildLimits limits;
    limits.cpuSeconds = 5;
    limits.wallTime = std::chrono::milliseconds(8000);
    importer::ImportResult result = importer::importLegacy(bytes, limits);
    if (result.text) {
        fuzzoutput::checkOutput(*result.text, "legacy");
        return 0;
    }
    fuzzoutput::require(isStatedError(result.error), "legacy", "a failed import states a known error",
        importer::errorText(result.error));
    if (result.error == ImportError::Damaged)
        keepIfTheHelperDied(bytes);
    return 0;
}
