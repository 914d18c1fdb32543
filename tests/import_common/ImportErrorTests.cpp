#include "import/common/ImportError.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

using importer::ImportError;

// These words are what the command line's reports and the helper program's answers carry; they must not
// change with the enum.
TEST(ImportError, EachErrorHasItsOneSpelling)
{
    const testsupport::Case<ImportError, const char*> cases[] = {
        { ImportError::None, "", "no error says nothing" },
        { ImportError::NotKnownFormat, "not a known format", "bytes no reader claims" },
        { ImportError::Encrypted, "encrypted", "a password-protected document" },
        { ImportError::Truncated, "truncated", "a file cut short" },
        { ImportError::Damaged, "damaged", "a container that cannot be read" },
        { ImportError::TooLarge, "too large", "over the import's limits" },
        { ImportError::Stopped, "stopped", "a stop its caller asked for" },
    };
    testsupport::expectEach(cases, [](ImportError error) { return errorText(error); });
}
