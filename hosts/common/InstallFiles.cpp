#include "hosts/common/InstallFiles.h"

#include "kit/foundation/Ascii.h"
#include "kit/foundation/Bundle.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <sstream>

namespace installfiles {

namespace {

// Claimed types that the MIME database knows as other names of a type: declared inside it as aliases.
const std::pair<const char*, const char*> kAliases[] = {
    { "text/rtf", "application/rtf" },
    { "application/x-rtf", "application/rtf" },
};

// Documents that are ZIP packages: the database then falls back to the ZIP type for what it cannot tell.
const char* const kZipPackagePrefixes[] = {
    "application/vnd.openxmlformats-officedocument.",
    "application/vnd.ms-word.",
    "application/vnd.oasis.opendocument.",
    "application/vnd.sun.xml.",
};

std::string xmlEscaped(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// Text as roff shows it literally: backslashes and hyphens escaped, a line never starting a request.
std::string roff(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '\\')
            escaped += "\\e";
        else if (c == '-')
            escaped += "\\-";
        else
            escaped += c;
    }
    if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\''))
        escaped.insert(0, "\\&");
    return escaped;
}

std::string trimmed(const std::string& text)
{
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// What comes before the first gap, and what comes after it without the spaces around it.
std::pair<std::string, std::string> splitAt(const std::string& text, const char* gap)
{
    std::size_t at = text.find(gap);
    if (at == std::string::npos)
        return { text, {} };
    return { text.substr(0, at), trimmed(text.substr(at)) };
}

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        found.push_back(word);
    return found;
}

// "[--window" -> "--window"; nothing for words that are not options ("PAGE", "[-", "-/+").
std::string optionWord(std::string word)
{
    while (!word.empty() && (word.front() == '[' || word.front() == '('))
        word.erase(0, 1);
    while (!word.empty() && (word.back() == ']' || word.back() == ',' || word.back() == ')'))
        word.pop_back();
    if (word.size() < 2 || word[0] != '-')
        return {};
    for (std::size_t i = 1; i < word.size(); ++i) {
        if (!(std::islower(static_cast<unsigned char>(word[i])) || word[i] == '-'))
            return {};
    }
    return word == "--" ? std::string() : word;
}

// "preferences|about" -> both words; nothing when an alternative is a placeholder (WxH, KEY).
std::vector<std::string> alternatives(std::string word)
{
    while (!word.empty() && word.front() == '[')
        word.erase(0, 1);
    while (!word.empty() && word.back() == ']')
        word.pop_back();
    if (word.find('|') == std::string::npos)
        return {};
    std::vector<std::string> found;
    std::istringstream in(word);
    for (std::string item; std::getline(in, item, '|');) {
        if (item.empty() || !std::all_of(item.begin(), item.end(), [](char c) { return std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)); }))
            return {};
        found.push_back(item);
    }
    return found;
}

std::string joined(const std::vector<std::string>& items, const char* separator)
{
    std::string text;
    for (const auto& item : items)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

} // namespace

std::vector<ClaimedType> claimedTypes(const kit::Bundle& bundle)
{
    std::map<std::string, ClaimedType> byType;
    const kit::Value* claimed = bundle.infoValue("WebPluginMIMETypes");
    if (!claimed || !claimed->isDictionary())
        return {};
    for (const auto& [name, entry] : *claimed->asDictionary()) {
        // Types compare without case; the bundle's spelling is kept (macroEnabled).
        ClaimedType type;
        type.type = name;
        if (name.find('/') == std::string::npos || name.find_first_of(" \t\n;<>&\"") != std::string::npos)
            continue;
        if (const kit::Value* description = entry.get("WebPluginTypeDescription"); description && description->asString())
            type.description = *description->asString();
        std::set<std::string> extensions;
        if (const kit::Value* list = entry.get("WebPluginExtensions"); list && list->isArray()) {
            for (const kit::Value& extension : *list->asArray()) {
                if (const std::string* text = extension.asString(); text && !text->empty())
                    extensions.insert(kit::asciiLower(*text));
            }
        }
        type.extensions.assign(extensions.begin(), extensions.end());
        byType[kit::asciiLower(name)] = std::move(type);
    }
    for (const auto& [alias, canonical] : kAliases) {
        auto aliased = byType.find(alias);
        auto target = byType.find(canonical);
        if (aliased == byType.end() || target == byType.end())
            continue;
        std::set<std::string> extensions(target->second.extensions.begin(), target->second.extensions.end());
        extensions.insert(aliased->second.extensions.begin(), aliased->second.extensions.end());
        target->second.extensions.assign(extensions.begin(), extensions.end());
        target->second.aliases.push_back(aliased->second.type);
        byType.erase(aliased);
    }
    std::vector<ClaimedType> types;
    for (auto& [name, type] : byType)
        types.push_back(std::move(type));
    return types;
}

std::string desktopEntry(const std::string& templateText, const std::vector<ClaimedType>& types)
{
    std::string list;
    for (const auto& type : types) {
        list += type.type + ";";
        for (const auto& alias : type.aliases)
            list += alias + ";";
    }
    std::istringstream in(templateText);
    std::string entry;
    bool listed = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("MimeType=", 0) == 0) {
            line = "MimeType=" + list;
            listed = true;
        }
        entry += line + "\n";
    }
    if (!listed)
        entry += "MimeType=" + list + "\n";
    return entry;
}

std::string mimePackage(const std::vector<ClaimedType>& types)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!-- The document types the viewer opens, with the file names that mark them. Systems whose MIME\n"
                      "     database already knows a type merge these globs into it; the others learn the type here. -->\n"
                      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const auto& type : types) {
        xml += "  <mime-type type=\"" + xmlEscaped(type.type) + "\">\n";
        xml += "    <comment>" + xmlEscaped(type.description.empty() ? type.type : type.description) + "</comment>\n";
        for (const auto& alias : type.aliases)
            xml += "    <alias type=\"" + xmlEscaped(alias) + "\"/>\n";
        for (const char* prefix : kZipPackagePrefixes) {
            if (kit::asciiLower(type.type).rfind(prefix, 0) == 0) {
                xml += "    <sub-class-of type=\"application/zip\"/>\n";
                break;
            }
        }
        for (const auto& extension : type.extensions)
            xml += "    <glob pattern=\"*." + xmlEscaped(extension) + "\"/>\n";
        if (kit::asciiLower(type.type) == "application/rtf")
            xml += "    <magic priority=\"50\">\n      <match type=\"string\" value=\"{\\\\rtf\" offset=\"0\"/>\n    </magic>\n";
        xml += "  </mime-type>\n";
    }
    return xml + "</mime-info>\n";
}

Help parseHelp(const std::string& text)
{
    Help help;
    enum class Part { Head, Commands, Options, Other } part = Part::Head;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty())
            continue;
        if (line[0] != ' ') {
            if (line.rfind("usage: ", 0) == 0) {
                help.usage = line.substr(7);
                part = Part::Head;
            } else if (line == "commands:") {
                part = Part::Commands;
            } else if (line.size() >= 8 && line.compare(line.size() - 8, 8, "options:") == 0) {
                part = Part::Options;
            } else if (part == Part::Head && !help.usage.empty() && help.commands.empty()) {
                help.description.push_back(line);
            } else {
                // A paragraph of its own ("exit status: ..."); its indented lines follow it.
                help.sections.push_back(line);
                part = Part::Other;
            }
            continue;
        }
        std::string content = trimmed(line);
        if (part == Part::Commands) {
            if (content.rfind("lectorin ", 0) == 0 && !help.commands.empty()) {
                help.commands.back().synopsis = content;
                continue;
            }
            // A name is one word; a long one leaves a single space before its summary.
            auto [name, summary] = splitAt(content, " ");
            help.commands.push_back({ name, summary, {} });
        } else if (part == Part::Options) {
            auto [names, description] = splitAt(content, "  ");
            help.options.push_back({ names, description });
        } else if (part == Part::Other && !help.sections.empty()) {
            // Indented as it was: a list's items start two spaces in, their further lines deeper.
            help.sections.back() += "\n" + line;
        }
    }
    return help;
}

std::vector<std::string> Help::optionWords() const
{
    std::set<std::string> found;
    for (const auto& command : commands) {
        for (const auto& word : words(command.synopsis)) {
            if (auto option = optionWord(word); !option.empty())
                found.insert(option);
        }
    }
    for (const auto& option : options) {
        for (const auto& word : words(option.names)) {
            if (auto name = optionWord(word); !name.empty())
                found.insert(name);
        }
    }
    return { found.begin(), found.end() };
}

std::string manualPage(const Help& help, const std::string& version)
{
    std::string page = ".\\\" Written from `lectorin --help` when the program was built.\n";
    page += ".TH LECTORIN 1 \"\" \"Lectorin " + roff(version) + "\" \"User Commands\"\n";
    page += ".SH NAME\nlectorin \\- show word\\-processing documents as printed pages\n";
    page += ".SH SYNOPSIS\n";
    for (const auto& command : help.commands)
        page += ".br\n.B " + roff(command.synopsis) + "\n";
    page += ".SH DESCRIPTION\n";
    page += roff("lectorin " + help.usage.substr(help.usage.find(' ') + 1)) + "\n.PP\n";
    for (const auto& line : help.description)
        page += roff(line) + "\n";
    page += ".SH COMMANDS\n";
    for (const auto& command : help.commands)
        page += ".TP\n.B " + roff(command.name) + "\n" + roff(command.summary) + ".\n";
    page += ".SH OPTIONS\n";
    for (const auto& option : help.options)
        page += ".TP\n.B " + roff(option.names) + "\n" + roff(option.description) + "\n";
    for (const auto& section : help.sections) {
        std::size_t colon = section.find(':');
        std::string title = section.substr(0, colon), body = colon == std::string::npos ? "" : trimmed(section.substr(colon + 1));
        std::string upper;
        for (char c : title)
            upper += char(std::toupper(static_cast<unsigned char>(c)));
        page += ".SH \"" + roff(upper) + "\"\n";
        std::istringstream lines(body);
        for (std::string line; std::getline(lines, line);) {
            if (trimmed(line).empty())
                continue;
            auto [term, text] = splitAt(trimmed(line), "  ");
            if (line.rfind("  ", 0) == 0 && line.rfind("   ", 0) != 0 && !text.empty())
                page += ".TP\n.B " + roff(term) + "\n" + roff(text) + "\n";
            else
                page += roff(trimmed(line)) + "\n";
        }
    }
    return page;
}

std::string bashCompletion(const Help& help)
{
    std::vector<std::string> commands;
    std::map<std::string, std::vector<std::string>> firstArguments; // command -> its first word's choices
    std::map<std::string, std::vector<std::string>> optionValues; // option -> its value's choices
    auto noteValues = [&](const std::vector<std::string>& list) {
        for (std::size_t i = 0; i + 1 < list.size(); ++i) {
            auto option = optionWord(list[i]);
            auto choices = alternatives(list[i + 1]);
            if (!option.empty() && !choices.empty())
                optionValues[option] = choices;
        }
    };
    for (const auto& command : help.commands) {
        commands.push_back(command.name);
        auto list = words(command.synopsis);
        if (list.size() > 2) {
            if (auto choices = alternatives(list[2]); !choices.empty())
                firstArguments[command.name] = choices;
        }
        noteValues(list);
    }
    for (const auto& option : help.options)
        noteValues(words(option.names));

    std::string script = "# bash completion for lectorin, written from `lectorin --help` when it was built.\n"
                         "_lectorin()\n{\n"
                         "    local cur=${COMP_WORDS[COMP_CWORD]} previous=\n"
                         "    [ \"$COMP_CWORD\" -gt 0 ] && previous=${COMP_WORDS[COMP_CWORD-1]}\n"
                         "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
                         "        COMPREPLY=($(compgen -W '"
        + joined(commands, " ") + " --help --version' -- \"$cur\"))\n        return\n    fi\n";
    if (!optionValues.empty()) {
        script += "    case \"$previous\" in\n";
        for (const auto& [option, choices] : optionValues)
            script += "    " + option + ") COMPREPLY=($(compgen -W '" + joined(choices, " ") + "' -- \"$cur\")); return ;;\n";
        script += "    esac\n";
    }
    if (!firstArguments.empty()) {
        script += "    if [ \"$COMP_CWORD\" -eq 2 ]; then\n        case \"${COMP_WORDS[1]}\" in\n";
        for (const auto& [command, choices] : firstArguments)
            script += "        " + command + ") COMPREPLY=($(compgen -W '" + joined(choices, " ") + "' -- \"$cur\")); return ;;\n";
        script += "        esac\n    fi\n";
    }
    script += "    case \"$cur\" in\n    -*) COMPREPLY=($(compgen -W '" + joined(help.optionWords(), " ")
        + "' -- \"$cur\")); return ;;\n    esac\n"
          "    COMPREPLY=($(compgen -f -- \"$cur\"))\n}\n"
          "complete -o filenames -F _lectorin lectorin\n";
    return script;
}

} // namespace installfiles
