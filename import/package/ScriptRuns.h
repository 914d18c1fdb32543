#pragma once

#include "kit/text/TextStorage.h"

#include <string_view>

namespace importer {

// Whether a character belongs to a complex script (Arabic, Hebrew, the Indic scripts, Thai...), which word
// processors format with their own size, weight and slant.
bool isComplexScriptCharacter(char32_t character);

// Appends text, giving its complex-script stretches the complex attributes (when given) and the rest the
// regular ones. Neutral characters (spaces, digits, punctuation) stay with the stretch they are in.
void appendWithScripts(kit::TextStorage& out, std::string_view text, const kit::Attributes& regular,
    const kit::Attributes* complex);

} // namespace importer
