#include "import/common/ImportError.h"

#include <cstddef>
#include <iterator>

namespace importer {

namespace {

// In the order of the enum.
constexpr const char* kTexts[] = { "", "not a known format", "encrypted", "truncated", "damaged", "too large", "stopped" };
static_assert(std::size(kTexts) == std::size_t(ImportError::Stopped) + 1, "one text for each error");

} // namespace

const char* errorText(ImportError error)
{
    std::size_t index = std::size_t(error);
    return index < std::size(kTexts) ? kTexts[index] : "";
}

} // namespace importer
