#include "instrument/commands.h"

#include "core/program.h"

namespace vna::instrument {

void SwitchPorts(core::Program& p, int selector) {
    (void)p;
    (void)selector;
}

void SetExpansionPort(core::Program& p, int channel) {
    (void)p;
    (void)channel;
}

void SendAutoPowerOff(core::Program& p) {
    (void)p;
}

void SendAverage(core::Program& p) {
    (void)p;
}

void SendAmplitude(core::Program& p, double percent) {
    (void)p;
    (void)percent;
}

void SendGains(core::Program& p) {
    (void)p;
}

void TakeReading(core::Program& p) {
    (void)p;
}

} // namespace vna::instrument
