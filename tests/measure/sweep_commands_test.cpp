// The sweep commands of the main window: Scan, Rescan and Recycle, by button and by key.

#include <gtest/gtest.h>

#include <filesystem>

#include "commands/command_ids.h"
#include "files/scan_file.h"
#include "measure/sweep_commands.h"
#include "measure/sweep_support.h"

using namespace vna;
using platform::Event;
using platform::EventType;
using test::SimTest;

namespace {

Event Button(int id) {
    return Event{EventType::Button, 0, 0, 0, id};
}

Event Key(int k) {
    return Event{EventType::KeyDown, k, 0, 0, 0};
}

// Empty graphs drawn so far: each one prints the frequency axis caption.
int GraphsDrawn(test::SimRig& r) {
    int n = 0;
    for (const auto& t : r.texts()) {
        n += t.rfind("FREQ (", 0) == 0 ? 1 : 0;
    }
    return n;
}

} // namespace

TEST_F(SimTest, ScanAndRescanByButtonAndKey) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=100"));
    test::Limits(r, 1, 5, 0.1);
    core::AppState& st = r.st();
    const int base = GraphsDrawn(r);
    r.ui.deliver(Button(commands::cmd::ButtonScan));
    EXPECT_EQ(st.last_scan_index, 40);
    EXPECT_EQ(GraphsDrawn(r), base + 1);
    EXPECT_NEAR(r.p().scan.scan_swr[20], 2, 0.02);

    // Rescan sweeps over the graph as it stands; the S and R keys do what the buttons do.
    const long before = r.serial.unit.state().measurements;
    r.ui.deliver(Button(commands::cmd::ButtonRescan));
    EXPECT_EQ(GraphsDrawn(r), base + 1);
    r.ui.deliver(Key('R'));
    EXPECT_EQ(GraphsDrawn(r), base + 1);
    r.ui.deliver(Key('S'));
    EXPECT_EQ(GraphsDrawn(r), base + 2);
    EXPECT_EQ(r.serial.unit.state().measurements - before, 3 * 42);

    // While a sweep runs, a Scan that arrives is not a second sweep.
    st.SweepRunning = 1;
    measure::ScanCommand(r.p());
    measure::RescanCommand(r.p());
    EXPECT_EQ(r.serial.unit.state().measurements - before, 3 * 42);
    st.SweepRunning = 0;

    // The Port B sweep when Port B is the active port.
    st.PortB_on = 1;
    r.connect("through");
    r.ui.deliver(Key('S'));
    EXPECT_NEAR(r.p().scan.s21_db[20], 0, 0.05);

    // Without an instrument the command says so and measures nothing.
    st.InstrumentPresent = 0;
    r.ui.calls.clear();
    r.ui.deliver(Button(commands::cmd::ButtonScan));
    ASSERT_EQ(r.ui.messages().size(), 1u);
    EXPECT_EQ(r.ui.messages()[0].text, "This function requires the hardware");
}

TEST_F(SimTest, RecycleSweepsUntilSwitchedOffAndClearsTheGraphByItsDepth) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=100"));
    test::Limits(r, 1, 2, 0.05);
    core::AppState& st = r.st();
    st.Recycle_depth = 2;
    st.rescanPause = 50;
    st.autoSaveGraph = 1;
    const int base = GraphsDrawn(r);
    // The user presses Recycle again during the fifth sweep (each sweep takes 21 readings and one
    // thrown away): the run ends with that sweep. Successive sweeps alternate the colour sets.
    std::vector<int> colourSets;
    const long at = r.serial.unit.state().measurements + 4 * 22 + 10;
    r.ui.onPump = [&](int) {
        if (colourSets.empty() || colourSets.back() != st.LightColorSet) {
            colourSets.push_back(st.LightColorSet);
        }
        if (r.serial.unit.state().measurements >= at && st.recycle) {
            r.ui.events.push_back(Button(commands::cmd::ButtonRecycle));
        }
    };
    r.ui.deliver(Button(commands::cmd::ButtonRecycle));
    r.ui.onPump = nullptr;
    EXPECT_EQ(st.recycle, 0);
    EXPECT_EQ(r.serial.unit.state().measurements % 22, 0);
    EXPECT_EQ(r.serial.unit.state().measurements / 22, 5);
    EXPECT_EQ(colourSets, (std::vector<int>{0, 1, 0, 1, 0}));
    // The graph at the start and after every second sweep.
    EXPECT_EQ(GraphsDrawn(r), base + 3);
    EXPECT_FALSE(r.serial.unit.state().relay0) << "the relays are off after the run";
    // Only the run's last sweep, which ended with the run switched off, is saved as a last graph.
    EXPECT_TRUE(std::filesystem::exists(files::LastGraphPathA(st, "1")));
    EXPECT_FALSE(std::filesystem::exists(files::LastGraphPathA(st, "0")));

    // Halt in the middle of a sweep ends the run; that sweep is the run's last and is saved.
    test::AfterReadings(r, 2 * 22 + 5, [&r] { r.ui.events.push_back(Button(commands::cmd::ButtonHalt)); });
    r.ui.deliver(Button(commands::cmd::ButtonRecycle));
    r.ui.onPump = nullptr;
    EXPECT_EQ(st.recycle, 0);
    EXPECT_EQ(st.SweepRunning, 0);
    EXPECT_TRUE(std::filesystem::exists(files::LastGraphPathA(st, "0")));
    EXPECT_FALSE(r.serial.unit.state().relay0);

    // An instrument that falls silent ends the run too, with its code.
    r.ui.calls.clear();
    test::AfterReadings(r, 30, [&r] { r.serial.unit.faults.silence = true; });
    r.ui.deliver(Button(commands::cmd::ButtonRecycle));
    r.ui.onPump = nullptr;
    EXPECT_EQ(st.recycle, 0);
    EXPECT_EQ(st.LastError, 10);
}
