#include "kit/foundation/NotificationCenter.h"
#include "kit/foundation/RunLoop.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using kit::NotificationCenter;

TEST(NotificationCenter, DeliversInRegistrationOrderToMatchingSenders)
{
    NotificationCenter center;
    int senderA = 0, senderB = 0;
    std::vector<std::string> log;
    center.addObserver(&log, "Changed", &senderA, [&](auto&) { log.push_back("first, A only"); });
    center.addObserver(&senderB, "Changed", nullptr, [&](auto&) { log.push_back("second, any sender"); });
    center.addObserver(&log, "Other", nullptr, [&](auto&) { log.push_back("wrong name"); });

    center.postNotification("Changed", &senderA);
    EXPECT_EQ(log, (std::vector<std::string> { "first, A only", "second, any sender" }));
    log.clear();
    center.postNotification("Changed", &senderB);
    EXPECT_EQ(log, (std::vector<std::string> { "second, any sender" })) << "A's observer must not hear B";
}

TEST(NotificationCenter, ObserversMayRemoveThemselvesAndOthersDuringDelivery)
{
    NotificationCenter center;
    int a = 0, b = 0, c = 0;
    std::vector<char> calls;
    center.addObserver(&a, "N", nullptr, [&](auto&) {
        calls.push_back('a');
        center.removeObserver(&a);
        center.removeObserver(&b); // b registered after a: must not be called now
    });
    center.addObserver(&b, "N", nullptr, [&](auto&) { calls.push_back('b'); });
    center.addObserver(&c, "N", nullptr, [&](auto&) {
        calls.push_back('c');
        center.addObserver(&c, "N", nullptr, [&](auto&) { calls.push_back('C'); }); // only from the next post
    });
    center.postNotification("N", nullptr);
    EXPECT_EQ(calls, (std::vector<char> { 'a', 'c' }));
    calls.clear();
    center.postNotification("N", nullptr);
    EXPECT_EQ(calls, (std::vector<char> { 'c', 'C' }));
    center.removeObserver(&c);
    EXPECT_EQ(center.observationCount(), 0u) << "removeObserver(observer) drops all its registrations";
}

TEST(RunLoop, RunsUntilConditionOrBound)
{
    bool fired = false;
    kit::RunLoop::post([&] { fired = true; });
    EXPECT_TRUE(kit::RunLoop::runUntil([&] { return fired; }, std::chrono::seconds(5)));

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(kit::RunLoop::runUntil([] { return false; }, std::chrono::milliseconds(50)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45)) << "returned before the bound";

    int ticks = 0;
    kit::RunLoop::addTimer(std::chrono::milliseconds(1), [&] { return ++ticks < 3; });
    EXPECT_TRUE(kit::RunLoop::runUntil([&] { return ticks == 3; }, std::chrono::seconds(5)));
}
