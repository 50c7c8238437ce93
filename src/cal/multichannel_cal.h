#pragma once

#include <vector>

#include "core/cal_table.h"

namespace vna::core {
struct Program;
}

// The multichannel calibration of the six-way MUX: after the relay contacts are cleaned, the line
// of channel 1 is calibrated as the reference, then the lines of channels 2 to 6 one after the
// other (the user ends the list with "No"), each either referred to channel 1 or independent. Every
// channel gets a cal file of its own ("name.chan1" .. "name.chan6") holding the Port A data in force,
// a through table and the reference values of all channels calibrated. The through table of a
// channel referred to channel 1 is channel 1's, so that what the array scope shows of it is how it
// differs from channel 1; an independent channel's file holds its own line's table.
namespace vna::cal {

// How often the contacts are cycled through the six channels before the calibration.
inline constexpr int ContactCleaningRounds = 5;
// A wiping cycle: each channel is held this long.
inline constexpr int ContactCleaningHoldMs = 20;

// One channel's through table, as measured.
struct ChannelTable {
    int channel = 0;
    bool independent = false;
    std::vector<core::BCalPoint> table;
};

// The low-range ratio and phase of a table at f, interpolated between the two records around it
// (the first or last record outside the table).
void ThroughAt(const std::vector<core::BCalPoint>& table, double f, double& ratio, double& phase);

// The reference values of the channels after the first: channel k's ratio and phase against
// channel 1 at frequency f go into entry k - 1; an independent channel keeps 0 and 0.
void ChannelReferences(const std::vector<ChannelTable>& channels, double f, core::CalTable& t);

// The menu's "Cal MultiChannel". True when the channels' cal files were written.
bool CalMultiChannel(core::Program& p);

} // namespace vna::cal
