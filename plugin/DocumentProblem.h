#pragma once

#include "import/Importer.h"

#include <cstddef>
#include <string>

namespace kit {
class TextStorage;
}

// The plain sentence a reader sees on the page instead of the document when a download arrived but
// cannot be shown: password-protected, damaged or cut short, of no format we read, too large, or empty
// (no bytes, or neither text nor pictures). Empty when the document has something to show, even when
// the importer also reported an error (a cut-short file shows what could be read).
//
// byteCount is the size of the downloaded bytes; text is what the importer made of them (null when it
// made nothing) and error its reason.
std::string documentProblemMessage(std::size_t byteCount, const kit::TextStorage* text, importer::ImportError error);

// True when the text holds something a reader sees: a character other than white space and the
// paragraph, line and page breaks, or a picture.
bool hasVisibleContent(const kit::TextStorage& text);
