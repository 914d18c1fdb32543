#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// From the bytes of an HTML file to the UTF-8 markup the parser reads.
namespace importer::html {

struct DecodedHtml {
    std::string text; // UTF-8, without a byte-order mark
    std::string encoding; // what the bytes were read as: "UTF-8", "UTF-16LE", "UTF-16BE" or a code page label
};

// The encoding a byte-order mark or the zero bytes of UTF-16 markup announce ("UTF-8", "UTF-16LE",
// "UTF-16BE"), with the mark's length in bytes; empty when the bytes say nothing of themselves.
std::string_view encodingFromBytes(std::span<const std::uint8_t> bytes, std::size_t* markLength);

// The charset a <meta charset> or <meta http-equiv="Content-Type" content="...; charset=..."> declares in
// ASCII-compatible markup, lower-cased; empty when none does. Comments are skipped; the scan stops at <body.
std::string declaredCharset(std::string_view markup);

// Decodes as a browser does: the byte-order mark, then the declared charset, then UTF-8 when the bytes are
// valid UTF-8, else Windows-1252. A declared UTF-8 that the bytes are not loses to the bytes.
DecodedHtml decodeHtml(std::span<const std::uint8_t> bytes);

// True when the start of the markup (after white space, an XML prolog and comments) is a doctype of html,
// <html or a tag that documents begin with.
bool startsLikeHtml(std::string_view markup);

// Rewrites what libxml2's HTML parser misreads in markup that Word writes: the downlevel-revealed markers
// <![if ...]> and <![endif]> are dropped (their content stays), and prefixed tag names such as <o:p> or
// <st1:City> lose the colon, since the parser would otherwise take <o:p> for a paragraph. Comments and the
// content of script and style are left alone.
std::string prepareMarkup(std::string_view markup);

} // namespace importer::html
