// vna-cli test and --exchanges: the instrument test and the log of the exchanges with the
// instrument, on the terminal.

#include <cstdio>
#include <memory>
#include <string>

#include "app/cli.h"
#include "core/atomic_file.h"
#include "core/program.h"
#include "instrument/link_log.h"
#include "instrument/vna_test.h"

namespace vna::app {

namespace {

class Printer final : public instrument::LinkLog {
public:
    Printer(core::Program& p, std::FILE* to) : LinkLog(p, 1), to_(to) {}

protected:
    void added() override { std::fprintf(to_, "%s\n", line(size() - 1).c_str()); }

private:
    std::FILE* to_;
};

} // namespace

std::unique_ptr<core::LinkMonitor> ExchangePrinter(core::Program& p, std::FILE* err) {
    return std::make_unique<Printer>(p, err);
}

int RunInstrumentTest(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    const instrument::TestReport report = instrument::RunVnaTest(p);
    std::string text;
    for (const std::string& line : report.lines()) {
        std::fprintf(out, "%s\n", line.c_str());
        text += line + "\r\n";
    }
    if (!o.output.empty()) {
        std::string error;
        if (!core::WriteFileAtomic(o.output, text, &error)) {
            std::fprintf(err, "vna-cli: error 1: the report could not be written to %s: %s\n",
                         o.output.c_str(), error.c_str());
            return 1;
        }
    }
    if (!report.passed()) {
        std::fprintf(err, "vna-cli: error 17: the VNA failed %d of %zu checks\n", report.failed(),
                     report.checks.size());
        return 1;
    }
    return 0;
}

} // namespace vna::app
