#include "scope/channels.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "cal/cal_file.h"
#include "core/delay.h"
#include "core/path_split.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "measure/averaging.h"
#include "measure/sweep.h"

namespace vna::scope {

namespace {

constexpr double DegreesPerRadian = 180 / 3.14159265358979323846;

} // namespace

bool IsChannelCalFile(const std::string& calFile) {
    const std::string name = core::SplitPath(calFile).name;
    const std::size_t pos = name.rfind(".chan");
    return pos != std::string::npos && pos + 6 == name.size() && name[pos + 5] >= '1' && name[pos + 5] <= '6';
}

std::string ChannelCalFile(const std::string& calFile, int k) {
    return IsChannelCalFile(calFile) ? cal::ChannelCalFileName(calFile, k) : calFile;
}

ChannelCals ReadChannelCals(core::Program& p, const std::string& calFile) {
    ChannelCals cals;
    cals.perChannel = IsChannelCalFile(calFile);
    const int error = p.st.LastError;
    auto table = std::make_unique<core::CalTable>();
    for (int k = 1; k <= ChannelCount; ++k) {
        ChannelCal& c = cals.channel[static_cast<std::size_t>(k)];
        c.file = ChannelCalFile(calFile, k);
        if (k > 1 && !cals.perChannel) {
            // One file for every channel: read once.
            const std::string file = c.file;
            c = cals.channel[1];
            c.file = file;
            continue;
        }
        if (!cal::ReadCalFile(p, c.file, *table) || table->bcal_points < 1) {
            continue;
        }
        c.present = true;
        // The multichannel cal leaves the references of an independent channel at 0; in a file
        // of its own every channel is its own reference.
        c.independent = cals.perChannel && k > 1 && table->chan_ref_mag[static_cast<std::size_t>(k - 1)] == 0;
        c.table.assign(table->bcal.begin(), table->bcal.begin() + table->bcal_points);
    }
    p.st.LastError = error;
    return cals;
}

std::string MissingChannels(const ChannelCals& cals, const std::vector<int>& wanted) {
    std::string text;
    for (int k : wanted) {
        if (k < 1 || k > ChannelCount) {
            continue;
        }
        const ChannelCal& c = cals.channel[static_cast<std::size_t>(k)];
        if (!c.present) {
            text += "MUX channel " + std::to_string(k) + " has no cal file with Port B data (" + c.file +
                    ").\r\n";
        }
    }
    return text;
}

void UseChannelCal(core::Program& p, const ChannelCal& c) {
    if (!c.present) {
        return;
    }
    const std::size_t n = std::min(c.table.size(), static_cast<std::size_t>(core::CalCapacity));
    std::copy_n(c.table.begin(), n, p.cal.bcal.begin());
    p.cal.bcal_points = static_cast<int>(n);
}

KeepPortBData::KeepPortBData(core::Program& p) : p_(p) {
    const int m = std::clamp(p.cal.bcal_points, 0, core::CalCapacity);
    kept_.present = true;
    kept_.table.assign(p.cal.bcal.begin(), p.cal.bcal.begin() + m);
}

KeepPortBData::~KeepPortBData() {
    UseChannelCal(p_, kept_);
}

bool SelectChannel(core::Program& p, int channel) {
    if (channel != 0 && !instrument::SetExpansionPort(p, 0)) {
        return false;
    }
    if (!instrument::SetExpansionPort(p, channel)) {
        return false;
    }
    core::Delay(p, MuxSettleMs);
    return true;
}

void PrepareChannelReadings(core::Program& p) {
    core::AppState& st = p.st;
    instrument::SetAmplitude(p, st.DDS_Amplitude);
    // The instrument sums the readings it is told to; without the set-up it keeps whatever the
    // last user of the link left, and a single summed reading can overload the level scale.
    measure::ApplyAveraging(p, st.average);
    instrument::SendGains(p);
    instrument::SetRelays(p, 3);
}

double WrapDegrees(double deg) {
    deg = std::remainder(deg, 360.0);
    return deg <= -180 ? deg + 360 : deg;
}

std::string CheckChannelSignal(core::Program& p, int channel, double freq) {
    core::AppState& st = p.st;
    double open = 0;
    double db = 0;
    double phase = 0;
    const std::string k = std::to_string(channel);
    st.freq = freq;
    if (!SelectChannel(p, 0) || !measure::MeasureS21Point(p, true, open, phase)) {
        return "MUX channel " + k + ": no reading with the MUX open (error " + std::to_string(st.LastError) +
               ").";
    }
    st.freq = freq;
    if (!SelectChannel(p, channel) || !measure::MeasureS21Point(p, true, db, phase)) {
        return "MUX channel " + k + ": no reading (error " + std::to_string(st.LastError) + ").";
    }
    if (db < open + MinAboveOpenDb) {
        return "MUX channel " + k +
               " shows no more signal than the open MUX: the MUX did not switch to it, or nothing is "
               "connected to it.";
    }
    return {};
}

ScopeRound ReadChannels(core::Program& p, const ChannelCals& cals, double freq) {
    core::AppState& st = p.st;
    ScopeRound r;
    r.freq = freq;
    auto read = [&](double& db, double& deg) {
        st.freq = freq;
        double phase = 0;
        if (!measure::MeasureS21Point(p, true, db, phase)) {
            r.error = st.LastError != 0 ? st.LastError : 10;
            return false;
        }
        deg = phase * DegreesPerRadian;
        return true;
    };
    UseChannelCal(p, cals.channel[1]);
    double openDeg = 0;
    if (!SelectChannel(p, 0) || !read(r.openDb, openDeg)) {
        r.error = r.error != 0 ? r.error : 10;
        return r;
    }
    r.openOk = true;
    for (int k = 1; k <= ChannelCount; ++k) {
        const ChannelCal& c = cals.channel[static_cast<std::size_t>(k)];
        ChannelReading& out = r.channel[static_cast<std::size_t>(k)];
        if (!c.present) {
            out.problem = "no cal file";
            continue;
        }
        out.independent = c.independent;
        UseChannelCal(p, c);
        if (!SelectChannel(p, k) || !read(out.db, out.deg)) {
            out.problem = "no reading";
            break;
        }
        if (out.db < r.openDb + MinAboveOpenDb) {
            out.problem = "no signal: the MUX did not switch, or nothing is connected";
            continue;
        }
        out.ok = true;
    }
    UseChannelCal(p, cals.channel[1]);
    const ChannelReading& one = r.channel[1];
    for (int k = 2; k <= ChannelCount && one.ok; ++k) {
        ChannelReading& c = r.channel[static_cast<std::size_t>(k)];
        if (c.ok) {
            c.relDb = c.db - one.db;
            c.relDeg = WrapDegrees(c.deg - one.deg);
            c.relative = true;
        }
    }
    return r;
}

} // namespace vna::scope
