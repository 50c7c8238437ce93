#pragma once

namespace vna::app {

// While one lives, SIGINT and SIGTERM only ask vna-cli's running command to stop (an instrument
// that sweeps by itself is told to stop, a tone is silenced) instead of ending the program; the
// default handling comes back afterwards.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // A stop signal arrived.
    static bool Seen();

private:
    void (*previousInt_)(int);
    void (*previousTerm_)(int);
};

// Waits up to `ms` milliseconds for a line on the standard input or a stop signal; true when one
// of them came. When the input ends (a script started the tool with nothing to read), only a
// signal stops it.
bool EnterOrSignal(int ms);

// Waits for a line on the standard input or a stop signal.
void WaitForEnterOrSignal();

} // namespace vna::app
