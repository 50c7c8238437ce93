#pragma once

#include <string>

namespace vna::core {
struct Program;
}

// What the exported functions of libvnactl do, over one program state: the host program sets up
// the link, takes single points, switches the relays, holds a constant frequency and reads the
// version and the temperature. The C functions of vna_control.h call these; the tests call them
// directly on the simulated unit.
namespace vna::extctl {

// Codes of the exported functions besides the instrument's own (10 no data, 17 reference or
// supply, 27 and 29 flash, 1274 RF overload).
inline constexpr int PortClosed = 34503;
inline constexpr int VersionNotAvailable = 34506;
inline constexpr int PortNotCalibrated = 34519;
inline constexpr int SyncNotSupported = 34524;

// Around the work of every exported function: `ExternalCall` is 1 for its duration, and the
// instrument counts as present (a host talks to it whatever an earlier query concluded). The
// code of each call is about that call alone, so `LastError` starts at 0.
class ExternalCallScope {
public:
    explicit ExternalCallScope(core::Program& p);
    ~ExternalCallScope();
    ExternalCallScope(const ExternalCallScope&) = delete;
    ExternalCallScope& operator=(const ExternalCallScope&) = delete;

private:
    core::Program& p_;
};

// VNA_InitVars: every setting back to its default.
int InitVars(core::Program& p);
// VNA_Sync: the sync pulse mode when the instrument supports it (known after a full
// identification), else 0 and SyncNotSupported.
int Sync(core::Program& p, int mode);
// VNA_ScanPointA: one Port A point at `freq` MHz. Mode 1 gives the Rs and Xs of this point
// corrected with the loaded cal data (PortNotCalibrated without them); any other mode the raw Rs
// and Xs. Mode 2 and above also need the cal, as the host's modes always have. The outputs are
// written only when the code is 0; a null pointer is skipped. No reading is taken at 4 kHz or
// below (code 10).
int ScanPointA(core::Program& p, int mode, double freq, double* first, double* second);
// VNA_ScanPointB: one Port B point at `freq` MHz, ranged like a sweep's point: S21 in dB and its
// phase in radians, corrected with the Port B cal data in mode 1, uncorrected in the other modes.
int ScanPointB(core::Program& p, int mode, double freq, double* first, double* second);
// VNA_AvgReadings: readings per point, 1 to the instrument's largest averaging (1024).
int AvgReadings(core::Program& p, int count);
// VNA_CommPort: with `open` the port numbered `port` (1 for 0 or less; the device named by
// VNA_SERIAL instead, when set) is opened at 57600 baud and the instrument identified on it; a
// number above 65000 is refused ("Comm port must between 1 and 65000", code 10). Without `open`
// the port is closed: PortClosed when it was open, 0 when it was not. When the code is then 0 the
// auto power-off is switched off. `baud` is not used.
int CommPort(core::Program& p, int open, int port, int baud);
// VNA_ProgRelay: both relays on (nonzero) or off; ends a constant frequency.
int ProgRelay(core::Program& p, int flag);
// VNA_ConstantFreq: with `flag` the source holds `freq` (limited to the instrument's range) with
// relay 1 on, without it the relays go off.
int ConstantFreq(core::Program& p, int flag, double freq);
// VNA_GetVersion: the version query; the version text with the instrument's ID, or "34506" when
// the instrument did not answer.
std::string GetVersion(core::Program& p);
// VNA_GetTemperature: the board temperature in degF (`flag` nonzero) or degC; 88.88 degF (31.6
// degC) without a sensor; the code as a number when the reading failed.
double GetTemperature(core::Program& p, int flag);
// Before a cal file is checked against the attached instrument: when its ID is not known yet, the
// instrument is identified as the start-up does (version query, then the date code or the serial
// number), so that the file of another unit is refused.
void IdentifyForCalFile(core::Program& p);

} // namespace vna::extctl
