#pragma once

#include <string>
#include <string_view>

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// Registry external control: while the program runs, a client asks for a sweep by writing the
// limits and `dataready` under the program's registry key; the program sweeps, writes the control
// CSV file and names it in `csvready`.
namespace vna::extctl {

// The values under the key. The client writes the request; the program takes it by writing
// "null" to `dataready` and answers in `csvready`.
inline constexpr std::string_view DataReadyValue = "dataready";
inline constexpr std::string_view StartFreqValue = "startfreq";
inline constexpr std::string_view EndFreqValue = "endfreq";
inline constexpr std::string_view DeltaFreqValue = "deltafreq";
inline constexpr std::string_view ScanPortValue = "scanport";
inline constexpr std::string_view CsvReadyValue = "csvready";
// Our additions, so that a client can tell its own answer and learn why a request was refused:
// after every request the program writes `status` ("0", or a code, a blank and the reason) and
// then `answered` (the `dataready` text of that request).
inline constexpr std::string_view StatusValue = "status";
inline constexpr std::string_view AnsweredValue = "answered";
// A `dataready` text that contains this asks for nothing.
inline constexpr std::string_view NoRequest = "null";

// The check of requested limits (MHz): 0 when they can be swept, else the code of the failing
// check. The checks run in the order step (1: 1 kHz to 1 MHz), end (2: 10 kHz to the instrument's
// maximum), start (3: 5 kHz to the maximum), and a later failure overrides an earlier one.
int LimitCode(const core::AppState& st, double start, double end, double step);
// The reason for a limit code, followed by the value text the client wrote.
std::string LimitMessage(const core::AppState& st, int code, std::string_view value);

// One look at the key. A request waiting in `dataready` (any text without "null" that is not
// blank) is taken and
// answered: the limits are checked (a refusal is printed on the graph and nothing is swept or
// changed), the port asked for is swept over them, the control CSV file is written and `csvready`
// names it. A request that arrives while a sweep runs waits for the next look. True when a
// request was taken.
bool PollRegistry(core::Program& p);

// The watch loop entered at the end of start-up: a look at the key every 500 ms, with the window
// messages processed meanwhile, while `externalControl` is above 1, the program runs and the
// instrument is present.
void RunRegistryExternalControl(core::Program& p);

} // namespace vna::extctl
