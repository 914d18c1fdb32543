#include "kit/foundation/RunLoop.h"
#include "kit/foundation/WeakPtr.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct Counter : kit::Weakable {
    Counter() = default;
    int value = 0;
};

TEST(WeakPtr, ExpiresWithItsObjectAndEveryCopy)
{
    kit::WeakPtr<Counter> none;
    EXPECT_FALSE(none);
    EXPECT_FALSE(none.wasSet());
    EXPECT_EQ(none.get(), nullptr);

    auto counter = std::make_unique<Counter>();
    kit::WeakPtr<Counter> weak(counter.get());
    kit::WeakPtr<Counter> copy = weak;
    ASSERT_TRUE(weak);
    EXPECT_EQ(weak.get(), counter.get());
    copy->value = 7;
    EXPECT_EQ(counter->value, 7);

    counter.reset();
    EXPECT_FALSE(weak);
    EXPECT_FALSE(copy);
    EXPECT_EQ(weak.get(), nullptr);
    EXPECT_EQ(copy.operator->(), nullptr);
    EXPECT_TRUE(weak.wasSet()) << "it was given an object, which has gone";
    EXPECT_EQ(weak, none) << "a pointer to a destroyed object compares as null";
}

TEST(WeakPtr, ACopiedObjectHasPointersOfItsOwn)
{
    auto original = std::make_unique<Counter>();
    kit::WeakPtr<Counter> toOriginal(original.get());
    auto copy = std::make_unique<Counter>(*original);
    kit::WeakPtr<Counter> toCopy(copy.get());
    EXPECT_EQ(toCopy.get(), copy.get());

    // Assigning one object to another moves no pointer: each still names its own object.
    *copy = *original;
    EXPECT_EQ(toOriginal.get(), original.get());
    EXPECT_EQ(toCopy.get(), copy.get());

    original.reset();
    EXPECT_FALSE(toOriginal);
    ASSERT_TRUE(toCopy);
    EXPECT_EQ(toCopy.get(), copy.get());
    copy.reset();
    EXPECT_FALSE(toCopy);
}

TEST(WeakPtr, PostedWorkSkipsAnObjectDestroyedBeforeItRuns)
{
    auto kept = std::make_unique<Counter>();
    auto destroyed = std::make_unique<Counter>();
    int ran = 0;
    for (Counter* counter : { kept.get(), destroyed.get() }) {
        kit::RunLoop::post([weak = kit::WeakPtr(counter), &ran] {
            ++ran;
            if (weak)
                ++weak->value;
        });
    }
    destroyed.reset();
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return ran == 2; }, 10s));
    EXPECT_EQ(kept->value, 1);
}

TEST(WeakPtr, MadeOnAWorkerTestedOnTheLoopThread)
{
    // As a worker thread hands its results back: it makes the pointer, the loop's thread tests it.
    auto counter = std::make_unique<Counter>();
    std::vector<kit::WeakPtr<Counter>> made;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            made.push_back(kit::WeakPtr(counter.get()));
    });
    worker.join();
    ASSERT_EQ(made.size(), 100u);
    EXPECT_TRUE(made.front() && made.back());
    counter.reset();
    for (const auto& weak : made)
        EXPECT_FALSE(weak);
}

} // namespace
