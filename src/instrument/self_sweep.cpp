#include "instrument/self_sweep.h"

#include "core/delay.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "instrument/identification.h"
#include "instrument/serial_link.h"

namespace vna::instrument {

namespace {

// Window messages between bytes: often enough for Halt to arrive at once, seldom enough to cost
// nothing against the line time of a level.
constexpr int PumpEvery = 100;
constexpr int LeaveSpacingMs = 10;

} // namespace

void SendBandScanSetup(core::Program& p, double start, double end, double step) {
    const core::AppState& st = p.st;
    if (!st.InstrumentPresent) {
        return;
    }
    BeginExchange(p);
    const BandScanWords words{TuningWord(st, start, 0), TuningWord(st, end, 0), TuningWord(st, step, 0)};
    for (const CommandBytes& part : BandScanSetup(words)) {
        SendCommand(p, part);
    }
}

BandScanResult ReadBandScanLevels(core::Program& p, const std::function<bool()>& running,
                                  const std::function<void(int, std::uint16_t)>& onLevel) {
    BandScanResult r;
    if (!p.st.InstrumentPresent) {
        return r;
    }
    bool haveHigh = false;
    std::uint8_t high = 0;
    int values = 0;
    const CommandBytes ack = ByteCommand(BandScanAck);
    while (running()) {
        std::uint8_t b = 0;
        if (p.serial.readByte(b) != 1) {
            // Nothing waiting (a device that is gone counts the same and only ends sooner).
            p.st.LinkOk = 0;
            if (++r.emptyReads > BandScanEmptyReadLimit) {
                r.end = BandScanEnd::Silent;
                return r;
            }
            if (r.emptyReads % PumpEvery == 0) {
                p.ui.processEvents();
            }
            continue;
        }
        p.st.LinkOk = 1;
        if (!haveHigh) {
            high = b;
            haveHigh = true;
            continue;
        }
        haveHigh = false;
        const std::uint16_t value = Word16(high, b);
        ++values;
        if (value == BandScanEndMarker && values > BandScanMarkerIgnored) {
            r.end = BandScanEnd::EndMarker;
            return r;
        }
        if (values > BandScanSampleLimit) {
            r.end = BandScanEnd::NoEndMarker;
            return r;
        }
        if (onLevel) {
            onLevel(r.levels, value);
        }
        ++r.levels;
        SendCommand(p, ack);
        if (r.levels % PumpEvery == 0) {
            p.ui.processEvents();
        }
    }
    r.end = BandScanEnd::Stopped;
    return r;
}

void LeaveBandScan(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.InstrumentPresent) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        SendCommand(p, ByteCommand(BandScanLeave));
        core::Delay(p, LeaveSpacingMs);
    }
    const core::Flag diag = st.DiagMode;
    st.DiagMode = 0;
    IdentifyInstrument(p, 0);
    st.DiagMode = diag;
}

void StartSweepGenerator(core::Program& p) {
    if (p.st.InstrumentPresent) {
        SendCommand(p, SyncPulseCommand());
    }
}

void StopSweepGenerator(core::Program& p) {
    if (!p.st.InstrumentPresent) {
        return;
    }
    SendCommand(p, ByteCommand(SweepGeneratorStopByte));
    SendCommand(p, SweepGeneratorStopCommand());
}

} // namespace vna::instrument
