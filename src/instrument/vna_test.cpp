#include "instrument/vna_test.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/delay.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "instrument/date_code.h"
#include "instrument/link_log.h"
#include "instrument/protocol.h"
#include "instrument/raw_reading.h"
#include "instrument/serial_link.h"

namespace vna::instrument {

namespace {

// Limits of one reading at full amplitude and averaging 1. The converter has 12 bits around
// mid-scale (2048); the reference should use about half of its swing, and the DDS output falls
// by about 3 dB towards the top of the range, which the lower limit allows for.
constexpr double ReferenceMin = 400;
constexpr double ReferenceMax = 2000;
constexpr double AdcMid = 2048;
constexpr double AdcMeanTolerance = 205; // 10 % of mid-scale
constexpr int AdcLowest = 20;
constexpr int AdcHighest = 4075;
constexpr double ReferenceFreqs[] = {1, 10, 50, 100, 150, 180};
// The Port B checks at one frequency where the receiver is flat.
constexpr double PortBTestFreq = 10;
constexpr int ReadingsPerStep = 8;
// A load amplitude the converter takes with room to spare, and the least the steps are measured on.
constexpr double LoadTarget = 1200;
constexpr double LoadHighest = 1600;
constexpr double LoadLeast = 2;
constexpr double AmplitudeLeast = 10; // percent: below it the reference itself gets weak
constexpr double RelayIsolationDb = -30;
constexpr double TemperatureMinF = 32;
constexpr double TemperatureMaxF = 122;
constexpr double SupplyMin = 9.8;
constexpr double SupplyMax = 16.0;
const char* const GainNames[5] = {"1x", "5x", "24x", "122x", "513x"};

std::string Num(double v, int decimals) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string Signed(double v, int decimals) {
    return (v >= 0 ? "+" : "") + Num(v, decimals);
}

struct Reading {
    bool ok = false;
    double ref = 0;
    double load = 0;
    double loadMean = 0;
    double refMean = 0;
    int lowest = 0;
    int highest = 0;
    bool clipped = false;
};

Reading Read(core::Program& p, bool portB, double f) {
    core::AppState& st = p.st;
    st.PortBMode = portB ? 1 : 0;
    st.PortB_on = portB ? 1 : 0;
    st.freq = f;
    st.LastError = 0;
    MeasurePoint(p);
    Reading r;
    r.ok = st.ReadingValid && st.LastError != 10;
    if (!r.ok) {
        return r;
    }
    r.ref = st.MagRef;
    r.load = st.MagLoad;
    r.loadMean = st.AdcMean[0];
    r.refMean = st.AdcMean[1];
    r.lowest = *std::min_element(st.AdcWords.begin(), st.AdcWords.begin() + 2 * SamplesPerChannel);
    r.highest = *std::max_element(st.AdcWords.begin(), st.AdcWords.begin() + 2 * SamplesPerChannel);
    r.clipped = st.AdcWords[32] != 0 || r.highest > AdcHighest || r.lowest < AdcLowest;
    return r;
}

void Add(TestReport& report, std::string name, std::string measured, std::string limits, bool pass) {
    report.checks.push_back({std::move(name), std::move(measured), std::move(limits), pass});
}

void ReferenceChecks(core::Program& p, TestReport& report) {
    for (const bool portB : {false, true}) {
        const std::string port = portB ? "Port B" : "Port A";
        for (const double f : ReferenceFreqs) {
            const Reading r = Read(p, portB, f);
            Add(report, port + " reference at " + Num(f, 0) + " MHz", r.ok ? Num(r.ref, 1) : "no reading",
                Num(ReferenceMin, 0) + " .. " + Num(ReferenceMax, 0),
                r.ok && r.ref >= ReferenceMin && r.ref <= ReferenceMax);
        }
        const Reading r = Read(p, portB, PortBTestFreq);
        const std::string limits =
            Num(AdcMid - AdcMeanTolerance, 0) + " .. " + Num(AdcMid + AdcMeanTolerance, 0);
        Add(report, port + " ADC mean, load channel", r.ok ? Num(r.loadMean, 1) : "no reading", limits,
            r.ok && std::fabs(r.loadMean - AdcMid) <= AdcMeanTolerance);
        Add(report, port + " ADC mean, reference channel", r.ok ? Num(r.refMean, 1) : "no reading", limits,
            r.ok && std::fabs(r.refMean - AdcMid) <= AdcMeanTolerance);
        Add(report, port + " ADC peaks", r.ok ? Num(r.lowest, 0) + " .. " + Num(r.highest, 0) : "no reading",
            "within " + Num(AdcLowest, 0) + " .. " + Num(AdcHighest, 0) + ", no overload",
            r.ok && !r.clipped);
    }
}

// The Port B ratio (load / reference) at one gain step: the amplitude set so that the load the
// step is expected to give (`expected` ratio, 0 when unknown) fits the converter, brought down
// further while it still overloads, then the mean of a few readings. Nothing with `why` when it
// cannot.
struct StepRatio {
    bool ok = false;
    double ratio = 0;
    double fullReference = 0; // the reference at full amplitude
    std::string why;
};

StepRatio MeasureStep(core::Program& p, int gain, int sens, double expected, double fullReference) {
    core::AppState& st = p.st;
    st.PortB_Gain = gain;
    st.PortB_Sens = sens;
    SendGains(p);
    double amplitude = 100;
    if (expected > 0 && fullReference > 0) {
        amplitude = std::clamp(100 * LoadTarget / (fullReference * expected), AmplitudeLeast, 100.0);
    }
    StepRatio s;
    for (int attempt = 0;; ++attempt) {
        SetAmplitude(p, amplitude);
        const Reading r = Read(p, true, PortBTestFreq);
        // A load driven into the rails reads as a lost signal and opens the relays.
        const bool overloaded = r.ok ? r.clipped || r.load > LoadHighest : st.LastError == 17;
        if (!r.ok && !overloaded) {
            s.why = "no reading";
            return s;
        }
        if (!overloaded) {
            break;
        }
        SetRelays(p, 3);
        if (amplitude <= AmplitudeLeast || attempt >= 4) {
            s.why = "overload (use a larger attenuator)";
            return s;
        }
        amplitude = std::max(AmplitudeLeast, amplitude * (r.ok && !r.clipped ? LoadTarget / r.load : 0.25));
    }
    double ref = 0;
    double load = 0;
    for (int i = 0; i < ReadingsPerStep; ++i) {
        const Reading r = Read(p, true, PortBTestFreq);
        if (!r.ok || r.clipped) {
            SetRelays(p, 3);
            s.why = r.ok ? "overload" : "no reading";
            return s;
        }
        ref += r.ref;
        load += r.load;
    }
    if (load / ReadingsPerStep < LoadLeast) {
        s.why = "no signal at Port B";
        return s;
    }
    s.ok = true;
    s.ratio = load / ref;
    s.fullReference = ref / ReadingsPerStep * 100 / amplitude;
    return s;
}

void GainChecks(core::Program& p, TestReport& report) {
    SetRelays(p, 3);
    const StepRatio base = MeasureStep(p, 1, 1, 0, 0);
    const std::string tol = " +/- " + Num(GainStepToleranceDb, 1) + " dB";
    const auto step = [&](int gain, int sens, double nominal) {
        return MeasureStep(p, gain, sens, base.ok ? base.ratio * std::pow(10.0, nominal / 20) : 0,
                           base.fullReference);
    };
    const auto check = [&](const std::string& name, const StepRatio& s, double nominal) {
        const std::string limits = Signed(nominal, 0) + tol;
        if (!base.ok || !s.ok) {
            Add(report, name, base.ok ? s.why : base.why + " (step 1)", limits, false);
            return;
        }
        const double db = 20 * std::log10(s.ratio / base.ratio);
        Add(report, name, Signed(db, 1) + " dB", limits, std::fabs(db - nominal) <= GainStepToleranceDb);
    };
    for (int g = 2; g <= 5; ++g) {
        check("Port B gain step " + std::to_string(g) + " (" + GainNames[g - 1] + ")",
              step(g, 1, NominalGainStepDb[g - 1]), NominalGainStepDb[g - 1]);
    }
    check("Port B sensitivity +12 dB", step(1, 2, NominalHighSensitivityDb), NominalHighSensitivityDb);

    // The relays: with them open the signal at Port B must all but vanish.
    const std::string limits = "below " + Num(RelayIsolationDb, 0) + " dB";
    const StepRatio on = step(3, 1, NominalGainStepDb[2]);
    if (!on.ok) {
        Add(report, "Relays (Port B off / on)", on.why, limits, false);
        return;
    }
    SetRelays(p, 0);
    const Reading off = Read(p, true, PortBTestFreq);
    SetRelays(p, 3);
    if (!off.ok) {
        Add(report, "Relays (Port B off / on)", "no reading", limits, false);
        return;
    }
    const double db = 20 * std::log10(std::max(off.load / off.ref, 1e-9) / on.ratio);
    Add(report, "Relays (Port B off / on)", Num(db, 1) + " dB", limits, db < RelayIsolationDb);
}

// A 2-byte reply to a health command, read without the program's own reactions to it (messages,
// the low-voltage guard), so the test reports what the instrument says.
bool ReadWord(core::Program& p, const CommandBytes& command, int budget, int waitMs, std::uint16_t& word) {
    BeginExchange(p);
    SendCommand(p, command);
    if (waitMs > 0) {
        core::Delay(p, waitMs);
    }
    std::array<std::uint8_t, 2> reply{};
    if (ReadReplyBytes(p, reply, 2, budget) < 2) {
        return false;
    }
    word = Word16(reply[0], reply[1]);
    return true;
}

void HealthChecks(core::Program& p, TestReport& report) {
    core::AppState& st = p.st;
    std::uint16_t w = 0;
    const std::string tLimits = Num(TemperatureMinF, 0) + " .. " + Num(TemperatureMaxF, 0) + " degF";
    if (!st.TempSensor) {
        Add(report, "Temperature", "no sensor fitted", tLimits, true);
    } else if (!ReadWord(p, TemperatureCommand(), TemperatureBudget, 0, w)) {
        Add(report, "Temperature", "no reply", tLimits, false);
    } else {
        const double f = TemperatureFOfWord(w);
        Add(report, "Temperature", Num(f, 1) + " degF", tLimits,
            f >= TemperatureMinF && f <= TemperatureMaxF);
    }
    const std::string vLimits = Num(SupplyMin, 1) + " .. " + Num(SupplyMax, 1) + " V";
    if (!ReadWord(p, SupplyCommand(), SupplyBudget, st.voltageWait, w)) {
        Add(report, "Supply voltage", "no reply", vLimits, false);
    } else {
        const double v = SupplyVoltsOfWord(w);
        Add(report, "Supply voltage", Num(v, 2) + " V", vLimits, v >= SupplyMin && v <= SupplyMax);
    }
    const std::string fLimits = "programmed, checksum right";
    if (!st.FlashPresent) {
        Add(report, "Flash date code", "no flash fitted", fLimits, true);
        return;
    }
    BeginExchange(p);
    SendCommand(p, FlashReadCommand(4, DateCodeAddress));
    DateCode words{};
    for (auto& word : words) {
        std::array<std::uint8_t, 2> reply{};
        if (ReadReplyBytes(p, reply, 2, FlashBudget) < 2) {
            Add(report, "Flash date code", "no reply from the flash", fLimits, false);
            return;
        }
        word = Word16(reply[0], reply[1]);
    }
    if (DateCodeErased(words)) {
        Add(report, "Flash date code", "erased (never programmed)", fLimits, false);
    } else if (!DateCodeValid(words)) {
        Add(report, "Flash date code", "checksum wrong", fLimits, false);
    } else {
        Add(report, "Flash date code", DateCodeId(words), fLimits, true);
    }
}

std::string Pad(std::string s, std::size_t n) {
    if (s.size() < n) {
        s.resize(n, ' ');
    }
    return s;
}

} // namespace

int TestReport::failed() const {
    return static_cast<int>(
        std::count_if(checks.begin(), checks.end(), [](const TestCheck& c) { return !c.pass; }));
}

std::vector<std::string> TestReport::lines() const {
    std::vector<std::string> out = head;
    out.push_back("");
    out.push_back(Pad("Check", 36) + Pad("Measured", 28) + Pad("Limits", 34) + "Result");
    for (const TestCheck& c : checks) {
        out.push_back(Pad(c.name, 36) + Pad(c.measured, 28) + Pad(c.limits, 34) + (c.pass ? "pass" : "FAIL"));
    }
    out.push_back("");
    if (checks.empty()) {
        out.push_back("Result: nothing tested");
    } else if (passed()) {
        out.push_back("Result: PASSED, all " + std::to_string(checks.size()) + " checks");
    } else {
        out.push_back("Result: FAILED, " + std::to_string(failed()) + " of " + std::to_string(checks.size()) +
                      " checks");
    }
    return out;
}

TestReport RunVnaTest(core::Program& p) {
    core::AppState& st = p.st;
    TestReport report;
    const platform::LocalTime t = p.clock.now();
    char when[64];
    std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    report.head.push_back(std::string("VNA Test   ") + when);
    if (!st.InstrumentPresent) {
        report.head.push_back("No instrument: nothing was tested.");
        return report;
    }
    const auto first = st.instrument_id.find_first_not_of(' ');
    report.head.push_back("Unit ID " +
                          (first == std::string::npos ? std::string("-") : st.instrument_id.substr(first)) +
                          ", " + st.VersionText + ", on " + st.PortName);
    report.head.push_back(
        "Port B: a 30..50 dB attenuator from the RF output to Port B; readings at averaging 1.");

    // What the test changes, to be put back.
    const int average = st.average;
    const double amplitude = st.DDS_Amplitude;
    const int gainB = st.PortB_Gain;
    const int sensB = st.PortB_Sens;
    const double freq = st.freq;
    const auto portB = st.PortB_on;
    const auto portBMode = st.PortBMode;

    st.Measuring = 0;
    SetAveraging(p, 1);
    SetAmplitude(p, 100);
    st.PortB_Gain = 1;
    st.PortB_Sens = 1;
    SendGains(p);
    SetRelays(p, 3);
    ReferenceChecks(p, report);
    GainChecks(p, report);
    SetRelays(p, 0);
    HealthChecks(p, report);

    st.PortB_Gain = gainB;
    st.PortB_Sens = sensB;
    SendGains(p);
    SetAmplitude(p, amplitude);
    SetAveraging(p, average);
    st.freq = freq;
    st.PortB_on = portB;
    st.PortBMode = portBMode;
    st.LastError = report.passed() ? 0 : 17;
    return report;
}

void VnaTestDialog(core::Program& p) {
    const std::string caption = " VNA Test";
    if (!p.ui.prompt(
            "The instrument is tested part by part: reference and converter levels of both ports,\r\n"
            "Port B gain and sensitivity steps, relays, temperature, supply voltage and the date\r\n"
            "code in flash.\r\n\r\n"
            "For the Port B checks connect a 30..50 dB attenuator (40 dB is best) from the RF\r\n"
            "output to Port B. The test takes a few seconds.",
            caption)) {
        return;
    }
    const TestReport report = RunVnaTest(p);
    const std::vector<std::string> lines = report.lines();
    p.ui.textWindow(caption, lines, 900, 640);
    std::string verdict;
    if (report.passed()) {
        verdict = "The VNA passed all " + std::to_string(report.checks.size()) + " checks.";
    } else {
        verdict = "The VNA failed " + std::to_string(report.failed()) + " of " +
                  std::to_string(report.checks.size()) + " checks:";
        for (const TestCheck& c : report.checks) {
            if (!c.pass) {
                verdict += "\r\n   " + c.name + ": " + c.measured;
            }
        }
    }
    if (p.ui.message(verdict + "\r\n\r\nSave the report?", caption, platform::Buttons::YesNo) ==
        platform::Answer::Yes) {
        SaveTextAs(p, " Save VNA Test Report", "vna_test.txt", lines);
    }
}

} // namespace vna::instrument
