#include "kit/net/MIMETypes.h"

#include <glib.h>

namespace kit {

namespace {

struct MIMEMapping {
    const char* extension;
    const char* mimeType;
    // The extension a download of this type is given; the other extensions of the type only map to it.
    bool isPreferred;
};

// Word-processing formats first: they are what this program is about.
constexpr MIMEMapping kMappings[] = {
    { "doc", "application/msword", true },
    { "dot", "application/msword", false },
    { "docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document", true },
    { "docm", "application/vnd.ms-word.document.macroEnabled.12", true },
    { "dotx", "application/vnd.openxmlformats-officedocument.wordprocessingml.template", true },
    { "dotm", "application/vnd.ms-word.template.macroEnabled.12", true },
    { "rtf", "application/rtf", true },
    { "rtf", "text/rtf", true },
    { "odt", "application/vnd.oasis.opendocument.text", true },
    { "ott", "application/vnd.oasis.opendocument.text-template", true },
    { "html", "text/html", true },
    { "htm", "text/html", false },
    { "xhtml", "application/xhtml+xml", true },
    { "txt", "text/plain", true },
    { "text", "text/plain", false },
    { "pdf", "application/pdf", true },
    { "xml", "application/xml", true },
    { "xml", "text/xml", true },
    { "plist", "application/x-plist", true },
    { "css", "text/css", true },
    { "csv", "text/csv", true },
    { "js", "text/javascript", true },
    { "js", "application/javascript", true },
    { "json", "application/json", true },
    { "png", "image/png", true },
    { "jpg", "image/jpeg", true },
    { "jpeg", "image/jpeg", false },
    { "gif", "image/gif", true },
    { "svg", "image/svg+xml", true },
    { "webp", "image/webp", true },
    { "zip", "application/zip", true },
    { "gz", "application/gzip", true },
};

} // namespace

std::string mimeTypeForExtension(std::string_view extension)
{
    for (const auto& mapping : kMappings) {
        if (extension.size() == std::char_traits<char>::length(mapping.extension)
            && g_ascii_strncasecmp(mapping.extension, extension.data(), extension.size()) == 0)
            return mapping.mimeType;
    }
    return {};
}

std::string preferredExtensionForMIMEType(std::string_view mimeType)
{
    mimeType = mimeType.substr(0, mimeType.find(';'));
    while (!mimeType.empty() && (mimeType.back() == ' ' || mimeType.back() == '\t'))
        mimeType.remove_suffix(1);
    for (const auto& mapping : kMappings) {
        if (mapping.isPreferred && mimeType.size() == std::char_traits<char>::length(mapping.mimeType)
            && g_ascii_strncasecmp(mapping.mimeType, mimeType.data(), mimeType.size()) == 0)
            return mapping.extension;
    }
    return {};
}

} // namespace kit
