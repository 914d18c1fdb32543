#include "import/common/ImportError.h"

namespace importer {

const char* errorText(ImportError error)
{
    switch (error) {
    case ImportError::None:
        return "";
    case ImportError::NotKnownFormat:
        return "not a known format";
    case ImportError::Encrypted:
        return "encrypted";
    case ImportError::Truncated:
        return "truncated";
    case ImportError::Damaged:
        return "damaged";
    case ImportError::TooLarge:
        return "too large";
    case ImportError::Stopped:
        return "stopped";
    }
    return "";
}

} // namespace importer
