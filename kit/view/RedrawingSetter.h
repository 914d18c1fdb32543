#pragma once

#include "kit/view/View.h"

#include <utility>

namespace kit {

// The shape of a drawn property's setter (as Pango's): nothing happens when field already holds value;
// otherwise the field takes it and the view asks to be drawn again. True when the value changed.
template <typename T, typename U> bool setAndRedraw(View& view, T& field, U&& value)
{
    if (field == value)
        return false;
    field = std::forward<U>(value);
    view.setNeedsDisplay(true);
    return true;
}

} // namespace kit
