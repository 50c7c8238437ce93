#include "scope/array_scan.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "cal/cal_file.h"
#include "cal/cal_session.h"
#include "core/delay.h"
#include "core/program.h"
#include "instrument/status_text.h"
#include "measure/sweep.h"
#include "measure/sweep_common.h"

namespace vna::scope {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double DegreesPerRadian = 180 / Pi;

// The cal file of channel k made the one in force, as a load from the menu would (a custom cal
// file sets the limits while the array scan runs). False, with the load's message shown, when it
// is refused.
bool LoadChannel(core::Program& p, const std::string& calFile, int k) {
    p.st.cal_file = ChannelCalFile(calFile, k);
    cal::LoadCalFile(p, 0);
    return p.st.LastError == 0 && p.st.portb_cal_ok;
}

std::string NoChannel(int channel) {
    return "There is no MUX channel " + std::to_string(channel) + ": the channels are 1 to " +
           std::to_string(ChannelCount) + ".";
}

// The unwrapped relative phases of a channel's sweep, for its delay.
struct PhaseTrack {
    std::vector<double> freq;
    std::vector<double> deg;
    std::vector<double> db;
    void add(double f, double d, double level) {
        if (!deg.empty()) {
            d += 360 * std::round((deg.back() - d) / 360);
        }
        freq.push_back(f);
        deg.push_back(d);
        db.push_back(level);
    }
};

} // namespace

double DelayFromSlope(double slopeDegPerMHz) {
    // 360 degrees per MHz is 1 microsecond.
    return -slopeDegPerMHz / 360 * 1000;
}

double Slope(const double* x, const double* y, int n) {
    if (n < 2) {
        return 0;
    }
    double mx = 0;
    double my = 0;
    for (int i = 0; i < n; ++i) {
        mx += x[i];
        my += y[i];
    }
    mx /= n;
    my /= n;
    double sxy = 0;
    double sxx = 0;
    for (int i = 0; i < n; ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
    }
    return sxx > 0 ? sxy / sxx : 0;
}

std::string ChannelSweepLine(int channel, const ChannelSweep& c) {
    char buf[160];
    if (!c.done) {
        std::snprintf(buf, sizeof buf, "Chan %d: %s", channel, c.problem.c_str());
    } else {
        std::snprintf(buf, sizeof buf, "Chan %d: %7.2f dB %7.1f deg  delay %7.3f ns", channel, c.meanDb,
                      c.centreDeg, c.delayNs);
    }
    return buf;
}

ArrayScanResult ArrayScan(core::Program& p) {
    core::AppState& st = p.st;
    ArrayScanResult result;
    if (!core::RequireHardware(p)) {
        return result;
    }
    const std::string calFile = st.cal_file;
    const ChannelCals cals = ReadChannelCals(p, calFile);
    std::vector<int> all;
    for (int k = 1; k <= ChannelCount; ++k) {
        all.push_back(k);
    }
    if (const std::string missing = MissingChannels(cals, all); !missing.empty()) {
        if (!cals.channel[1].present) {
            p.ui.message(missing +
                             "\r\nThe array scan needs channel 1, the reference. Run \"Cal MultiChannel\" "
                             "or load a channel's cal file.",
                         " Array Scan");
            for (int k = 1; k <= ChannelCount; ++k) {
                result.channel[static_cast<std::size_t>(k)].problem = "no cal file";
            }
            return result;
        }
        p.ui.message(missing + "\r\nThe other channels are scanned.", " Array Scan");
    }

    cal::PreviousCal previous = cal::RememberCal(p);
    st.ArrayScanRunning = 1;
    st.PortB_on = 1;
    // The reference of every point: channel 1's linear S21 and phase.
    std::vector<double> refLin;
    std::vector<double> refPhase;
    for (int k = 1; k <= ChannelCount && !result.stopped; ++k) {
        ChannelSweep& out = result.channel[static_cast<std::size_t>(k)];
        if (!cals.channel[static_cast<std::size_t>(k)].present) {
            out.problem = "no cal file";
            continue;
        }
        if (k > 1 && !result.channel[1].done) {
            out.problem = "not scanned: channel 1, the reference, has no scan";
            continue;
        }
        if (!LoadChannel(p, calFile, k)) {
            out.problem = "its cal file was refused";
            continue;
        }
        PrepareChannelReadings(p);
        out.problem = CheckChannelSignal(p, k, (st.start_freq + st.end_freq) / 2);
        if (!out.problem.empty()) {
            continue;
        }
        PhaseTrack track;
        const measure::PointAdjust relative = [&](int i, double& db, double& phase) {
            const auto at = static_cast<std::size_t>(i);
            if (k == 1) {
                if (refLin.size() <= at) {
                    refLin.resize(at + 1);
                    refPhase.resize(at + 1);
                }
                refLin[at] = std::pow(10.0, db / 20);
                refPhase[at] = phase;
                db = 0;
                phase = 0;
            } else if (at < refLin.size() && refLin[at] > 0) {
                db = 20 * std::log10(std::pow(10.0, db / 20) / refLin[at]);
                phase = std::remainder(phase - refPhase[at], 2 * Pi);
            }
            track.add(st.freq, phase * DegreesPerRadian, db);
        };
        st.SweepRunning = 0;
        const int points = measure::sweepPortB(p, 0, relative);
        const int expected = measure::sweep_detail::SweepPoints(p, 0, true);
        if (points == 0) {
            out.problem = "the sweep measured no point (error " + std::to_string(st.LastError) + ")";
            continue;
        }
        out.done = true;
        out.points = points;
        const int n = static_cast<int>(track.deg.size());
        out.delayNs = k == 1 ? 0 : DelayFromSlope(Slope(track.freq.data(), track.deg.data(), n));
        double sum = 0;
        for (double d : track.db) {
            sum += d;
        }
        out.meanDb = n > 0 ? sum / n : 0;
        out.centreDeg = n > 0 ? WrapDegrees(track.deg[static_cast<std::size_t>(n / 2)]) : 0;
        result.ran = true;
        if (points < expected && st.LastError == 0) {
            result.stopped = true;
        }
    }
    st.ArrayScanRunning = 0;
    cal::RestorePreviousCal(p, previous, cal::Limits::Keep);
    // The graph holds the last channel's relative scan; the figures of every channel go beside it.
    int y = p.display.g.box.top + 10;
    for (int k = 1; k <= ChannelCount; ++k) {
        measure::sweep_detail::GraphNote(p, p.display.g.box.left + 10, y,
                                         ChannelSweepLine(k, result.channel[static_cast<std::size_t>(k)]),
                                         instrument::NormalTextColor);
        y += 16;
    }
    return result;
}

bool ChannelScan(core::Program& p, int channel) {
    core::AppState& st = p.st;
    if (channel < 1 || channel > ChannelCount) {
        p.ui.message(NoChannel(channel), " Channel Scan");
        return false;
    }
    if (!core::RequireHardware(p)) {
        return false;
    }
    const std::string calFile = st.cal_file;
    const ChannelCals cals = ReadChannelCals(p, calFile);
    if (const std::string missing = MissingChannels(cals, {channel}); !missing.empty()) {
        p.ui.message(missing + "Run \"Cal MultiChannel\" first.", " Channel Scan");
        return false;
    }
    cal::PreviousCal previous = cal::RememberCal(p);
    bool ok = LoadChannel(p, calFile, channel);
    if (ok) {
        PrepareChannelReadings(p);
        if (const std::string problem = CheckChannelSignal(p, channel, (st.start_freq + st.end_freq) / 2);
            !problem.empty()) {
            ok = false;
            cal::RestorePreviousCal(p, previous, cal::Limits::Keep);
            p.ui.message(problem, " Channel Scan");
            return false;
        }
        st.PortB_on = 1;
        ok = measure::sweepPortB(p) > 0;
    }
    // The channel's sweep stays on the graph; the cal file in force is the one before.
    cal::RestorePreviousCal(p, previous, cal::Limits::Keep);
    return ok;
}

} // namespace vna::scope
