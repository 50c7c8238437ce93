#include "commands/menu_model.h"

#include "commands/command_ids.h"
#include "core/app_state.h"
#include "instrument/serial_link.h"

namespace vna::commands {

using core::AppState;
using core::Band;
using core::BandCount;
using core::Color;

namespace {

using platform::Menu;
using platform::MenuItem;

MenuItem Item(std::string caption, int id, bool checked = false, bool enabled = true) {
    MenuItem m;
    m.caption = std::move(caption);
    m.id = id;
    m.checked = checked;
    m.enabled = enabled;
    return m;
}

// An item whose action a key of the main window also does.
MenuItem Keyed(std::string caption, int id, std::string key) {
    MenuItem m = Item(std::move(caption), id);
    m.shortcut = std::move(key);
    return m;
}

MenuItem Sub(std::string caption, std::vector<MenuItem> children) {
    MenuItem m;
    m.caption = std::move(caption);
    m.children = std::move(children);
    return m;
}

Menu FileMenu(const AppState& st) {
    Menu m{"File", true, {}};
    if (st.TdrActive) {
        m.items.push_back(Item("Load TDR graph", cmd::LoadGraph));
        m.items.push_back(Item("Save TDR Graph", cmd::SaveGraph));
    } else if (st.PortB_on) {
        m.items.push_back(Item("Load Port B Graph", cmd::LoadGraph));
        m.items.push_back(Item("Save Port B Graph", cmd::SaveGraph));
    } else {
        m.items.push_back(Item("Load Port A Graph", cmd::LoadGraph));
        m.items.push_back(Item("Save Port A Graph", cmd::SaveGraph));
    }
    m.items.push_back(Keyed("Swap Graphs", cmd::SwapGraphs, "Up/Down"));
    // The TDR view has no swapped graphs, no repeating sweep, no scan limits and no Smith chart.
    m.items.back().enabled = !st.TdrActive;
    m.items.push_back(Item("Save Image BitMap", cmd::SaveImageBitmap));
    m.items.push_back(Keyed("Print", cmd::Print, "P"));
    m.items.push_back(Item("Load Calibration File", cmd::LoadCalFile));
    m.items.push_back(Item("Load Config File", cmd::LoadConfigFile));
    m.items.push_back(Item("Save State", cmd::SaveState));
    m.items.push_back(Item("Recall State", cmd::RecallState));
    m.items.push_back(Item("DC Power Off", cmd::DcPowerOff));
    m.items.push_back(Keyed("Quit", cmd::Quit, "Q"));
    return m;
}

Menu FunctionsMenu(const AppState& st) {
    Menu m{"Functions", true, {}};
    m.items = {
        Item("Distance to Fault", cmd::DistanceToFault),
        Item("Refer to Antenna", cmd::ReferToAntenna),
        Item("Constant Freq", cmd::ConstantFreq),
        Sub("Band Scan", {Item("Normal Sensitivity", cmd::BandScanNormal),
                          Item("High Sensitivity(+12dB)", cmd::BandScanHigh)}),
        Item("Sweep Generator", cmd::SweepGenerator),
        Item("Measure Crystal", cmd::MeasureCrystal),
        Item("1/4Wave Stub", cmd::QuarterWaveStub),
        Item("Q Measurement", cmd::QMeasurement),
        Item("Antenna Bandwidth", cmd::AntennaBandwidth),
        Item("Line Extension", cmd::LineExtension),
        Sub("DSP Filters", {Item("DSP Filter 1", cmd::DspFilter1), Item("DSP Filter 2", cmd::DspFilter2)}),
    };
    if (st.DiagMode) {
        m.items.push_back(Item("Plot MagRef", cmd::PlotMagRef));
    }
    return m;
}

Menu CalibrateMenu() {
    return Menu{"Calibrate",
                true,
                {Item("Standard Cal", cmd::StandardCal), Item("Custom Cal", cmd::CustomCal),
                 Item("Port B Cal", cmd::PortBCal)}};
}

std::vector<MenuItem> BaudRates(const AppState& st) {
    std::vector<MenuItem> items;
    for (int k = 0; k < 4; ++k) {
        const int rate = instrument::BaudRateMenu[k];
        items.push_back(Item(std::to_string(rate), cmd::BaudRateItem + k, st.BaudRate == rate));
    }
    return items;
}

Menu SetupMenu(const AppState& st) {
    Menu m{"Setup", true, {}};
    m.items = {
        Item("Plot Parameters", cmd::PlotParameters),
        Sub("Graph styles",
            {Item("SWR", cmd::StyleSwr), Item("Zmag", cmd::StyleZmag), Item("Rs", cmd::StyleRs),
             Item("Xs", cmd::StyleXs), Item("Phase", cmd::StylePhase),
             Item("Return loss", cmd::StyleReturnLoss), Item("Gain (S21)", cmd::StyleS21),
             Item("S11", cmd::StyleS11), Item("Group Delay", cmd::StyleDelay), Item("Legend", cmd::Legend),
             Item("Clear all styles", cmd::ClearAllStyles), Item("Color Selection", cmd::ColorSelection)}),
        Item("Cursor Normally ON", cmd::CursorNormallyOn, st.cursorena == 1),
        Item("SWR Ruler", cmd::SwrRuler, st.swr_ruler > 0.99999),
        Item("Recycle Depth", cmd::RecycleDepth),
        Item("Enter Comm Port", cmd::EnterCommPort),
        Sub("Baud Rate", BaudRates(st)),
        Sub("Audio Out",
            {Item("Voice Output", cmd::VoiceOutput, st.voice != 0), Item("SWR Tone", cmd::SwrTone)}),
        Sub("Power Control", {Item("Batt automatic off", cmd::BattAutoOff, st.autopoweroff != 0),
                              Item("Low current mode", cmd::LowCurrentMode, st.DdsPowerOn == 0)}),
        Item("Default Graph Size", cmd::DefaultGraphSize),
    };
    if (st.DiagMode) {
        m.items.push_back(Item("Temperature Comp", cmd::TemperatureComp));
        m.items.push_back(Item("Toggle Gain Color", cmd::ToggleGainColor, st.GainColorOption != 0));
        m.items.push_back(Item("set Diagmode off", cmd::DiagModeOff));
        m.items.push_back(Item("Debug Toggle", cmd::DebugToggle));
    }
    return m;
}

Menu MarkersMenu(const AppState& st) {
    Menu m{"Markers", true, {}};
    const bool marker1 = st.markers.slot[1][0] < 990;
    m.items = {
        Sub("Markers", {Item("Display Marker Data", cmd::DisplayMarkerData, marker1),
                        Item("Phase Rotation", cmd::PhaseRotation),
                        Item("Toggle Markers", cmd::ToggleMarkers, st.markerena != 0),
                        Item("Clear All Markers", cmd::ClearAllMarkers),
                        Item("Save Markers", cmd::SaveMarkers), Item("Recall Markers", cmd::RecallMarkers)}),
        Item("Rotate Smith Chart", cmd::RotateSmithChart),
        Sub("Polar Plot",
            {Item("SWR", cmd::PolarSwr), Item("Z   ", cmd::PolarZ), Item("S11", cmd::PolarS11)}),
    };
    return m;
}

Menu BandsMenu(const AppState& st) {
    Menu m{"Bands", true, {}};
    m.items.push_back(Item("Highlight Bands", cmd::HighlightBands, st.highlight > 0));
    m.items.push_back(Item("Band Skip", cmd::BandSkip, st.bandskip > 0));
    const int count = std::min(st.bandCount, BandCount);
    for (int k = 1; k <= count; ++k) {
        const Band& b = st.bandTable[static_cast<std::size_t>(k)];
        m.items.push_back(Item(b.name, cmd::BandBase + k, false, !(b.start < 0.001)));
    }
    return m;
}

Menu UtilitiesMenu() {
    return Menu{"Utilities",
                true,
                {Item("L-C Matching Networks", cmd::LcMatching),
                 Item("Data Analysis (spreadsheet)", cmd::DataAnalysis),
                 Item("Twelfth-wave Matching", cmd::TwelfthWave)}};
}

std::vector<MenuItem> AveragingWeight(const AppState& st) {
    const double w = st.avgweight;
    return {Item("Low ", cmd::AvgWeightLow, w < 0.4), Item("Med ", cmd::AvgWeightMed, w >= 0.4 && w < 0.6),
            Item("High", cmd::AvgWeightHigh, w >= 0.6)};
}

Menu PortBMenu(const AppState& st) {
    Menu m{"Port B Functions", st.DiagMode || (st.PortB_on && st.portb_cal_ok), {}};
    if (!st.DiagMode) {
        m.items = {Sub("Averaging Weight", AveragingWeight(st)), Item("Delay Time", cmd::DelayTime),
                   Item("Delay Smoothing", cmd::DelaySmoothing), Item("Rulers", cmd::Rulers),
                   Item("Filter Bandwidth", cmd::FilterBandwidth)};
        return m;
    }
    const char* afGains[] = {"1x    (0dB)", "5x    (+14dB)", "24x   (+28dB)", "122x (+42dB)", "513x (+54dB)"};
    std::vector<MenuItem> af;
    for (int k = 1; k <= 5; ++k) {
        af.push_back(Item(afGains[k - 1], cmd::AfGain1 + k - 1, st.PortB_Gain == k));
    }
    m.items = {
        Item("Autoranging", cmd::Autoranging, st.autorange == 1),
        Item("Point data - A/B", cmd::PointDataAB),
        Sub("Port B RF Gain", {Item("+12 dB", cmd::RfGainHigh, st.PortB_Sens == 2),
                               Item("    0 dB", cmd::RfGainNormal, st.PortB_Sens == 1)}),
        Sub("Port B AF Gain", af),
        Sub("Averaging Weight", AveragingWeight(st)),
        Sub("Enter Phase Offset", {Item("Offset = Cursor", cmd::PhaseOffsetCursor),
                                   Item("Manually Enter Offset", cmd::PhaseOffsetManual),
                                   Item("Set Phase Offset = 0", cmd::PhaseOffsetZero)}),
        Item("Enter Delay Offset", cmd::DelayTime),
        Item("Enter Delay Smoothing", cmd::DelaySmoothing),
        Item("Rulers", cmd::Rulers),
        Item("Filter Bandwidth", cmd::FilterBandwidth),
        Item("VNA Test", cmd::VnaTest),
    };
    return m;
}

Menu MultiChannelMenu(const AppState& st) {
    std::vector<MenuItem> chans;
    for (int k = 1; k <= 6; ++k) {
        chans.push_back(Item("Scan Chan " + std::to_string(k), cmd::ScanChan1 + k - 1));
    }
    return Menu{"Multi Channel",
                st.DiagMode || st.PortB_on,
                {Item("Vector Scope", cmd::VectorScope), Item("MUX Control", cmd::MuxControl),
                 Sub("Channel Scan", chans), Item("Cal MultiChannel", cmd::CalMultiChannel),
                 Item("Clean MUX Contacts 5x", cmd::CleanMux)}};
}

Menu TdrMenu() {
    return Menu{"TDR",
                true,
                {Item("TDR Mode on/off", cmd::TdrMode), Item("Linear Z Scale", cmd::TdrLinearZ),
                 Item("Show Rho Scale", cmd::TdrRhoScale), Item("Lines/Dots", cmd::TdrLinesDots),
                 Item("Velocity Factor", cmd::TdrVelocityFactor), Item("Meters/feet", cmd::TdrMetersFeet),
                 Item("High Resolution", cmd::TdrHighResolution)}};
}

Menu HelpMenu() {
    return Menu{"Help",
                true,
                {Item("Manual (pdf)", cmd::Manual), Item("Edit Config File", cmd::EditConfigFile),
                 Item("Check for Prog Update", cmd::CheckForUpdate), Item("About", cmd::About)}};
}

Menu MyVarsMenu() {
    return Menu{"My Vars",
                true,
                {Item("myvar1", cmd::MyVar1), Item("myvar2", cmd::MyVar2), Item("myvar3", cmd::MyVar3),
                 Item("myvar4", cmd::MyVar4)}};
}

} // namespace

std::string ScanSuffix(const AppState& st) {
    if (st.TdrActive) {
        return " TDR";
    }
    return st.PortB_on ? " B" : " A";
}

platform::MenuBar BuildMenuModel(const AppState& st) {
    platform::MenuBar bar;
    bar.menus = {FileMenu(st),         FunctionsMenu(st), CalibrateMenu(), SetupMenu(st),
                 MarkersMenu(st),      BandsMenu(st),     UtilitiesMenu(), PortBMenu(st),
                 MultiChannelMenu(st), TdrMenu(),         HelpMenu()};
    if (st.DiagMode) {
        bar.menus.push_back(MyVarsMenu());
    }
    return bar;
}

std::vector<platform::PushButton> BuildButtonRow(const AppState& st, const ButtonMetrics& m) {
    struct Spec {
        std::string caption;
        int id;
        int extra;
        const char* tip;
    };
    const std::string suffix = ScanSuffix(st);
    const Spec specs[] = {
        {"Port A/B", cmd::ButtonPortAB, 0, "Switch between Port A (reflection) and Port B (transmission)"},
        {"Scan" + suffix, cmd::ButtonScan, 0, "Sweep the active port (key S)"},
        {"Rescan" + suffix, cmd::ButtonRescan, 0, "Sweep again over the graph without clearing it (key R)"},
        {"Recycle", cmd::ButtonRecycle, 0, "Repeating sweep on/off"},
        {"Point Data", cmd::ButtonPointData, 0, "Repeated readings at one frequency (key D)"},
        {"Limits", cmd::ButtonLimits, 0, "Start, stop and step of the sweep (key L)"},
        {"Scales", cmd::ButtonScales, 0, "Full-scale values of the graph"},
        {"Smith", cmd::ButtonSmith, 0, "Smith chart of the last scan"},
        {"Comment", cmd::ButtonComment, 5, "Comment stored with the graph"},
        {"Status", cmd::ButtonStatus, 5, "Every setting of the program and the instrument"},
        {"Halt", cmd::ButtonHalt, 0, "Stop sweeping"},
        {"Quit", cmd::ButtonQuit, 0, "End the program (key Q)"},
    };
    const int width = (st.WinWidth - m.left) / 12 - 1;
    std::vector<platform::PushButton> row;
    int x = m.left;
    for (const Spec& s : specs) {
        platform::PushButton b;
        b.caption = s.caption;
        b.id = s.id;
        b.x = x;
        b.y = m.top;
        b.width = std::max(1, width + s.extra);
        b.height = m.textHeight + 4;
        b.color = Color(140, 250, 250);
        b.fontFace = "arial";
        b.pointSize = st.graphFontSize + 1;
        b.weight = 600;
        b.toolTip = s.tip;
        b.enabled = s.id != cmd::ButtonPortAB || (st.portb_cal_ok && !st.TdrActive);
        if (st.TdrActive &&
            (s.id == cmd::ButtonRecycle || s.id == cmd::ButtonLimits || s.id == cmd::ButtonSmith)) {
            b.enabled = false;
        }
        x += b.width;
        row.push_back(std::move(b));
    }
    return row;
}

} // namespace vna::commands
