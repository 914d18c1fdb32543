#pragma once

#include "import/common/OutputBudget.h"
#include "kit/text/TextStorage.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace importer {

// What the importer made of some bytes. format is one of "rtf", "text", "doc", "docx", "odt", "html", the flat
// XML formats' "fodt" and "wordxml",
// the older formats' "wordperfect", "works", "write", "staroffice", "pages", "abiword", "mac", or "none". When text is null, error says why;
// with text, a Truncated error says it is only what could be read. errorText spells it where it is shown.
struct ImportResult {
    std::shared_ptr<kit::TextStorage> text;
    std::string format = "none";
    ImportError error = ImportError::None;
};

// Decides the format from the bytes alone (no type, no file name) and converts them. Any thread may import,
// once prepareImports has run; the limits end it early with the error Stopped (a requested stop) or
// TooLarge (the CPU time spent).
ImportResult importDocument(std::span<const std::uint8_t> bytes, const ImportLimits& limits = {});

// Sets up, once, what every import shares: the RTF hooks and the XML parser's globals. Call it on the UI
// thread before the first import on another thread.
void prepareImports();

// Installs the RTF reader as kit's reader hook. Idempotent; importDocument calls it too.
void installRtfReader();

} // namespace importer
