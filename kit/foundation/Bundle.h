#pragma once

#include "kit/foundation/Value.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

class StringsTable;

// A folder of resources with an Info.plist that describes it. The plug-in's bundle holds its nibs and
// names its version, update server and claimed document types; the main bundle is the host program's
// own, whose <lang>.lproj/<table>.strings translate the texts the plug-in shows through it.
class Bundle {
public:
    // Reads <folder>/Info.plist; a missing or unreadable one leaves the information dictionary empty.
    explicit Bundle(std::filesystem::path folder);
    ~Bundle();
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    // The plug-in's bundle: $LECTORIN_BUNDLE, else <prefix>/share/lectorin/bundle, else the source
    // tree's resources/. The folder is looked up at every call and a bundle is loaded once per folder;
    // the references stay valid for the life of the process.
    static const Bundle& plugin();
    // The host program's bundle: $LECTORIN_MAIN_BUNDLE, else <exe>/../share/lectorin/host, else the
    // source tree's resources/host.
    static const Bundle& main();
    static std::filesystem::path pluginFolder();
    static std::filesystem::path mainFolder();
    // Where an installed program finds a folder of its prefix (installed: "share/lectorin/bundle"): from
    // <prefix>/bin or from <prefix>/libexec/lectorin, whichever holds it. Nothing when neither does.
    static std::optional<std::filesystem::path> installedFolder(const std::filesystem::path& executableFolder, std::string_view installed);

    const std::filesystem::path& path() const { return m_path; }
    const Value& infoDictionary() const { return m_info; }
    // nullptr when the key is missing.
    const Value* infoValue(std::string_view key) const { return m_info.get(key); }
    // The value when it is a string.
    std::optional<std::string> infoString(std::string_view key) const;

    std::string name() const; // CFBundleName, or "" when missing
    std::optional<std::string> version() const; // CFBundleVersion when it is a string
    std::string identifier() const; // CFBundleIdentifier, or ""
    // NRVUpdateHost (host[:port]) when it is a non-empty string.
    std::optional<std::string> updateHost() const;
    // The keys of WebPluginMIMETypes, and the union of their WebPluginExtensions, lower case, sorted,
    // without duplicates.
    std::vector<std::string> claimedMIMETypes() const;
    std::vector<std::string> claimedExtensions() const;

    // <folder>/<name> when that file exists; nothing for names that would leave the folder ("..",
    // absolute paths) or for a file that is not there.
    std::optional<std::filesystem::path> resourcePath(std::string_view name) const;

    // The translation of key from <lang>.lproj/<table>.strings ("Localizable" when table is empty), trying
    // the user's languages in order and then English. Where no table translates it: value when value is
    // not empty, else the key itself.
    std::string localizedStringForKey(std::string_view key, std::string_view value, std::string_view table = {}) const;

    // The user's languages from LANGUAGE (a colon-separated list), then the first of LC_ALL, LC_MESSAGES
    // and LANG that is set, each reduced to forms like "pt_BR" and "pt"; "en" always comes last.
    static std::vector<std::string> preferredLanguages();

private:
    const StringsTable* table(const std::string& language, std::string_view table) const;

    std::filesystem::path m_path;
    Value m_info;
    // Tables read so far, by "<language>/<table>"; a missing file is remembered as nullptr.
    mutable std::map<std::string, std::unique_ptr<StringsTable>, std::less<>> m_tables;
};

} // namespace kit
