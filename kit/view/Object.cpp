#include "kit/view/Object.h"

namespace kit {

Object::Object() = default;

Object::~Object() = default;

bool Object::setOutlet(std::string_view, Object*)
{
    return false;
}

bool Object::setNibAttribute(std::string_view, std::string_view)
{
    return false;
}

bool Object::addNibElement(std::string_view, const NibAttributes&)
{
    return false;
}

} // namespace kit
