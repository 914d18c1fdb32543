#pragma once

#include <string>
#include <vector>

namespace kit {
class Bundle;
}

// The files a desktop installs beside the program, made at build time from what the program says about
// itself: the bundle's claimed document types and the text of `lectorin --help`.
namespace installfiles {

// One claimed MIME type as the bundle spells it, with its description and extensions (lower case), and the
// claimed types that are other names of it (text/rtf of application/rtf).
struct ClaimedType {
    std::string type;
    std::string description;
    std::vector<std::string> extensions;
    std::vector<std::string> aliases;
};
// The bundle's WebPluginMIMETypes, sorted without case; a claimed alias of another claimed type is folded
// into it. Keys that cannot be a type (no slash, white space, markup) are left out.
std::vector<ClaimedType> claimedTypes(const kit::Bundle& bundle);

// The help text, in the layout `lectorin --help` prints it.
struct Help {
    std::string usage; // after "usage: "
    std::vector<std::string> description; // the lines between the usage and "commands:"
    struct Command {
        std::string name, summary, synopsis; // synopsis: "lectorin render [PAGE] ..."
    };
    std::vector<Command> commands;
    struct Option {
        std::string names, description; // names: "--size WxH", "--help, --version"
    };
    std::vector<Option> options;
    // Further paragraphs ("exit status: ...", "files:" and its indented list), one string each, lines as
    // they were.
    std::vector<std::string> sections;
    // Every option word ("-o", "--size") in the synopses and the options, sorted, once each.
    std::vector<std::string> optionWords() const;
};
Help parseHelp(const std::string& text);

// The template's "MimeType=" line (added when missing) lists the types and their aliases.
std::string desktopEntry(const std::string& templateText, const std::vector<ClaimedType>& types);
std::string mimePackage(const std::vector<ClaimedType>& types);
std::string manualPage(const Help& help, const std::string& version);
std::string bashCompletion(const Help& help);

} // namespace installfiles
