#include "kit/view/Button.h"
#include "kit/view/Label.h"
#include "kit/view/Outlet.h"

#include <gtest/gtest.h>

// Every nib owner connects its typed outlets through one function; the copies it replaced disagreed on what
// an object of the wrong kind did to the outlet (one cleared it, one kept it). It keeps it.
TEST(Outlet, ConnectsOnlyObjectsOfItsKind)
{
    kit::Button button({ 0, 0, 80, 20 }, "OK");
    kit::Label label({ 0, 0, 80, 20 });
    kit::Button* outlet = nullptr;

    EXPECT_TRUE(kit::connectOutlet(outlet, &button));
    EXPECT_EQ(outlet, &button);
    EXPECT_FALSE(kit::connectOutlet(outlet, &label)) << "a label is not a button: the nib load fails";
    EXPECT_EQ(outlet, &button) << "and the outlet keeps what it held";
    EXPECT_TRUE(kit::connectOutlet(outlet, nullptr)) << "no object disconnects";
    EXPECT_EQ(outlet, nullptr);

    kit::View* view = nullptr;
    EXPECT_TRUE(kit::connectOutlet(view, &label)) << "a subclass fits an outlet of its base";
    EXPECT_EQ(view, &label);

    kit::WeakPtr<kit::Label> weak;
    EXPECT_FALSE(kit::connectOutlet(weak, &button));
    EXPECT_FALSE(weak.wasSet());
    EXPECT_TRUE(kit::connectOutlet(weak, &label)) << "weak outlets connect the same way";
    EXPECT_EQ(weak.get(), &label);
}
