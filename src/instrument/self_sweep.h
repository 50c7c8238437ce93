#pragma once

#include <cstdint>
#include <functional>

#include "instrument/protocol.h"

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// The exchanges of the two modes in which the instrument sweeps by itself: the band scan, which
// streams one level per step against an acknowledge for each, and the sweep generator, which
// sweeps its source until it is told to stop. What the levels mean, and the texts on the graph,
// belong to the measurement above.
namespace vna::instrument {

// Patience of one band scan pass. A silent instrument ends it after this many empty reads (about
// 50 s), a stream that never brings its end marker after this many levels.
inline constexpr int BandScanEmptyReadLimit = 50000;
inline constexpr int BandScanSampleLimit = 10000;
// The end marker ends a pass only after this many levels: among the first ones it is a level.
inline constexpr int BandScanMarkerIgnored = 15;

enum class BandScanEnd {
    EndMarker,   // the instrument ended the scan
    Silent,      // no byte for BandScanEmptyReadLimit empty reads
    NoEndMarker, // more than BandScanSampleLimit levels
    Stopped,     // the running test failed (Halt, a key or a click, the program ending)
};

struct BandScanResult {
    BandScanEnd end = BandScanEnd::Stopped;
    int levels = 0; // levels received and acknowledged
    int emptyReads = 0;
};

// "N" + start word, end word, step word (the tuning words of the three frequencies in MHz,
// nudge 0), after the input waiting on the line was dropped.
void SendBandScanSetup(core::Program& p, double start, double end, double step);

// Reads the levels of a pass one byte at a time, two bytes (high first) to a level, and hands each
// level to `onLevel` (its index from 0) before acknowledging it. Ends at the end marker after the
// first BandScanMarkerIgnored levels, at the limits above, or when `running` turns false; it is
// asked before every byte. The window messages are processed after every 100 empty reads and every
// 100 levels, so Halt can arrive while the levels stream.
BandScanResult ReadBandScanLevels(core::Program& p, const std::function<bool()>& running,
                                  const std::function<void(int index, std::uint16_t value)>& onLevel);

// Takes the instrument out of the band scan: three leave bytes 10 ms apart, then one version query
// (with the diagnostic display off) that drops whatever was still on its way and brings the link
// back in step. `LastError` is the query's: 10 when the instrument did not answer.
void LeaveBandScan(core::Program& p);

// "Z2": the instrument starts the sweep set up before.
void StartSweepGenerator(core::Program& p);
// The stop byte and "Z3": the instrument ends its sweep.
void StopSweepGenerator(core::Program& p);

} // namespace vna::instrument
