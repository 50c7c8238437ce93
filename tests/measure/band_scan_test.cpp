// The band scan: its logarithmic trace, the stream of levels with its limits, and whole passes
// against the simulated unit and against scripted streams that break the rules.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "commands/command_ids.h"
#include "core/display_state.h"
#include "display/graph_geometry.h"
#include "instrument/raw_reading.h"
#include "measure/band_scan.h"
#include "measure/sweep_support.h"
#include "support/band_stream.h"
#include "support/port_rig.h"
#include "support/scripted_serial_port.h"

using namespace vna;
using instrument::BandScanEnd;
using measure::BandScanTrace;
using platform::Event;
using platform::EventType;
using test::SimTest;

namespace {

constexpr std::uint16_t Marker = instrument::BandScanEndMarker;
using test::BandStream;

struct StreamRig : test::PortRig<test::ScriptedSerialPort> {
    explicit StreamRig(BandStream s) : stream(std::make_shared<BandStream>(std::move(s))) {
        serial.open("unit", 57600);
        st().InstrumentPresent = 1;
        st().ProgramRunning = 1;
        display::ComputeGraphGeometry(p());
        serial.answer = [s = stream](const std::vector<std::uint8_t>& c) { return (*s)(c); };
    }
    // One pass over 10..11 MHz, collecting the levels handed on.
    instrument::BandScanResult pass() {
        st().start_freq = 10;
        st().end_freq = 11;
        got.clear();
        return measure::BandScanPass(p(), 1, 0.001, [this](double, std::uint16_t v) { got.push_back(v); });
    }
    // Whether the pass took the instrument out of the band scan and back into step.
    bool released() {
        const auto w = serial.writtenTexts();
        const auto v = std::find(w.rbegin(), w.rend(), "V");
        return stream->leaves == 3 && v != w.rend() && st().IdentState == 1 && !st().RfActive;
    }
    std::shared_ptr<BandStream> stream;
    std::vector<std::uint16_t> got;
};

} // namespace

TEST(BandScan, ScaleTraceAndStep) {
    core::GraphGeometry g;
    g.box = {40, 50, 840, 450};
    g.centreY = 250;
    const measure::BandScanScale s = measure::MakeBandScanScale(g);
    EXPECT_EQ(s.h, 200);
    EXPECT_DOUBLE_EQ(s.perDecade, 80); // 5 dB a division: ten divisions are 2.5 decades
    // A level of 1200 reaches the top of the box, one of about 3.8 stays on the centre line.
    EXPECT_NEAR(std::log10(s.factor * 1200) * s.perDecade, 200, 1e-9);
    EXPECT_NEAR(std::log10(s.factor * 3.8) * s.perDecade, 0, 0.05);

    // Noise, a single spike (its peak held for one more level), noise; then three strong levels
    // in a row: the third shows, at the top (1205 less 5 is 1200). After it the peak hold keeps the
    // top once, the line just above the centre follows while the counter runs down, then the
    // trace drops to the centre line.
    BandScanTrace t(s, g.centreY, g.box.top);
    const std::vector<std::uint16_t> values = {5, 5, 5, 1205, 5, 5, 5, 5, 1205, 1205, 1205, 5, 5, 5, 5};
    const std::vector<int> rows = {250, 250, 250, 250, 250, 250, 250, 250, 250, 250, 50, 50, 249, 249, 250};
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(t.next(values[i]), rows[i]) << "level " << i;
    }
    EXPECT_FALSE(t.visible());
    // A level far above 1200 is held at the top of the box.
    BandScanTrace strong(s, g.centreY, g.box.top);
    for (int i = 0; i < 3; ++i) {
        strong.next(60000);
    }
    EXPECT_EQ(strong.next(60000), 50);

    // The step: 1 kHz unless the limits ask for 2 kHz or less, and never more levels than a pass takes.
    EXPECT_DOUBLE_EQ(measure::BandScanStep(5, 7, 0.2), 0.001);
    EXPECT_DOUBLE_EQ(measure::BandScanStep(5, 7, 0.0015), 0.0015);
    EXPECT_DOUBLE_EQ(measure::BandScanStep(5, 7, 0), 0.001);
    EXPECT_DOUBLE_EQ(measure::BandScanStep(5, 25, 0.202), 20.0 / 9999);
}

TEST(BandScan, StreamsThatBreakTheRulesEndWithinTheLimitsAndReleaseTheInstrument) {
    // The end marker counts as a level among the first 15 values; after them it ends the pass.
    {
        std::vector<std::uint16_t> levels(14, 100);
        levels.push_back(Marker);
        levels.push_back(100);
        StreamRig r(BandStream{.levels = levels});
        const auto result = r.pass();
        EXPECT_EQ(result.end, BandScanEnd::EndMarker);
        EXPECT_EQ(r.got, levels);
        EXPECT_EQ(r.stream->acks, 16) << "one acknowledge per level, none for the end marker";
        EXPECT_TRUE(r.released());
    }
    {
        StreamRig r(BandStream{.levels = std::vector<std::uint16_t>(15, 100)});
        EXPECT_EQ(r.pass().end, BandScanEnd::EndMarker);
        EXPECT_EQ(r.got.size(), 15u);
    }
    // A silent instrument: 50000 empty reads, code 10, and the note on the graph.
    {
        StreamRig r(BandStream{.silent = true});
        const auto result = r.pass();
        EXPECT_EQ(result.end, BandScanEnd::Silent);
        EXPECT_EQ(result.emptyReads, instrument::BandScanEmptyReadLimit + 1);
        EXPECT_EQ(r.st().LastError, 10);
        EXPECT_TRUE(r.printed("Band scan: no data from the VNA."));
        EXPECT_TRUE(r.released());
    }
    // A stream that breaks off in the middle of a level: the levels before it stay.
    {
        StreamRig r(BandStream{.levels = std::vector<std::uint16_t>(40, 300), .breakAfter = 7});
        EXPECT_EQ(r.pass().end, BandScanEnd::Silent);
        EXPECT_EQ(r.got.size(), 7u);
        EXPECT_TRUE(r.printed("Band scan: the VNA stopped sending."));
        EXPECT_TRUE(r.released());
    }
    // A stream that never ends: 10000 levels, each acknowledged, and no more.
    {
        StreamRig r(BandStream{.levels = {200, 300}, .endless = true});
        const auto result = r.pass();
        EXPECT_EQ(result.end, BandScanEnd::NoEndMarker);
        EXPECT_EQ(r.got.size(), 10000u);
        EXPECT_EQ(r.stream->acks, 10000);
        EXPECT_TRUE(r.released());
        EXPECT_EQ(r.st().LastError, 0) << "the instrument answers again";
    }
    // Garbage between the levels: whatever the pairs make, the pass ends within its limits.
    {
        StreamRig r(BandStream{.levels = std::vector<std::uint16_t>(300, 1000), .garbage = true});
        const auto result = r.pass();
        EXPECT_LE(r.got.size(), 10000u);
        EXPECT_NE(result.end, BandScanEnd::Silent);
        EXPECT_TRUE(r.released());
    }
}

TEST_F(SimTest, APassOfTheSimulatedUnitIsDrawnAndPutsEverythingBack) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "antenna:f0=14.1"));
    core::AppState& st = r.st();
    st.ProgramRunning = 1;
    test::Limits(r, 13.5, 14.5, 0.05);
    st.swr_ruler = 2.5;
    st.PortB_Gain = 4;
    st.PortB_Sens = 2;
    instrument::SendGains(r.p());
    std::vector<int> streamed;
    int acks = 0;
    r.serial.unit.log = [&](const std::string& line) {
        if (line.rfind("band level ", 0) == 0) {
            streamed.push_back(std::stoi(line.substr(line.find(':') + 1)));
        }
        acks += line.rfind("band ack ", 0) == 0 ? 1 : 0;
    };

    std::vector<int> drawn;
    double lastF = 0;
    const auto result = measure::BandScanPass(r.p(), 2, measure::BandScanStep(13.5, 14.5, 0.05),
                                              [&](double f, std::uint16_t v) {
                                                  drawn.push_back(v);
                                                  lastF = f;
                                              });
    EXPECT_EQ(result.end, BandScanEnd::EndMarker);
    // 13.5 to 14.5 MHz in 1 kHz steps (the unit's step word is a little above 1 kHz, so it may
    // stop one step short of 14.5).
    ASSERT_NEAR(static_cast<double>(streamed.size()), 1000.5, 0.5);
    EXPECT_EQ(drawn, streamed);
    EXPECT_EQ(acks, static_cast<int>(streamed.size()));
    EXPECT_NEAR(lastF, 13.5 + 0.001 * static_cast<double>(streamed.size() - 1), 1e-9);
    // The resonance takes the most current: the highest level lies at 14.1 MHz.
    const auto peak = std::max_element(drawn.begin(), drawn.end()) - drawn.begin();
    EXPECT_NEAR(13.5 + 0.001 * static_cast<double>(peak), 14.1, 0.1);
    // The trace is green, and the texts of the scan are on the graph.
    EXPECT_NE(std::find(r.ui.canvas()->ops.begin(), r.ui.canvas()->ops.end(),
                        "pen " + std::to_string(st.Green) + " " + std::to_string(st.traceWidth) + " 0"),
              r.ui.canvas()->ops.end());
    for (const char* text :
         {"5 dB per vertical div", "Click Rescan button to repeat Band Scan", "Click HALT to stop scan"}) {
        EXPECT_TRUE(r.printed(text)) << text;
    }

    // Everything is back: the step, the SWR ruler, the gains and sensitivities, here and in the
    // unit; the relays are off and the unit measures again at once.
    EXPECT_EQ(st.delta_freq, 0.05);
    EXPECT_EQ(st.swr_ruler, 2.5);
    EXPECT_EQ(st.scan_points, 21);
    EXPECT_EQ(st.PortA_Gain, 1); // 2 during the high-sensitivity scan
    EXPECT_EQ(st.PortB_Gain, 4);
    EXPECT_EQ(st.PortB_Sens, 2);
    const auto& unit = r.serial.unit.state();
    EXPECT_EQ(unit.gainA, 1);
    EXPECT_EQ(unit.gainB, 4);
    EXPECT_FALSE(unit.relay0 || unit.relay1 || unit.bandScan);
    EXPECT_EQ(st.LastError, 0);
    instrument::SetRelays(r.p(), 3);
    st.freq = 14;
    instrument::MeasurePortAPoint(r.p());
    EXPECT_EQ(st.LastError, 0);
}

TEST_F(SimTest, TheMenuRescanAndHaltDriveTheBandScan) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "antenna:f0=14.1"));
    core::AppState& st = r.st();
    st.ProgramRunning = 1;
    test::Limits(r, 13.9, 14.3, 0.1);
    int passes = 0;
    r.serial.unit.log = [&](const std::string& line) { passes += line.rfind("band scan started", 0) == 0; };
    auto command = [&](int id) { r.ui.deliver(Event{EventType::Menu, 0, 0, 0, id}); };

    command(commands::cmd::BandScanHigh);
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(st.BandScanRunning, 1);
    EXPECT_EQ(st.SweepRunning, 0);
    // Rescan (button or key) repeats the band scan with its sensitivity, while it is the mode.
    r.ui.deliver(Event{EventType::Button, 0, 0, 0, commands::cmd::ButtonRescan});
    r.ui.deliver(Event{EventType::KeyDown, 'R', 0, 0, 0});
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(st.bandScanSensitivity, 2);

    // Halt in the middle of a pass: the pass stops, no other command reaches the unit while it
    // streams, and it is released and usable.
    const long commandsBefore = r.serial.unit.state().protocolErrors;
    r.ui.onPump = [&](int) {
        if (st.SweepRunning && r.serial.unit.state().bandScan) {
            r.ui.deliver(Event{EventType::Button, 0, 0, 0, commands::cmd::ButtonHalt});
        }
    };
    r.serial.unit.faults.bandBreakAfter = 50; // the unit pauses: the pass looks at the window
    command(commands::cmd::BandScanNormal);
    r.ui.onPump = nullptr;
    r.serial.unit.faults = {};
    EXPECT_EQ(passes, 4);
    EXPECT_EQ(st.BandScanRunning, 0);
    EXPECT_EQ(st.IdentState, 1);
    EXPECT_FALSE(r.serial.unit.state().bandScan);
    EXPECT_EQ(r.serial.unit.state().protocolErrors, commandsBefore);
    // Out of the band scan, Rescan is a sweep again.
    const long readings = r.serial.unit.state().measurements;
    r.ui.deliver(Event{EventType::Button, 0, 0, 0, commands::cmd::ButtonRescan});
    EXPECT_EQ(passes, 4);
    EXPECT_GT(r.serial.unit.state().measurements, readings);
}
