// The hand-off onto the user-interface thread: a waiting worker is let go by
// a close as well as by its call, and a call that throws still lets it go.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "ui/hand_off.h"

namespace tovarin::ui {
namespace {

void PumpUntil(const std::atomic<bool>& done) {
    while (!done) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(5);
    }
}

TEST(HandOff, ACloseLetsAWaitingCallerGoWithoutRunningItsCall) {
    const std::shared_ptr<HandOff> handOff = HandOff::Create();
    ASSERT_TRUE(handOff);
    std::atomic<bool> ran{false}, returned{false}, posted{false};
    std::thread worker([&] {
        posted = true;
        handOff->Call([&] { ran = true; });
        returned = true;
    });
    while (!posted) Sleep(5);
    Sleep(50);  // the call is queued, nobody has run it
    handOff->Close();
    worker.join();
    PumpUntil(returned);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(handOff->Post([&] { ran = true; }));
}

TEST(HandOff, CallsRunInOrderAndAThrowingOneStillReturns) {
    const std::shared_ptr<HandOff> handOff = HandOff::Create();
    ASSERT_TRUE(handOff);
    std::string order;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        handOff->Post([&] { order += "a"; });
        handOff->Call([&] {
            order += "b";
            throw std::runtime_error("thrown on the user-interface thread");
        });
        handOff->Call([&] { order += "c"; });
        returned = true;
    });
    PumpUntil(returned);
    worker.join();
    EXPECT_EQ(order, "abc");
    handOff->Close();
}

}  // namespace
}  // namespace tovarin::ui
