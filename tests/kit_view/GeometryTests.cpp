// Rectangles: which contain which, which meet, with edges that touch and empty ones.
#include "kit/geometry/Geometry.h"

#include <gtest/gtest.h>

TEST(Geometry, ContainmentAndIntersectionAtTheEdges)
{
    const kit::Rect outer { 10, 10, 100, 50 };
    const struct {
        kit::Rect other;
        bool contained, intersecting;
        const char* why;
    } cases[] = {
        { { 10, 10, 100, 50 }, true, true, "itself" },
        { { 20, 20, 10, 10 }, true, true, "inside" },
        { { 10, 10, 100, 51 }, false, true, "one point taller" },
        { { 9.5f, 20, 10, 10 }, false, true, "over the left edge" },
        { { 110, 20, 10, 10 }, false, false, "touching the right edge from outside" },
        { { 20, 60, 10, 10 }, false, false, "touching the bottom edge from outside" },
        { { 50, 30, 0, 0 }, true, false, "an empty rectangle inside: contained, meets nothing" },
        { { 0, 0, 200, 200 }, false, true, "around it" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(outer.contains(c.other), c.contained);
        EXPECT_EQ(outer.intersects(c.other), c.intersecting);
        EXPECT_EQ(c.other.intersects(outer), c.intersecting) << "either way round";
    }
}
