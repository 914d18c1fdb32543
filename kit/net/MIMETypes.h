#pragma once

#include <string>
#include <string_view>

namespace kit {

// The MIME type a file name extension stands for ("doc" → "application/msword"); empty when unknown.
// The extension is compared without regard to case.
std::string mimeTypeForExtension(std::string_view extension);

// The extension a file of this MIME type is saved with ("application/msword" → "doc"); empty when
// unknown. The type is compared without regard to case; parameters (";charset=…") are ignored.
std::string preferredExtensionForMIMEType(std::string_view mimeType);

} // namespace kit
