#pragma once

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
// a liveness token through which a WeakPtr can tell that the object has gone.
class Object {
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

    std::weak_ptr<const void> lifeToken() const { return m_lifeToken; }

private:
    friend class NibTopLevelObjects;
    std::shared_ptr<const char> m_lifeToken;
    NibTopLevelObjects* m_owningNibSet = nullptr;
};

// A non-owning pointer that reads as null once its object has been destroyed (after the object's own
// destructor has finished). For targets, delegates and callbacks whose owner may go first.
template<typename T> class WeakPtr {
public:
    WeakPtr() = default;
    WeakPtr(std::nullptr_t) { }
    WeakPtr(T* object)
        : m_object(object)
    {
        if (object)
            m_token = static_cast<const Object*>(object)->lifeToken();
    }
    T* get() const { return m_token.expired() ? nullptr : m_object; }
    T* operator->() const { return get(); }
    explicit operator bool() const { return get(); }
    // True when an object was given, whether or not it still lives.
    bool wasSet() const { return m_object; }
    bool operator==(const WeakPtr& other) const { return get() == other.get(); }

private:
    T* m_object = nullptr;
    std::weak_ptr<const void> m_token;
};

} // namespace kit
