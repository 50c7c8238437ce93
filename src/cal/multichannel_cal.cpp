#include "cal/multichannel_cal.h"

#include <cmath>
#include <string>

#include "cal/cal_file.h"
#include "cal/cal_session.h"
#include "cal/portb_cal.h"
#include "core/delay.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/commands.h"

namespace vna::cal {

using core::BCalPoint;
using core::CalTable;

namespace {

using platform::Answer;
using platform::Buttons;

constexpr double Pi = 3.141592654;
constexpr double TwoPi = 6.283185308;

std::string Digit(int k) {
    return core::NumText(k, 0).substr(1);
}

} // namespace

void ThroughAt(const std::vector<BCalPoint>& table, double f, double& ratio, double& phase) {
    ratio = 0;
    phase = 0;
    if (table.empty()) {
        return;
    }
    std::size_t i = 0;
    while (i < table.size() && table[i].freq <= f) {
        ++i;
    }
    if (i == 0 || i == table.size()) {
        const BCalPoint& b = i == 0 ? table.front() : table.back();
        ratio = b.lowMag;
        phase = b.lowPhase;
        return;
    }
    const BCalPoint& a = table[i - 1];
    const BCalPoint& b = table[i];
    const double t = (f - a.freq) / (b.freq - a.freq);
    ratio = a.lowMag + t * (b.lowMag - a.lowMag);
    phase = a.lowPhase + t * (b.lowPhase - a.lowPhase);
}

void ChannelReferences(const std::vector<ChannelTable>& channels, double f, CalTable& t) {
    t.chan_ref_mag.fill(0);
    t.chan_ref_phase.fill(0);
    if (channels.empty()) {
        return;
    }
    double refRatio = 0;
    double refPhase = 0;
    ThroughAt(channels.front().table, f, refRatio, refPhase);
    for (const ChannelTable& c : channels) {
        if (c.channel < 2 || c.channel > 6 || c.independent || refRatio == 0) {
            continue;
        }
        double ratio = 0;
        double phase = 0;
        ThroughAt(c.table, f, ratio, phase);
        double d = phase - refPhase;
        while (d > Pi) {
            d -= TwoPi;
        }
        while (d <= -Pi) {
            d += TwoPi;
        }
        const auto k = static_cast<std::size_t>(c.channel - 1);
        t.chan_ref_mag[k] = ratio / refRatio;
        t.chan_ref_phase[k] = d;
    }
}

bool CalMultiChannel(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.porta_cal_ok) {
        p.ui.message("A valid calibration file must be loaded first.", " No valid cal file");
        return false;
    }
    PreviousCal prev = RememberCal(p);
    auto end = [&]() {
        RestorePreviousCal(p, prev, Limits::Keep);
        return prev.saved;
    };
    st.SweepRunning = 1;

    // Relay contacts that have not moved for a while carry a film that adds loss and phase; a few
    // switching cycles wipe it before the lines are measured.
    CalStatusLine(p, 100, 200, "CLEANING RELAY CONTACTS...");
    for (int round = 0; round < ContactCleaningRounds; ++round) {
        for (int ch = 1; ch <= 6; ++ch) {
            if (!instrument::SetExpansionPort(p, ch)) {
                return end();
            }
            core::Delay(p, ContactCleaningHoldMs);
        }
    }

    std::vector<ChannelTable> channels;
    auto calibrate = [&](int channel, bool prompt) {
        st.multichan_number = channel;
        if (!instrument::SetExpansionPort(p, channel)) {
            return false;
        }
        PortBCalOptions o;
        o.channel = channel;
        o.prompt = prompt;
        if (!RunPortBCal(p, o)) {
            return false;
        }
        ChannelTable c;
        c.channel = channel;
        c.table.assign(p.cal.bcal.begin(), p.cal.bcal.begin() + p.cal.bcal_points);
        channels.push_back(std::move(c));
        return true;
    };
    if (!calibrate(1, true)) {
        return end();
    }
    for (int k = 2; k <= 6; ++k) {
        const std::string n = Digit(k);
        const Answer go = p.ui.message("Be sure Line " + n + " is connected to MUX Chan " + n + "." +
                                           "\r\n\r\n   Click 'NO' to finish the cal procedure.",
                                       "Chan " + n, Buttons::YesNo);
        if (go != Answer::Yes) {
            break;
        }
        const bool independent =
            p.ui.message("Is Chan " + n +
                             " an independent channel?\r(Yes: This channel is not referenced "
                             "to channel 1.)",
                         "Independent channel", Buttons::YesNo) == Answer::Yes;
        if (!calibrate(k, false)) {
            return end();
        }
        channels.back().independent = independent;
    }

    // The references are taken in the middle of the present sweep, where the array is used.
    ChannelReferences(channels, (st.start_freq + st.end_freq) / 2, p.cal);
    for (const ChannelTable& c : channels) {
        // A channel referred to channel 1 is corrected with the reference line's data, so its
        // readings show how its line differs from channel 1's; an independent channel's own line
        // is taken out of its readings.
        const ChannelTable& source = c.independent ? c : channels.front();
        for (std::size_t i = 0; i < source.table.size(); ++i) {
            p.cal.bcal[i] = source.table[i];
        }
        p.cal.bcal_points = static_cast<int>(source.table.size());
        st.portb_cal_ok = 1;
        st.multichan_number = c.channel;
        if (!SaveCalFile(p)) {
            ShowCalDataNotSaved(p);
            return end();
        }
    }
    prev.saved = true;
    // Channel 1, the reference, is the calibration in force afterwards.
    SetCalFileName(st, ChannelCalFileName(st.calSaveName, 1));
    st.multichan_number = 0;
    instrument::SetExpansionPort(p, 1);
    p.ui.message("Multichannel cal for" + core::NumText(static_cast<double>(channels.size()), 0) +
                     " channels is complete.",
                 "Multichan Cal Complete");
    return end();
}

} // namespace vna::cal
