// Response heads as a server sends them, line by line through the reader curl's lines go to, then the
// response built from them: MIME type, charset, length and the file name Content-Disposition suggests. The
// suggested name must stay a plain file name (no folder part, no control characters, not hidden).
#include "OutputChecks.h"
#include "kit/net/HTTPHeaderFields.h"
#include "kit/net/URLResponse.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const kit::URL url = *kit::URL::withString("http://127.0.0.1/files/document.doc");
    std::string_view input(reinterpret_cast<const char*>(data), size);
    kit::HTTPHeadReader head;
    head.read("HTTP/1.1 200 OK\r\n");
    for (std::size_t start = 0; start < input.size();) {
        std::size_t end = input.find('\n', start);
        end = end == std::string_view::npos ? input.size() : end + 1;
        head.read(input.substr(start, end - start));
        start = end;
    }
    auto response = kit::URLResponse::httpResponse(url, head.statusCode(), head.fields());
    (void)response.mimeType();
    (void)response.textEncodingName();
    (void)response.expectedContentLength();
    std::string name = response.suggestedFilename();
    fuzzoutput::require(!name.empty(), "http", "a name is suggested", name);
    fuzzoutput::require(name.find('/') == std::string::npos, "http", "no folder part", name);
    fuzzoutput::require(name.front() != '.', "http", "not hidden", name);
    for (char c : name)
        fuzzoutput::require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "http", "no control characters", name);
    return 0;
}
