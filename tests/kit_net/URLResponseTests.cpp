#include "kit/net/Error.h"
#include "kit/net/MIMETypes.h"
#include "kit/net/URLRequest.h"
#include "kit/net/URLResponse.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <tuple>

using kit::HTTPHeaderFields;
using kit::URL;
using kit::URLResponse;

namespace {

URL url(const char* string)
{
    auto parsed = URL::withString(string);
    EXPECT_TRUE(parsed) << string;
    return parsed.value_or(URL::fileURL("/"));
}

} // namespace

TEST(URLResponse, ReadsTypeEncodingAndLengthFromHeaders)
{
    const struct {
        HTTPHeaderFields headers;
        const char* url;
        const char* mimeType;
        std::optional<std::string> encoding;
        long long length;
        const char* why;
    } cases[] = {
        { { { "Content-Type", "Text/HTML; Charset=\"UTF-8\"" }, { "Content-Length", "1234" } }, "http://h/x",
            "text/html", "utf-8", 1234, "case folded, quotes removed" },
        { { { "content-type", "application/msword" }, { "CONTENT-LENGTH", " 7 " } }, "http://h/x", "application/msword",
            std::nullopt, 7, "header names without case, value trimmed" },
        { { { "Content-Type", "text/plain;charset=iso-8859-1;format=flowed" } }, "http://h/x", "text/plain",
            "iso-8859-1", -1, "no length: unknown" },
        { { { "Content-Length", "12abc" } }, "http://h/a.doc", "application/msword", std::nullopt, -1,
            "a malformed length is unknown; no type: guessed from the extension" },
        { { { "Content-Length", "100" }, { "Content-Encoding", "gzip" } }, "http://h/a.bin", "application/octet-stream",
            std::nullopt, -1, "coded length is not the length delivered; unknown extension" },
        { { { "Content-Length", "100" }, { "Content-Encoding", "identity" } }, "http://h/a.rtf", "application/rtf",
            std::nullopt, 100, "identity coding keeps the length" },
        { { { "Content-Type", "nonsense" } }, "http://h/a.odt", "application/vnd.oasis.opendocument.text", std::nullopt,
            -1, "a type without a subtype counts as absent" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto response = URLResponse::httpResponse(url(c.url), 200, c.headers);
        EXPECT_EQ(response.mimeType(), c.mimeType);
        EXPECT_EQ(response.textEncodingName(), c.encoding);
        EXPECT_EQ(response.expectedContentLength(), c.length);
        EXPECT_TRUE(response.isHTTP());
        EXPECT_EQ(response.statusCode(), 200);
    }

    auto file = URLResponse::fileResponse(URL::fileURL("/tmp/Report.DOCX"), 42);
    EXPECT_EQ(file.mimeType(), "application/vnd.openxmlformats-officedocument.wordprocessingml.document")
        << "extensions compare without case";
    EXPECT_EQ(file.expectedContentLength(), 42);
    EXPECT_FALSE(file.isHTTP());
    EXPECT_EQ(file.statusCode(), 0);
}

TEST(URLResponse, SuggestsFilenamesFromContentDisposition)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "attachment; filename=\"fallback.doc\"; filename*=UTF-8''Bericht%20%C3%BCber.doc", "Bericht über.doc",
            "filename* wins though it comes second" },
        { "attachment; filename*=UTF-8''a%20b.doc; filename=\"c.doc\"", "a b.doc", "filename* wins when first" },
        { "attachment; filename=\"my \\\"best\\\" report.doc\"", "my \"best\" report.doc", "quoted-string escapes" },
        { "inline; filename=plain.rtf", "plain.rtf", "a token, and inline disposition" },
        { "attachment; FILENAME = spaced.doc ", "spaced.doc", "parameter names without case, spaces around" },
        { "attachment; filename*=iso-8859-1'en'r%E9sum%E9.doc", "résumé.doc", "ISO-8859-1 ext-value" },
        { "attachment; filename*=UTF-8''bad%FF.doc; filename=good.doc", "good.doc",
            "invalid UTF-8 in filename* falls back to filename" },
        { "attachment; filename*=no-quotes.doc; filename=good.doc", "good.doc", "malformed ext-value ignored" },
        { "attachment; filename*0*=UTF-8''Gro%C3%9Fer; filename*1=\" Bericht.doc\"", "Großer Bericht.doc",
            "RFC 2231 continuation" },
        { "attachment; filename=\"caf\xE9.doc\"", "café.doc", "raw ISO-8859-1 bytes in filename" },
        { "attachment; filename=\"café.doc\"", "café.doc", "raw UTF-8 bytes in filename" },
        { "attachment; filename=\"../../etc/passwd.doc\"", "passwd.doc", "no way out of the folder" },
        { "attachment; filename=C:\\Users\\x\\report.doc", "report.doc", "a Windows path keeps its last part" },
        { "attachment; filename=\".hidden.doc\"", "hidden.doc", "no hidden file" },
        { "attachment; filename=\". .hidden.doc\"", "hidden.doc", "no hidden file behind a blank" },
        { "attachment; filename*=UTF-8''a%0Ab%09c.doc", "abc.doc", "control characters removed" },
        { "attachment; filename=\"\"", "fromurl.doc", "empty name: the URL's" },
        { "attachment; filename=\"...\"", "fromurl.doc", "only dots: the URL's" },
        { "attachment", "fromurl.doc", "no filename parameter" },
    };
    testsupport::expectEach(cases, [&](const auto& input) {
        auto response = URLResponse::httpResponse(url("http://h/fromurl.doc"), 200,
            { { "Content-Type", "application/msword" }, { "Content-Disposition", input } });
        return response.suggestedFilename();
    });
}

TEST(URLResponse, SuggestsFilenamesFromTheURLAndType)
{
    const testsupport::Case<std::tuple<const char*, const char*>, const char*> cases[] = {
        { { "http://h/docs/my%20report.doc", "application/msword" }, "my report.doc", "decoded last segment" },
        { { "http://h/r%E9sum%E9", "application/rtf" }, "résumé.rtf", "ISO-8859-1 escapes, extension added" },
        { { "http://h/a%2Fb.doc", "application/msword" }, "b.doc", "an encoded slash cannot make a folder" },
        { { "http://h/download.php?id=3", "application/msword" }, "download.php",
            "an extension is kept even if wrong" },
        { { "http://h/dir/", "text/html" }, "dir.html", "trailing slash: the folder's name" },
        { { "http://localhost/", "application/msword" }, "localhost.doc", "root: the host" },
        { { "file:///", "application/pdf" }, "unknown.pdf", "no segment and no host" },
        { { "file:///", "application/x-unheard-of" }, "unknown", "no extension known for the type" },
        { { "http://h/get", "application/msword" }, "get.doc", "Word 97" },
        { { "http://h/get", "application/vnd.openxmlformats-officedocument.wordprocessingml.document" }, "get.docx",
            "docx" },
        { { "http://h/get", "application/vnd.ms-word.document.macroEnabled.12" }, "get.docm", "macro-enabled" },
        { { "http://h/get", "application/vnd.openxmlformats-officedocument.wordprocessingml.template" }, "get.dotx",
            "template" },
        { { "http://h/get", "application/rtf" }, "get.rtf", "RTF, application type" },
        { { "http://h/get", "text/rtf" }, "get.rtf", "RTF, text type" },
        { { "http://h/get", "application/vnd.oasis.opendocument.text" }, "get.odt", "OpenDocument" },
        { { "http://h/get", "application/vnd.oasis.opendocument.text-template" }, "get.ott", "OpenDocument template" },
        { { "http://h/get", "text/html" }, "get.html", "HTML" },
        { { "http://h/get", "text/plain" }, "get.txt", "plain text" },
        { { "http://h/get", "application/pdf" }, "get.pdf", "PDF" },
        { { "http://h/name.", "application/pdf" }, "name.pdf", "a trailing dot is no extension" },
    };
    for (const auto& c : cases) {
        const auto& [address, mimeType] = c.input;
        SCOPED_TRACE(c.why);
        URLResponse response(url(address), mimeType, -1, std::nullopt);
        EXPECT_EQ(response.suggestedFilename(), c.expected);
    }

    std::string longName(300, 'a');
    auto longResponse = URLResponse::httpResponse(
        url("http://h/x"), 200, { { "Content-Disposition", "attachment; filename=\"" + longName + ".doc\"" } });
    std::string suggested = longResponse.suggestedFilename();
    EXPECT_EQ(suggested.size(), 255u) << "longest name the file system takes";
    EXPECT_TRUE(suggested.ends_with("a.doc")) << suggested;
}

TEST(MIMETypes, MapsBothWays)
{
    EXPECT_EQ(kit::mimeTypeForExtension("DOT"), "application/msword");
    EXPECT_EQ(kit::preferredExtensionForMIMEType("application/msword"), "doc") << "dot is not the preferred one";
    EXPECT_EQ(kit::preferredExtensionForMIMEType("TEXT/HTML; charset=utf-8"), "html");
    EXPECT_EQ(kit::preferredExtensionForMIMEType("text/htmlx"), "");
    EXPECT_EQ(kit::mimeTypeForExtension(""), "");
}

TEST(Error, DescribesURLFailuresAndCarriesTheFailingURL)
{
    auto error = kit::Error::urlError(kit::URLErrorCode::CannotConnectToHost, "http://127.0.0.1:9/x.doc");
    EXPECT_EQ(error.domain(), "NSURLErrorDomain");
    EXPECT_EQ(error.code(), -1004);
    EXPECT_EQ(error.localizedDescription(), "Could not connect to the server.");
    EXPECT_EQ(error.userInfoValue("NSErrorFailingURLStringKey"), "http://127.0.0.1:9/x.doc");
    EXPECT_FALSE(error.userInfoValue("missing"));

    auto custom = kit::Error::urlError(
        kit::URLErrorCode::NoPermissionsToReadFile, "file:///x", { { kit::LocalizedDescriptionKey, "Not allowed." } });
    EXPECT_EQ(custom.localizedDescription(), "Not allowed.") << "the description in userInfo wins";
    EXPECT_EQ(kit::Error("OtherDomain", 7).localizedDescription(),
        "The operation couldn't be completed. (OtherDomain error 7.)");
}

TEST(URLRequest, ReplacesHeaderFieldsWithoutRegardToCase)
{
    kit::URLRequest request(url("http://h/x"));
    request.setValueForHTTPHeaderField("a", "Accept");
    request.setValueForHTTPHeaderField("b", "accept");
    ASSERT_EQ(request.allHTTPHeaderFields().size(), 1u);
    EXPECT_EQ(request.allHTTPHeaderFields()[0].second, "b");
    request.setValueForHTTPHeaderField("", "ACCEPT");
    EXPECT_TRUE(request.allHTTPHeaderFields().empty());
    EXPECT_EQ(request.timeoutInterval(), 60);
}

TEST(HTTPHeadReader, ReadsEachHopsHeadAndNothingAfterIt)
{
    kit::HTTPHeadReader head;
    const struct {
        const char* line;
        kit::HTTPHeadReader::Line expected;
        int status;
        std::size_t fields;
        const char* why;
    } lines[] = {
        { "X-Before: 1\r\n", kit::HTTPHeadReader::Line::Ignored, 0, 0, "nothing before a status line" },
        { "HTTP/1.1 100 Continue\r\n", kit::HTTPHeadReader::Line::Status, 100, 0, "an interim response" },
        { "\r\n", kit::HTTPHeadReader::Line::End, 100, 0, "ends and is interim" },
        { "HTTP/1.1 2000000000000000000000 OK\r\n", kit::HTTPHeadReader::Line::Status, 200, 0, "three digits, never an overflow" },
        { "Content-Type:  text/plain \r\n", kit::HTTPHeadReader::Line::Field, 200, 1, "trimmed" },
        { "\tcharset=utf-8\r\n", kit::HTTPHeadReader::Line::Field, 200, 1, "a folded line continues the field" },
        { "no colon here\r\n", kit::HTTPHeadReader::Line::Ignored, 200, 1, "not a field" },
        { "\r\n", kit::HTTPHeadReader::Line::End, 200, 1, "the head ends" },
        { "X-Trailer: 1\r\n", kit::HTTPHeadReader::Line::Ignored, 200, 1, "a trailer is no field of the head" },
        { "HTTP/2 302\r\n", kit::HTTPHeadReader::Line::Status, 302, 0, "the next hop starts afresh" },
    };
    for (const auto& l : lines) {
        SCOPED_TRACE(l.why);
        EXPECT_EQ(head.read(l.line), l.expected);
        EXPECT_EQ(head.statusCode(), l.status);
        EXPECT_EQ(head.fields().size(), l.fields);
    }
    head.reset();
    head.read("HTTP/1.0 200 OK\r\n");
    head.read("Content-Type: text/plain\r\n");
    head.read(" ; charset=utf-8\r\n");
    EXPECT_EQ(kit::headerFieldValue(head.fields(), "content-type"), "text/plain ; charset=utf-8");
    EXPECT_FALSE(head.isInterim());
}
