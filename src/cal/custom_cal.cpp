#include "cal/custom_cal.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "cal/cal_file.h"
#include "cal/cal_session.h"
#include "cal/portb_cal.h"
#include "cal/standard_cal.h"
#include "core/number_text.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "files/init_file.h"
#include "instrument/commands.h"
#include "instrument/health.h"
#include "measure/averaging.h"
#include "platform/form.h"

namespace vna::cal {

using core::CalArray;
using core::CalCapacity;
using core::CalTable;
using core::SetGridInUse;

namespace {

using platform::Answer;
using platform::Buttons;

// A number with the program's number rule; `used` tells whether the text held one.
double Number(std::string_view text, bool& isNumber) {
    std::size_t used = 0;
    const double v = core::TextToNumber(text, used);
    isNumber = used > 0;
    return v;
}

std::string FieldText(double v) {
    return core::NumText(v, 6).substr(1);
}

// The limits dialog: start, end, step, amplitude, averaging, and the way to the standard cal.
struct LimitsDialog {
    platform::Form form;
    int start = 0;
    int stop = 0;
    int step = 0;
    int amplitude = 0;
    int average = 0;
};

LimitsDialog MakeLimitsDialog(const core::AppState& st, double start, double stop, double step) {
    LimitsDialog d;
    platform::Form& f = d.form;
    f.title = " Custom Cal Limits";
    auto text = [&f](const std::string& label, const std::string& value) {
        platform::FormField field;
        field.kind = platform::FormField::Kind::Text;
        field.label = label;
        field.text = value;
        f.fields.push_back(field);
        return static_cast<int>(f.fields.size()) - 1;
    };
    platform::FormField note;
    note.label = "Frequencies in MHz (or kHz with k); the step in MHz, or nP for n points";
    f.fields.push_back(note);
    d.start = text("Start", FieldText(start));
    d.stop = text("Stop", FieldText(stop));
    d.step = text("Step", FieldText(step));
    d.amplitude = text("Amplitude (%)", "100");
    d.average = text("Averaging", core::NumText(st.average, 0).substr(1));
    f.extraButtons = {"Standard Cal"};
    return d;
}

} // namespace

double CustomFrequencyFromText(std::string_view text) {
    const std::string lower = core::ToLower(text);
    const auto k = lower.find('k');
    if (k != std::string::npos) {
        return std::fabs(core::TextToNumber(std::string_view(lower).substr(0, k))) * 0.001;
    }
    return std::fabs(core::TextToNumber(lower));
}

double CustomStepFromText(std::string_view text, double start, double stop) {
    const double span = stop - start;
    const auto pts = text.find_first_of("Pp");
    if (pts != std::string_view::npos) {
        const double count =
            std::clamp(std::fabs(core::TextToNumber(text.substr(0, pts))), 5.0, double(CustomCalMaxSteps));
        return span / count;
    }
    const double v = std::clamp(CustomFrequencyFromText(text), 0.001, 1000.0);
    return v < 20 ? v : span / v;
}

void MufFinder::add(double f, double shortIm) {
    if (found_) {
        return;
    }
    largest_ = std::max(largest_, shortIm);
    // A short shows a rising inductive reactance; once its reading turns capacitive again the
    // cable and connector resonate and the cal is no longer trustworthy above that frequency.
    if (f > 0.5 && largest_ > 10 && shortIm < 0) {
        muf_ = std::floor(f * 5) / 5;
        found_ = true;
    }
}

void ExtrapolateBelowStart(CalArray& a) {
    a[1] = 3 * a[2] - 3 * a[3] + a[4];
    a[0] = 6 * a[2] - 8 * a[3] + 3 * a[4];
}

bool CustomCal(core::Program& p) {
    core::AppState& st = p.st;
    PreviousCal prev = RememberCal(p);
    std::string statusLine;
    auto end = [&]() {
        RestorePreviousCal(p, prev, prev.saved ? Limits::Keep : Limits::Restore);
        if (!statusLine.empty()) {
            CalStatusLine(p, 100, 200, statusLine);
        }
        return prev.saved;
    };
    if (st.average < 4) {
        measure::ApplyAveraging(p, 4);
    }

    // The dialog proposes the limits of the custom cal in force, or else the present sweep.
    double start = st.start_freq;
    double stop = st.end_freq;
    double step = st.delta_freq;
    if (p.cal.custom_cal && st.porta_cal_ok) {
        start = p.cal.custom_start_freq;
        stop = p.cal.custom_end_freq;
        step = p.cal.custom_delta_freq;
    }
    start = std::max(start, 0.005);
    if (start > st.maximumfreq) {
        start = st.maximumfreq - 1;
    }
    stop = std::min(stop, st.maximumfreq);
    if (stop < 0.005) {
        stop = 0.01;
    }
    step = std::min(step, 2.0);
    if (step < 1e-6) {
        step = (stop - start) / 100;
    }
    LimitsDialog dialog = MakeLimitsDialog(st, start, stop, step);
    const int result = p.ui.form(dialog.form);
    if (result == platform::FormExtraButton) {
        measure::ApplyAveraging(p, prev.average);
        return Cal_A(p);
    }
    if (result != platform::FormOk) {
        return end();
    }
    auto field = [&dialog](int i) {
        return std::string_view(dialog.form.fields[static_cast<std::size_t>(i)].text);
    };

    bool isNumber = false;
    const double average = Number(field(dialog.average), isNumber);
    if (isNumber) {
        measure::ApplyAveraging(p, core::Nint(std::fabs(average)));
    }
    start = CustomFrequencyFromText(field(dialog.start));
    stop = CustomFrequencyFromText(field(dialog.stop));
    // Ordered before the step is worked out, so that a number of points always gives a positive
    // step.
    if (stop < start) {
        std::swap(start, stop);
    }
    step = CustomStepFromText(field(dialog.step), start, stop);
    st.start_freq = start;
    st.end_freq = stop;

    double amplitude = core::TextToNumber(field(dialog.amplitude));
    if (amplitude < 5) {
        amplitude = 5;
        const Answer a =
            p.ui.message("The DDS amplitude cannot be less than 5 percent of full scale.\rIt has been "
                         "set to 5 percent.\r\rDo you want to continue?",
                         " Amplitude Too Low", Buttons::YesNo);
        if (a != Answer::Yes) {
            return end();
        }
    }
    amplitude = std::min(amplitude, 100.0);
    instrument::SetAmplitude(p, amplitude);

    step = std::clamp(step, 0.0001, 1.0);
    stop = std::min(stop, st.maximumfreq);
    if (start >= stop) {
        start = stop - step;
    }
    if ((stop - start) / step > CustomCalMaxSteps) {
        step = (stop - start) / CustomCalMaxSteps;
        p.ui.message("The cal step size has been adjusted to " + core::NumText(step, 4) + " MHz\r" +
                         " so the number of cal points will be " +
                         " 30000\rCalibration will continue with this "
                         "step size.",
                     "Cal points = 1004");
    }
    if (st.average < 4) {
        measure::ApplyAveraging(p, 4);
    }
    if (st.DDS_Amplitude < 100 && st.PortA_Sens == 1) {
        const Answer a =
            p.ui.message("When using Low Sensitivity, 100% full amplitude is recommended\rDo you want "
                         "to set the amplitude to 100%?",
                         "Full Amplitude", Buttons::YesNo);
        if (a == Answer::Yes) {
            instrument::SetAmplitude(p, 100);
        }
    }
    st.PortB_Gain = 1;
    st.PortB_Sens = 1;
    instrument::SendGains(p);
    if (start < st.minimum_freq) {
        p.ui.message("Start Freq is too low. Start must be greater than " + CalNumber(st, st.minimum_freq) +
                         " MHz",
                     "Start Freq too Low");
        end();
        st.LastError = 13;
        return false;
    }

    CalTable& t = p.cal;
    t.custom_cal = 1;
    t.custom_start_freq = start;
    t.custom_end_freq = stop;
    t.custom_delta_freq = step;
    t.MUF = st.maximumfreq;
    SetScanLimits(p, start, stop, step);

    st.SweepRunning = 1;
    if (!p.ui.prompt(" Attach short circuit to Port A", "Custom Cal Port A")) {
        return end();
    }
    instrument::SetRelays(p, 3);
    st.CalStartTemperature = instrument::ReadTemperature(p);
    st.porta_cal_ok = 0;
    st.Measuring = 1;

    std::vector<double> grid;
    for (int k = 2; k < CalCapacity; ++k) {
        const double f = start + step * (k - 2);
        if (!(f < stop + 2 * step + 1e-8)) {
            break;
        }
        grid.push_back(f);
    }
    MufFinder muf(st.maximumfreq);
    StandardRun run;
    run.grid = &grid;
    run.firstIndex = 2;
    run.standard = Standard::Short;
    run.check = [&](int, double f) {
        double re = 0;
        double im = 0;
        RawCalValue(st, re, im);
        muf.add(f, im);
        return true;
    };
    auto measure = [&](Standard s, CalArray& re, CalArray& im) {
        run.standard = s;
        if (MeasureStandard(p, run, statusLine) != RunEnd::Done) {
            return false;
        }
        ExtrapolateBelowStart(re);
        ExtrapolateBelowStart(im);
        return true;
    };
    if (!measure(Standard::Short, t.short_re, t.short_im)) {
        return end();
    }
    run.check = nullptr;
    t.MUF = muf.muf();

    instrument::SetRelays(p, 0);
    if (!p.ui.prompt(" Attach open circuit to Port A", "Custom Cal")) {
        return end();
    }
    instrument::SetRelays(p, 3);
    if (!measure(Standard::Open, t.open_re, t.open_im)) {
        return end();
    }
    instrument::SetRelays(p, 0);
    if (!p.ui.prompt("              Connect a standard resistor to Port A.              ", "Custom Cal")) {
        return end();
    }
    const auto resistor = AskCalResistor(p, "Cal Standard (ohms)");
    if (!resistor) {
        return end();
    }
    t.cal_resistor = *resistor;
    instrument::SetRelays(p, 3);
    if (!measure(Standard::Load, t.std_re, t.std_im)) {
        return end();
    }
    instrument::SetRelays(p, 0);

    t.cal_points = 2 + static_cast<int>(grid.size());
    t.cal_comment.clear();
    t.instrument_id = st.instrument_id;
    t.cal_max_freq = st.maximumfreq;
    t.DDS_Amplitude = st.DDS_Amplitude;
    t.PortA_Sens = st.PortA_Sens;
    t.gain_code = st.PortA_Gain;
    t.bcal_points = 0;
    t.chan_ref_mag.fill(0);
    t.chan_ref_phase.fill(0);
    SetGridInUse(t, st.minimum_freq, st.maximumfreq);
    st.porta_cal_ok = 1;
    st.portb_cal_ok = 0;
    if (p.ui.message("  ***** DO YOU WANT TO CAL PORT B? *****", " Cal B Option ", Buttons::YesNo) ==
        Answer::Yes) {
        if (st.multichan_number == 1) {
            instrument::SetExpansionPort(p, 1);
        }
        PortBCal(p, 0);
        st.PortB_on = 0;
    }

    t.cal_temperature = CalFileTemperature(instrument::ReadTemperature(p));
    st.LastError = 0;
    if (p.ui.prompt("     Do you want to save the new data?    ", "Custom Cal")) {
        const std::string summary = "Custom Cal:  start=" + CalNumber(st, start) +
                                    "   end=" + CalNumber(st, stop) + "  delta=" + CalNumber(st, step) +
                                    "  Load=" + CalNumber(st, t.cal_resistor);
        CalSummaryLine(p, summary);
        st.PortA_Gain = 1;
        st.PortB_Gain = 1;
        st.PortB_Sens = 1;
        t.gain_code = 1;
        instrument::SetAmplitude(p, st.DDS_Amplitude);
        instrument::SendGains(p);
        if (SaveCalFile(p, st.cal_file_name.empty() ? summary : st.cal_file_name)) {
            prev.saved = true;
            files::WriteInitFile(p);
            instrument::SetRelays(p, 0);
            SetScanLimits(p, start, stop, step);
            std::string text = "Calibration is complete.\r  Zo =" + CalNumber(st, st.Z0real);
            if (std::fabs(st.Z0imag) > 0.00001) {
                text += " +j" + CalNumber(st, st.Z0imag);
            }
            text += "     Amplitude =" + CalNumber(st, st.DDS_Amplitude) + "%";
            p.ui.message(text, "Custom Cal");
        } else {
            ShowCalDataNotSaved(p);
        }
    }
    return end();
}

} // namespace vna::cal
