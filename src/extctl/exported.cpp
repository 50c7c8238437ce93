#include "extctl/exported.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/program.h"
#include "instrument/commands.h"
#include "instrument/date_code.h"
#include "instrument/health.h"
#include "instrument/identification.h"
#include "instrument/raw_reading.h"
#include "instrument/serial_link.h"
#include "measure/interpolation.h"
#include "measure/sweep.h"

namespace vna::extctl {

namespace {

// The instrument takes at most this many readings per point.
constexpr int MaxAveraging = 1024;
constexpr int MaxPortNumber = 65000;
// Below this frequency (MHz) the instrument takes no reading.
constexpr double LowestPointFreq = 0.004;
constexpr int NoData = 10;

// Steps 1 to 3 of both point functions: a point cleared for measuring, refused without the cal a
// corrected mode needs, and the relays, frequency and sync pulse of the point.
bool StartPoint(core::Program& p, int mode, double freq, bool calibrated) {
    core::AppState& st = p.st;
    st.ConstantFreqMode = 0;
    st.Measuring = 1;
    st.LastError = 0;
    if (mode > 0 && !calibrated) {
        st.LastError = PortNotCalibrated;
        return false;
    }
    if (st.RelaysSet == 0) {
        instrument::SetRelays(p, 3);
    }
    st.freq = freq;
    if (st.SyncMode > 0 && st.SyncSupported) {
        instrument::SendSyncPulse(p);
        if (st.SyncMode == 1) {
            st.SyncMode = 0;
        }
    }
    return true;
}

// The code of a reading: its own, or 10 for one that never became valid.
int ReadingCode(const core::AppState& st) {
    if (st.LastError != 0) {
        return st.LastError;
    }
    return st.ReadingValid ? 0 : NoData;
}

void Put(double* out, double value) {
    if (out) {
        *out = value;
    }
}

// The start-up's identification: the version query and, for a unit whose ID is not known yet,
// the date code (or the serial number of a unit without flash) and the query again, so that the
// version text carries the ID.
void Identify(core::Program& p) {
    core::AppState& st = p.st;
    instrument::IdentifyInstrument(p, 1);
    if (st.LastError != 0 || st.IdentState != 1 || !st.instrument_id.empty()) {
        return;
    }
    if (st.VersionText.find("flash") != std::string::npos) {
        instrument::ReadDateCode(p);
    } else {
        instrument::CheckModel(p);
    }
    if (st.LastError == 0 && st.InstrumentPresent) {
        instrument::IdentifyInstrument(p, 1);
    }
}

} // namespace

ExternalCallScope::ExternalCallScope(core::Program& p) : p_(p) {
    p_.st.ExternalCall = 1;
    p_.st.InstrumentPresent = 1;
    p_.st.LastError = 0;
}

ExternalCallScope::~ExternalCallScope() {
    p_.st.ExternalCall = 0;
}

int InitVars(core::Program& p) {
    const platform::LocalTime today = p.clock.now();
    core::ResetToDefaults(p.st, today.year, today.month, today.day);
    return 0;
}

int Sync(core::Program& p, int mode) {
    core::AppState& st = p.st;
    if (!st.SyncSupported) {
        st.SyncMode = 0;
        st.LastError = SyncNotSupported;
        return st.LastError;
    }
    st.SyncMode = mode;
    st.LastError = 0;
    return 0;
}

int ScanPointA(core::Program& p, int mode, double freq, double* first, double* second) {
    core::AppState& st = p.st;
    // A table that cannot be interpolated would leave an older point's values in place.
    if (!StartPoint(p, mode, freq, st.porta_cal_ok != 0 && measure::CalTableUsable(p.cal))) {
        st.Measuring = 0;
        return st.LastError;
    }
    st.PortBMode = 0;
    if (!(freq > LowestPointFreq)) {
        // Nothing is measured down there; the values of an older reading must not pass for it.
        st.LastError = NoData;
        st.Measuring = 0;
        return st.LastError;
    }
    instrument::MeasurePortAPoint(p);
    st.LastError = ReadingCode(st);
    if (st.LastError == 0) {
        if (mode == 1) {
            // This point, corrected with the cal data interpolated at its frequency.
            measure::InterpolateAtFreq(p);
            Put(first, p.point.rs);
            Put(second, p.point.xs);
        } else {
            Put(first, st.RsRaw);
            Put(second, st.XsRaw);
        }
    }
    st.Measuring = 0;
    return st.LastError;
}

int ScanPointB(core::Program& p, int mode, double freq, double* first, double* second) {
    core::AppState& st = p.st;
    st.plot_s11 = 0;
    if (!StartPoint(p, mode, freq, st.portb_cal_ok != 0)) {
        st.Measuring = 0;
        return st.LastError;
    }
    double s21db = 0;
    double phase = 0;
    if (measure::MeasureS21Point(p, mode == 1, s21db, phase)) {
        st.LastError = 0;
        Put(first, s21db);
        Put(second, phase);
    }
    st.Measuring = 0;
    st.PortBMode = 0;
    return st.LastError;
}

int AvgReadings(core::Program& p, int count) {
    instrument::SetAveraging(p, std::clamp(count, 1, MaxAveraging));
    return p.st.LastError;
}

int CommPort(core::Program& p, int open, int port, int baud) {
    (void)baud;
    core::AppState& st = p.st;
    if (open != 0) {
        if (port > MaxPortNumber) {
            p.ui.message("Comm port must between 1 and 65000", "");
            st.LastError = NoData;
            return st.LastError;
        }
        st.commport = port <= 0 ? 1 : port;
        st.BaudRate = instrument::LowBaudRate;
        // Another port may hold another unit: its ID is asked again before a cal file is checked.
        st.instrument_id.clear();
        instrument::ConnectInstrument(p);
    } else {
        const bool wasOpen = p.serial.isOpen();
        instrument::ClosePort(p);
        st.LastError = wasOpen && !p.serial.isOpen() ? PortClosed : 0;
    }
    if (st.LastError == 0) {
        st.autopoweroff = 0;
        instrument::SetAutoPowerOff(p);
    }
    return st.LastError;
}

int ProgRelay(core::Program& p, int flag) {
    core::AppState& st = p.st;
    st.HardwareEnabled = 1;
    st.ConstantFreqMode = 0;
    instrument::SetRelays(p, flag != 0 ? 3 : 0);
    return st.LastError;
}

int ConstantFreq(core::Program& p, int flag, double freq) {
    core::AppState& st = p.st;
    if (flag != 0) {
        st.freq = std::min(freq >= st.minimum_freq ? freq : st.minimum_freq, st.maximumfreq);
        instrument::SetRelays(p, 1);
        st.ConstantFreqMode = 1;
        st.PortBMode = 0;
        instrument::MeasurePoint(p, true);
    } else {
        st.ConstantFreqMode = 0;
        instrument::SetRelays(p, 0);
    }
    return st.LastError;
}

std::string GetVersion(core::Program& p) {
    Identify(p);
    if (p.st.LastError != 0 || p.st.IdentState != 1) {
        return std::to_string(VersionNotAvailable);
    }
    return p.st.VersionText;
}

double GetTemperature(core::Program& p, int flag) {
    core::AppState& st = p.st;
    const double degF = instrument::ReadTemperature(p);
    if (st.LastError != 0) {
        return st.LastError;
    }
    return flag != 0 ? degF : (degF + 40) * 5 / 9 - 40;
}

void IdentifyForCalFile(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.instrument_id.empty() || !p.serial.isOpen()) {
        return;
    }
    Identify(p);
    // What the identification reported is not the code of the load that follows.
    st.InstrumentPresent = 1;
    st.LastError = 0;
}

} // namespace vna::extctl
