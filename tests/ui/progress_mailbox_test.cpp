// The mailbox between the worker's progress reports and the window: what
// gets posted, and what the window then draws.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/progress_mailbox.h"

namespace tovarin::ui {
namespace {

// One step: a report put (its fraction and whether a message must be posted),
// or a take by the window (the fraction it gets).
struct Step {
    enum { Put, Take } what;
    double fraction;
    bool post;  // Put only
};

TEST(ProgressMailbox, PostsOnlyWhatChangesTheScreenAndTheWindowDrawsTheLatest) {
    const struct {
        const char* name;
        std::vector<Step> steps;
    } rows[] = {
        {"nothing to draw yet", {{Step::Put, 0.0, false}, {Step::Put, 0.01, false}}},
        {"first drawable report", {{Step::Put, 0.01, false}, {Step::Put, 0.02, true}, {Step::Take, 0.02, false}}},
        {"newer reports replace the waiting one",
         {{Step::Put, 0.3, true}, {Step::Put, 0.4, false}, {Step::Put, 0.5, false}, {Step::Take, 0.5, false}}},
        {"the same bar and percentage again",
         {{Step::Put, 0.5, true}, {Step::Take, 0.5, false}, {Step::Put, 0.5001, false}, {Step::Put, 0.51, true}}},
        {"the end after a waiting report",
         {{Step::Put, 0.98, true}, {Step::Put, 1.0, false}, {Step::Take, 1.0, false}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ProgressMailbox mailbox;
        for (std::size_t i = 0; i < row.steps.size(); ++i) {
            const Step& step = row.steps[i];
            if (step.what == Step::Put) {
                EXPECT_EQ(mailbox.Put(step.fraction), step.post) << "step " << i;
            } else {
                EXPECT_EQ(mailbox.Take(), step.fraction) << "step " << i;
            }
        }
    }
}

}  // namespace
}  // namespace tovarin::ui
