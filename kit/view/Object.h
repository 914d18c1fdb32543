#pragma once

#include "kit/foundation/WeakPtr.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kit {

class NibTopLevelObjects;

// The attributes of one element of a nib file, in document order, after `${KEY}` substitution.
struct NibAttributes {
    std::vector<std::pair<std::string, std::string>> entries;
    std::optional<std::string_view> get(std::string_view name) const
    {
        for (const auto& [key, value] : entries) {
            if (key == name)
                return value;
        }
        return std::nullopt;
    }
};

// The root of everything a nib can make (views, windows, controls, controllers). It carries what the nib
// loader needs of every object: outlets by name, the configuration read from the nib, `awakeFromNib`, and
// a liveness token (its Weakable base) through which a WeakPtr can tell that the object has gone.
class Object : public Weakable {
public:
    Object();
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // Sent by the nib loader once every object of the nib exists and every outlet is connected.
    virtual void awakeFromNib() { }

    // Connects the outlet called name to object (non-owning; null disconnects). Returns false for a name
    // the class does not have, or an object of the wrong kind: the nib loader then fails the load.
    virtual bool setOutlet(std::string_view name, Object* object);

    // Configuration from a nib element's attribute (`title`, `frame`, ...); false for an attribute the class
    // does not know or a value it cannot read. Subclasses handle theirs and pass the rest to their base.
    virtual bool setNibAttribute(std::string_view name, std::string_view value);
    // A child element that is neither an object nor a menu (a segment of a segmented control, say).
    virtual bool addNibElement(std::string_view element, const NibAttributes& attributes);

    // The set of a nib owner that holds this object while nobody has taken it; null otherwise.
    NibTopLevelObjects* owningNibSet() const { return m_owningNibSet; }

private:
    friend class NibTopLevelObjects;
    NibTopLevelObjects* m_owningNibSet = nullptr;
};

} // namespace kit
