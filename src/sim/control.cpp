#include "sim/control.h"

#include <cmath>
#include <sstream>
#include <vector>

namespace vna::sim {

namespace {

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    std::istringstream in{std::string(line)};
    std::string w;
    while (in >> w) {
        words.push_back(w);
    }
    return words;
}

ControlResult Fail(const std::string& why) {
    return {false, "error: " + why};
}

ControlResult Ok() {
    return {true, "ok"};
}

bool Number(const std::string& text, double& v) {
    const auto parsed = ParseSiNumber(text);
    if (!parsed) {
        return false;
    }
    v = *parsed;
    return true;
}

ControlResult ApplyFault(Instrument& unit, const std::string& item) {
    const auto eq = item.find('=');
    const std::string name = item.substr(0, eq);
    const std::string arg = eq == std::string::npos ? "" : item.substr(eq + 1);
    Faults& f = unit.faults;
    double n = 0;
    if (name == "clear" || name == "none") {
        f = Faults{};
    } else if (name == "silence") {
        if (arg.empty()) {
            f.silence = true;
        } else if (!Number(arg, n) || n < 0) {
            return Fail("silence takes the number of readings still answered");
        } else {
            f.silenceAfter = static_cast<int>(n);
        }
    } else if (name == "truncate") {
        const auto colon = arg.find(':');
        double count = -1;
        if (!Number(arg.substr(0, colon), n) || n < 0 ||
            (colon != std::string::npos && !Number(arg.substr(colon + 1), count))) {
            return Fail("truncate needs a byte count, and optionally :times");
        }
        f.truncateTo = static_cast<int>(n);
        f.truncateCount = static_cast<int>(count);
    } else if (name == "badsum") {
        if (!Number(arg.empty() ? "1" : arg, n) || n < 0) {
            return Fail("badsum needs a count");
        }
        f.badChecksum = static_cast<int>(n);
    } else if (name == "refloss") {
        f.referenceLoss = true;
    } else if (name == "deadadc") {
        f.deadAdc = true;
    } else if (name == "overload") {
        f.overload = true;
    } else if (name == "stuckbaud") {
        f.stuckBaud = true;
    } else if (name == "extra") {
        if (!Number(arg, n) || n < 0 || n > 1000) {
            return Fail("extra needs a byte count up to 1000");
        }
        f.extraBytes = static_cast<int>(n);
    } else if (name == "bandendless") {
        f.bandEndless = true;
    } else if (name == "bandbreak") {
        if (!Number(arg, n) || n < 0) {
            return Fail("bandbreak needs a count of levels");
        }
        f.bandBreakAfter = static_cast<int>(n);
    } else if (name == "muxstuck") {
        f.muxRefuse = 0xFF;
    } else if (name == "muxrefuse") {
        if (!Number(arg, n) || n < 0 || n > 7) {
            return Fail("muxrefuse needs the channel 0..7 the MUX will not switch to");
        }
        f.muxRefuse |= 1 << static_cast<int>(n);
    } else if (name == "weakref") {
        if (!Number(arg.empty() ? "14" : arg, n) || !(n > 0 && n <= 80)) {
            return Fail("weakref takes the dB the reference is down, up to 80");
        }
        f.weakReferenceDb = n;
    } else if (name == "stuckgain") {
        if (!Number(arg.empty() ? "3" : arg, n) || n < 2 || n > 5 || n != std::floor(n)) {
            return Fail("stuckgain takes the Port B gain step 2..5 that does not switch in");
        }
        f.stuckGainStep = static_cast<int>(n);
    } else if (name == "lowsupply") {
        if (!Number(arg.empty() ? "9" : arg, n) || !(n > 0 && n < 30)) {
            return Fail("lowsupply takes the volts the supply reads");
        }
        f.lowSupplyVolts = n;
    } else if (name == "noflash") {
        f.noFlash = true;
    } else {
        return Fail("unknown fault \"" + name + "\"");
    }
    return Ok();
}

} // namespace

std::string ControlHelp() {
    return "dut SPEC | fault NAME[=N] ... | fault clear | set temp F|supply V|analog V|input N|ppm X|noise "
           "LSB|baud 57600|115000 |\n"
           "mux on|off|K db=X deg=Y ns=Z | power on|off | status\n"
           "faults: silence[=N] truncate=N[:TIMES] badsum=N refloss deadadc overload stuckbaud extra=N\n"
           "        bandendless bandbreak=N muxstuck muxrefuse=K weakref[=DB] stuckgain[=K] lowsupply[=V]\n"
           "        noflash\n"
           "devices: " +
           DutHelp();
}

ControlResult ApplyControl(Instrument& unit, std::string_view line, double now) {
    const std::vector<std::string> w = Words(line);
    if (w.empty()) {
        return Fail("empty command");
    }
    const std::string& verb = w[0];
    if (verb == "status") {
        return {true, unit.status()};
    }
    if (verb == "help") {
        return {true, ControlHelp()};
    }
    if (verb == "dut") {
        if (w.size() != 2) {
            return Fail("dut needs one description");
        }
        std::string error;
        auto dut = ParseDut(w[1], &error);
        if (!dut) {
            return Fail(error);
        }
        unit.dut = *dut;
        return Ok();
    }
    if (verb == "fault") {
        if (w.size() < 2) {
            return Fail("fault needs a name");
        }
        for (std::size_t i = 1; i < w.size(); ++i) {
            ControlResult r = ApplyFault(unit, w[i]);
            if (!r.ok) {
                return r;
            }
        }
        return Ok();
    }
    if (verb == "set") {
        double v = 0;
        if (w.size() != 3 || !Number(w[2], v)) {
            return Fail("set needs a name and a number");
        }
        if (w[1] == "temp") {
            unit.env.temperatureF = v;
        } else if (w[1] == "supply") {
            unit.env.supplyVolts = v;
        } else if (w[1] == "analog") {
            unit.env.analogVolts = v;
        } else if (w[1] == "input") {
            unit.env.digitalInput = static_cast<int>(v);
        } else if (w[1] == "ppm") {
            unit.frontEnd.clockPpm = v;
        } else if (w[1] == "noise") {
            unit.frontEnd.noiseLsb = v;
        } else if (w[1] == "baud") {
            // Only the two speeds the firmware knows; a power cycle brings it back to 57600.
            if (v != 57600 && v != 115000) {
                return Fail("baud is 57600 or 115000");
            }
            unit.setBaud(static_cast<int>(v));
        } else {
            return Fail("unknown setting \"" + w[1] + "\"");
        }
        return Ok();
    }
    if (verb == "mux") {
        if (w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
            unit.muxFitted = w[1] == "on";
            return Ok();
        }
        double k = 0;
        if (w.size() < 3 || !Number(w[1], k) || k < 1 || k > 6) {
            return Fail("mux needs on, off, or a channel 1..6 with db=, deg= and ns=");
        }
        MuxPath& path = unit.mux[static_cast<std::size_t>(k)];
        for (std::size_t i = 2; i < w.size(); ++i) {
            const auto eq = w[i].find('=');
            double v = 0;
            if (eq == std::string::npos || !Number(w[i].substr(eq + 1), v)) {
                return Fail("\"" + w[i] + "\" is not key=value");
            }
            const std::string key = w[i].substr(0, eq);
            if (key == "db") {
                path.db = v;
            } else if (key == "deg") {
                path.deg = v;
            } else if (key == "ns") {
                path.ns = v;
            } else {
                return Fail("unknown mux key \"" + key + "\"");
            }
        }
        return Ok();
    }
    if (verb == "power") {
        if (w.size() == 2 && w[1] == "on") {
            unit.powerOn(now);
            return Ok();
        }
        if (w.size() == 2 && w[1] == "off") {
            unit.powerOff();
            return Ok();
        }
        return Fail("power on or off");
    }
    return Fail("unknown command \"" + verb + "\"");
}

} // namespace vna::sim
