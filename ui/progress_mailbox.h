#pragma once
// Carries the worker's progress fractions to the user-interface thread without
// a message per report: reports that arrive while one is still waiting to be
// drawn replace it, so the window draws the latest and is never flooded. At
// most one message is on its way at a time, and the last report always gets
// drawn, before anything posted after it.
#include <atomic>
#include <cstdint>
#include <cstring>

namespace tovarin::ui {

class ProgressMailbox {
public:
    // Worker: true when the caller must post a message to have it taken.
    bool Put(double fraction) {
        latest_.store(Bits(fraction));
        return !pending_.exchange(true);
    }
    // User-interface thread, on that message: the latest fraction.
    double Take() {
        pending_.store(false);
        const std::uint64_t bits = latest_.load();
        double fraction = 0;
        std::memcpy(&fraction, &bits, sizeof fraction);
        return fraction;
    }

private:
    static std::uint64_t Bits(double fraction) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &fraction, sizeof bits);
        return bits;
    }

    std::atomic<std::uint64_t> latest_{0};
    std::atomic<bool> pending_{false};
};

}  // namespace tovarin::ui
