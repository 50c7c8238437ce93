#include "instrument/health.h"

#include <array>
#include <cmath>

#include "core/delay.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "instrument/protocol.h"
#include "instrument/serial_link.h"
#include "instrument/status_text.h"

namespace vna::instrument {

namespace {

constexpr double NoTemperature = 88.88;
constexpr double UpperLimit = 16;
constexpr double LowerLimit = 9.8;
// Left edge of the status panel text column, where the battery indicator stands.
constexpr int PanelLeft = 600;

bool IsBatteryModel(const core::AppState& st) {
    return st.instrument_id.find("5000") != std::string::npos;
}

const char* const NoDataText = " No data from VNA.\r Check VNA power and comm cable.";
const char* const PowerOffNotice = "***** THE POWER HAS BEEN TURNED OFF *****";

// Switches the instrument off. It answers nothing from then on, so it counts as absent: the
// commands that follow (the expansion port at exit, above all) must not wait out their budgets.
void SendPowerOff(core::Program& p) {
    core::AppState& st = p.st;
    SendCommand(p, PowerOffCommand());
    st.InstrumentPresent = 0;
    st.RelayBit0 = st.RelayBit1 = 0;
    st.RfActive = 0;
}

} // namespace

double ReadTemperature(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.TempSensor || !st.InstrumentPresent) {
        st.Temperature = NoTemperature;
        return st.Temperature;
    }
    st.LinkOk = -1;
    st.ReadingValid = 0;
    BeginExchange(p);
    SendCommand(p, TemperatureCommand());
    std::array<std::uint8_t, 2> reply{};
    if (ReadReplyBytes(p, reply, 2, TemperatureBudget) < 2) {
        p.ui.message(NoDataText, " Temperature not read");
        st.LastError = 10;
        return st.Temperature;
    }
    const double f = TemperatureFOfWord(Word16(reply[0], reply[1]));
    if (std::fabs(f - st.Temperature) >= 2) {
        st.Temperature = f;
    } else {
        st.Temperature += (f - st.Temperature) * 0.1;
    }
    return st.Temperature;
}

void BatteryIndicator(core::Program& p) {
    const core::AppState& st = p.st;
    const bool shown = LowPwrMode(st) || ((st.DiagMode || st.autopoweroff) && st.SupplyVolts < 100);
    if (!shown) {
        return;
    }
    const bool low = !IsBatteryModel(st) && st.SupplyVolts < 10;
    StatusText(p, PanelLeft + 35, 20, low ? " LOW BATT    " : "             ", WarningColor(st));
    if (st.autopoweroff) {
        StatusText(p, PanelLeft + 35, 35, "BattV=" + core::NumText(st.SupplyVolts, st.NumDecimals),
                   NormalTextColor);
    }
}

void CheckSupply(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.InstrumentPresent) {
        st.SupplyVolts = 12;
        st.LastError = 10;
        return;
    }
    st.LinkOk = -1;
    st.ReadingValid = 0;
    BeginExchange(p);
    SendCommand(p, SupplyCommand());
    // The instrument answers once its converter has settled on the supply.
    core::Delay(p, st.voltageWait);
    std::array<std::uint8_t, 2> reply{};
    if (ReadReplyBytes(p, reply, 2, SupplyBudget) < 2) {
        p.ui.message(NoDataText, " Comm Port Problem 2743");
        st.LastError = 10;
        return;
    }
    st.SupplyVolts = SupplyVoltsOfWord(Word16(reply[0], reply[1]));
    if (!(st.SupplyVolts > 2 && st.SupplyVolts < 25)) {
        return; // not a believable reading
    }
    st.SupplyVoltsMin = std::min(st.SupplyVoltsMin, st.SupplyVolts);
    st.ReadingValid = 1;

    st.LastError = 17;
    // The checks show their numbers with one decimal; every way out puts the precision back.
    st.NumDecimals = 1;
    BatteryIndicator(p);
    const std::string volts = core::NumText(st.SupplyVolts, 1);
    if (st.SupplyVolts > UpperLimit) {
        SendPowerOff(p);
        StatusText(p, 300, 20, "   NOTE:  DC supply voltage = " + volts + "     Upper limit = 16V      ",
                   WarningColor(st));
        p.ui.message("WARNING: The DC supply voltage is too high.\rMeasured voltage approx = " + volts +
                         "\rUpper Limit = 16.0V\r\r" + PowerOffNotice,
                     " WARNING: HIGH DC VOLTAGE ");
        st.NumDecimals = 3;
        return;
    }
    if (st.SupplyVoltsMin < LowerLimit && st.LowVoltGuard && !IsBatteryModel(st)) {
        st.RelayBit0 = st.RelayBit1 = 0;
        SetRelays(p, 0);
        st.InstrumentPresent = 0;
        st.RfActive = 0;
        p.ui.message("WARNING: Supply voltage is too low.\rMinimum voltage approx =" +
                         core::NumText(st.SupplyVoltsMin, 1) +
                         "\rMin Limit =  9.8V.   (This includes droop on an unregulated supply.)",
                     " WARNING: LOW DC VOLTAGE ");
        st.NumDecimals = 3;
        return;
    }
    st.LastError = 0;
    st.NumDecimals = 3;
}

void PowerOff(core::Program& p) {
    if (p.ui.message("Do you want to turn off the DC power?", " Power Off", platform::Buttons::YesNo) !=
        platform::Answer::Yes) {
        return;
    }
    SendPowerOff(p);
    p.ui.message(PowerOffNotice, " Power Off ");
}

} // namespace vna::instrument
