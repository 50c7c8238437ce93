#include "cal/freq_cal.h"

#include <algorithm>
#include <cmath>

#include "cal/cal_session.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "files/init_file.h"
#include "instrument/commands.h"
#include "platform/form.h"

namespace vna::cal {

namespace {

using platform::Answer;
using platform::Buttons;
using Kind = FrequencyButton::Kind;

constexpr const char* FreqCalCaption = " Freq Cal";
constexpr const char* WindowTitle = " Constant Test Frequency";
constexpr const char* EntryLabel = "Frequency (MHz)";

// Repeated steps of a micro-hertz size would otherwise leave the sum's rounding in the display
// and in the factor a calibration derives from it.
double Tidy(double mhz) {
    return std::round(mhz * 1e9) / 1e9;
}

void SetFreq(core::Program& p, double mhz) {
    core::AppState& st = p.st;
    st.freq = std::clamp(Tidy(mhz), st.minimum_freq, st.maximumfreq);
}

platform::Form WindowForm(const core::AppState& st) {
    platform::Form f;
    f.title = WindowTitle;
    platform::FormField shown;
    shown.label = "Frequency = " + core::FormatPicture("###.######", st.freq) + " MHz";
    f.fields.push_back(shown);
    platform::FormField amplitude;
    amplitude.label = "Amplitude = " + core::NumText(st.DDS_Amplitude, 0).substr(1) + " %";
    f.fields.push_back(amplitude);
    platform::FormField entry;
    entry.kind = platform::FormField::Kind::Text;
    entry.label = EntryLabel;
    f.fields.push_back(entry);
    f.okCaption = "Enter";
    f.cancelCaption = "Exit";
    for (const FrequencyButton& b : ConstantFrequencyButtons()) {
        f.extraButtons.push_back(b.caption);
    }
    return f;
}

// The Enter button: the typed frequency, within the instrument's range.
void EnterTypedFrequency(core::Program& p, const std::string& text) {
    core::AppState& st = p.st;
    const auto v = core::ParseEntry(p, text, WindowTitle);
    if (!v) {
        return;
    }
    const double f = std::fabs(*v);
    if (f < st.minimum_freq || f > st.maximumfreq) {
        p.ui.message("The frequency must be between" + core::NumText(st.minimum_freq, 3) + " and" +
                         core::NumText(st.maximumfreq, 0) + " MHz.\r\nThe constant frequency is unchanged.",
                     WindowTitle);
        return;
    }
    st.freq = Tidy(f);
}

} // namespace

const std::vector<FrequencyButton>& ConstantFrequencyButtons() {
    static const std::vector<FrequencyButton> buttons = [] {
        std::vector<FrequencyButton> b;
        b.push_back({"+10 MHz", Kind::Step, 10});
        b.push_back({"-10 MHz", Kind::Step, -10});
        const char* const steps[] = {"1", "0.1", "0.01", "0.001", "0.0001", "0.00001", "0.000001"};
        for (const char* s : steps) {
            const double v = core::TextToNumber(s);
            b.push_back({std::string("+") + s, Kind::Step, v});
            b.push_back({std::string("-") + s, Kind::Step, -v});
        }
        for (double f : {3.5, 7.0, 10.0, 14.0, 21.0, 28.0, 1.0, 5.0, 100.0}) {
            b.push_back({core::NumText(f, 1).substr(1) + " MHz", Kind::Preset, f});
        }
        for (double a : {100.0, 50.0, 25.0, 10.0, 0.0}) {
            b.push_back({core::NumText(a, 0).substr(1) + "%", Kind::Amplitude, a});
        }
        b.push_back({"Freq Cal", Kind::FreqCal, 0});
        return b;
    }();
    return buttons;
}

void PressFrequencyButton(core::Program& p, const FrequencyButton& b) {
    core::AppState& st = p.st;
    switch (b.kind) {
        case Kind::Step:
            // A step past the range stops at its end.
            SetFreq(p, st.freq + b.value);
            break;
        case Kind::Preset:
            SetFreq(p, b.value);
            break;
        case Kind::Amplitude:
            instrument::SetAmplitude(p, b.value);
            break;
        case Kind::FreqCal:
            FrequencyCalibration(p);
            break;
    }
}

void FrequencyCalibration(core::Program& p) {
    core::AppState& st = p.st;
    if (p.ui.message("Do you want to cal the frequency ?", FreqCalCaption, Buttons::YesNo) != Answer::Yes) {
        p.ui.message("Freq Calibration was not done", FreqCalCaption);
        return;
    }
    const double proposed = st.FreqCalStandard > 0 ? st.FreqCalStandard : st.freq;
    const auto text = p.ui.enterText(" Enter Standard Frequency (MHz)", FreqCalCaption,
                                     core::NumText(proposed, 6).substr(1));
    if (!text) {
        p.ui.message("Freq Calibration was not done", FreqCalCaption);
        return;
    }
    const auto s = core::ParseEntry(p, *text, FreqCalCaption);
    if (!s) {
        return;
    }
    if (!(std::fabs(st.freq - *s) < FreqCalTolerance)) {
        p.ui.message("Present frequency is not close enough for calibration (+/-2KHz tolerance)",
                     FreqCalCaption);
        return;
    }
    // The instrument made s when asked for freq: its clock runs s / (freq * freq_comp) fast, and
    // the new factor makes a request for s produce s.
    st.freq_comp = st.freq_comp * st.freq / *s;
    st.freq = *s;
    st.FreqCalStandard = *s;
    st.FreqCalUnitID = st.instrument_id;
    const double ppm = (st.freq_comp - 1) * 1000000;
    // The factor is a calibration: kept at once, not only when the program ends.
    files::WriteInitFile(p);
    p.ui.message("Freq Calibration is complete.\r\rCompensation Factor = " +
                     core::FormatPicture("#.#########", st.freq_comp) + "  (" +
                     core::FormatPicture("##.##", ppm) + " ppm)",
                 FreqCalCaption);
}

void ConstantFrequencyWindow(core::Program& p) {
    core::AppState& st = p.st;
    SetFreq(p, st.freq);
    // The carrier goes out on Port A only.
    st.RelayBit1 = 0;
    instrument::SetRelays(p, 1);
    instrument::SetRelayBank2(p, 1);
    instrument::SetFrequency(p, st.freq);
    const auto& buttons = ConstantFrequencyButtons();
    for (;;) {
        platform::Form form = WindowForm(st);
        const int r = p.ui.form(form);
        if (r == platform::FormCancelled) {
            break;
        }
        if (r == platform::FormOk) {
            const std::string& typed = form.fields[static_cast<std::size_t>(form.find(EntryLabel))].text;
            if (typed.find_first_not_of(" \t") != std::string::npos) {
                EnterTypedFrequency(p, typed);
            }
        } else {
            const int k = r - platform::FormExtraButton;
            if (k >= 0 && k < static_cast<int>(buttons.size())) {
                PressFrequencyButton(p, buttons[static_cast<std::size_t>(k)]);
            }
        }
        instrument::SetFrequency(p, st.freq);
    }
    instrument::SetAmplitude(p, 100);
    instrument::SetRelayBank2(p, 3);
}

} // namespace vna::cal
