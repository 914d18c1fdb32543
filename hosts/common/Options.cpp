#include "hosts/common/Options.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace hosts {

namespace {

bool parseNumber(const std::string& text, double& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
}

bool parsePair(const std::string& text, char separator, double& a, double& b)
{
    auto at = text.find(separator);
    if (at == std::string::npos)
        return false;
    return parseNumber(text.substr(0, at), a) && parseNumber(text.substr(at + 1), b);
}

// What each option that takes a value needs, as its error says.
constexpr struct {
    std::string_view option, needs;
} kValueOptions[] = {
    { "-o", "a path" },
    { "--size", "WIDTHxHEIGHT" },
    { "--embed", "a number from 1" },
    { "--pages", "N or A-B" },
    { "--timeout", "seconds" },
    { "--zoom-step", "0 to 9" },
    { "--scroll", "X,Y" },
    { "--display", "WIDTHxHEIGHT@MMxMM" },
    { "--paper", "letter, a4 or WIDTHxHEIGHT" },
    { "--layout", "document or printer" },
    { "--window", "preferences or about" },
    { "--answer", "a key or a button title" },
    { "--color", "R,G,B[,A]" },
    { "--auto-update", "on or off" },
};

// The options whose value is kept as written: where it goes, and the two words it must be one of (any
// value when there are none).
struct TextOption {
    std::string_view name;
    std::array<std::string_view, 2> allowed;
    void (*store)(Options&, std::string&&);
};
const TextOption kTextOptions[] = {
    { "--display", {}, [](Options& o, std::string&& v) { o.display = std::move(v); } },
    { "--paper", {}, [](Options& o, std::string&& v) { o.paper = std::move(v); } },
    { "--layout", { "document", "printer" }, [](Options& o, std::string&& v) { o.layout = std::move(v); } },
    { "--window", { "preferences", "about" }, [](Options& o, std::string&& v) { o.window = std::move(v); } },
    { "--answer", {}, [](Options& o, std::string&& v) { o.answers.push_back(std::move(v)); } },
    { "--color", {}, [](Options& o, std::string&& v) { o.color = std::move(v); } },
    { "--auto-update", { "on", "off" }, [](Options& o, std::string&& v) { o.autoUpdate = std::move(v); } },
};

} // namespace

std::string errorText(const OptionFailure& failure)
{
    switch (failure.error) {
    case OptionError::NoCommand:
        return "no command";
    case OptionError::UnknownOption:
        return "unknown option " + failure.option;
    case OptionError::NeedsValue:
        break;
    }
    for (const auto& entry : kValueOptions) {
        if (entry.option == failure.option)
            return failure.option + " needs " + std::string(entry.needs);
    }
    return failure.option + " needs a value";
}

kit::Result<Options, OptionFailure> parseOptions(int argc, char** argv)
{
    using Parsed = kit::Result<Options, OptionFailure>;
    if (argc < 2)
        return Parsed::failure({ OptionError::NoCommand, {} });
    // An option whose value is missing or not of its kind.
    auto needs = [](const char* option) { return Parsed::failure({ OptionError::NeedsValue, option }); };
    Options options;
    options.command = argv[1];
    bool defaults = options.command == "defaults";
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        // The split into flags and positional words loses their order, which `-array -1 2` needs.
        if (defaults)
            options.defaultsWords.push_back(arg);
        auto value = [&](const char* name) -> std::optional<std::string> {
            if (i + 1 >= argc)
                return std::nullopt;
            (void)name;
            return std::string(argv[++i]);
        };
        // `defaults write KEY -array 1 2` keeps its typed flags as arguments.
        if (defaults && !arg.empty() && arg[0] == '-' && arg != "--help") {
            options.defaultsArguments.push_back(arg);
            continue;
        }
        if (auto text = std::find_if(std::begin(kTextOptions), std::end(kTextOptions),
                [&](const TextOption& option) { return option.name == arg; });
            text != std::end(kTextOptions)) {
            auto v = value(text->name.data());
            if (!v || (text->allowed[0].size() && *v != text->allowed[0] && *v != text->allowed[1]))
                return needs(text->name.data());
            text->store(options, std::move(*v));
        } else if (arg == "-o" || arg == "--output") {
            auto v = value("-o");
            if (!v)
                return needs("-o");
            options.output = *v;
        } else if (arg == "--size") {
            auto v = value("--size");
            double w, h;
            if (!v || !parsePair(*v, 'x', w, h) || w <= 0 || h <= 0)
                return needs("--size");
            options.size = kit::Size { float(w), float(h) };
        } else if (arg == "--embed") {
            auto v = value("--embed");
            double n;
            if (!v || !parseNumber(*v, n) || n < 1)
                return needs("--embed");
            options.embed = int(n);
        } else if (arg == "--pages") {
            auto v = value("--pages");
            double a, b;
            if (v && parseNumber(*v, a) && a >= 1)
                options.pages = std::pair<int, int> { int(a), int(a) };
            else if (v && parsePair(*v, '-', a, b) && a >= 1 && b >= a)
                options.pages = std::pair<int, int> { int(a), int(b) };
            else
                return needs("--pages");
        } else if (arg == "--timeout") {
            auto v = value("--timeout");
            if (!v || !parseNumber(*v, options.timeoutSeconds) || options.timeoutSeconds <= 0)
                return needs("--timeout");
        } else if (arg == "--zoom-step") {
            auto v = value("--zoom-step");
            double n;
            if (!v || !parseNumber(*v, n) || n < 0 || n > 9)
                return needs("--zoom-step");
            options.zoomStep = int(n);
        } else if (arg == "--scroll") {
            auto v = value("--scroll");
            double x, y;
            if (!v || !parsePair(*v, ',', x, y))
                return needs("--scroll");
            options.scroll = kit::Point { float(x), float(y) };
        } else if (arg == "--document") {
            options.forceDocument = true;
        } else if (arg == "--previous") {
            options.previous = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return Parsed::failure({ OptionError::UnknownOption, arg });
        } else {
            options.positional.push_back(arg);
        }
    }
    return options;
}

} // namespace hosts
