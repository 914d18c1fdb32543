#pragma once

// Nib files: the description of a group of objects (windows, views, controls, menus) with their
// configuration and connections, made all at once for an owner object.
//
// Format. A nib is an XML file NAME.nib in the bundle's resource folder:
//
//   <nib owner="NRVLectorin">                                   owner: documentation only
//     <object class="View" id="panel" frame="0 0 400 300" autoresizing="width height">
//       <object class="ScrollView" id="scroll" frame="0 0 400 300" hidden="yes" hasVerticalScroller="yes">
//         <object class="MyPageView" id="pageView" role="documentView" frame="0 0 400 300">
//           <menu>                                               the view's context menu
//             <item title="Zoom In" action="zoomIn:" keyEquivalent="+" tag="0" enabled="yes"/>
//             <separator/>
//           </menu>
//         </object>
//       </object>
//       <object class="SegmentedControl" action="zoom:" target="owner" frame="8 8 48 20">
//         <segment label="-" width="24"/>                         any other element: Object::addNibElement
//       </object>
//     </object>
//     <outlet source="owner" name="pageView" destination="pageView"/>
//   </nib>
//
// - <object>: made by the factory registered for its class (registerClass; the kit's own classes are
//   built in: View, ClipView, ScrollView, Label, Button, SegmentedControl, ColorWell, ProgressIndicator,
//   ImageView, Window). `id` names it for outlets and targets ("owner" names the nib's owner). Every other
//   attribute goes to Object::setNibAttribute in document order, before the children are made; frames are
//   in the superview's coordinates. A Control's `action` is selector text and its `target` the owner or an
//   id (none: the action travels the responder chain).
// - Nesting: an object inside a view is a subview (role="subview", the default); inside a window, a subview
//   of its content view; role="documentView" inside a scroll view or clip view makes the document view;
//   role="contentView" makes a scroll view's clip view or a window's content view. Objects at the top level
//   go into the owner's NibTopLevelObjects.
// - <outlet>: Object::setOutlet(name, destination) on the source; both are "owner" or ids.
// - Attribute values may hold ${KEY}, replaced through NibLoadOptions::substitute.
//
// Loading is all or nothing. A missing file, malformed XML, an unknown class, element, attribute, id, role
// or outlet fails the load: the objects made so far are destroyed before any awakeFromNib, and the owner's
// outlets that were already connected are reset to null. On success the top-level objects are in the set,
// every outlet is connected, and awakeFromNib goes to every object made (children before their parents, in
// document order) and last to the owner. The loader touches no object after it sent awakeFromNib to another
// except to send the next awakeFromNib, and skips objects that an earlier awakeFromNib destroyed.

#include "kit/foundation/Result.h"
#include "kit/view/NibTopLevelObjects.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

class Bundle;

struct NibLoadOptions {
    // The value for ${KEY} in attribute values; a key without a value stays as written.
    std::function<std::optional<std::string>(std::string_view key)> substitute;
};

class NibLoader {
public:
    using Factory = std::function<std::unique_ptr<Object>()>;

    // Makes class name known to nibs; a name registered again gets the new factory.
    static void registerClass(std::string name, Factory factory);
    template<typename T> static void registerClass(std::string name)
    {
        registerClass(std::move(name), [] { return std::make_unique<T>(); });
    }
    static bool isClassRegistered(std::string_view name);

    // Loads resourceDirectory/NAME.nib for owner, putting its top-level objects into topLevelObjects.
    // Returns the top-level objects made (non-owning; the set owns them), or why nothing was made.
    static Result<std::vector<Object*>> loadNib(const std::filesystem::path& resourceDirectory, std::string_view name,
        Object& owner, NibTopLevelObjects& topLevelObjects, const NibLoadOptions& options = {});
    // Loads NAME.nib from bundle's folder; ${KEY} takes the bundle's Info.plist strings unless options
    // substitute otherwise.
    static Result<std::vector<Object*>> loadNib(const Bundle& bundle, std::string_view name, Object& owner,
        NibTopLevelObjects& topLevelObjects, NibLoadOptions options = {});
    // ${KEY} from the Info.plist strings of bundle, which must outlive the options.
    static NibLoadOptions optionsForBundle(const Bundle& bundle);
    // The same from the text of a nib.
    static Result<std::vector<Object*>> loadNibFromString(std::string_view xml, Object& owner,
        NibTopLevelObjects& topLevelObjects, const NibLoadOptions& options = {});
};

} // namespace kit
