#pragma once
// Carries the worker's progress fractions to the user-interface thread without
// a message per report. A report that would show what the last posted one
// shows (same bar width, same percentage) is not posted, and reports that
// arrive while one is still waiting to be drawn replace it, so the window
// draws only what it can show. The latest report always gets drawn, before
// anything posted after it. Reports come in rising order, one Put at a time:
// the archive reader calls its progress callback from the library's threads,
// but never two at once and each after the last returned, so the reporter's
// fields below are ordered by the reader's lock, not by a single thread.
#include <atomic>
#include <cstdint>
#include <cstring>

#include "ui/progress_math.h"

namespace tovarin::ui {

class ProgressMailbox {
public:
    // Reporter: true when the caller must post a message to have it taken.
    bool Put(double fraction) {
        latest_.store(Bits(fraction));
        const ProgressStep step = ComputeProgressStep(fraction, postedPercent_);
        if (step.percent == postedPercent_ && step.width == postedWidth_) return false;
        if (pending_.exchange(true)) return false;
        postedPercent_ = step.percent;
        postedWidth_ = step.width;
        return true;
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
    // Reporter only: what the last posted report shows.
    int postedPercent_ = 0;
    int postedWidth_ = 0;
};

}  // namespace tovarin::ui
