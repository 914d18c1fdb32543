#pragma once

#include <string>
#include <string_view>

namespace kit {

// Which bytes may stand unencoded in one component of a URL (RFC 3986, section 3).
enum class URLComponentSet {
    UserInfo, // unreserved, sub-delims, ':'
    Path, // pchar and '/'
    QueryOrFragment, // pchar, '/' and '?'
};

// Percent-encodes every byte the set does not allow, as uppercase %XX. A '%' that already starts a
// %XX escape is kept, so encoding twice changes nothing; any other '%' becomes %25.
std::string percentEncodeComponent(std::string_view text, URLComponentSet allowed);

// Percent-encodes a literal file system path: '/' separates segments and every other byte outside the
// path set, '%' included, is encoded.
std::string percentEncodePath(std::string_view path);

// Decodes %XX escapes into raw bytes; a malformed escape stays as it is.
std::string percentDecode(std::string_view text);

// The bytes as UTF-8: kept when they are valid UTF-8, else read as ISO-8859-1 (the encoding of old web
// servers' file names) and converted.
std::string utf8FromBytes(std::string_view bytes);

} // namespace kit
