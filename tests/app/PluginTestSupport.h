#pragma once

#include "kit/foundation/RunLoop.h"
#include "kit/host/HeadlessHost.h"
#include "kit/view/Window.h"
#include "plugin/NRVLectorin.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

// Copies the build tree's plug-in bundle (Info.plist and the nibs) into a folder of its own, passing each
// file's text through edit (file name, text) on the way. A bundle is read once per folder, so every call
// makes a new folder; setting LECTORIN_BUNDLE to it makes it the process's plug-in bundle.
inline std::filesystem::path copyPluginBundle(const std::function<std::string(const std::string&, std::string)>& edit)
{
    static int count = 0;
    std::filesystem::path source = std::filesystem::path(LECTORIN_SOURCE_DIR) / "resources";
    std::filesystem::path folder = testsupport::temporaryFolder("bundle-" + std::to_string(++count));
    for (const char* file : { "Info.plist", "PluginView.nib", "Preferences.nib", "AboutBox.nib" })
        testsupport::writeFile(folder / file, edit(file, testsupport::readText(source / file)));
    return folder;
}

// A plug-in view in a window of its own, made the way a browser makes it, with a headless host current.
struct PluginFixture {
    kit::HeadlessHost host;
    std::unique_ptr<kit::Window> window;
    NRVLectorin* plugin = nullptr;

    PluginFixture() { kit::Host::setCurrent(&host); }
    ~PluginFixture()
    {
        window.reset();
        kit::Host::setCurrent(nullptr);
    }

    static kit::Value arguments(std::optional<std::string> src, std::optional<std::string> base = std::nullopt,
        std::optional<std::string> page = std::nullopt)
    {
        kit::Value attributes = kit::Value::dictionary();
        if (src)
            attributes.set("src", kit::Value::string(*src));
        kit::Value args = kit::Value::dictionary();
        args.set(WebPlugInAttributesKey, std::move(attributes));
        if (base)
            args.set(WebPlugInBaseURLKey, kit::Value::string(*base));
        if (page)
            args.set(WebPlugInPageURLKey, kit::Value::string(*page));
        return args;
    }

    NRVLectorin& open(const kit::Value& args, kit::Size box = { 801, 600 })
    {
        window = std::make_unique<kit::Window>(box);
        auto view = NRVLectorin::plugInViewWithArguments(args);
        view->webPlugInInitialize();
        plugin = view.get();
        window->contentView()->addSubview(std::move(view)).setFrame({ { 0, 0 }, box });
        return *plugin;
    }

    bool waitUntilLoaded()
    {
        return kit::RunLoop::runUntil([this] { return !plugin->isLoading(); }, std::chrono::seconds(20));
    }
};
