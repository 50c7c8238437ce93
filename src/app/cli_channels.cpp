// vna-cli channels: the MUX channels 2..6 against channel 1 at one frequency, as the vector scope
// shows them.

#include <cstdio>
#include <string>

#include "app/cli.h"
#include "cal/cal_file.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "scope/channels.h"

namespace vna::app {

int PrintChannels(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    const std::string calFile = o.calFile.empty() ? st.cal_file : o.calFile;
    if (calFile.empty()) {
        std::fprintf(err, "vna-cli: error %d: no cal file: name channel 1's with --cal\n",
                     cal::CalFileNotFound);
        return 1;
    }
    const scope::ChannelCals cals = scope::ReadChannelCals(p, calFile);
    const std::string first = scope::ChannelCalFile(calFile, 1);
    if (!cals.channel[1].present) {
        std::fprintf(
            err, "vna-cli: error %d: MUX channel 1, the reference, has no cal file with Port B data (%s)\n",
            cal::CalFileNotFound, first.c_str());
        return 1;
    }
    // Channel 1's file brings the amplitude and gains the channels were calibrated with.
    if (cal::VNA_LoadCalFile(p, first.c_str()) != 0) {
        std::fprintf(err, "vna-cli: error %d: the cal file %s cannot be used with this instrument\n",
                     st.LastError, first.c_str());
        return 1;
    }
    if (o.average > 0) {
        st.average = o.average;
    }
    scope::PrepareChannelReadings(p);
    const scope::ScopeRound round = scope::ReadChannels(p, cals, o.freq);
    st.Measuring = 0;
    instrument::SetRelays(p, 0);
    instrument::SetExpansionPort(p, 1);
    if (round.error != 0) {
        std::fprintf(err, "vna-cli: error %d: the readings at %.6f MHz failed\n", round.error, o.freq);
        return 1;
    }
    std::fprintf(out, "frequency:   %.6f MHz, MUX channels against channel 1\n", round.freq);
    std::fprintf(out, "MUX open:    %.2f dB\n", round.openDb);
    if (!round.channel[1].ok) {
        std::fprintf(err, "vna-cli: error 1: MUX channel 1, the reference: %s\n",
                     round.channel[1].problem.c_str());
        return 1;
    }
    std::fprintf(out, "chan 1:      %.3f dB (the reference)\n", round.channel[1].db);
    int failed = 0;
    for (int k = 2; k <= scope::ChannelCount; ++k) {
        const scope::ChannelReading& c = round.channel[static_cast<std::size_t>(k)];
        if (c.relative) {
            std::fprintf(out, "chan %d:   %8.3f dB %8.2f deg\n", k, c.relDb, c.relDeg);
        } else if (!cals.channel[static_cast<std::size_t>(k)].present) {
            std::fprintf(out, "chan %d:      no cal file\n", k);
            std::fprintf(err, "vna-cli: MUX channel %d has no cal file with Port B data (%s): not measured\n",
                         k, cals.channel[static_cast<std::size_t>(k)].file.c_str());
        } else {
            ++failed;
            std::fprintf(out, "chan %d:      %s\n", k, c.problem.c_str());
        }
    }
    if (failed > 0) {
        std::fprintf(err, "vna-cli: error 1: %d channel%s with a cal file gave no reading\n", failed,
                     failed == 1 ? "" : "s");
        return 1;
    }
    return 0;
}

} // namespace vna::app
