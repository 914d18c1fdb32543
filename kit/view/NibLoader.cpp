#include "kit/view/NibLoader.h"

#include "kit/foundation/Bundle.h"
#include "kit/view/Button.h"
#include "kit/view/ClipView.h"
#include "kit/view/ColorWell.h"
#include "kit/view/ImageView.h"
#include "kit/view/Label.h"
#include "kit/view/Menu.h"
#include "kit/view/NibValue.h"
#include "kit/view/ProgressIndicator.h"
#include "kit/view/ScrollView.h"
#include "kit/view/SegmentedControl.h"
#include "kit/view/Window.h"

#include <fstream>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <sstream>

namespace kit {

namespace {

using Registry = std::map<std::string, NibLoader::Factory, std::less<>>;

Registry& registry()
{
    // Lives as long as the process; app code registers its classes into it at start-up.
    static Registry* classes = new Registry {
        { "View", [] { return std::make_unique<View>(); } },
        { "ClipView", [] { return std::make_unique<ClipView>(); } },
        { "ScrollView", [] { return std::make_unique<ScrollView>(); } },
        { "Label", [] { return std::make_unique<Label>(); } },
        { "Button", [] { return std::make_unique<Button>(); } },
        { "SegmentedControl", [] { return std::make_unique<SegmentedControl>(); } },
        { "ColorWell", [] { return std::make_unique<ColorWell>(); } },
        { "ProgressIndicator", [] { return std::make_unique<ProgressIndicator>(); } },
        { "ImageView", [] { return std::make_unique<ImageView>(); } },
        { "Window", [] { return std::make_unique<Window>(); } },
    };
    return *classes;
}

constexpr std::string_view kOwner = "owner";

template<typename To> std::unique_ptr<To> downcast(std::unique_ptr<Object>& object)
{
    if (!dynamic_cast<To*>(object.get()))
        return nullptr;
    return std::unique_ptr<To>(static_cast<To*>(object.release()));
}

// One load: validation of the whole file first, then the objects, then the connections, then awakeFromNib.
class Load {
public:
    Load(Object& owner, const NibLoadOptions& options)
        : m_owner(owner)
        , m_options(options)
    {
    }

    Result<std::vector<Object*>> run(const pugi::xml_node& root, NibTopLevelObjects& set);

private:
    using Failure = Result<std::vector<Object*>>;

    bool fail(std::string message)
    {
        if (m_error.empty())
            m_error = std::move(message);
        return false;
    }
    bool validateObject(const pugi::xml_node& element, bool topLevel);
    bool validateMenu(const pugi::xml_node& element);
    bool noteReference(const pugi::xml_attribute& attribute);
    std::unique_ptr<Object> make(const pugi::xml_node& element);
    bool configure(Object& object, const pugi::xml_node& element);
    bool place(Object& parent, std::unique_ptr<Object> child, std::string_view role);
    std::shared_ptr<Menu> makeMenu(const pugi::xml_node& element);
    Object* resolve(std::string_view name) const;
    std::string substitute(std::string_view value) const;
    bool connectTargets();
    bool connectOutlets(const pugi::xml_node& root);

    Object& m_owner;
    const NibLoadOptions& m_options;
    std::string m_error;
    std::set<std::string, std::less<>> m_declaredIds;
    std::vector<std::string> m_references;
    std::map<std::string, Object*, std::less<>> m_objects;
    std::vector<WeakPtr<Object>> m_awakeOrder;
    struct PendingTarget {
        Control* control = nullptr;
        MenuItem* item = nullptr;
        std::string target;
    };
    std::vector<PendingTarget> m_targets;
    std::vector<std::string> m_connectedOwnerOutlets;
};

bool Load::noteReference(const pugi::xml_attribute& attribute)
{
    if (attribute.empty())
        return true;
    std::string name = attribute.value();
    if (name.empty())
        return fail(std::string("empty ") + attribute.name());
    m_references.push_back(std::move(name));
    return true;
}

bool Load::validateMenu(const pugi::xml_node& menu)
{
    for (auto attribute : menu.attributes()) {
        if (std::string_view(attribute.name()) != "title")
            return fail(std::string("unknown menu attribute \"") + attribute.name() + "\"");
    }
    for (auto child : menu.children()) {
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = child.name();
        if (name == "separator") {
            if (child.first_attribute() || child.first_child())
                return fail("a separator has no attributes or content");
            continue;
        }
        if (name != "item")
            return fail("unknown menu element <" + std::string(name) + ">");
        for (auto attribute : child.attributes()) {
            std::string_view key = attribute.name();
            if (key != "title" && key != "action" && key != "target" && key != "keyEquivalent" && key != "tag"
                && key != "enabled")
                return fail("unknown menu item attribute \"" + std::string(key) + "\"");
        }
        if (!noteReference(child.attribute("target")))
            return false;
    }
    return true;
}

bool Load::validateObject(const pugi::xml_node& element, bool topLevel)
{
    std::string_view className = element.attribute("class").value();
    if (className.empty())
        return fail("an object without a class");
    if (!NibLoader::isClassRegistered(className))
        return fail("unknown class \"" + std::string(className) + "\"");
    if (auto id = element.attribute("id")) {
        std::string_view name = id.value();
        if (name.empty() || name == kOwner)
            return fail("the id \"" + std::string(name) + "\" is reserved or empty");
        if (!m_declaredIds.emplace(name).second)
            return fail("the id \"" + std::string(name) + "\" is used twice");
    }
    if (auto role = element.attribute("role")) {
        std::string_view value = role.value();
        if (topLevel)
            return fail("a top-level object has no role");
        if (value != "subview" && value != "documentView" && value != "contentView")
            return fail("unknown role \"" + std::string(value) + "\"");
    }
    if (!noteReference(element.attribute("target")))
        return false;
    if (element.attribute("target") && !element.attribute("action"))
        return fail("a target without an action");
    for (auto child : element.children()) {
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = child.name();
        if (name == "object") {
            if (!validateObject(child, false))
                return false;
        } else if (name == "menu") {
            if (!validateMenu(child))
                return false;
        } else if (name == "outlet") {
            return fail("outlets belong at the top level of the nib");
        }
    }
    return true;
}

std::string Load::substitute(std::string_view value) const
{
    if (!m_options.substitute || value.find("${") == std::string_view::npos)
        return std::string(value);
    std::string result;
    std::size_t i = 0;
    while (i < value.size()) {
        std::size_t start = value.find("${", i);
        std::size_t end = start == std::string_view::npos ? start : value.find('}', start + 2);
        if (end == std::string_view::npos) {
            result.append(value.substr(i));
            break;
        }
        result.append(value.substr(i, start - i));
        std::string_view key = value.substr(start + 2, end - start - 2);
        if (auto replacement = m_options.substitute(key))
            result.append(*replacement);
        else
            result.append(value.substr(start, end - start + 1));
        i = end + 1;
    }
    return result;
}

Object* Load::resolve(std::string_view name) const
{
    if (name == kOwner)
        return &m_owner;
    auto it = m_objects.find(name);
    return it == m_objects.end() ? nullptr : it->second;
}

bool Load::configure(Object& object, const pugi::xml_node& element)
{
    std::string_view className = element.attribute("class").value();
    for (auto attribute : element.attributes()) {
        std::string_view name = attribute.name();
        if (name == "class" || name == "id" || name == "role" || name == "target")
            continue;
        std::string value = substitute(attribute.value());
        if (name == "action") {
            auto* control = dynamic_cast<Control*>(&object);
            if (!control)
                return fail("class \"" + std::string(className) + "\" sends no action");
            control->setAction(value);
            if (auto target = element.attribute("target"))
                m_targets.push_back({ control, nullptr, target.value() });
            continue;
        }
        if (!object.setNibAttribute(name, value))
            return fail("class \"" + std::string(className) + "\" does not take " + std::string(name) + "=\"" + value + "\"");
    }
    return true;
}

std::shared_ptr<Menu> Load::makeMenu(const pugi::xml_node& element)
{
    auto menu = std::make_shared<Menu>(substitute(element.attribute("title").value()));
    for (auto child : element.children()) {
        if (child.type() != pugi::node_element)
            continue;
        if (std::string_view(child.name()) == "separator") {
            menu->addSeparator();
            continue;
        }
        MenuItem& item = menu->addItemWithTitle(substitute(child.attribute("title").value()),
            child.attribute("action").value(), substitute(child.attribute("keyEquivalent").value()));
        if (auto tag = child.attribute("tag")) {
            auto value = nib::parseInteger(tag.value());
            if (!value) {
                fail("a menu item's tag is not an integer");
                return nullptr;
            }
            item.setTag(*value);
        }
        if (auto enabled = child.attribute("enabled")) {
            auto value = nib::parseBool(enabled.value());
            if (!value) {
                fail("a menu item's enabled flag is not yes or no");
                return nullptr;
            }
            item.setEnabled(*value);
        }
        if (auto target = child.attribute("target"))
            m_targets.push_back({ nullptr, &item, target.value() });
    }
    return menu;
}

bool Load::place(Object& parent, std::unique_ptr<Object> child, std::string_view role)
{
    if (role.empty() || role == "subview") {
        auto view = downcast<View>(child);
        if (!view)
            return fail("only views can be subviews");
        if (auto* window = dynamic_cast<Window*>(&parent)) {
            window->contentView()->addSubview(std::move(view));
            return true;
        }
        auto* superview = dynamic_cast<View*>(&parent);
        if (!superview)
            return fail("only views and windows have subviews");
        superview->addSubview(std::move(view));
        return true;
    }
    if (role == "documentView") {
        auto view = downcast<View>(child);
        if (!view)
            return fail("a document view must be a view");
        if (auto* scrollView = dynamic_cast<ScrollView*>(&parent)) {
            if (!scrollView->contentView())
                return fail("the scroll view has no clip view");
            scrollView->setDocumentView(std::move(view));
            return true;
        }
        if (auto* clipView = dynamic_cast<ClipView*>(&parent)) {
            clipView->setDocumentView(std::move(view));
            return true;
        }
        return fail("only scroll views and clip views have a document view");
    }
    // role == "contentView"
    if (auto* scrollView = dynamic_cast<ScrollView*>(&parent)) {
        auto clipView = downcast<ClipView>(child);
        if (!clipView)
            return fail("a scroll view's content view must be a clip view");
        scrollView->setContentView(std::move(clipView)); // the scroll view's own clip view goes
        return true;
    }
    if (auto* window = dynamic_cast<Window*>(&parent)) {
        auto view = downcast<View>(child);
        if (!view)
            return fail("a window's content view must be a view");
        window->setContentView(std::move(view));
        return true;
    }
    return fail("only scroll views and windows have a content view");
}

std::unique_ptr<Object> Load::make(const pugi::xml_node& element)
{
    std::string_view className = element.attribute("class").value();
    auto factory = registry().find(className);
    std::unique_ptr<Object> object = factory->second();
    if (!object) {
        fail("the factory of \"" + std::string(className) + "\" made nothing");
        return nullptr;
    }
    if (auto id = element.attribute("id"))
        m_objects.emplace(id.value(), object.get());
    if (!configure(*object, element))
        return nullptr;
    for (auto child : element.children()) {
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = child.name();
        if (name == "object") {
            std::unique_ptr<Object> made = make(child);
            if (!made || !place(*object, std::move(made), child.attribute("role").value()))
                return nullptr;
        } else if (name == "menu") {
            auto* view = dynamic_cast<View*>(object.get());
            if (!view) {
                fail("only views have context menus");
                return nullptr;
            }
            std::shared_ptr<Menu> menu = makeMenu(child);
            if (!menu)
                return nullptr;
            view->setMenu(std::move(menu));
        } else {
            NibAttributes attributes;
            for (auto attribute : child.attributes())
                attributes.entries.emplace_back(attribute.name(), substitute(attribute.value()));
            if (!object->addNibElement(name, attributes)) {
                fail("class \"" + std::string(className) + "\" does not take <" + std::string(name) + ">");
                return nullptr;
            }
        }
    }
    // Children were listed before their parent: awakeFromNib goes out in this order.
    m_awakeOrder.emplace_back(object.get());
    return object;
}

bool Load::connectTargets()
{
    for (const auto& pending : m_targets) {
        auto* responder = dynamic_cast<Responder*>(resolve(pending.target));
        if (!responder)
            return fail("the target \"" + pending.target + "\" cannot receive actions");
        if (pending.control)
            pending.control->setTarget(responder);
        else
            pending.item->setTarget(responder);
    }
    return true;
}

bool Load::connectOutlets(const pugi::xml_node& root)
{
    // The new objects' outlets first: a failure there leaves the owner untouched.
    for (int pass = 0; pass < 2; ++pass) {
        for (auto outlet : root.children("outlet")) {
            std::string_view sourceName = outlet.attribute("source").value();
            if ((sourceName == kOwner) != (pass == 1))
                continue;
            std::string_view name = outlet.attribute("name").value();
            Object* source = resolve(sourceName);
            Object* destination = resolve(outlet.attribute("destination").value());
            if (!source->setOutlet(name, destination))
                return fail("no outlet \"" + std::string(name) + "\" on " + std::string(sourceName));
            if (source == &m_owner)
                m_connectedOwnerOutlets.emplace_back(name);
        }
    }
    return true;
}

Result<std::vector<Object*>> Load::run(const pugi::xml_node& root, NibTopLevelObjects& set)
{
    // Everything that can be checked without making objects is checked first.
    if (std::string_view(root.name()) != "nib")
        return Failure::failure("the root element is not <nib>");
    for (auto attribute : root.attributes()) {
        if (std::string_view(attribute.name()) != "owner")
            return Failure::failure(std::string("unknown nib attribute \"") + attribute.name() + "\"");
    }
    for (auto child : root.children()) {
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = child.name();
        if (name == "object") {
            if (!validateObject(child, true))
                return Failure::failure(m_error);
        } else if (name == "outlet") {
            for (auto attribute : child.attributes()) {
                std::string_view key = attribute.name();
                if (key != "source" && key != "name" && key != "destination")
                    return Failure::failure("unknown outlet attribute \"" + std::string(key) + "\"");
            }
            if (child.attribute("source").value()[0] == 0 || child.attribute("name").value()[0] == 0
                || child.attribute("destination").value()[0] == 0)
                return Failure::failure("an outlet needs a source, a name and a destination");
            m_references.emplace_back(child.attribute("source").value());
            m_references.emplace_back(child.attribute("destination").value());
        } else {
            return Failure::failure("unknown element <" + std::string(name) + ">");
        }
    }
    for (const auto& reference : m_references) {
        if (reference != kOwner && !m_declaredIds.contains(reference))
            return Failure::failure("nothing has the id \"" + reference + "\"");
    }

    std::vector<std::unique_ptr<Object>> topLevel;
    auto abandon = [&] {
        // Undo the owner's connections, then destroy what was made; no awakeFromNib has been sent.
        for (const auto& outlet : m_connectedOwnerOutlets)
            m_owner.setOutlet(outlet, nullptr);
        m_awakeOrder.clear();
        m_objects.clear();
        while (!topLevel.empty())
            topLevel.pop_back();
        return Failure::failure(m_error);
    };
    for (auto child : root.children("object")) {
        std::unique_ptr<Object> made = make(child);
        if (!made)
            return abandon();
        topLevel.push_back(std::move(made));
    }
    if (!connectTargets() || !connectOutlets(root))
        return abandon();

    std::vector<Object*> result;
    for (auto& object : topLevel) {
        result.push_back(object.get());
        set.add(std::move(object));
    }
    // From here on an awakeFromNib may destroy or move any object: each is reached only through its token.
    std::vector<WeakPtr<Object>> awake = std::move(m_awakeOrder);
    WeakPtr<Object> owner(&m_owner);
    m_objects.clear();
    for (auto& weak : awake) {
        if (Object* object = weak.get())
            object->awakeFromNib();
    }
    if (Object* alive = owner.get())
        alive->awakeFromNib();
    return result;
}

} // namespace

void NibLoader::registerClass(std::string name, Factory factory)
{
    registry()[std::move(name)] = std::move(factory);
}

bool NibLoader::isClassRegistered(std::string_view name)
{
    return registry().find(name) != registry().end();
}

Result<std::vector<Object*>> NibLoader::loadNibFromString(std::string_view xml, Object& owner,
    NibTopLevelObjects& topLevelObjects, const NibLoadOptions& options)
{
    pugi::xml_document document;
    pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        return Result<std::vector<Object*>>::failure(std::string("malformed XML: ") + parsed.description() + " at byte "
            + std::to_string(parsed.offset));
    Load load(owner, options);
    return load.run(document.document_element(), topLevelObjects);
}

Result<std::vector<Object*>> NibLoader::loadNib(const std::filesystem::path& resourceDirectory, std::string_view name,
    Object& owner, NibTopLevelObjects& topLevelObjects, const NibLoadOptions& options)
{
    std::filesystem::path path = resourceDirectory / (std::string(name) + ".nib");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Result<std::vector<Object*>>::failure("cannot read " + path.string());
    std::ostringstream contents;
    contents << file.rdbuf();
    if (!file.good() && !file.eof())
        return Result<std::vector<Object*>>::failure("cannot read " + path.string());
    auto result = loadNibFromString(contents.str(), owner, topLevelObjects, options);
    if (!result)
        return Result<std::vector<Object*>>::failure(path.filename().string() + ": " + result.error());
    return result;
}

NibLoadOptions NibLoader::optionsForBundle(const Bundle& bundle)
{
    NibLoadOptions options;
    options.substitute = [&bundle](std::string_view key) { return bundle.infoString(key); };
    return options;
}

Result<std::vector<Object*>> NibLoader::loadNib(const Bundle& bundle, std::string_view name, Object& owner,
    NibTopLevelObjects& topLevelObjects, NibLoadOptions options)
{
    if (!options.substitute)
        options = optionsForBundle(bundle);
    return loadNib(bundle.path(), name, owner, topLevelObjects, options);
}

} // namespace kit
