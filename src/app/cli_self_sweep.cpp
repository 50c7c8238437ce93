// vna-cli's band scan and sweep generator: the two modes in which the instrument sweeps by itself.

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/cli.h"
#include "app/cli_stop.h"
#include "commands/startup.h"
#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/program.h"
#include "measure/band_scan.h"
#include "measure/sweep_generator.h"

namespace vna::app {

int BandScanToRows(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    if (o.start < st.minimum_freq || o.stop > st.maximumfreq) {
        return Fail(err, 1,
                    "the band scan lies within" + core::NumText(st.minimum_freq, 3) + " to" +
                        core::NumText(st.maximumfreq, 0) + " MHz");
    }
    // The receiver and the source start where the program's start-up puts them.
    commands::ResetInstrumentSettings(p);
    st.start_freq = o.start;
    st.end_freq = o.stop;
    st.plot_at_zero = 0;
    std::vector<std::pair<double, std::uint16_t>> rows;
    const instrument::BandScanResult r = measure::BandScanPass(
        p, o.high ? 2 : 1, o.step, [&rows](double f, std::uint16_t v) { rows.emplace_back(f, v); });
    const bool toFile = !o.output.empty();
    std::string text;
    char line[64];
    for (const auto& [f, v] : rows) {
        std::snprintf(line, sizeof line, toFile ? "%.6f,%u\r\n" : "%.6f,%u\n", f, static_cast<unsigned>(v));
        text += line;
    }
    std::string why;
    if (toFile) {
        if (!core::WriteFileAtomic(o.output, text, &why)) {
            return Fail(err, 1, o.output + " cannot be written: " + why);
        }
        std::fprintf(out, "wrote:       %s (%zu levels)\n", o.output.c_str(), rows.size());
    } else {
        std::fputs(text.c_str(), out);
    }
    const std::string kept = " (the " + std::to_string(rows.size()) + " levels received were kept)";
    switch (r.end) {
        case instrument::BandScanEnd::EndMarker:
            return 0;
        case instrument::BandScanEnd::Silent:
            return Fail(err, 10,
                        (rows.empty() ? std::string("the instrument sent no level")
                                      : "the instrument stopped sending after " +
                                            std::to_string(rows.size()) + " levels") +
                            kept);
        case instrument::BandScanEnd::NoEndMarker:
            return Fail(err, 1,
                        "the instrument sent no end of scan after" +
                            core::NumText(instrument::BandScanSampleLimit, 0) + " levels" + kept);
        case instrument::BandScanEnd::Stopped:
            break;
    }
    return Fail(err, 1, "the band scan was stopped" + kept);
}

int RunSweepGenerator(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    measure::SweepParameters v;
    v.start = o.start;
    v.stop = o.stop;
    v.step = o.step;
    v.settling = o.settling >= 0 ? o.settling : st.sweepSettling;
    std::copy(o.markers.begin(), o.markers.end(), v.markers.begin());
    if (const auto why = measure::ApplySweepParameters(p, v)) {
        return Fail(err, 1, *why);
    }
    const StopSignals signals;
    const instrument::SweepGeneratorWords words = measure::SweepGeneratorWordsOf(st);
    measure::StartGenerator(p);
    std::fprintf(out, "generator:   %.6f to %.6f MHz, step %.6f MHz, settling byte %d\n", st.start_freq,
                 st.end_freq, st.delta_freq, words.settling);
    for (std::size_t k = 0; k < st.sweepMarkers.size(); ++k) {
        if (st.sweepMarkers[k] >= st.start_freq) {
            std::fprintf(out, "marker %zu:    %.6f MHz\n", k + 1, st.sweepMarkers[k]);
        }
    }
    std::fflush(out);
    std::fprintf(err, "The instrument is sweeping. Press Enter to stop it.\n");
    std::fflush(err);
    WaitForEnterOrSignal();
    measure::StopGenerator(p);
    std::fprintf(out, "generator:   stopped%s\n", StopSignals::Seen() ? " (signal)" : "");
    return 0;
}

} // namespace vna::app
