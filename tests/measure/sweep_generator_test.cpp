// The sweep generator: the rules of its dialog, the words it sends, and its stop.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "commands/command_ids.h"
#include "commands/commands.h"
#include "display/graph_geometry.h"
#include "instrument/commands.h"
#include "measure/sweep_generator.h"
#include "support/port_rig.h"
#include "support/scripted_serial_port.h"

using namespace vna;
using measure::SweepParameters;
using platform::Event;
using platform::EventType;

namespace {

struct GeneratorRig : test::PortRig<test::ScriptedSerialPort> {
    GeneratorRig() {
        serial.open("unit", 57600);
        st().InstrumentPresent = 1;
        st().ProgramRunning = 1;
        display::ComputeGraphGeometry(p());
        ui.setEventHandler([this](const Event& e) { commands::MainWindowEvent(p(), e); });
    }
    // Runs the command with the dialog answered by `fill` (nothing: OK as shown), the events
    // queued meanwhile delivered while it sweeps; the commands written, as text.
    std::vector<std::string> run(std::function<void(platform::Form&)> fill, std::vector<Event> during = {}) {
        serial.writes.clear();
        ui.formAnswers.push_back([fill](platform::Form& f) {
            if (fill) {
                fill(f);
            }
            return platform::FormOk;
        });
        ui.events.assign(during.begin(), during.end());
        ui.deliver(Event{EventType::Menu, 0, 0, 0, commands::cmd::SweepGenerator});
        return serial.writtenTexts();
    }
};

void Set(platform::Form& f, const std::string& field, const std::string& text) {
    f.fields[static_cast<std::size_t>(f.find(field))].text = text;
}

std::string Hex(std::uint32_t w) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", w);
    return buf;
}

} // namespace

TEST(SweepGenerator, TheDialogsRulesAndTheWords) {
    GeneratorRig r;
    core::AppState& st = r.st();
    // A STEP of 50 from 1 to 11 MHz is 50 points, 0.2 MHz apart.
    EXPECT_FALSE(measure::ApplySweepParameters(r.p(), SweepParameters{1, 11, 50, 4, {}}));
    EXPECT_EQ(st.start_freq, 1);
    EXPECT_EQ(st.end_freq, 11);
    EXPECT_DOUBLE_EQ(st.delta_freq, 0.2);
    // Negative values count by their size, limits the wrong way round are swapped, and the
    // instrument's range holds them.
    EXPECT_FALSE(
        measure::ApplySweepParameters(r.p(), SweepParameters{-200, 0.001, -0.5, -3.4, {-14, 0, 0, 0}}));
    EXPECT_EQ(st.start_freq, st.minimum_freq);
    EXPECT_EQ(st.end_freq, st.maximumfreq);
    EXPECT_EQ(st.delta_freq, 0.5);
    EXPECT_EQ(st.sweepSettling, 3);
    EXPECT_EQ(st.sweepMarkers[0], 14);
    // A step of 0 (also 30 points over no span) and a start above the range change nothing.
    for (const SweepParameters& v : {SweepParameters{1, 11, 0, 4, {}}, SweepParameters{7, 7, 30, 4, {}},
                                     SweepParameters{185, 190, 1, 4, {}}}) {
        EXPECT_TRUE(measure::ApplySweepParameters(r.p(), v));
        EXPECT_EQ(st.start_freq, st.minimum_freq);
        EXPECT_EQ(st.delta_freq, 0.5);
    }

    // A marker below the start (one left at 0 too) is sent as the word of 195 MHz; the others as
    // their tuning words. The clock correction applies to the words of the markers inside, not
    // to the 195 MHz and not to the test whether a marker lies inside.
    st.start_freq = 10;
    st.freq_comp = 1.0001;
    st.sweepMarkers = {0, 9.9995, 10, 14.2};
    const auto w = measure::SweepGeneratorWordsOf(st);
    EXPECT_EQ(w.markers[0], 2093796557u); // 2^32 * 195 / 400, rounded up
    EXPECT_EQ(w.markers[1], 2093796557u);
    EXPECT_EQ(w.markers[2], instrument::TuningWord(st, 10, 0));
    EXPECT_EQ(w.markers[3], instrument::TuningWord(st, 14.2, 0));
    EXPECT_NE(w.markers[3], instrument::TuningWordCompensated(st, 14.2));
    // The settling byte: 0 as 1, an odd value as the next even one, at most 255.
    for (const auto& [settling, sent] :
         std::vector<std::pair<int, int>>{{0, 1}, {3, 4}, {4, 4}, {300, 255}}) {
        st.sweepSettling = settling;
        EXPECT_EQ(measure::SweepGeneratorWordsOf(st).settling, sent) << settling;
    }
}

TEST(SweepGenerator, SendsItsSetUpAndAlwaysItsStop) {
    GeneratorRig r;
    core::AppState& st = r.st();
    // START 1, STOP 11 MHz, 50 points, settling 3, marker 1 at 5000 kHz, the others left at 0;
    // a key stops the sweep.
    const auto written = r.run(
        [](platform::Form& f) {
            Set(f, "START", "1");
            Set(f, "STOP", "11");
            Set(f, "STEP", "50");
            Set(f, "SETTLING", "3");
            Set(f, "MARKER 1", "5000k");
        },
        {Event{EventType::KeyDown, 'X', 0, 0, 0}});
    const auto za = std::find_if(written.begin(), written.end(),
                                 [](const std::string& c) { return c.starts_with("ZA"); });
    ASSERT_NE(za, written.end());
    const std::string off = Hex(2093796557u);
    const std::vector<std::string> expected = {"ZA" + Hex(instrument::TuningWord(st, 1, 0)),
                                               Hex(instrument::TuningWord(st, 11, 0)),
                                               Hex(instrument::TuningWord(st, 0.2, 0)),
                                               Hex(instrument::TuningWord(st, 5, 0)),
                                               off,
                                               off,
                                               off,
                                               std::string(1, '\x04'),
                                               std::string(1, '\x14'),
                                               "Z2",
                                               "0",
                                               "Z3"};
    EXPECT_EQ(std::vector<std::string>(za, written.end()), expected);
    // Only Port A's relay before it.
    EXPECT_NE(std::find(written.begin(), za, std::string("K") + char(41)), za);
    EXPECT_EQ(st.sweepOn, 0);
    EXPECT_EQ(st.SweepRunning, 0);
    for (const char* text :
         {"   Sweep start =  1     ", "   Sweep stop  =  11     ", "   Sweep delta freq  =  0.2000     ",
          "Marker  1  =  5     ", "Marker  4  =  0     ",
          "    ***  PRESS ANY KEY OR CLICK THE MOUSE TO STOP. ***       ", "     *** SWEEP IS OFF ***"}) {
        EXPECT_TRUE(r.printed(text)) << text;
    }

    // Halt while it sweeps: nothing but the stop reaches the instrument.
    r.ui.onIdle = [&r] {
        r.ui.onIdle = nullptr;
        r.ui.deliver(Event{EventType::Button, 0, 0, 0, commands::cmd::ButtonHalt});
    };
    auto after = r.run(nullptr);
    auto z2 = std::find(after.begin(), after.end(), "Z2");
    ASSERT_NE(z2, after.end());
    EXPECT_EQ(std::vector<std::string>(z2, after.end()), (std::vector<std::string>{"Z2", "0", "Z3"}));
    EXPECT_EQ(st.sweepOn, 0);

    // Cancel, and a field that is not a number, send nothing.
    r.serial.writes.clear();
    r.ui.formAnswers.push_back([](platform::Form&) { return platform::FormCancelled; });
    r.ui.deliver(Event{EventType::Menu, 0, 0, 0, commands::cmd::SweepGenerator});
    EXPECT_TRUE(r.serial.writes.empty());
    EXPECT_TRUE(r.run([](platform::Form& f) { Set(f, "STEP", "fast"); }).empty());
    EXPECT_EQ(r.ui.messages().back().text, "\"fast\" is not a number.\r\nThe setting is unchanged.");
    EXPECT_TRUE(r.run([](platform::Form& f) { Set(f, "STEP", "0"); }).empty());
    EXPECT_EQ(r.ui.messages().back().caption, " Sweep Parameters");

    // The program ends while it sweeps (the window closed, or SIGTERM, which quits the same way):
    // the stop goes out before anything else happens.
    after = r.run(nullptr);
    ASSERT_GE(after.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(after.end() - 3, after.end()),
              (std::vector<std::string>{"Z2", "0", "Z3"}));
    EXPECT_EQ(st.ProgramRunning, 0);
}
