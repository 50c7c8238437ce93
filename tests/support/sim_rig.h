#pragma once

#include <gtest/gtest.h>

#include <iostream>

#include "instrument/commands.h"
#include "sim/sim_serial_port.h"
#include "support/port_rig.h"

namespace vna::test {

// The program on fakes with the simulated instrument in-process behind its serial port, the
// link open and the relays on, ready to measure.
struct SimRig : PortRig<sim::SimSerialPort> {
    explicit SimRig(sim::UnitConfig config = {}) : PortRig<sim::SimSerialPort>(std::move(config)) {
        serial.open("sim", st().BaudRate);
        st().InstrumentPresent = 1;
    }
    // Sets the device, switches the relays on (both paths connected) and sends the gains.
    void connect(const std::string& dut) {
        std::string error;
        auto d = sim::ParseDut(dut, &error);
        ASSERT_TRUE(d) << error;
        serial.unit.dut = *d;
        instrument::SetRelays(p(), 3);
        instrument::SendGains(p());
        instrument::SetAveraging(p(), st().average);
    }
};

// A fixture that prints the bytes exchanged with the simulator when a test failed: a protocol log
// is the fastest way to see which side is wrong.
class SimTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (HasFailure()) {
            for (SimRig* rig : rigs_) {
                std::cerr << "---- bytes exchanged with the simulator ----\n" << rig->serial.transcript();
            }
        }
    }
    SimRig& rig(sim::UnitConfig config = {}) {
        owned_.push_back(std::make_unique<SimRig>(std::move(config)));
        rigs_.push_back(owned_.back().get());
        return *owned_.back();
    }

private:
    std::vector<std::unique_ptr<SimRig>> owned_;
    std::vector<SimRig*> rigs_;
};

// Every dialog shown, one per line, for the failure messages of the tests.
inline std::string Dialogs(const SimRig& r) {
    std::string out;
    for (const auto& c : r.ui.calls) {
        out += c.kind + " [" + c.caption + "] " + c.text + "\n";
    }
    return out;
}

} // namespace vna::test
