// The hand-off onto the user-interface thread: a waiting worker is let go by
// a close as well as by its call, and a call that throws still lets it go.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "skin/hand_off.h"

namespace tovarin::ui {
namespace {

using namespace tovarin::skin;

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
    std::atomic<bool> ran{false}, returned{false};
    std::thread worker([&] {
        handOff->Call([&] { ran = true; });
        returned = true;
    });
    // Until the call is queued, not run; a close before it would let the caller go for another reason.
    MSG msg;
    while (!PeekMessageW(&msg, nullptr, WM_APP, WM_APP + 0x3FFF, PM_NOREMOVE)) Sleep(5);
    EXPECT_FALSE(returned);
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
