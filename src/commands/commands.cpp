#include "commands/commands.h"

#include <string>

#include "audio/tone.h"
#include "cal/cal_file.h"
#include "cal/custom_cal.h"
#include "cal/multichannel_cal.h"
#include "cal/portb_cal.h"
#include "cal/standard_cal.h"
#include "commands/chart_commands.h"
#include "commands/command_ids.h"
#include "commands/config_commands.h"
#include "commands/diagnostics.h"
#include "commands/graph_dialogs.h"
#include "commands/help_documents.h"
#include "commands/menus.h"
#include "commands/scan_commands.h"
#include "commands/state_commands.h"
#include "commands/status_commands.h"
#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/cursor.h"
#include "display/graph_text.h"
#include "display/rulers.h"
#include "display/scan_plot.h"
#include "display/status_panel.h"
#include "extctl/control_csv.h"
#include "files/config_file.h"
#include "instrument/commands.h"
#include "instrument/health.h"
#include "instrument/link_log.h"
#include "instrument/serial_link.h"
#include "instrument/vna_test.h"
#include "measure/band_scan.h"
#include "measure/correction.h"
#include "measure/entry_commands.h"
#include "measure/marker_commands.h"
#include "measure/phase_offset.h"
#include "measure/point_data.h"
#include "measure/scan_limits.h"
#include "measure/sweep_commands.h"
#include "measure/sweep_generator.h"
#include "platform/canvas.h"
#include "scope/array_scan.h"
#include "scope/mux_commands.h"
#include "scope/vector_scope.h"
#include "tools/crystal.h"
#include "tools/distance_to_fault.h"
#include "tools/dsp_filter.h"
#include "tools/line_tools.h"
#include "tools/q_measurement.h"
#include "tools/tdr_commands.h"

namespace vna::commands {

using core::AppState;
using core::Band;
using core::BandCount;
using core::Flag;
using core::Program;

namespace commands_detail {
void BattAutomaticOff(Program& p);
void LowCurrentMode(Program& p);
void ConstantFreq(Program& p);
void RecycleDepth(Program& p);
void EnterCommPort(Program& p);
void ChooseBaudRate(Program& p, int rate);
void DefaultGraphSize(Program& p);
} // namespace commands_detail

namespace {

using namespace commands_detail;

// Commands that may run while a sweep is under way: they stop it, end the program, or only look.
// Everything else would start a second measurement or redraw the graph under the running sweep,
// so it waits until the sweep has ended. Recycle pressed during a repeating run ends the run
// after the sweep under way; during a single sweep it does nothing.
bool AllowedWhileSweeping(int id) {
    switch (id) {
        case cmd::ButtonHalt:
        case cmd::ButtonRecycle:
        case cmd::ButtonQuit:
        case cmd::ButtonStatus:
        case cmd::Quit:
        case cmd::About:
        case cmd::Print:
        case cmd::SaveImageBitmap:
        case cmd::Manual:
        case cmd::CheckForUpdate:
            return true;
        default:
            return false;
    }
}

// "myvar1" ... "myvar4": the diagnostic variables. The first two are the temperature compensation
// of the Port A phase; the other two have no meaning of their own and are only shown in the status
// window, for trials.
void EnterMyVar(Program& p, int k) {
    AppState& st = p.st;
    double* vars[] = {&st.myvar1, &st.myvar2, &st.myvar3, &st.myvar4};
    static const char* const meaning[] = {
        "myvar1: temperature compensation of the Port A phase, per degF and MHz (0 = off)",
        "myvar2: reference temperature of the compensation (degF)",
        "myvar3: a diagnostic value (shown in the status window)",
        "myvar4: a diagnostic value (shown in the status window)"};
    double& v = *vars[k - 1];
    const auto entered =
        core::EnterNumber(p, meaning[k - 1], " myvar" + std::to_string(k), core::NumText(v, 6).substr(1));
    if (entered) {
        v = *entered;
    }
}

void Toggle(Flag& f) {
    f = f ? 0 : 1;
}

void SetPortBGain(Program& p, int sens, int gain) {
    if (!RequireHardware(p)) {
        return;
    }
    if (sens) {
        p.st.PortB_Sens = sens;
    }
    if (gain) {
        p.st.PortB_Gain = gain;
    }
    instrument::SendGains(p);
    BuildMenus(p);
}

// "Point Data" with the audio feedback of its readings; closing it silences the tone.
void PointData(Program& p) {
    audio::BeginPointFeedback(p);
    measure::PointDataCommand(p, [&p] { audio::AfterPointReading(p); });
    audio::SilenceTone(p);
}

void ScanButton(Program& p) {
    // A new sweep leaves the band scan.
    p.st.BandScanRunning = 0;
    if (p.st.TdrActive) {
        tools::TdrScanButton(p, true);
        return;
    }
    measure::ScanCommand(p);
}

void RescanButton(Program& p) {
    if (p.st.TdrActive) {
        tools::TdrScanButton(p, false);
        return;
    }
    if (p.st.BandScanRunning) {
        measure::BandScanCommand(p, p.st.bandScanSensitivity);
        return;
    }
    measure::RescanCommand(p);
}

void RunButtonOrMenu(Program& p, int id) {
    AppState& st = p.st;
    switch (id) {
        // Buttons.
        case cmd::ButtonPortAB:
            SwitchPort(p);
            return;
        case cmd::ButtonScan:
            ScanButton(p);
            return;
        case cmd::ButtonRescan:
            RescanButton(p);
            return;
        case cmd::ButtonRecycle:
            measure::RecycleCommand(p);
            return;
        case cmd::ButtonPointData:
            PointData(p);
            return;
        case cmd::ButtonLimits:
            measure::ScanLimitsCommand(p);
            return;
        case cmd::ButtonScales:
            commands::GraphScalesDialog(p);
            return;
        case cmd::ButtonSmith:
            commands::ShowSmithChart(p);
            return;
        case cmd::ButtonComment:
            commands::CommentCommand(p);
            return;
        case cmd::ButtonStatus:
            display::ShowStatusWindow(p);
            return;
        case cmd::ButtonHalt:
            Halt(p);
            return;
        case cmd::ButtonQuit:
        case cmd::Quit:
            Quit(p);
            return;

        // File.
        case cmd::LoadGraph:
            commands::LoadGraphCommand(p);
            return;
        case cmd::SaveGraph:
            commands::SaveGraphCommand(p);
            return;
        case cmd::SwapGraphs:
            SwapGraphs(p, 0);
            return;
        case cmd::SaveImageBitmap:
            SaveImageBitmap(p);
            return;
        case cmd::Print:
            p.ui.printMainWindow();
            return;
        case cmd::LoadCalFile:
            cal::ChooseAndLoadCalFile(p);
            return;
        case cmd::LoadConfigFile:
            LoadConfigFileCommand(p);
            return;
        case cmd::SaveState:
            commands::SaveStateCommand(p);
            return;
        case cmd::RecallState:
            commands::RecallStateCommand(p);
            return;
        case cmd::DcPowerOff:
            if (RequireHardware(p)) {
                instrument::PowerOff(p);
            }
            return;

        // Functions.
        case cmd::DistanceToFault:
            tools::DistanceToFault(p);
            return;
        case cmd::ReferToAntenna:
            measure::ReferToAntennaDialog(p);
            return;
        case cmd::ConstantFreq:
            ConstantFreq(p);
            return;
        case cmd::BandScanNormal:
        case cmd::BandScanHigh:
            measure::BandScanCommand(p, id == cmd::BandScanNormal ? 1 : 2);
            return;
        case cmd::SweepGenerator:
            measure::SweepGeneratorCommand(p);
            return;
        case cmd::MeasureCrystal:
            tools::MeasureCrystal(p);
            return;
        case cmd::QuarterWaveStub:
            tools::QuarterWaveStub(p);
            return;
        case cmd::QMeasurement:
            tools::QMeasurement(p);
            return;
        case cmd::AntennaBandwidth:
            display::AntennaBandwidth(p);
            return;
        case cmd::LineExtension:
            measure::LineExtensionDialog(p);
            display::RedrawScan(p);
            return;
        case cmd::DspFilter1:
        case cmd::DspFilter2:
            tools::DspFilterRescan(p, id == cmd::DspFilter1 ? 1 : 2);
            return;
        case cmd::PlotMagRef:
            measure::PlotMagRef(p);
            return;

        // Calibrate.
        case cmd::StandardCal:
            if (RequireHardware(p)) {
                cal::Cal_A(p);
            }
            return;
        case cmd::CustomCal:
            if (RequireHardware(p)) {
                cal::CustomCal(p);
            }
            return;
        case cmd::PortBCal:
            if (RequireHardware(p)) {
                cal::PortBCal(p, 1);
            }
            return;

        // Setup.
        case cmd::PlotParameters:
            commands::PlotParametersDialog(p);
            return;
        case cmd::Legend:
            commands::ToggleLegend(p);
            return;
        case cmd::ClearAllStyles:
            commands::ClearAllStyles(p);
            return;
        case cmd::ColorSelection:
            commands::ColorSelectionDialog(p);
            return;
        case cmd::CursorNormallyOn:
            st.cursorena = st.cursorena == 1 ? 0 : 1;
            BuildMenus(p);
            return;
        case cmd::SwrRuler:
            commands::SwrRulerDialog(p);
            return;
        case cmd::RecycleDepth:
            RecycleDepth(p);
            return;
        case cmd::EnterCommPort:
            EnterCommPort(p);
            return;
        case cmd::VoiceOutput:
            Toggle(st.voice);
            BuildMenus(p);
            return;
        case cmd::SwrTone:
            audio::SwrToneDialog(p);
            return;
        case cmd::BattAutoOff:
            BattAutomaticOff(p);
            return;
        case cmd::LowCurrentMode:
            LowCurrentMode(p);
            return;
        case cmd::DefaultGraphSize:
            DefaultGraphSize(p);
            return;
        case cmd::TemperatureComp:
            measure::TemperatureCompDialog(p);
            return;
        case cmd::ToggleGainColor:
            Toggle(st.GainColorOption);
            BuildMenus(p);
            return;
        case cmd::DiagModeOff:
            st.DiagMode = 0;
            instrument::CloseLinkMonitor(p);
            BuildMenus(p);
            return;
        case cmd::DebugToggle:
            Toggle(st.DiagSwitch3);
            return;

        // Markers.
        case cmd::DisplayMarkerData:
            measure::ShowMarkerData(p);
            BuildMenus(p);
            return;
        case cmd::PhaseRotation:
            measure::MarkerRotationCommand(p);
            BuildMenus(p);
            return;
        case cmd::ToggleMarkers:
            measure::ToggleMarkers(p);
            BuildMenus(p);
            return;
        case cmd::ClearAllMarkers:
            measure::ClearAllMarkers(p);
            BuildMenus(p);
            return;
        case cmd::SaveMarkers:
            measure::SaveMarkersCommand(p);
            BuildMenus(p);
            return;
        case cmd::RecallMarkers:
            measure::RecallMarkersCommand(p);
            BuildMenus(p);
            return;
        case cmd::RotateSmithChart:
            commands::RotateSmithChart(p);
            return;
        case cmd::PolarSwr:
        case cmd::PolarZ:
        case cmd::PolarS11:
            commands::ShowPolarPlot(p, id - cmd::PolarSwr);
            return;

        // Bands.
        case cmd::HighlightBands:
            Toggle(st.highlight);
            BuildMenus(p);
            display::RedrawScan(p);
            return;
        case cmd::BandSkip:
            Toggle(st.bandskip);
            BuildMenus(p);
            display::RedrawScan(p);
            return;

        // Utilities: help documents beside the program.
        case cmd::LcMatching:
            OpenHelpDocument(p, "lc_matching.html");
            return;
        case cmd::DataAnalysis:
            OpenHelpDocument(p, "data_analysis.html");
            return;
        case cmd::TwelfthWave:
            OpenHelpDocument(p, "twelfth_wave.html");
            return;

        // Port B Functions.
        case cmd::AvgWeightLow:
            st.avgweight = 0.125;
            BuildMenus(p);
            return;
        case cmd::AvgWeightMed:
            st.avgweight = 0.5;
            BuildMenus(p);
            return;
        case cmd::AvgWeightHigh:
            st.avgweight = 1;
            BuildMenus(p);
            return;
        case cmd::DelayTime:
            measure::DelayOffsetDialog(p);
            return;
        case cmd::DelaySmoothing:
            measure::DelaySmoothingDialog(p);
            return;
        case cmd::Rulers:
            commands::RulersDialog(p);
            return;
        case cmd::FilterBandwidth:
            display::FilterBandwidth(p);
            return;
        case cmd::Autoranging:
            st.autorange = st.autorange == 1 ? 0 : 1;
            display::RefreshStatusPanel(p);
            BuildMenus(p);
            return;
        case cmd::PointDataAB:
            measure::PointDataAB(p);
            return;
        case cmd::RfGainHigh:
            SetPortBGain(p, 2, 0);
            return;
        case cmd::RfGainNormal:
            SetPortBGain(p, 1, 0);
            return;
        case cmd::AfGain1:
        case cmd::AfGain2:
        case cmd::AfGain3:
        case cmd::AfGain4:
        case cmd::AfGain5:
            SetPortBGain(p, 0, id - cmd::AfGain1 + 1);
            return;
        case cmd::PhaseOffsetCursor:
            measure::PhaseOffsetAtCursor(p);
            return;
        case cmd::PhaseOffsetManual:
            measure::EnterPhaseOffset(p);
            return;
        case cmd::PhaseOffsetZero:
            measure::SetPhaseOffset(p, 0);
            return;
        case cmd::VnaTest:
            if (RequireHardware(p)) {
                instrument::VnaTestDialog(p);
            }
            return;

        // Multi Channel.
        case cmd::VectorScope:
            scope::VectorScope(p);
            return;
        case cmd::MuxControl:
            scope::MuxControl(p);
            return;
        case cmd::CleanMux:
            scope::CleanMuxContacts(p);
            return;
        case cmd::CalMultiChannel:
            if (RequireHardware(p)) {
                cal::CalMultiChannel(p);
            }
            return;

        // Help.
        case cmd::Manual:
            OpenHelpDocument(p, "manual.html");
            return;
        case cmd::EditConfigFile:
            ConfigEditor(p);
            return;
        case cmd::CheckForUpdate:
            OpenUpdatePage(p);
            return;
        case cmd::About:
            ShowAbout(p);
            return;
        default:
            break;
    }
    if (id >= cmd::BaudRateItem && id <= cmd::BaudRateLast) {
        ChooseBaudRate(p, instrument::BaudRateMenu[id - cmd::BaudRateItem]);
    } else if (id >= cmd::StyleSwr && id <= cmd::StyleDelay) {
        commands::LineStyleDialog(p, id - cmd::StyleSwr);
    } else if (id > cmd::BandBase && id <= cmd::BandBase + BandCount) {
        const Band& b = st.bandTable[static_cast<std::size_t>(id - cmd::BandBase)];
        if (!(b.start < 0.001)) {
            measure::SelectBand(p, id - cmd::BandBase);
        }
    } else if (id >= cmd::ScanChan1 && id <= cmd::ScanChan6) {
        scope::ChannelScan(p, id - cmd::ScanChan1 + 1);
    } else if (id >= cmd::TdrMode && id <= cmd::TdrHighResolution) {
        tools::TdrCommand(p, id - cmd::TdrMode);
        BuildMenus(p);
    } else if (id >= cmd::MyVar1 && id <= cmd::MyVar4) {
        EnterMyVar(p, id - cmd::MyVar1 + 1);
    }
}

void SizeNote(Program& p, int width, int height) {
    platform::Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    display::SetGraphFont(*c, p.st, 0, display::GraphFontWeight(p.st));
    c->setTextBackground(true, platform::MakeRgb(255, 255, 255));
    c->setTextColor(0);
    c->text(100, 50,
            " New size" + core::NumText(width, 0) + " x" + core::NumText(height, 0) +
                ": move the mouse to redraw the graph ");
    c->setTextBackground(false, platform::MakeRgb(255, 255, 255));
    c->flush();
}

void Resized(Program& p, int width, int height) {
    AppState& st = p.st;
    const int lastW = st.ResizePending ? st.ResizeWidth : st.WinWidth;
    const int lastH = st.ResizePending ? st.ResizeHeight : st.WinHeight;
    if (width < 201 || (width == lastW && height == lastH)) {
        return;
    }
    st.ResizePending = 1;
    st.ResizeWidth = width;
    st.ResizeHeight = height;
    SizeNote(p, width, height);
}

void MouseMoved(Program& p, int x, int y) {
    AppState& st = p.st;
    if (st.ResizePending && !st.SweepRunning) {
        st.ResizePending = 0;
        st.WinWidth = st.ResizeWidth;
        st.WinHeight = st.ResizeHeight;
        RebuildMainWindow(p);
        return;
    }
    if ((st.CursorDragging && st.cursorena) || (!st.CursorDragging && st.cursorena == 1)) {
        display::CursorToMouse(p, x, y);
    }
}

void KeyDown(Program& p, int key) {
    AppState& st = p.st;
    st.KeyHeld = 1;
    if (key == platform::key::Control) {
        st.CtrlHeld = 1;
    } else if (key == platform::key::Shift) {
        st.ShiftHeld = 1;
    }
    if (key >= 0x20 && key < 0x7f) {
        FeedKeyCode(p, static_cast<char>(key));
    }
    if (key == 'S' && st.VectorScopeOpen && !st.ArrayScanRunning) {
        // With the vector scope open, S sweeps the scope: the array scan, between two rounds of its
        // readings.
        st.ScopeScanRequested = 1;
        return;
    }
    if (st.SweepRunning) {
        // A key press stops the running sweep and is not a command itself.
        st.SweepRunning = 0;
        return;
    }
    switch (key) {
        case '1':
        case 'A':
        case platform::key::Numpad0 + 1:
            display::SelectCursor(p, 1);
            break;
        case '2':
        case 'B':
        case platform::key::Numpad0 + 2:
            display::SelectCursor(p, 2);
            break;
        case 'S':
            ScanButton(p);
            break;
        case 'R':
            RescanButton(p);
            break;
        case 'U':
            if (!st.TdrActive) {
                ScanButton(p);
                extctl::WriteControlCsv(p);
            }
            break;
        case 'P':
            p.ui.printMainWindow();
            break;
        case platform::key::Up:
        case platform::key::Down:
            if (!st.TdrActive) {
                SwapGraphs(p, 0);
            }
            break;
        case platform::key::Left:
        case platform::key::Right:
            if (st.CtrlHeld || st.ShiftHeld) {
                display::CursorStep(p, key == platform::key::Left ? -1 : 1);
            }
            break;
        case 'L':
            measure::ScanLimitsCommand(p);
            break;
        case 'D':
            PointData(p);
            break;
        case 'Q':
            st.ProgramRunning = 0;
            break;
        default:
            break;
    }
}

} // namespace

void RunCommand(Program& p, int id) {
    if (p.st.SweepRunning && !AllowedWhileSweeping(id)) {
        return;
    }
    RunButtonOrMenu(p, id);
}

void MainWindowEvent(Program& p, const platform::Event& event) {
    using platform::EventType;
    AppState& st = p.st;
    switch (event.type) {
        case EventType::CloseRequest:
            Quit(p);
            break;
        case EventType::KeyDown:
            KeyDown(p, event.key);
            break;
        case EventType::KeyUp:
        case EventType::Char:
            st.KeyHeld = 0;
            st.CtrlHeld = 0;
            st.ShiftHeld = 0;
            break;
        case EventType::LeftDown:
            if (measure::OnToneButton(p, event.x, event.y)) {
                // The point-data window's own button: the readings go on.
                audio::ToggleTone(p);
                break;
            }
            if (st.SweepRunning) {
                // A click stops a running sweep.
                st.SweepRunning = 0;
                break;
            }
            if (const int which = display::StatusButtonAt(p, event.x, event.y)) {
                StatusButtonClicked(p, which);
                break;
            }
            st.CursorDragging = 1;
            break;
        case EventType::LeftUp:
            st.CursorDragging = 0;
            break;
        case EventType::RightDown:
            if (st.SweepRunning) {
                st.SweepRunning = 0;
                break;
            }
            measure::MarkerAtMouse(p, event.x, event.y);
            BuildMenus(p);
            break;
        case EventType::MouseMove:
            MouseMoved(p, event.x, event.y);
            break;
        case EventType::Resized:
            Resized(p, event.x, event.y);
            break;
        case EventType::Button:
        case EventType::Menu:
            RunCommand(p, event.id);
            break;
        default:
            break;
    }
}

} // namespace vna::commands
