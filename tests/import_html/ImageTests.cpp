#include "HtmlTestSupport.h"
#include "support/Cases.h"
#include "support/PngBytes.h"
#include "import/html/HtmlImage.h"
#include "kit_net/LoopbackServer.h"
#include "kit/foundation/Base64.h"

#include <atomic>
#include <cairo.h>

using htmltest::import;

namespace {

// A real PNG of the given size, written by Cairo.
std::vector<std::uint8_t> pngBytes(int width, int height)
{
    std::string png = testsupport::pngBytes(width, height, 1, 0, 0);
    return { png.begin(), png.end() };
}

std::string base64(const std::vector<std::uint8_t>& bytes)
{
    gchar* encoded = g_base64_encode(bytes.data(), bytes.size());
    std::string result(encoded);
    g_free(encoded);
    return result;
}

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return { text.begin(), text.end() };
}

const kit::Attachment* attachmentIn(const kit::TextStorage& storage)
{
    std::size_t at = storage.string().find(kit::kAttachmentCharacter);
    EXPECT_NE(at, std::string::npos) << storage.string();
    return at == std::string::npos ? nullptr : storage.attributesAt(at).attachment.get();
}

} // namespace

TEST(HtmlImage, DataUrlsBecomeAttachments)
{
    auto png = pngBytes(40, 20);
    std::string url = "data:image/png;base64," + base64(png);
    const struct {
        std::string html;
        float width;
        float height;
        const char* why;
    } cases[] = {
        { "<p>x<img src='" + url + "' alt='red'>", 30, 15, "pixels are CSS pixels: 40 of them are 30 points" },
        { "<p>x<img width=80 src='" + url + "'>", 60, 30, "a width alone keeps the proportions" },
        { "<p>x<img height=40 src='" + url + "'>", 60, 30, "so does a height alone" },
        { "<p>x<img width=10 height=10 src='" + url + "'>", 7.5f, 7.5f, "both given: as given" },
        { "<p>x<img style='width: 2in' src='" + url + "'>", 144, 72, "a CSS width" },
        { "<p>x<img width=50% src='" + url + "'>", 234, 117, "a percentage of the text width" },
        { "<p>x<img width=5000 src='" + url + "'>", 468, 234, "never wider than the text area" },
        { "<p>x<img width=10 height=5000 src='" + url + "'>", 7.5f * 648 / 3750, 648,
            "never taller than the page's text area" },
        { "<p>x<img src='data:image/png;base64," + base64(png).insert(10, "\n ") + "'>", 30, 15,
            "white space inside base64" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = import(c.html);
        htmltest::expectWellFormed(*storage);
        const kit::Attachment* image = attachmentIn(*storage);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->mimeType, "image/png");
        EXPECT_EQ(image->bytes, png);
        EXPECT_NEAR(image->size.width, c.width, 0.01f);
        EXPECT_NEAR(image->size.height, c.height, 0.01f);
    }
    auto storage = import("<p>x<img src='" + url + "' alt='red square'>");
    EXPECT_EQ(attachmentIn(*storage)->alternativeText, "red square");
}

TEST(HtmlImage, TheBytesDecideTheType)
{
    const std::string gif = std::string("GIF89a\x20\x00\x10\x00", 10) + std::string(20, '\0');
    // SOI, an APP0 segment, then a baseline frame header of 48 x 24.
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xC0\x00\x0B\x08\x00\x18\x00\x30\x01\x01\x11\x00", 21);
    const struct {
        std::string bytes;
        const char* mimeType;
        int width;
        int height;
        const char* why;
    } cases[] = {
        { gif, "image/gif", 32, 16, "GIF" },
        { jpeg, "image/jpeg", 48, 24, "JPEG: the first frame header after other segments" },
        { std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x05\0\0\0\x07", 24), "image/png", 5, 7, "a PNG header" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        // The URL lies about the type: the bytes are believed.
        auto storage = import("<p><img src='data:image/webp;base64," + base64(bytesOf(c.bytes)) + "'>");
        const kit::Attachment* image = attachmentIn(*storage);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->mimeType, c.mimeType);
        EXPECT_NEAR(image->size.width, c.width * 0.75f, 0.01f);
        EXPECT_NEAR(image->size.height, c.height * 0.75f, 0.01f);
    }
}

TEST(HtmlImage, WhatCannotBeShownIsAPlaceholder)
{
    const testsupport::Case<std::string, const char*> cases[] = {
        { "<p><img src='photo.jpg' alt='A photo'>", "A photo", "a relative URL is not fetched" },
        { "<p><img src='data:image/svg+xml;utf8,<svg/>' alt='vector'>", "vector", "SVG is not drawn" },
        { "<p><img src='data:image/png;base64,@@@@' alt='broken'>", "broken", "base64 with bad characters" },
        { "<p><img src='data:image/png;base64,iVBORw0KGgo=' alt='cut'>", "cut", "a PNG cut before its header" },
        { "<p><img src='data:image/jpeg;base64," + base64(bytesOf(std::string("\xFF\xD8\xFF\xC0\x00\x01", 6))) + "' alt='lies'>",
            "lies", "a JPEG segment length that lies" },
        { "<p><img>", "", "no source at all" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = import(c.input);
        htmltest::expectWellFormed(*storage);
        const kit::Attachment* image = attachmentIn(*storage);
        ASSERT_TRUE(image);
        EXPECT_TRUE(image->bytes.empty());
        EXPECT_EQ(image->mimeType, "");
        EXPECT_EQ(image->alternativeText, c.expected);
        EXPECT_GE(image->size.width, 12);
        EXPECT_GE(image->size.height, 12);
    }
}

TEST(HtmlImage, NothingIsFetched)
{
    std::atomic<int> requests = 0;
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get(".*", [&](const httplib::Request&, httplib::Response& r) {
            ++requests;
            r.set_content("x", "text/plain");
        });
    });
    ASSERT_TRUE(server.isValid());
    std::string html = "<!DOCTYPE html SYSTEM \"" + server.url("/dtd") + "\"><link rel=stylesheet href='" + server.url("/css")
        + "'><style>@import url(" + server.url("/import") + "); p { background: url(" + server.url("/bg") + ") }</style>"
        + "<p>x<img src='" + server.url("/image.png") + "' alt='remote'><iframe src='" + server.url("/frame") + "'></iframe>";
    auto storage = import(html);
    // The import is synchronous and starts no thread: a request it made would have been answered before it
    // returned.
    EXPECT_EQ(requests.load(), 0);
    EXPECT_EQ(attachmentIn(*storage)->alternativeText, "remote");
    // The server does count requests: one of our own reaches it.
    httplib::Client client("127.0.0.1", server.port());
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    auto response = client.Get("/probe");
    ASSERT_TRUE(response);
    EXPECT_EQ(requests.load(), 1);
}

TEST(HtmlImage, Base64Reader)
{
    const testsupport::Case<const char*, std::optional<std::string>> cases[] = {
        { "aGVsbG8=", "hello", "padded" }, { "aGVsbG8", "hello", "padding left out" },
        { "aGV sbG\n8=", "hello", "white space inside" }, { "", "", "nothing" },
        { "aGVsbG8*", std::nullopt, "a character outside the alphabet" },
        { "-_-_", std::string("\xFB\xFF\xBF", 3), "the URL-safe alphabet" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto decoded = kit::decodeBase64(c.input, kit::Base64Rule::Forgiving);
        ASSERT_EQ(decoded.has_value(), c.expected.has_value());
        if (decoded) {
            EXPECT_EQ(std::string(decoded->begin(), decoded->end()), *c.expected);
        }
    }
}
