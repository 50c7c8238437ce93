#include "commands/startup.h"

#include "audio/tone.h"
#include "audio/voice.h"
#include "cal/cal_file.h"
#include "commands/command_ids.h"
#include "commands/commands.h"
#include "commands/diagnostics.h"
#include "commands/help_documents.h"
#include "commands/menus.h"
#include "commands/scan_commands.h"
#include "core/delay.h"
#include "core/path_split.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/status_panel.h"
#include "extctl/registry_control.h"
#include "files/config_file.h"
#include "files/default_config.h"
#include "files/init_file.h"
#include "files/scan_file.h"
#include "instrument/commands.h"
#include "instrument/date_code.h"
#include "instrument/health.h"
#include "instrument/identification.h"
#include "instrument/link_log.h"
#include "instrument/raw_reading.h"
#include "instrument/serial_link.h"
#include "measure/averaging.h"
#include "measure/interpolation.h"
#include "measure/scan_limits.h"
#include "platform/canvas.h"
#include "tools/tdr.h"

namespace vna::commands {

using core::AppState;
using core::CommandLineScanFile;
using core::Program;
using core::StartOptions;

const char* const NotRespondingMessage =
    "The VNA is not responding.\r\n"
    "Please check the power and the data cable.\r\n"
    "The power should be on before the PC program is started.\r\n\r\n"
    "Make sure another copy of this program is not running.\r\n\r\n"
    "When starting a new version of the program,\r\n"
    "be sure to check the comm port number.\r\n\r\n"
    "Use the Setup Menu to set the comm port if the default is not correct.";

std::string NotRespondingText(const AppState& st) {
    std::string text = NotRespondingMessage;
    text += "\r\n\r\nDevice tried: " + st.PortName;
    text += st.PortProblem.empty() ? " (it opened, but nothing answered)." : "\r\n" + st.PortProblem;
    return text;
}

namespace {

void SetConstants(AppState& st) {
    st.ScanFileFormatA = 127;
    st.ScanFileFormatB = 4076;
    st.InstrumentPresent = 1;
    st.ProgramVersion = "546";
    st.VersionLetter = "B";
    st.ConfigVersionRequired = 251;
    st.AboutText = "Program version " + st.ProgramVersion + st.VersionLetter + st.BuildDate;
}

void MeasureGraphFont(Program& p) {
    AppState& st = p.st;
    if (platform::Canvas* c = p.ui.mainCanvas()) {
        c->setFont("arial", st.graphFontSize, st.boldGraphFont ? 600 : 200);
        const platform::Size s = c->textExtent("TestString");
        st.TextWidth = s.width;
        st.TextHeight = s.height;
    }
    st.LineStep = st.TextHeight / 4 + st.TextHeight;
    st.LineStep2 = st.LineStep + st.TextHeight + 10;
}

const char* const DemoTitle = "     DEMO MODE   ";

std::string MainWindowTitle(const AppState& st) {
    return "VNA-" + std::to_string(st.ModelNumber) + "    Program Version: " + st.ProgramVersion +
           st.VersionLetter + "   ";
}

// The version query, the model check or the unit's date code, the firmware check and the second
// query that brings the ID into the version text. False when the instrument is not to be used:
// it stopped answering, is not ours (no "vna": as good as no answer), or the model check refused
// it with its own message.
bool IdentifyAndCheck(Program& p) {
    AppState& st = p.st;
    instrument::IdentifyInstrument(p, 1);
    if (st.IdentState != 1) {
        p.ui.message(NotRespondingText(st), "");
        return false;
    }
    if (st.VersionText.find("flash") != std::string::npos) {
        instrument::ReadDateCode(p);
    } else {
        instrument::CheckModel(p);
    }
    if (!st.InstrumentPresent) {
        return false;
    }
    instrument::CheckFirmware(p);
    if (!st.InstrumentPresent) {
        return false;
    }
    instrument::IdentifyInstrument(p, 1);
    if (st.IdentState != 1) {
        p.ui.message(NotRespondingText(st), "");
        return false;
    }
    return true;
}

// The cal file of the settings, quietly; a file that cannot be used is forgotten.
void LoadCalFileOfSettings(Program& p) {
    AppState& st = p.st;
    cal::LoadCalFileAtStartup(p);
    if (st.LastError != 0) {
        st.cal_file.clear();
        st.cal_file_name.clear();
    }
}

// The instrument idle with the user's settings: ports off, auto power-off, averaging, supply.
void SendIdleSettings(Program& p) {
    AppState& st = p.st;
    instrument::SetRelays(p, 0);
    Delay(p, 20);
    instrument::SetAutoPowerOff(p);
    Delay(p, 20);
    measure::ApplyAveraging(p, st.average);
    Delay(p, 20);
    instrument::CheckSupply(p);
}

} // namespace

void ResetInstrumentSettings(Program& p) {
    AppState& st = p.st;
    st.freq = 1;
    instrument::SetAmplitude(p, 100);
    st.PortA_Gain = st.PortB_Gain = 1;
    st.PortA_Sens = 2;
    st.PortB_Sens = 1;
    instrument::SendGains(p);
    instrument::SetRelays(p, 0);
    display::RefreshStatusPanel(p);
    instrument::MeasurePoint(p, false);
}

void EnterDemoState(Program& p) {
    AppState& st = p.st;
    st.InstrumentPresent = 0;
    st.IdentState = 0;
    st.porta_cal_ok = 1;
    st.portb_cal_ok = 1;
    st.WindowTitle = MainWindowTitle(st) + DemoTitle;
    p.ui.setWindowTitle(st.WindowTitle);
}

void ReconnectInstrument(Program& p) {
    AppState& st = p.st;
    st.DemoRequested = 0;
    // Demo mode counted both ports as calibrated; with an instrument only a cal file that fits it
    // does.
    st.porta_cal_ok = 0;
    st.portb_cal_ok = 0;
    // What an instrument was last sent says nothing about this one.
    st.AmplitudeSent = -1;
    bool ready = false;
    if (st.LastError != 0 || !st.InstrumentPresent) {
        p.ui.message(NotRespondingText(st), "");
    } else {
        st.WindowTitle = MainWindowTitle(st);
        p.ui.setWindowTitle(st.WindowTitle);
        ready = IdentifyAndCheck(p);
    }
    if (!ready) {
        EnterDemoState(p);
        BuildMenus(p);
        return;
    }
    ResetInstrumentSettings(p);
    LoadCalFileOfSettings(p);
    SendIdleSettings(p);
    if (st.InstrumentPresent) {
        instrument::SetAmplitude(p, st.DDS_Amplitude);
    }
    measure::BuildInterpolation(p);
    BuildMenus(p);
}

void Startup(Program& p, const StartOptions& options) {
    AppState& st = p.st;

    // 1. Constants and the About text.
    SetConstants(st);
    st.SerialDevice = options.serialDevice;
    st.DemoRequested = options.demo ? 1 : 0;
    // 2. Diagnostic flag files.
    CheckDiagnosticFlagFiles(p);
    // 3. The About window shows AboutText; it is built on demand from the state.
    // 4. Limits and the number precision.
    st.minimum_freq = 0.005;
    st.maximumfreqInt = 180;
    st.ZoMinimum = 3.1;
    st.NumDecimals = 4;
    // 5. Defaults.
    const platform::Size screen = p.ui.screenSize();
    st.ScreenWidth = screen.width;
    st.ScreenHeight = screen.height;
    const platform::LocalTime today = p.clock.now();
    ResetToDefaults(st, today.year, today.month, today.day);
    // 6. Init file.
    files::ReadInitFile(p);
    // 7. Config file; a first run gets the shipped default config into the program's folder.
    st.ConfigFromMenu = 0;
    files::InstallDefaultConfig(p);
    files::ReadConfigFile(p, 0);
    // 8. Graph geometry.
    display::ComputeGraphGeometry(p);
    // 9, 10. Main window (the auxiliary window of the original design is not needed: the
    // platform layer closes its own windows).
    p.ui.setEventHandler([&p](const platform::Event& e) { MainWindowEvent(p, e); });
    p.ui.createMainWindow(0, 0, st.WinWidth, st.WinHeight);
    p.ui.setWindowTitle("");
    if (!options.problems.empty()) {
        std::string text;
        for (const std::string& problem : options.problems) {
            text += (text.empty() ? "" : "\r\n\r\n") + problem;
        }
        p.ui.message(text, " VNA start-up");
    }
    // 11. Graph font and text metrics; the graph box again, now from the window's own fonts.
    MeasureGraphFont(p);
    display::ComputeGraphGeometry(p);
    display::DrawGraph(p);
    // In diagnostic mode the monitor of the exchanges watches from the first one on.
    if (st.DiagMode) {
        instrument::OpenLinkMonitor(p);
    }
    // 12. Running.
    st.ProgramRunning = st.QuitRequested ? 0 : 1;
    p.ui.focusMainWindow();
    // 13. Instrument link.
    if (st.DemoRequested) {
        st.LastError = 10;
    } else {
        instrument::OfferOnlyUsbDevice(p);
        instrument::ConnectInstrument(p);
    }
    // 14. Scan-limits dialog.
    measure::SetupScanLimitsDialog(p);
    // 15. Demo mode when the instrument did not answer; the message only when it was tried.
    if (st.LastError != 0) {
        if (!st.DemoRequested) {
            p.ui.message(NotRespondingText(st), "");
        }
        st.InstrumentPresent = 0;
    }
    // 16. Model and frequency limits.
    st.ModelNumber = 180;
    st.osc_freq = 400;
    st.maximumfreq = 180;
    st.maximumfreqInt = 180;
    st.BridgeResistance = 50;
    st.StdResistance = 50;
    // 17. Title.
    if (st.InstrumentPresent) {
        st.WindowTitle = MainWindowTitle(st);
        p.ui.setWindowTitle(st.WindowTitle);
    } else {
        EnterDemoState(p);
    }
    p.ui.focusMainWindow();
    // 18. Menus.
    BuildMenus(p);
    // 19. Identification and firmware; an instrument that fails them leaves the program in demo
    // mode for the run.
    if (st.InstrumentPresent && !IdentifyAndCheck(p)) {
        EnterDemoState(p);
        BuildMenus(p);
    }
    // 20. Instrument start values.
    if (st.InstrumentPresent) {
        ResetInstrumentSettings(p);
    }
    // 21. Command line.
    if (auto name = CommandLineScanFile(options.commandLine)) {
        st.CommandLineFile = *name;
        st.CommandLineScan = 3;
    }
    // 22. Scan limits.
    measure::CheckScanLimits(p);
    // 23. The last graph (or the file named on the command line) of the active port.
    st.ScanFileMode = st.CommandLineScan ? 3 : 1;
    if (!st.PortB_on) {
        commands::LoadScanA(p);
    } else {
        st.CommandLineScan = 0;
        st.ScanFileMode = 1;
        commands::LoadScanB(p);
    }
    // 24. Cal file, quietly (the one named on the command line, when there is one).
    if (!options.calFile.empty()) {
        st.cal_file = options.calFile;
        const core::SplitPathResult parts = core::SplitPath(options.calFile);
        st.cal_folder = parts.folder;
        st.cal_file_name = parts.name;
    }
    LoadCalFileOfSettings(p);
    // 25. Idle state of the instrument with the user's settings.
    SendIdleSettings(p);
    // 26. Tone output, and the voice files of the spoken SWR on a first run.
    audio::InstallVoiceFiles(st);
    InstallHelpDocuments(st);
    audio::OpenTone(p);
    // 27. Amplitude.
    if (st.InstrumentPresent) {
        instrument::SetAmplitude(p, st.DDS_Amplitude);
    }
    // 28. Tool tips.
    AttachToolTips(p);
    // 29. External control.
    if (st.externalControl > 1 && st.InstrumentPresent && st.ProgramRunning) {
        extctl::RunRegistryExternalControl(p);
    }
    // 30. Cal data on the sweep grid.
    measure::BuildInterpolation(p);
    // 31. A sweep asked for on the command line, as if "Scan" had been clicked.
    if (options.sweepAtStart && st.InstrumentPresent && st.ProgramRunning) {
        RunCommand(p, cmd::ButtonScan);
    }
}

void MainLoop(Program& p) {
    while (p.st.ProgramRunning) {
        instrument::ShowPendingLinkEvents(p);
        p.ui.waitForEvents();
    }
}

int Shutdown(Program& p) {
    AppState& st = p.st;
    // 1. TDR file.
    if (st.TdrActive) {
        tools::SaveLastTdrFile(p);
    }
    // 2. Displays off, MUX channel 0.
    st.TdrActive = 0;
    st.SmithActive = 0;
    st.PolarActive = 0;
    instrument::SetExpansionPort(p, 0);
    // 3. Init file.
    files::WriteInitFile(p);
    // 4. RF ports off.
    instrument::SetRelays(p, 0);
    Delay(p, 100);
    // 5. Last graphs.
    st.ScanFileMode = 1;
    commands::SaveScanA(p);
    st.ScanFileMode = 1;
    commands::SaveScanB(p);
    // 6. Tone output.
    audio::CloseTone(p);
    // 7. Main window and serial port.
    p.ui.closeMainWindow();
    instrument::ClosePort(p);
    // 8. Exit code.
    return 0;
}

int RunProgram(Program& p, const StartOptions& options) {
    Startup(p, options);
    MainLoop(p);
    return Shutdown(p);
}

} // namespace vna::commands
