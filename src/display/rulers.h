#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/scan_arrays.h"
#include "display/markers.h"

namespace vna::core {
struct Program;
}

// The bandwidths measured from the cursor against the rulers: the SWR bandwidth of Port A
// ("Antenna Bandwidth") and the bandwidths at the two S21 rulers of Port B ("Filter Bandwidth")
// with shape factor and symmetry, their marks on the graph and their messages. The computations
// are pure, so vna-cli prints the same texts as the message boxes.
namespace vna::display {

// A message box's text and caption.
struct Message {
    std::string text;
    std::string caption;
};

// Where the S21 trace crosses `level` on either side of point c. status 0: both found; 1: the
// lower crossing is missing, 2: the upper one. A point equal to the level counts as inside a
// notch (the passband search needs S21 above the level).
struct Crossings {
    double fLow = 0;
    double fHigh = 0;
    int status = 0;
};
Crossings FindCrossings(const core::ScanArray& s21, const ScanGrid& g, int c, double level);

struct RulerBandwidthResult {
    bool measured = false;          // at least one ruler gave a bandwidth
    std::vector<Message> failures;  // the crossing messages, in order
    Message message;                // " Bandwidth Data", or " Bandwidth error"
    std::array<Crossings, 2> ruler; // F1, F2 and F3, F4
    std::array<bool, 2> found{};
    double shapeFactor = 0; // both rulers found
    double symmetry = 0;
    int status = 0; // 0, or 1..4 as the crossing status
};
RulerBandwidthResult RulerBandwidth(const core::ScanArray& s21, const ScanGrid& g, int c, bool on1,
                                    double level1, bool on2, double level2);

struct SwrBandwidthResult {
    bool measured = false; // the bandwidth was found (no note, no refusal)
    Message message;       // the message box the program shows
    double ruler = 0;      // the SWR level used
    double fLow = 0;
    double fHigh = 0;
    double minSwr = 0;
    double minFreq = 0;
};
// The SWR bandwidth around point c: the ruler `swrRuler` (2 when below 1.01).
SwrBandwidthResult SwrBandwidth(const core::ScanArray& swr, const ScanGrid& g, int c, double swrRuler);

// Index of the lowest SWR (the first of equal ones) and of the highest S21 of a scan.
int LowestPoint(const core::ScanArray& a, const ScanGrid& g);
int HighestPoint(const core::ScanArray& a, const ScanGrid& g);
// The point nearest `mhz` on the grid, limited to the scan.
int NearestPoint(const ScanGrid& g, double mhz);

// "Antenna Bandwidth" (Port A): the SWR bandwidth from the cursor (the lowest SWR before the cursor
// has been on the graph), drawn and shown; the cursor drag ends.
void AntennaBandwidth(core::Program& p);
// "Filter Bandwidth" (Port B): the ruler bandwidths from the cursor (the highest S21 before the
// cursor has been on the graph), the crossings marked and the data shown.
void FilterBandwidth(core::Program& p);

} // namespace vna::display
