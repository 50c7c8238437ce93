// The progress of long work, as the Ui port gets it.

#include <gtest/gtest.h>

#include "core/progress.h"
#include "support/test_rig.h"

using namespace vna;

TEST(Progress, ReportsRateAndTimeLeftAFewTimesASecondAndOnceFinished) {
    test::TestRig rig;
    {
        core::ProgressMeter meter(rig.p(), "Short circuit", 100);
        for (int done = 1; done <= 60; ++done) {
            rig.clock.advance(10); // 100 points per second
            meter.update(done);
        }
        // The first point, then one report per 200 ms.
        ASSERT_EQ(rig.ui.progressReports.size(), 3u);
        const platform::Progress& r = rig.ui.progressReports.back();
        EXPECT_EQ(r.task, "Short circuit");
        EXPECT_EQ(r.done, 41);
        EXPECT_EQ(r.total, 100);
        EXPECT_NEAR(r.perSecond, 100, 1e-9);
        EXPECT_NEAR(r.secondsLeft, 0.59, 1e-9);
        EXPECT_FALSE(r.finished);
        // The last point is always reported; the meter going out of scope ends the report once.
        meter.update(100);
        EXPECT_EQ(rig.ui.progressReports.back().done, 100);
    }
    ASSERT_EQ(rig.ui.progressReports.size(), 5u);
    EXPECT_TRUE(rig.ui.progressReports.back().finished);
    // Before a point is done nothing is known about the rate.
    const platform::Progress start = core::ProgressAt("x", 0, 10, 0);
    EXPECT_EQ(start.perSecond, 0);
    EXPECT_EQ(start.secondsLeft, -1);
}
