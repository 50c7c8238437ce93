#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/cal_table.h"

namespace vna::core {
struct Program;
}

// The six MUX channels of a phased array as the array scope sees them: each channel's Port B data
// from its cal file, the switching of the MUX with a check that it did switch, and one round of
// readings of every channel at one frequency, relative to channel 1.
namespace vna::scope {

inline constexpr int ChannelCount = 6;
// A channel whose reading lies less than this above the open MUX's (dB) carries no signal: the
// MUX did not switch to it, or nothing is connected to it.
inline constexpr double MinAboveOpenDb = 20;
// The MUX relays settle within this time after a switch (ms).
inline constexpr int MuxSettleMs = 20;

// One channel's Port B data, for the correction of its readings.
struct ChannelCal {
    std::string file;         // the cal file it belongs to
    bool present = false;     // the file was read and has Port B data
    bool independent = false; // not referred to channel 1: its own line is taken out of its readings
    std::vector<core::BCalPoint> table;
};

// The data of channels 1..6 (index 0 unused).
struct ChannelCals {
    std::array<ChannelCal, ChannelCount + 1> channel;
    // "x.chan1" .. "x.chan6" were looked for; false: one cal file serves every channel.
    bool perChannel = false;
};

// Channel k's cal file for the cal file `calFile`: a multichannel file "x.chanN" gives "x.chank";
// any other file serves every channel itself.
std::string ChannelCalFile(const std::string& calFile, int k);
bool IsChannelCalFile(const std::string& calFile);

// Reads the Port B data of every channel from the files belonging to `calFile`, leaving the
// calibration in force alone. A channel without a usable file is not present.
ChannelCals ReadChannelCals(core::Program& p, const std::string& calFile);
// "MUX channel 4 has no cal file (/x/array.chan4)." lines for the channels of `wanted` (1..6) that
// are missing; empty when all are there.
std::string MissingChannels(const ChannelCals& cals, const std::vector<int>& wanted);

// Makes channel c's through data the Port B data in force (nothing when c has none).
void UseChannelCal(core::Program& p, const ChannelCal& c);

// The Port B data in force, put back when this goes: the channels' data replaces it while they are
// measured.
class KeepPortBData {
public:
    explicit KeepPortBData(core::Program& p);
    ~KeepPortBData();
    KeepPortBData(const KeepPortBData&) = delete;
    KeepPortBData& operator=(const KeepPortBData&) = delete;

private:
    core::Program& p_;
    ChannelCal kept_;
};

// Switches the MUX to `channel` (0..6) by way of channel 0, so that a MUX that refuses the switch
// is left open rather than on the channel before, where its readings would pass for this one's;
// then waits for the relays. False when the expansion port did not answer (its message shown).
bool SelectChannel(core::Program& p, int channel);

// One channel's reading at the scope's frequency.
struct ChannelReading {
    bool ok = false;
    double db = 0;     // S21, corrected with the channel's own data
    double deg = 0;    // its phase
    double relDb = 0;  // against channel 1 (channels 2..6, when both have readings)
    double relDeg = 0; // -180 .. 180
    bool relative = false;
    bool independent = false; // its own line is taken out (its cal file is not referred to channel 1)
    std::string problem;      // why there is no reading, for the display
};

struct ScopeRound {
    double freq = 0;
    bool openOk = false;
    double openDb = 0; // the MUX open: what a channel that is not connected reads
    std::array<ChannelReading, ChannelCount + 1> channel;
    // The instrument failed (no reply, a damaged reading): the round is not usable.
    int error = 0;
};

// One round of readings at `freq` MHz: the open MUX, then every channel with data, each corrected
// with its own data; channels 2..6 relative to channel 1. The relays must be on. The Port B data
// in force is channel 1's afterwards.
ScopeRound ReadChannels(core::Program& p, const ChannelCals& cals, double freq);

// Switches to `channel` and checks at `freq` MHz that it carries more signal than the open MUX.
// Empty when it does (the MUX left on the channel), else why not. The relays must be on.
std::string CheckChannelSignal(core::Program& p, int channel, double freq);

// Relays on, the amplitude, averaging and gains sent: the instrument ready for ReadChannels.
void PrepareChannelReadings(core::Program& p);

// A phase in degrees brought into -180 .. 180.
double WrapDegrees(double deg);

} // namespace vna::scope
