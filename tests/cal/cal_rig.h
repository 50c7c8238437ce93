#pragma once

// What the tests of the calibration procedures share: the simulated unit identified as at start-up
// with its own cal file in force as "the previous calibration", and a user who attaches the
// standard each prompt asks for.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "cal/cal_file.h"
#include "core/cal_table.h"
#include "instrument/date_code.h"
#include "instrument/identification.h"
#include "sim/dut.h"
#include "sim/sim_cal.h"
#include "support/sim_rig.h"

namespace vna::test {

inline void SetDut(SimRig& r, const std::string& text) {
    std::string error;
    auto d = sim::ParseDut(text, &error);
    ASSERT_TRUE(d) << error;
    r.serial.unit.dut = *d;
}

// Which device the user attaches for each request of the procedures.
struct Standards {
    std::string shortCircuit = "short";
    std::string openCircuit = "open";
    std::string resistor = "resistor:r=50";
    std::string through = "through";
};

// The user of the tests: reads each prompt and attaches what it asks for.
inline void AttachStandards(SimRig& r, const Standards& s = {}) {
    r.ui.onDialog = [&r, s](const platform::fake::UiCall& c) {
        if (c.kind != "prompt") {
            return;
        }
        if (c.text.find("short circuit") != std::string::npos) {
            SetDut(r, s.shortCircuit);
        } else if (c.text.find("open circuit") != std::string::npos) {
            SetDut(r, s.openCircuit);
        } else if (c.text.find("standard resistor") != std::string::npos) {
            SetDut(r, s.resistor);
        } else if (c.text.find("Through-Cable") != std::string::npos ||
                   c.text.find("Reference to MUX") != std::string::npos) {
            SetDut(r, s.through);
        }
    };
}

// The unit identified (so `instrument_id` is its own), the configuration loaded, and the unit's own
// cal file loaded as the calibration in force. Returns that file's path.
inline std::string PrepareWithUnitCal(SimRig& r) {
    auto& st = r.st();
    instrument::IdentifyInstrument(r.p(), 1);
    instrument::ReadDateCode(r.p());
    EXPECT_EQ(st.instrument_id.size(), 12u);
    st.ConfigLoaded = 1;
    st.ProgramRunning = 1;
    const std::string path = r.dir.file("previous.acal");
    EXPECT_TRUE(sim::WriteUnitCalFile(r.serial.unit, path, r.clock.now()));
    st.cal_file = path;
    cal::LoadCalFile(r.p(), 0);
    EXPECT_EQ(st.LastError, 0);
    EXPECT_EQ(st.porta_cal_ok, 1);
    r.ui.calls.clear();
    return path;
}

// Texts of the message boxes shown, in order.
inline std::vector<std::string> MessageTexts(const SimRig& r) {
    std::vector<std::string> out;
    for (const auto& c : r.ui.messages()) {
        out.push_back(c.text);
    }
    return out;
}

// The last status line printed on the main window that begins with `prefix` (empty when none).
inline std::string PrintedLine(SimRig& r, const std::string& prefix) {
    std::string found;
    for (const auto& t : r.texts()) {
        if (t.rfind(prefix, 0) == 0) {
            found = t;
        }
    }
    return found;
}

inline bool ShownMessage(const SimRig& r, const std::string& text, const std::string& caption) {
    for (const auto& c : r.ui.messages()) {
        if (c.text == text && c.caption == caption) {
            return true;
        }
    }
    return false;
}

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// The tables of two calibrations agree exactly on every Port A point and the Port B table.
inline void ExpectSameCal(const core::CalTable& a, const core::CalTable& b) {
    ASSERT_EQ(a.cal_points, b.cal_points);
    ASSERT_EQ(a.bcal_points, b.bcal_points);
    EXPECT_EQ(a.custom_cal, b.custom_cal);
    EXPECT_EQ(a.cal_resistor, b.cal_resistor);
    for (int k = 0; k < a.cal_points; ++k) {
        const auto i = static_cast<std::size_t>(k);
        ASSERT_EQ(a.short_re[i], b.short_re[i]) << k;
        ASSERT_EQ(a.open_im[i], b.open_im[i]) << k;
        ASSERT_EQ(a.std_re[i], b.std_re[i]) << k;
    }
    for (int k = 0; k < a.bcal_points; ++k) {
        const auto i = static_cast<std::size_t>(k);
        ASSERT_EQ(a.bcal[i].lowMag, b.bcal[i].lowMag) << k;
        ASSERT_EQ(a.bcal[i].highPhase, b.bcal[i].highPhase) << k;
    }
}

} // namespace vna::test
