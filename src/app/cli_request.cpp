// vna-cli request: one sweep asked of a running program through its registry.

#include <cmath>
#include <random>
#include <string>

#include "app/cli.h"
#include "core/number_text.h"
#include "core/program.h"
#include "extctl/registry_client.h"

namespace vna::app {

int RequestFromProgram(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    extctl::SweepRequest request;
    request.portB = o.port == 'b';
    request.start = o.start;
    request.stop = o.stop;
    request.step = o.step;
    // A text of this request alone, so that the answer to another client's request is not taken
    // for this one's.
    std::random_device random;
    const std::string token =
        "vna-cli request " + std::to_string(random()) + " " + std::to_string(p.clock.tickMs());
    const int timeoutMs = static_cast<int>(std::ceil(o.timeout * 1000));
    const extctl::RequestOutcome r =
        extctl::RequestSweep(p.registry, p.clock, p.st.registryPath, request, token, timeoutMs);
    if (!r.csvPath.empty()) {
        std::fprintf(out, "%s\n", r.csvPath.c_str());
    }
    if (r.code == 0) {
        return 0;
    }
    std::string why = r.reason;
    if (!r.taken) {
        why += " within" + core::NumText(o.timeout, 0) + " s: is vna running on the data folder " +
               p.st.ProgramFolder + " with externalControl 2 or 3 in its config file?";
    }
    std::fprintf(err, "vna-cli: error %d: %s\n", r.code, why.c_str());
    return 1;
}

} // namespace vna::app
