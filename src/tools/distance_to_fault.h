#pragma once

#include <string>

namespace vna::core {
struct Program;
}

// Distance to fault: the frequency at which an open or shorted cable at Port A is a quarter
// wavelength long, found where the impedance phase changes its sign, and from it the length of
// the cable and, at half that frequency, its impedance.
namespace vna::tools {

// The first sign change of the impedance phase from `start` MHz: steps that grow by 1.5 from
// `step`, at most 150 of them and not past `stop`, then a bisection of the last step down to
// 0.00006 MHz. Readings through measure::TakePointReading (the relays must be on).
struct PhaseSearch {
    bool ok = false;     // a reading succeeded at every step
    int error = 0;       // the reading's code when one failed
    bool found = false;  // a sign change was bracketed
    double freq = 0;     // the sign change (MHz)
    double previous = 0; // the last frequency before it
    double maxPhase = 0; // the largest |phase| of the stepping (degrees)
};
PhaseSearch FindPhaseSignChange(core::Program& p, double start, double step, double stop);

enum class DtfStatus { Ok, ReadingFailed, Lossy, NoSignChange, Stopped };

struct DtfResult {
    DtfStatus status = DtfStatus::Stopped;
    int error = 0;
    double maxPhase = 0;    // degrees, of the coarse search
    double quarterWave = 0; // MHz
    double metres = 0;
    double feet = 0;
    double zo = 0; // |Z| at half the quarter-wave frequency
};

// The measurement without its dialogs: the velocity factor given, the scan limits set to 0.2 ..
// 180 MHz in 0.2 MHz steps with interpolation for its length, then put back with the averaging.
// The coarse search starts at 0.2 MHz; below 6 MHz it is repeated with a finer step.
DtfResult MeasureDistanceToFault(core::Program& p, double vf);

// The text of the message for a result ("Quarter wavelength (90 deg) =" ... or the reason it
// failed), and its caption.
std::string DtfMessage(const DtfResult& r, std::string* caption = nullptr);

// "Distance to Fault": the checks, the explanation, the velocity factor, the measurement and its
// message.
void DistanceToFault(core::Program& p);

} // namespace vna::tools
