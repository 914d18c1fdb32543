#pragma once

#include "kit/geometry/Geometry.h"
#include "kit/text/PageDisplayList.h"

#include <pango/pango.h>

namespace kit {

// Adds to a display list what pango_cairo_show_layout_line draws of line with its baseline's left end at
// origin: the same glyphs at the same places with the same colours and text clusters, its backgrounds,
// underlines and strike lines, the boxes of glyphs no font has (as outlines), and its shapes as pictures.
// A shape's data, where it has one, is a std::shared_ptr<const Attachment>*. Runs on the thread that owns
// the line's Pango context.
void recordPangoLine(PageDisplayList::Builder&, PangoLayoutLine*, Point origin);

} // namespace kit
