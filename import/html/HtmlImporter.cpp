#include "import/html/HtmlImporter.h"

#include "import/common/Encoding.h"
#include "import/common/OutputBudget.h"
#include "import/html/HtmlConverter.h"
#include "import/html/HtmlDecoder.h"
#include "kit/foundation/CRelease.h"

#include <climits>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

namespace importer {

namespace {

// Detection reads no further than this into markup that starts with comments or white space.
constexpr std::size_t kDetectionWindow = 64 * 1024;

} // namespace

bool looksLikeHtml(std::span<const std::uint8_t> bytes)
{
    std::size_t markLength = 0;
    std::string_view encoding = html::encodingFromBytes(bytes, &markLength);
    auto window = bytes.subspan(markLength, std::min(bytes.size() - markLength, kDetectionWindow));
    if (encoding == "UTF-16LE" || encoding == "UTF-16BE")
        return html::startsLikeHtml(encoding::utf16ToUtf8(window, encoding == "UTF-16BE"));
    return html::startsLikeHtml({ reinterpret_cast<const char*>(window.data()), window.size() });
}

namespace {


ImportResult readHtml(std::span<const std::uint8_t> bytes)
{
    html::DecodedHtml decoded = html::decodeHtml(bytes);
    std::string markup = html::prepareMarkup(decoded.text);
    if (markup.size() > std::size_t(INT_MAX))
        return { nullptr, "html", ImportError::TooLarge };

    auto storage = std::make_shared<kit::TextStorage>();
    xmlInitParser();
    // The bytes are UTF-8 by now: a <meta charset> inside must not make the parser decode them again. No
    // network: nothing in a document may make the importer fetch anything. Without the huge option the
    // parser gives up at 256 nested elements and drops the rest of the document; its own parsing does not
    // recurse, and the converter reads deeper elements as text.
    int options = HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER
        | HTML_PARSE_IGNORE_ENC | XML_PARSE_HUGE;
    kit::CPtr<xmlDoc, xmlFreeDoc> document(
        htmlReadMemory(markup.data(), int(markup.size()), nullptr, "UTF-8", options));
    if (document) {
        html::HtmlConverter converter(document.get(), *storage);
        converter.convert();
    }
    return { storage, "html", ImportError::None };
}

} // namespace

ImportResult importHtml(std::span<const std::uint8_t> bytes)
{
    return importWithBudget([bytes] { return readHtml(bytes); });
}

} // namespace importer
