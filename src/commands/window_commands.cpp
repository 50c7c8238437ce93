// The commands of the application core: port switch, halt, graph swap, bitmap, power settings,
// constant frequency, recycle depth, comm port and the About window.

#include <algorithm>
#include <cmath>
#include <string>

#include "cal/freq_cal.h"
#include "commands/commands.h"
#include "commands/menus.h"
#include "commands/scan_commands.h"
#include "commands/startup.h"
#include "core/atomic_file.h"
#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "display/bitmap_file.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/render.h"
#include "display/scan_plot.h"
#include "files/scan_file.h"
#include "instrument/commands.h"
#include "instrument/serial_link.h"
#include "measure/averaging.h"
#include "platform/canvas.h"

namespace vna::commands {

using core::AppState;
using core::Program;

void Quit(Program& p) {
    p.ui.closeSecondaryWindows();
    p.st.SweepRunning = 0;
    p.st.recycle = 0;
    p.st.BandScanRunning = 0;
    p.st.ProgramRunning = 0;
    p.st.QuitRequested = 1;
}

void Halt(Program& p) {
    // While the instrument sweeps by itself (a band scan pass, the sweep generator) it takes no
    // other command: the procedure under way stops it and releases it.
    const bool selfSweep = (p.st.BandScanRunning && p.st.SweepRunning) || p.st.sweepOn;
    p.st.SweepRunning = 0;
    p.st.recycle = 0;
    p.st.BandScanRunning = 0;
    p.st.sweepOn = 0;
    if (selfSweep) {
        return;
    }
    instrument::SetRelays(p, 0);
    display::RedrawScan(p);
}

void SwitchPort(Program& p) {
    AppState& st = p.st;
    if (!st.DiagMode && !st.portb_cal_ok) {
        p.ui.message("Port B is not calibrated.", "Port B not calibrated");
        return;
    }
    if (st.SweepRunning) {
        return;
    }
    st.PortB_on = st.PortB_on ? 0 : 1;
    BuildMenus(p);
    p.ui.focusMainWindow();
    std::swap(st.average, st.averageOther);
    measure::ApplyAveraging(p, st.average);
    display::RedrawScan(p);
}

void SwapGraphs(Program& p, int step) {
    (void)step;
    AppState& st = p.st;
    if (!st.autoSaveGraph) {
        p.ui.message(
            "Graphs are not being saved automatically.\rThis feature can be enabled with the 'auto save "
            "graph'  flag\rin the config file.",
            "Auto Save");
        return;
    }
    std::int32_t& toggle = st.PortB_on ? st.swapToggleB : st.swapToggleA;
    toggle = toggle == 0 ? 1 : 0;
    st.ScanFileMode = 10;
    const std::string suffix = files::LastGraphSuffix(toggle);
    const std::string path =
        st.PortB_on ? files::LastGraphPathB(st, suffix) : files::LastGraphPathA(st, suffix);
    if (!core::FileExists(path)) {
        // Nothing to swap to yet: saying so beats a graph that silently stays as it is.
        p.ui.message("There is no saved graph " + core::SplitPath(path).name +
                         " yet.\rThe last two sweeps are saved automatically as they finish.",
                     "Auto Save");
        return;
    }
    // Showing a saved graph is no new sweep: nothing is saved automatically meanwhile.
    st.autoSaveSuppressed = 1;
    if (st.PortB_on) {
        commands::LoadScanB(p);
    } else {
        commands::LoadScanA(p);
    }
    st.autoSaveSuppressed = 0;
}

void SaveImageBitmap(Program& p) {
    AppState& st = p.st;
    platform::FileDialog d;
    d.title = " Save BitMap";
    // PNG and SVG beside the bitmap: smaller files, and a picture that scales.
    d.filter = "Bitmap Files(*.bmp)|*.bmp|PNG Images(*.png)|*.png|SVG Images(*.svg)|*.svg||";
    d.defaultExtension = "bmp";
    d.initialFolder = core::DialogFolder(st.picture_folder, st.ProgramFolder);
    const auto path = p.ui.saveFile(d);
    if (!path || path->empty()) {
        return;
    }
    if (path->size() >= 3) {
        st.picture_file = *path;
        st.picture_folder = core::SplitPath(*path).folder;
    }
    const platform::Canvas* c = p.ui.mainCanvas();
    if (!c) {
        p.ui.message("Couldn't create DC", "Error");
        return;
    }
    // The bottom 50 pixels of the client area are left out of the picture.
    const int height = c->height() - 50;
    if (c->width() < 1 || height < 1) {
        p.ui.message("Couldn't create bitmap", "Error");
        return;
    }
    std::string error;
    std::string ext = path->size() >= 4 ? path->substr(path->size() - 4) : "";
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
    bool written = false;
    if (ext == ".png") {
        written = p.ui.savePngImage(*c, c->width(), height, *path, error);
    } else if (ext == ".svg") {
        // A vector picture is drawn anew from the scan, not copied from the screen.
        written = p.ui.saveSvgImage(
            c->width(), height, [&p](platform::Canvas& svg) { display::RenderGraph(p, svg, false); }, *path,
            error);
    } else {
        written = core::WriteFileAtomic(*path, display::EncodeBitmap(*c, c->width(), height), &error);
    }
    if (!written) {
        p.ui.message("The image file could not be written:\r\n" + *path + "\r\n" + error, "Error");
    }
}

void RebuildMainWindow(Program& p) {
    display::ComputeGraphGeometry(p);
    display::ClearWindow(p);
    BuildMenus(p);
    display::RedrawScan(p);
}

void ShowAbout(Program& p) {
    const AppState& st = p.st;
    platform::Form f;
    f.title = " VNA";
    f.width = 650;
    f.height = 203;
    platform::FormField text;
    text.kind = platform::FormField::Kind::Label;
    text.label = "Program version " + st.ProgramVersion + st.VersionLetter + st.BuildDate;
    f.fields.push_back(text);
    platform::FormField id;
    id.kind = platform::FormField::Kind::Text;
    id.label = "Instrument";
    id.readOnly = true;
    id.text = st.InstrumentPresent ? "ID Num= " + st.instrument_id + " " + st.VersionText : " DEMO MODE ";
    f.fields.push_back(id);
    f.okCaption = "Close";
    f.cancelCaption = "";
    p.ui.form(f);
    p.ui.focusMainWindow();
}

namespace commands_detail {

void BattAutomaticOff(Program& p) {
    if (!RequireHardware(p)) {
        return;
    }
    AppState& st = p.st;
    // Auto power-off and low-current mode go together: toggling one sets the other opposite.
    instrument::ToggleAutoPowerOff(p);
    BuildMenus(p);
    p.ui.message(std::string(" Auto power down is ") +
                     (st.autopoweroff ? "enabled for battery operation." : "disabled."),
                 "");
}

void LowCurrentMode(Program& p) {
    if (!RequireHardware(p)) {
        return;
    }
    AppState& st = p.st;
    st.DdsPowerOn = st.DdsPowerOn ? 0 : 1;
    p.ui.message(st.DdsPowerOn ? " Low current mode is off" : " Low current mode is on.", "");
    // The port-switch command powers the DDS to match the mode: switching the ports off takes the
    // instrument's current down in low-current mode and parks it powered otherwise.
    instrument::SetRelays(p, 0);
    BuildMenus(p);
}

void ConstantFreq(Program& p) {
    if (!RequireHardware(p)) {
        return;
    }
    AppState& st = p.st;
    instrument::SetRelays(p, 0);
    const auto v = EnterNumber(p, "Constant test frequency (MHz)", " Constant Freq",
                               core::NumText(st.freq, 6).substr(1));
    if (!v) {
        return;
    }
    const double f = std::fabs(*v);
    if (f < st.minimum_freq || f > st.maximumfreq) {
        p.ui.message("The frequency must be between" + core::NumText(st.minimum_freq, 3) + " and" +
                         core::NumText(st.maximumfreq, 0) + " MHz.\r\nThe constant frequency is unchanged.",
                     " Constant Freq");
        return;
    }
    st.freq = f;
    cal::ConstantFrequencyWindow(p);
}

void RecycleDepth(Program& p) {
    AppState& st = p.st;
    const auto v =
        EnterNumber(p, " Recycle Depth (1..N=Clear screen after N cycles,  [0=Don't clear screen])",
                    " Recycle Depth", core::NumText(st.Recycle_depth, 0).substr(1));
    if (!v) {
        return;
    }
    // The count of sweeps handed to the repeating sweep is N + 2; keep it a sane int.
    st.Recycle_depth = std::clamp(core::Nint(std::fabs(*v)), 0, 100000);
    st.RecycleDepth2 = st.Recycle_depth + 2;
}

void EnterCommPort(Program& p) {
    AppState& st = p.st;
    const std::string current = st.SerialDevice.empty() ? std::to_string(st.commport) : st.SerialDevice;
    const auto text = p.ui.enterText("Comm port number (1..65000), or the path of the serial device",
                                     " Enter Comm Port", current);
    if (instrument::ApplyCommPortEntry(p, text)) {
        ReconnectInstrument(p);
    }
    display::RedrawGraph(p);
}

// A baud-rate item of the setup menu. The instrument knows two line speeds: it starts at 57600
// and goes to the high rate when asked ("HighBaud"), and only a power cycle brings it back down.
void ChooseBaudRate(Program& p, int rate) {
    AppState& st = p.st;
    const int high = instrument::BaudRateMenu[1];
    if (rate != instrument::LowBaudRate && rate != high) {
        p.ui.message("The instrument runs at 57600 or 115000 baud.", " Baud Rate");
        return;
    }
    if (!RequireHardware(p)) {
        return;
    }
    st.HighBaud = rate == high ? 1 : 0;
    instrument::ConnectInstrument(p);
    const bool atHigh = st.BaudRate != instrument::LowBaudRate;
    if (st.LastError != 0) {
        p.ui.message(NotRespondingText(st), "");
        EnterDemoState(p);
    } else if (atHigh != (rate == high)) {
        p.ui.message(rate == high ? "The instrument did not switch to 115000 baud; the link stays at 57600."
                                  : "The instrument stays at 115000 baud until its power is switched off "
                                    "and on.",
                     " Baud Rate");
    }
    BuildMenus(p);
}

void DefaultGraphSize(Program& p) {
    AppState& st = p.st;
    st.WinWidth = st.defaultWinWidth;
    st.WinHeight = st.defaultWinHeight;
    display::ComputeGraphGeometry(p);
    st.ResizePending = 0;
    p.ui.resizeMainWindow(st.WinWidth, st.WinHeight);
    RebuildMainWindow(p);
}

} // namespace commands_detail

} // namespace vna::commands
