// The crystal measurement against the simulated unit in-process: the search window, the failures
// with their messages and what a failure leaves behind, the dialog and the crystal data file; and
// the DSP filter rescan.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "files/crystal_file.h"
#include "measure/sweep_support.h"
#include "sim/control.h"
#include "tools/crystal.h"
#include "tools/dsp_filter.h"

using namespace vna;
using test::SimTest;

namespace {

// 20 ohm, 25.3 mH, 10 fF (series resonance near 10.0064 MHz) in a 4 pF holder.
const std::string Crystal = "crystal:rm=20,lm=25.3m,cm=10f,c0=4p";

double SeriesMhz(const sim::Dut& d) {
    return 1 / (2 * 3.14159265358979 * std::sqrt(d.lm * d.cm)) / 1e6;
}

std::string Captions(const test::SimRig& r) {
    std::string out;
    for (const auto& m : r.ui.messages()) {
        out += "[" + m.caption + "]";
    }
    return out;
}

} // namespace

TEST_F(SimTest, CrystalMeasurementFindsTheModelAndRestoresTheInstrument) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, Crystal));
    core::AppState& st = r.st();
    st.average = 16;
    st.freq = 3.5;
    EXPECT_DOUBLE_EQ(tools::CrystalWindow(10), 0.2);
    EXPECT_DOUBLE_EQ(tools::CrystalWindow(40), 0.5);
    EXPECT_DOUBLE_EQ(tools::CrystalWindow(100), 0.5);

    // The menu command: the entry, the measurement, the dialog; SAVE adds a line to a new file.
    const std::string data = r.dir.file("xtal.xdat");
    r.ui.textAnswers = {"10", "7"};
    r.ui.fileAnswers = {data};
    r.ui.formAnswers = {[](platform::Form&) { return platform::FormExtraButton; },
                        [](platform::Form&) { return platform::FormOk; }};
    const long before = r.serial.unit.state().measurements;
    tools::MeasureCrystal(r.p());
    ASSERT_EQ(st.LastError, 0) << test::Dialogs(r);
    EXPECT_LT(r.serial.unit.state().measurements - before, 400);
    const double fs = SeriesMhz(r.serial.unit.dut);
    // Tolerances reached in-process at averaging 4: fs within 10 Hz, Rs and Q within 1 %, the
    // capacitances and the inductance within 3 %.
    EXPECT_NEAR(st.xtalFs, fs, 10e-6);
    EXPECT_NEAR(st.xtalRs, 20, 0.2);
    EXPECT_NEAR(st.xtalCp, 4, 0.12);
    EXPECT_NEAR(st.xtalCs, 0.01, 0.0003);
    EXPECT_NEAR(st.xtalLs, 25300, 760);
    EXPECT_NEAR(st.xtalQ, 2 * 3.14159265358979 * fs * 1e6 * 0.0253 / 20, 0.01 * 79500);
    // Put back: the averaging, the frequency, the relays; the stop flag is down.
    EXPECT_EQ(st.average, 16);
    EXPECT_DOUBLE_EQ(st.freq, 3.5);
    EXPECT_FALSE(r.serial.unit.state().relay0);
    EXPECT_EQ(st.SweepRunning, 0);
    ASSERT_EQ(r.ui.forms.size(), 2u);
    const platform::Form& shown = r.ui.forms[0];
    EXPECT_EQ(shown.title, "Crystal Parameters");
    ASSERT_EQ(shown.fields.size(), 7u);
    EXPECT_EQ(shown.fields[0].label, "Series Resonant Freq (MHz)");
    EXPECT_EQ(shown.fields[0].text.size(), shown.fields[0].text.find('.') + 7) << "6 decimals";
    EXPECT_EQ(shown.fields[6].label, "Q at Series Resonance");
    EXPECT_EQ(shown.fields[5].color, 0u) << "4 pF is not shown in red";
    std::vector<files::CrystalRow> rows;
    std::string error;
    ASSERT_TRUE(files::ReadCrystalFile(test::ReadFile(data), rows, error)) << error;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].number, 7);
    EXPECT_NEAR(rows[0].fs, st.xtalFs, 1e-6);
    EXPECT_NEAR(rows[0].lsMh, st.xtalLs * 0.001, 1e-3);
    EXPECT_EQ(st.xtalNumber, 7);
}

TEST_F(SimTest, CrystalMeasurementFailuresKeepTheLastResults) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, Crystal));
    core::AppState& st = r.st();
    st.average = 16;
    st.xtalFs = 1.234; // the results of an earlier crystal
    st.freq = 3.5;
    const auto failsWith = [&](double nominal, int code, const std::string& caption,
                               const std::string& text) {
        SCOPED_TRACE(nominal);
        r.ui.calls.clear();
        EXPECT_EQ(tools::MeasureCrystalAt(r.p(), nominal), code);
        const auto m = r.ui.messages();
        ASSERT_FALSE(m.empty());
        EXPECT_EQ(m.back().caption, caption);
        EXPECT_EQ(m.back().text.substr(0, text.size()), text);
        EXPECT_EQ(st.LastError, code);
        EXPECT_EQ(st.average, 16);
        EXPECT_DOUBLE_EQ(st.freq, 3.5);
        EXPECT_FALSE(r.serial.unit.state().relay0);
        EXPECT_DOUBLE_EQ(st.xtalFs, 1.234);
    };
    // 300 kHz above the entered value: outside the +-0.2 MHz window at 10 MHz.
    ASSERT_TRUE(sim::ApplyControl(r.serial.unit, "dut crystal:rm=20,lm=24.2m,cm=10f,c0=4p", 0).ok);
    failsWith(SeriesMhz(r.serial.unit.dut) - 0.3, tools::CrystalSeriesNotFound, " Error 271",
              "Series resonant freq was not found.\r\nLast freq checked was ");
    // The window starts between the series and the parallel resonance: not a capacitor there.
    ASSERT_TRUE(sim::ApplyControl(r.serial.unit, "dut " + Crystal, 0).ok);
    failsWith((SeriesMhz(r.serial.unit.dut) + 0.006) / 0.98, tools::CrystalWrongNominal,
              " Resonant Freq Incorrect", "Check the nominal resonant freq of the crystal and reenter it.");
    // A resistor has no resonance at all.
    ASSERT_TRUE(sim::ApplyControl(r.serial.unit, "dut resistor:r=50", 0).ok);
    failsWith(10, tools::CrystalWrongNominal, " Resonant Freq Incorrect", "Check the nominal");

    // A key during the coarse search ends it as its failure.
    ASSERT_TRUE(sim::ApplyControl(r.serial.unit, "dut crystal:rm=20,lm=24.2m,cm=10f,c0=4p", 0).ok);
    test::AfterReadings(r, 30, [&r] {
        r.ui.events.push_back(platform::Event{platform::EventType::KeyDown, 'X', 0, 0, 0});
    });
    const long before = r.serial.unit.state().measurements;
    failsWith(SeriesMhz(r.serial.unit.dut) - 0.3, tools::CrystalSeriesNotFound, " Error 271",
              "Series resonant");
    r.ui.onPump = nullptr;
    EXPECT_LT(r.serial.unit.state().measurements - before, 40);

    // A holder of 25 pF is warned about once a run (the resistor above was the first this run),
    // and the measurement goes on to its results.
    EXPECT_EQ(st.xtalCapacitanceWarned, 1);
    st.xtalCapacitanceWarned = 0;
    ASSERT_TRUE(sim::ApplyControl(r.serial.unit, "dut crystal:rm=20,lm=25.3m,cm=10f,c0=25p", 0).ok);
    r.ui.calls.clear();
    EXPECT_EQ(tools::MeasureCrystalAt(r.p(), 10), tools::CrystalMeasured) << test::Dialogs(r);
    EXPECT_EQ(Captions(r), "[ Large capacitance]");
    EXPECT_EQ(r.ui.messages()[0].text.substr(0, 23), "Parallel capacitance = ");
    EXPECT_NEAR(st.xtalCp, 25, 0.75);
    EXPECT_TRUE(tools::CrystalFields(st)[5].warn);
    r.ui.calls.clear();
    EXPECT_EQ(tools::MeasureCrystalAt(r.p(), 10), tools::CrystalMeasured);
    EXPECT_EQ(Captions(r), "") << "only the first time";

    // A custom cal that does not reach down to 0.78 of the crystal's frequency.
    r.p().cal.custom_cal = 1;
    r.p().cal.custom_start_freq = 9;
    r.p().cal.custom_end_freq = 12;
    r.ui.calls.clear();
    EXPECT_EQ(tools::MeasureCrystalAt(r.p(), 10), tools::CrystalNotStarted);
    EXPECT_EQ(r.ui.messages().back().text,
              "Note: the custom cal range is not appropriate for this crystal measurement.\r\n"
              "The min cal limits are:\r\n 7.800 to 10.500");
}

TEST_F(SimTest, DspFilterRescanSweepsAroundTheCentreAndFindsTheResonance) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "rlc-series:r=30,l=1.2u,c=80p"));
    core::AppState& st = r.st();
    test::Limits(r, 5, 25, 0.1);
    r.ui.formAnswers = {[](platform::Form& f) {
        EXPECT_EQ(f.title, " DSP Filter 2");
        f.fields[0].text = "16.2";
        f.fields[1].text = "4";
        return platform::FormOk;
    }};
    tools::DspFilterRescan(r.p(), 2);
    EXPECT_TRUE(r.ui.messages().empty()) << test::Dialogs(r);
    EXPECT_NEAR(st.start_freq, 14.2, 0.01);
    EXPECT_NEAR(st.end_freq, 18.2, 0.01);
    EXPECT_GE(st.last_scan_index, 90) << "the points of the grid before";
    EXPECT_NEAR(r.p().scan.reson_freq[0], 1 / (2 * 3.14159265358979 * std::sqrt(1.2e-6 * 80e-12)) / 1e6,
                0.02);
    EXPECT_LT(r.p().scan.reson_freq[1], 0);
    EXPECT_TRUE(r.printed("DSP Filter 2: "));
}

TEST(CrystalFile, RowsRoundTripAndAWrongFileIsNeverAddedTo) {
    const platform::LocalTime now{2026, 12, 8, 11, 5, 9, 0};
    const files::CrystalRow row{3, 10.006366, 10.018871, 20.012, 25.301, 0.0099987, 4.001, 79532};
    std::string text;
    std::string error;
    ASSERT_TRUE(files::AppendCrystalRow("", row, now, text, error));
    EXPECT_EQ(
        text,
        "Created: 12-08-2026  11:05:09\r\n"
        "  Number,  FSeries,      FParallel        Rs       Ls(mH)      Cs(pf)         Cp(pf)    Qs\r\n"
        "     3,    10.006366,    10.018871,    20.012,    25.301,     0.0099987,     4.001,    79532\r\n");
    ASSERT_TRUE(files::AppendCrystalRow(text, row, now, text, error));
    std::vector<files::CrystalRow> rows;
    ASSERT_TRUE(files::ReadCrystalFile(text, rows, error)) << error;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_DOUBLE_EQ(rows[1].cs, 0.0099987);
    EXPECT_DOUBLE_EQ(rows[1].q, 79532);

    const std::string good = text;
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"Created: 12-08-2026  11:05:09\r\n", "line 2"},                           // short
        {"3, 10.0, 10.1, 20, 25, 0.01, 4, 7\r\n", "line 1"},                       // no header
        {good + "     4,    10.0,    10.1,    20.0\r\n", "line 5"},                // a short row
        {good + "     4,    10.0,    ten,    20.0,  1,  2,  3,  4\r\n", "line 5"}, // not a number
    };
    for (const auto& [damaged, where] : bad) {
        rows.assign(1, row);
        EXPECT_FALSE(files::ReadCrystalFile(damaged, rows, error));
        EXPECT_NE(error.find(where), std::string::npos) << error;
        EXPECT_EQ(rows.size(), 1u) << "left alone";
        std::string appended = "unchanged";
        EXPECT_FALSE(files::AppendCrystalRow(damaged, row, now, appended, error));
        EXPECT_EQ(appended, "unchanged");
    }
}
