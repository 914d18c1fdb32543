// Plain text: encoding detection (byte-order marks, UTF-16 by its zero bytes, legacy code pages by letter
// frequency) and line-end normalisation. Every byte string must give valid UTF-8 text without carriage
// returns, or be refused as not text.
#include "import/common/Encoding.h"
#include "import/text/TextImporter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    importer::ImportResult result = importer::importText(std::span<const std::uint8_t>(data, size));
    if (!result.text) {
        if (result.error != importer::ImportError::NotKnownFormat)
            std::abort();
        return 0;
    }
    const std::string& text = result.text->string();
    if (!importer::encoding::isValidUtf8({ reinterpret_cast<const std::uint8_t*>(text.data()), text.size() }))
        std::abort();
    if (text.find('\r') != std::string::npos || text.find('\0') != std::string::npos)
        std::abort();
    if (size == 0 && !text.empty())
        std::abort();
    return 0;
}
