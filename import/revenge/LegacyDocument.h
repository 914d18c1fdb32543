#pragma once

#include "import/Importer.h"

#include <cstdint>
#include <span>
#include <string>

// The document libraries of older word processors, behind one interface: which of them reads some bytes,
// and their text. They run only inside the sandboxed helper program; nothing else links them.
namespace importer::revenge {

struct Detection {
    std::string format; // "wordperfect", "works", "write" (Write and Word for DOS), "staroffice", "pages", "abiword",
                        // "mac"; empty: none
    bool encrypted = false;
};

// Asks each library in turn whether it reads the bytes as a word-processing document. Libraries with a
// signature of their own are asked before the ones that recognise formats by their structure.
Detection detectDocument(std::span<const std::uint8_t> bytes);

// The detected library's text, under the budget of the import on this thread: a text that outgrows it
// gives "too large". A parse that fails after producing text keeps what it produced.
ImportResult parseDocument(std::span<const std::uint8_t> bytes, const Detection& detection);

} // namespace importer::revenge
