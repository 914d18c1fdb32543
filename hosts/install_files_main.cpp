// `lectorin-install-files BUNDLE PROGRAM TEMPLATE OUTDIR`: at build time, the files a desktop installs beside
// the program, written from what the program itself says, so they never drift from it:
//   lectorin.desktop  the desktop entry (TEMPLATE with its MimeType line made from the bundle's claimed types)
//   lectorin.xml      the shared-mime-info package declaring those types with the bundle's extensions
//   lectorin.1        the manual page, from `PROGRAM --help`
//   lectorin.bash     bash completion of the commands and options `PROGRAM --help` names
#include "hosts/common/InstallFiles.h"
#include "kit/foundation/Bundle.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeAll(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out);
}

std::optional<std::string> outputOf(const std::string& program)
{
    std::string command = "'" + program + "' --help";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string output;
    std::array<char, 4096> buffer;
    while (std::size_t count = std::fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), count);
    return pclose(pipe) == 0 ? std::optional<std::string>(output) : std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: lectorin-install-files BUNDLE PROGRAM TEMPLATE OUTDIR\n");
        return 2;
    }
    kit::Bundle bundle { std::filesystem::path(argv[1]) };
    auto types = installfiles::claimedTypes(bundle);
    if (types.empty()) {
        std::fprintf(stderr, "lectorin-install-files: %s/Info.plist claims no document types\n", argv[1]);
        return 1;
    }
    auto help = outputOf(argv[2]);
    if (!help) {
        std::fprintf(stderr, "lectorin-install-files: '%s --help' failed\n", argv[2]);
        return 1;
    }
    installfiles::Help parsed = installfiles::parseHelp(*help);
    if (parsed.commands.empty()) {
        std::fprintf(stderr, "lectorin-install-files: '%s --help' names no commands\n", argv[2]);
        return 1;
    }
    std::filesystem::path out = argv[4];
    std::string version = bundle.version().value_or("");
    bool written = writeAll(out / "lectorin.desktop", installfiles::desktopEntry(readAll(argv[3]), types))
        && writeAll(out / "lectorin.xml", installfiles::mimePackage(types))
        && writeAll(out / "lectorin.1", installfiles::manualPage(parsed, version))
        && writeAll(out / "lectorin.bash", installfiles::bashCompletion(parsed));
    if (!written) {
        std::fprintf(stderr, "lectorin-install-files: cannot write into %s\n", argv[4]);
        return 1;
    }
    return 0;
}
