#include "plugin/DocumentProblem.h"

#include "kit/text/TextStorage.h"

#include <glib.h>

bool hasVisibleContent(const kit::TextStorage& text)
{
    // U+FFFC stands for a picture; every other character counts unless GLib calls it white space
    // (which covers the breaks, U+2028 and the no-break spaces).
    const std::string& string = text.string();
    const char* p = string.data();
    const char* end = p + string.size();
    while (p < end) {
        gunichar c = g_utf8_get_char_validated(p, end - p);
        if (c == gunichar(-1) || c == gunichar(-2))
            return true;
        if (c == 0xFFFC || !(g_unichar_isspace(c) || c == '\f' || c == 0x200B || c == 0xFEFF))
            return true;
        p = g_utf8_next_char(p);
    }
    return false;
}

std::string documentProblemMessage(std::size_t byteCount, const kit::TextStorage* text, importer::ImportError error)
{
    if (byteCount == 0)
        return "This document is empty.";
    if (text && hasVisibleContent(*text))
        return {};
    switch (error) {
    case importer::ImportError::None:
        return "This document is empty.";
    case importer::ImportError::Encrypted:
        return "This document is password-protected and cannot be shown.";
    case importer::ImportError::TooLarge:
        return "This document is too large to be shown.";
    case importer::ImportError::NotKnownFormat:
        return "This file is not in a document format that can be shown.";
    case importer::ImportError::Truncated:
    case importer::ImportError::Damaged:
    case importer::ImportError::Stopped:
        break;
    }
    return "This document is damaged or incomplete and cannot be shown.";
}
