#include "kit/foundation/CRelease.h"
#include "kit/foundation/GRefPtr.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

using kit::adoptGRef;
using kit::GRefPtr;
using kit::retainGRef;

namespace {

// The reference count as GObject keeps it; read only to check the holder's bookkeeping.
unsigned referenceCount(gpointer object) { return g_atomic_int_get(&G_OBJECT(object)->ref_count); }

// Records when the object is finalized, without holding a reference to it.
struct Finalized {
    bool done = false;
    void watch(GObject* object)
    {
        g_object_weak_ref(
            object, [](gpointer data, GObject*) { static_cast<Finalized*>(data)->done = true; }, this);
    }
};

// A type whose instances start floating, as GTK widgets do.
GType floatingType()
{
    static GType type = g_type_register_static_simple(G_TYPE_INITIALLY_UNOWNED, "LectorinTestFloating",
        sizeof(GInitiallyUnownedClass), nullptr, sizeof(GInitiallyUnowned), nullptr, GTypeFlags(0));
    return type;
}

} // namespace

TEST(GRefPtr, AdoptTakesTheReferenceOverAndReleasesItOnce)
{
    Finalized finalized;
    {
        GRefPtr<GObject> object = adoptGRef(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
        finalized.watch(object.get());
        EXPECT_EQ(referenceCount(object.get()), 1u) << "adopting must not count the reference again";
    }
    EXPECT_TRUE(finalized.done);
}

TEST(GRefPtr, RetainLeavesTheLendersReferenceAlone)
{
    GObject* lent = G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr));
    {
        GRefPtr<GObject> held = retainGRef(lent);
        EXPECT_EQ(referenceCount(lent), 2u);
    }
    EXPECT_EQ(referenceCount(lent), 1u) << "the holder gave back only its own reference";
    g_object_unref(lent);
}

TEST(GRefPtr, CopiesCountAndMovesDoNot)
{
    Finalized finalized;
    GRefPtr<GObject> first = adoptGRef(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
    finalized.watch(first.get());
    GRefPtr<GObject> copy = first;
    EXPECT_EQ(referenceCount(first.get()), 2u);
    EXPECT_TRUE(copy == first);

    GRefPtr<GObject> moved = std::move(copy);
    EXPECT_FALSE(copy);
    EXPECT_EQ(referenceCount(first.get()), 2u);

    first = nullptr;
    EXPECT_FALSE(finalized.done) << "the moved-to holder still owns a reference";
    moved = moved; // self-assignment keeps the object
    EXPECT_FALSE(finalized.done);
    moved = GRefPtr<GObject>();
    EXPECT_TRUE(finalized.done);
}

TEST(GRefPtr, AssigningReleasesTheOldObjectAfterTakingTheNew)
{
    Finalized oldGone, newGone;
    GRefPtr<GObject> held = adoptGRef(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
    oldGone.watch(held.get());
    GRefPtr<GObject> other = adoptGRef(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
    newGone.watch(other.get());
    held = other;
    EXPECT_TRUE(oldGone.done);
    EXPECT_FALSE(newGone.done);
    EXPECT_EQ(referenceCount(other.get()), 2u);
}

TEST(GRefPtr, LeakRefHandsTheReferenceToTheCaller)
{
    Finalized finalized;
    GObject* raw = nullptr;
    {
        GRefPtr<GObject> held = adoptGRef(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
        finalized.watch(held.get());
        raw = held.leakRef();
        EXPECT_FALSE(held);
    }
    EXPECT_FALSE(finalized.done);
    EXPECT_EQ(referenceCount(raw), 1u);
    g_object_unref(raw);
    EXPECT_TRUE(finalized.done);
}

TEST(GRefPtr, FloatingReferencesAreSunkNotCountedTwice)
{
    const struct {
        bool adopt;
        const char* why;
    } cases[] = {
        { true, "a fresh floating object adopted: its only reference becomes the holder's" },
        { false, "a floating object lent: nobody owns it yet, so the holder takes the floating reference" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Finalized finalized;
        {
            auto* raw = static_cast<GObject*>(g_object_new(floatingType(), nullptr));
            ASSERT_TRUE(g_object_is_floating(raw));
            finalized.watch(raw);
            GRefPtr<GObject> held = c.adopt ? adoptGRef(raw) : retainGRef(raw);
            EXPECT_FALSE(g_object_is_floating(held.get()));
            EXPECT_EQ(referenceCount(held.get()), 1u);
        }
        EXPECT_TRUE(finalized.done) << "a leftover floating reference would keep the object alive";
    }
}

TEST(GRefPtr, NullHoldersAreEmptyAndSafe)
{
    GRefPtr<GObject> adopted = adoptGRef<GObject>(nullptr);
    GRefPtr<GObject> retained = retainGRef<GObject>(nullptr);
    GRefPtr<GObject> copy = adopted;
    EXPECT_FALSE(adopted);
    EXPECT_FALSE(retained);
    EXPECT_FALSE(copy);
    EXPECT_EQ(copy.leakRef(), nullptr);
}

static std::vector<int*> s_released;
static void recordRelease(int* object) { s_released.push_back(object); }

TEST(CRelease, CallsTheNamedReleaseFunctionOnce)
{
    std::vector<int*>& released = s_released;
    int value = 0;
    {
        kit::CPtr<int, recordRelease> held(&value);
        kit::CPtr<int, recordRelease> empty;
    }
    ASSERT_EQ(released.size(), 1u) << "an empty holder releases nothing";
    EXPECT_EQ(released[0], &value);
}
