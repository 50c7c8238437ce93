#include "cal/standard_cal.h"

#include <algorithm>
#include <cmath>

#include "cal/cal_file.h"
#include "cal/cal_session.h"
#include "cal/portb_cal.h"
#include "core/cal_table.h"
#include "core/number_text.h"
#include "core/program.h"
#include "files/init_file.h"
#include "instrument/commands.h"
#include "instrument/health.h"
#include "instrument/raw_reading.h"
#include "measure/averaging.h"

namespace vna::cal {

using core::CalCapacity;
using core::CalTable;
using core::SetGridInUse;
using core::StandardGridFreq;

namespace {

using platform::Answer;
using platform::Buttons;

constexpr const char* CalTitle = " Standard Cal Port A";
constexpr const char* ProblemCaption = "  Cal Problem";

// The frequency a check looks at: the grid frequency within a small window around it.
bool Near(double f, double centre, double window) {
    return f > centre - window && f < centre + window;
}

} // namespace

std::vector<double> StandardCalGrid(double maximumFreq) {
    std::vector<double> grid;
    const double last = std::round(maximumFreq + 0.0001) + 0.2001;
    double f = 0.005;
    double step = 0.005;
    while (f < last && static_cast<int>(grid.size()) < CalCapacity) {
        // The value of the grid index itself, so that the tuning words are those of the cal
        // file's grid and not of a running sum.
        grid.push_back(StandardGridFreq(static_cast<int>(grid.size())));
        f += step;
        if (f > 0.0999 && f < 0.10001) {
            f = 0.1;
            step = 0.1;
        }
        if (f > 0.1999 && f < 0.2001) {
            f = 0.2;
            step = 0.2;
        }
    }
    return grid;
}

double ApparentResistor(double shortMagLoad, double magLoad) {
    return 50 * (shortMagLoad / magLoad - 1);
}

void CalReferenceCheck(core::Program& p, const std::string& expected) {
    core::AppState& st = p.st;
    const double remembered = st.freq;
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0) {
            // The user may have put the cable right meanwhile; a failed reading switched the
            // relays off.
            instrument::SetRelays(p, 3);
        }
        st.LastError = 0;
        st.freq = 0.1;
        instrument::MeasurePortAPoint(p);
        double r = 0;
        if (st.MagRef > 0.01) {
            r = 50 / std::max(st.MagLoad / st.MagRef, 0.0001) - 50;
        } else {
            st.LastError = 2173;
        }
        if (st.LastError == 0) {
            break;
        }
        const Answer a = p.ui.message("The Load impedance is approximately " + CalNumber(st, r) +
                                          " instead of " + expected + " ohms.\r\rDo you want to continue?",
                                      " Cal Load Warning ", Buttons::CancelTryContinue);
        if (a == Answer::Cancel) {
            st.LastError = 12680;
            break;
        }
        if (a == Answer::Continue) {
            st.LastError = 0;
            break;
        }
    }
    st.freq = remembered;
}

bool SaveCalPrompt(core::Program& p, bool portB) {
    core::AppState& st = p.st;
    std::string title = " Standard Cal Port A ";
    if (portB) {
        title += "& Port B";
    }
    if (!p.ui.prompt("        Do you want to save the new data?         ", title)) {
        ShowCalDataNotSaved(p);
        return false;
    }
    instrument::SendGains(p);
    if (!SaveCalFile(p)) {
        // A cancelled file dialog or a file that could not be written: without this the user
        // would not know that the new calibration is about to be replaced by the previous one.
        ShowCalDataNotSaved(p);
        return false;
    }
    files::WriteInitFile(p);
    std::string text = "Calibration is complete.    Zo=" + CalNumber(st, st.Z0real) +
                       "    Amplitude=" + CalNumber(st, st.DDS_Amplitude) + "%  \r\r";
    if (st.Z0real < 40 || st.Z0real > 250) {
        text += "\r\rNOTE:  Zo =" + CalNumber(st, st.Z0real);
        if (std::fabs(st.Z0imag) > 0.00001) {
            text += " +j" + CalNumber(st, st.Z0imag);
        }
        text += "\r(Calibration is not affected by Zo.)";
    }
    p.ui.message(text, title);
    return true;
}

bool Cal_A(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.ConfigLoaded) {
        p.ui.message("The config file was not found.\r\n", " No Config File");
        return false;
    }
    PreviousCal prev = RememberCal(p);
    if (st.average > 16) {
        const Answer a = p.ui.message("The Averaging value is" + core::NumText(st.average, 0) + ".\r\n" +
                                          "Do you want to use such a large value ?",
                                      " Large Averaging", Buttons::YesNo);
        if (a == Answer::No) {
            measure::ApplyAveraging(p, 4);
        }
    }
    if (st.average < 4) {
        measure::ApplyAveraging(p, 4);
    }
    instrument::SetAmplitude(p, 100);
    st.RelayBit0 = 1;
    st.RelayBit1 = 1;
    st.PortA_Gain = 1;
    st.PortB_Gain = 1;
    st.PortA_Sens = 2;
    st.PortB_Sens = 1;
    st.PortB_on = 0;
    instrument::SendGains(p);
    st.PortBMode = 0;
    LineExtensionQuestion(p, true);

    std::string statusLine;
    // Every early end: the calibration in force before comes back, with the scan limits.
    auto abort = [&]() {
        RestorePreviousCal(p, prev, Limits::Restore);
        if (!statusLine.empty()) {
            CalStatusLine(p, 100, 200, statusLine);
        }
        return false;
    };
    bool checksOn = true;
    // A plausibility warning: true when the user takes the data anyway (and no further warning
    // of this run is shown).
    auto useAnyway = [&](const std::string& text) {
        if (p.ui.message(text, ProblemCaption, Buttons::YesNo) == Answer::Yes) {
            checksOn = false;
            return true;
        }
        instrument::SetRelays(p, 0);
        p.ui.message("Calibration has been aborted. Previous cal data will be used.", ProblemCaption);
        return false;
    };

    st.SweepRunning = 1;
    if (!p.ui.prompt(" Attach short circuit to the Port A connector.  ", CalTitle)) {
        CalAbortedMessage(p);
        return abort();
    }
    st.porta_cal_ok = 0;
    instrument::SetRelays(p, 3);
    st.LastError = 0;
    instrument::CheckSupply(p);
    if (st.LastError == 0) {
        st.CalStartTemperature = instrument::ReadTemperature(p);
    }
    if (st.LastError != 0) {
        st.porta_cal_ok = 0;
        st.portb_cal_ok = 0;
        return abort();
    }
    CalReferenceCheck(p, "0");
    if (st.LastError != 0) {
        return abort();
    }

    const std::vector<double> grid = StandardCalGrid(st.maximumfreq);
    double shortMagLoad = 0;
    StandardRun run;
    run.grid = &grid;
    run.standard = Standard::Short;
    run.check = [&](int, double f) {
        if (!Near(f, 1, 0.01)) {
            return true;
        }
        shortMagLoad = st.MagLoad;
        const double r = std::fabs(st.MagRef / st.MagLoad) * st.PortA_Sens;
        if (checksOn && (r < ShortRatioMin || r > ShortRatioMax)) {
            return useAnyway("Make sure the Port A connector is shorted.\nDo you want to use this data?");
        }
        return true;
    };
    if (MeasureStandard(p, run, statusLine) != RunEnd::Done) {
        return abort();
    }

    instrument::SetRelays(p, 0);
    if (!p.ui.prompt(" Attach open circuit to the Port A connector.  ", " Standard Cal Port A ")) {
        CalAbortedMessage(p);
        return abort();
    }
    instrument::SetRelays(p, 3);
    run.standard = Standard::Open;
    run.check = [&](int, double f) {
        if (!Near(f, 0.2, 0.01)) {
            return true;
        }
        const double r = std::fabs(st.MagRef / st.MagLoad) * st.PortA_Sens;
        if (checksOn && r < OpenRatioMin) {
            return useAnyway("Make sure the Port A connector is open\rDo you want to use this data?");
        }
        return true;
    };
    if (MeasureStandard(p, run, statusLine) != RunEnd::Done) {
        return abort();
    }

    instrument::SetRelays(p, 0);
    if (!p.ui.prompt("              Connect a standard resistor to Port A.              ", CalTitle)) {
        CalAbortedMessage(p);
        return abort();
    }
    const auto resistor = AskCalResistor(p, " Cal Standard (ohms)");
    if (!resistor) {
        CalAbortedMessage(p);
        return abort();
    }
    p.cal.cal_resistor = *resistor;
    instrument::SetRelays(p, 3);
    run.standard = Standard::Load;
    run.check = [&](int, double f) {
        if (!Near(f, 1, 0.01)) {
            return true;
        }
        const double r = ApparentResistor(shortMagLoad, st.MagLoad);
        const double nominal = p.cal.cal_resistor;
        if (checksOn && std::fabs(r - nominal) / nominal > ResistorTolerance) {
            return useAnyway("Make sure the Port A resistor is " + CalNumber(st, nominal) +
                             ".\rIt appears to be = " + CalNumber(st, r) +
                             " ohms.\r\rDo you want to use this data?");
        }
        return true;
    };
    if (MeasureStandard(p, run, statusLine) != RunEnd::Done) {
        return abort();
    }

    CalTable& t = p.cal;
    t.cal_points = static_cast<int>(grid.size());
    instrument::SetRelays(p, 0);
    const double temperature = instrument::ReadTemperature(p);
    st.LastError = 0;
    t.custom_cal = 0;
    t.cal_comment.clear();
    t.instrument_id = st.instrument_id;
    t.cal_max_freq = st.maximumfreq;
    t.MUF = st.maximumfreq;
    t.cal_temperature = CalFileTemperature(temperature);
    t.DDS_Amplitude = st.DDS_Amplitude;
    t.PortA_Sens = st.PortA_Sens;
    t.gain_code = st.PortA_Gain;
    t.bcal_points = 0;
    t.chan_ref_mag.fill(0);
    t.chan_ref_phase.fill(0);
    SetGridInUse(t, st.minimum_freq, st.maximumfreq);
    st.porta_cal_ok = 1;
    st.portb_cal_ok = 0;
    bool portB = false;
    if (p.ui.message("  ***** DO YOU WANT TO CAL PORT B? *****", " Cal B Option ", Buttons::YesNo) ==
        Answer::Yes) {
        portB = PortBCal(p, 0);
        st.PortB_on = 0;
    }

    instrument::SetRelays(p, 0);
    st.plot_at_zero = prev.plotAtZero;
    measure::ApplyAveraging(p, prev.average);
    // The sweep after a calibration: about 1 MHz up to the range in 2 MHz steps. The grid's point
    // count is rounded from the axis end, so the start sits a whole number of steps below the
    // range's end: from 1 MHz the rounding would add a point beyond the range and the cal grid.
    SetScanLimits(p, st.maximumfreq - 2 * std::floor((st.maximumfreq - 1) / 2 + 1e-9), st.maximumfreq, 2);
    CalSummaryLine(p, " Calibration Load Resistor = " + CalNumber(st, t.cal_resistor));
    prev.saved = SaveCalPrompt(p, portB);
    RestorePreviousCal(p, prev, Limits::Keep);
    return prev.saved;
}

} // namespace vna::cal
