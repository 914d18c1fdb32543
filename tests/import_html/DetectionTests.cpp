#include "HtmlTestSupport.h"
#include "import/html/HtmlDecoder.h"
#include "support/Cases.h"

using htmltest::bytesOf;

namespace {

std::string utf16(const std::string& ascii, bool bigEndian, bool mark)
{
    std::string out;
    if (mark)
        out += bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        if (bigEndian) {
            out += '\0';
            out += c;
        } else {
            out += c;
            out += '\0';
        }
    }
    return out;
}

} // namespace

TEST(HtmlDetection, RecognisesMarkupFromItsStart)
{
    using namespace std::string_literals;
    const testsupport::Case<std::string, bool> cases[] = {
        { "<!DOCTYPE html>\n<title>x</title>", true, "an HTML5 doctype" },
        { "<!doctype HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">", true, "doctypes are case-insensitive" },
        { "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\">", false, "a doctype of another XML language" },
        { "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\">", true, "Word's HTML starts with <html and namespaces" },
        { "<HTML>", true, "tag names are case-insensitive" },
        { "<htmlx>", false, "a longer name that starts like html" },
        { "  \r\n\t<!-- saved by an editor -->\n<p>Hello", true, "white space and comments are skipped" },
        { "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\">", true,
            "an XHTML file with an XML prolog" },
        { "<?xml version=\"1.0\"?><office:document-content>", false, "an XML prolog before another vocabulary" },
        { "\xEF\xBB\xBF<p>caf\xC3\xA9</p>", true, "a UTF-8 byte-order mark comes before the markup" },
        { utf16("<html><body>x", false, true), true, "UTF-16LE with its mark" },
        { utf16("<html><body>x", true, true), true, "UTF-16BE with its mark" },
        { utf16("<table><tr>", false, false), true, "UTF-16LE without a mark, from its zero bytes" },
        { utf16("<div>x</div>", true, false), true, "UTF-16BE without a mark" },
        { "<table border=1><tr><td>1</td></tr></table>", true, "a fragment starting with a table" },
        { "<b>bold</b> text", true, "a fragment starting with inline markup" },
        { "<h3>Heading</h3>", true, "a heading" },
        { "<br/>", true, "a self-closed tag" },
        { "Dear <b>reader</b>", false, "text before any tag is plain text" },
        { "{\\rtf1\\ansi <b>}", false, "RTF is not HTML" },
        { "<!-- never closed <html>", false, "an unterminated comment hides the rest" },
        { "<p", false, "a tag cut short" },
        { "<unknown>", false, "a tag no document starts with" },
        { "", false, "nothing" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return importer::looksLikeHtml(bytesOf(input)); });
}

TEST(HtmlDetection, DecodesTheEncodingBrowsersWould)
{
    const struct {
        std::string bytes;
        const char* expectedText;
        const char* expectedEncoding;
        const char* why;
    } cases[] = {
        { "<p>caf\xC3\xA9", "café", "UTF-8", "valid UTF-8 without a declaration" },
        { "<p>caf\xE9 \x93q\x94", "café “q”", "windows-1252", "invalid UTF-8 without a declaration falls back to Windows-1252" },
        { "<meta charset=\"windows-1251\"><p>\xCF\xF0\xE8\xE2\xE5\xF2", "Привет", "windows-1251", "<meta charset>" },
        { "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\"><p>\xF0\xD2\xC9\xD7\xC5\xD4", "Привет",
            "koi8-r", "http-equiv Content-Type" },
        { "<META HTTP-EQUIV=Content-Type CONTENT='text/html; charset=\"shift_jis\"'><p>\x93\xFA\x96\x7B", "日本", "shift_jis",
            "upper-case attributes, single quotes around and double quotes inside the content" },
        { "<meta charset=utf-8><p>caf\xE9", "café", "windows-1252", "declared UTF-8 that the bytes contradict loses" },
        { "<meta charset=iso-8859-1><p>\x80 5", "€ 5", "iso-8859-1", "Latin-1 is read as its Windows superset" },
        { "<meta charset=utf-16><p>caf\xC3\xA9", "café", "UTF-8", "a meta tag read as ASCII cannot mean UTF-16" },
        { "<!-- <meta charset=koi8-r> --><p>caf\xC3\xA9", "café", "UTF-8", "a declaration inside a comment counts for nothing" },
        { "<body><meta charset=koi8-r><p>caf\xC3\xA9", "café", "UTF-8", "declarations after <body> come too late" },
        { "<meta charset=no-such-charset><p>caf\xC3\xA9", "café", "UTF-8", "an unknown charset falls back to the bytes" },
        { "\xEF\xBB\xBF<meta charset=windows-1251><p>caf\xC3\xA9", "café", "UTF-8", "the byte-order mark beats the declaration" },
        { utf16("<p>caf", false, true) + std::string("\xE9\0", 2), "café", "UTF-16LE", "UTF-16LE with its mark" },
        { utf16("<p>caf", true, false) + std::string("\0\xE9", 2), "café", "UTF-16BE", "UTF-16BE from its zero bytes" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto decoded = importer::html::decodeHtml(bytesOf(c.bytes));
        EXPECT_EQ(decoded.encoding, c.expectedEncoding);
        std::string text = htmltest::plain(c.bytes);
        EXPECT_NE(text.find(c.expectedText), std::string::npos) << text;
    }
}

TEST(HtmlDetection, CharacterReferencesDecodeAsBrowsersDo)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "<p>AT&amp;T &lt;b&gt;", "AT&T <b>", "the markup characters" },
        { "<p>&eacute;t&eacute; &copy; &nbsp;x", "été © \xC2\xA0x", "named references, a no-break space stays" },
        { "<p>&#8212;&#x2014;", "——", "decimal and hexadecimal references" },
        { "<p>&#150; &#128; &#x93;q&#x94;", "– € “q”", "references to C1 controls mean Windows-1252 characters" },
        { "<p>a&#xFFFC;b", "a\xEF\xBF\xBD" "b", "a literal U+FFFC would pose as an attachment" },
        { "<p>x&#x2028;y", "x y", "U+2028 is reserved for the model's own line breaks" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = htmltest::import(c.input);
        EXPECT_NE(importer::plainText(*storage).find(c.expected), std::string::npos) << importer::plainText(*storage);
        htmltest::expectWellFormed(*storage);
    }
}

TEST(HtmlDetection, PrepareMarkupRewritesOnlyWordsMarkers)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "<![if !supportLists]>1.<![endif]>Text", "1.Text", "downlevel-revealed markers go, their content stays" },
        { "<p>Hello<o:p></o:p></p>", "<p>Hello<o_p></o_p></p>", "a prefixed tag loses its colon" },
        { "<st1:City w:st=\"on\">Boston</st1:City>", "<st1_City w:st=\"on\">Boston</st1_City>",
            "attributes keep their prefixes" },
        { "<!--[if gte mso 9]><xml><o:x/></xml><![endif]-->", "<!--[if gte mso 9]><xml><o:x/></xml><![endif]-->",
            "conditional comments stay comments" },
        { "<script>if (a<b:c) x = '<![endif]>'</script>", "<script>if (a<b:c) x = '<![endif]>'</script>",
            "script content is not markup" },
        { "a < b:c", "a < b:c", "a lone less-than sign is text" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return importer::html::prepareMarkup(input); });
}
