#pragma once

#include "kit/foundation/GRefPtr.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

typedef struct _GsfInfile GsfInfile;

namespace importer::doc {

// An OLE2 compound file read through libgsf. The bytes it was opened on must outlive it: libgsf reads them
// in place (or a repaired copy of them that the storage owns, see open()).
class OleStorage {
public:
    static std::optional<OleStorage> open(std::span<const std::uint8_t> bytes);

    OleStorage(OleStorage&&) noexcept = default;
    OleStorage& operator=(OleStorage&&) noexcept = default;

    // A stream of the root storage, or nullopt when there is none.
    bool hasStream(const char* name) const;
    struct Stream {
        std::vector<std::uint8_t> bytes;
        bool isComplete = true; // false when a sector chain broke off: bytes hold what could be read
    };
    std::optional<Stream> readStream(const char* name) const;

private:
    OleStorage(kit::GRefPtr<GsfInfile> infile, std::size_t fileSize, std::vector<std::uint8_t> repairedBytes);
    kit::GRefPtr<GsfInfile> m_infile;
    std::size_t m_fileSize = 0;
    // The file with its directory repaired, when it needed that; libgsf reads it in place. A vector's buffer
    // stays where it is when the vector moves, so moving the storage keeps libgsf's pointer valid.
    std::vector<std::uint8_t> m_repairedBytes;
};

} // namespace importer::doc
