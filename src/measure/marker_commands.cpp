#include "measure/marker_commands.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "core/atomic_file.h"
#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "display/markers.h"
#include "display/scan_plot.h"
#include "display/swr_ratio.h"
#include "files/marker_file.h"
#include "instrument/commands.h"
#include "instrument/raw_reading.h"
#include "measure/interpolation.h"
#include "measure/scan_replay.h"
#include "measure/sweep.h"
#include "platform/canvas.h"

namespace vna::measure {

using core::AppState;
using core::Program;
using platform::Canvas;

namespace {

constexpr platform::Rgb White = platform::MakeRgb(255, 255, 255);
constexpr const char* MarkerFilter = "Marker Files(*.mrk)|*.mrk||";

std::string Plain(double v) {
    std::string s = core::NumText(v, 6);
    return s.size() > 1 && s[0] == ' ' ? s.substr(1) : s;
}

// The scan shown is a file's (or there is no instrument): the markers take the stored values.
bool FromStoredScan(const Program& p) {
    const AppState& st = p.st;
    return !st.InstrumentPresent || !(st.PortB_on ? st.scanFileNameB : st.scanFileNameA).empty();
}

// The limits the window shows markers within: the stored scan's, or the sweep's.
void MarkerLimits(const Program& p, double& start, double& stop) {
    const AppState& st = p.st;
    if (FromStoredScan(p)) {
        const display::ScanGrid g = display::GridOfPort(st, st.PortB_on != 0);
        start = g.start;
        stop = g.count > 0 ? g.stop() : g.start;
    } else {
        start = st.start_freq;
        stop = st.end_freq;
    }
}

void Redraw(Program& p) {
    if (p.st.last_scan_index >= 0) {
        display::RedrawScan(p);
    } else {
        display::RedrawGraph(p);
    }
}

void Sort(Program& p) {
    if (!display::SortMarkers(p.st)) {
        p.ui.message("Error in sorting markers.", "Markers");
    }
}

std::optional<std::string> ChooseMarkerFile(Program& p, bool save) {
    AppState& st = p.st;
    platform::FileDialog dialog;
    dialog.title = save ? " Save Markers" : " Load Markers";
    dialog.filter = MarkerFilter;
    dialog.defaultExtension = "mrk";
    dialog.initialFolder = core::DialogFolder(st.marker_folder, st.ProgramFolder);
    auto chosen = save ? p.ui.saveFile(dialog) : p.ui.openFile(dialog);
    if (!chosen || chosen->size() <= 2) {
        return std::nullopt;
    }
    st.marker_file = *chosen;
    st.marker_folder = core::SplitPath(*chosen).folder;
    return chosen;
}

// One Port A marker read with the instrument, corrected like a sweep's point.
bool MeasureMarkerA(Program& p, double f, core::Marker& m) {
    AppState& st = p.st;
    st.PortBMode = 0;
    st.freq = f;
    st.Measuring = 1;
    st.LastError = 0;
    instrument::MeasurePortAPoint(p);
    st.Measuring = 0;
    if (st.LastError != 0 || !st.ReadingValid) {
        if (st.LastError == 0) {
            st.LastError = 10;
        }
        return false;
    }
    InterpolateAtFreq(p);
    computeReflection(p);
    const core::ScanPoint& pt = p.point;
    m[1] = pt.rs;
    m[2] = pt.xs;
    m[3] = pt.zmag;
    m[4] = pt.zphase;
    m[5] = pt.swr;
    m[6] = pt.return_loss;
    return true;
}

bool MeasureMarkerB(Program& p, double f, core::Marker& m) {
    AppState& st = p.st;
    st.freq = f;
    st.Measuring = 1;
    st.LastError = 0;
    double db = 0;
    double phase = 0;
    const bool ok = MeasureS21Point(p, true, db, phase);
    st.Measuring = 0;
    if (!ok) {
        if (st.LastError == 0) {
            st.LastError = 10;
        }
        return false;
    }
    m[9] = db;
    m[10] = phase;
    return true;
}

void SetWindowButtons(Program& p, platform::ChartWindow& w, int width) {
    const bool portB = p.st.PortB_on != 0;
    const bool stored = FromStoredScan(p);
    std::vector<platform::PushButton> buttons;
    const auto add = [&](const char* caption, int id, int offset, bool enabled) {
        platform::PushButton b;
        b.caption = caption;
        b.id = id;
        b.x = width - offset;
        b.y = 3;
        b.width = 70;
        b.height = 23;
        b.enabled = enabled;
        b.color = 0xe1e1e1;
        b.fontFace = "arial";
        buttons.push_back(b);
    };
    if (!portB) {
        add("Refresh", MarkerRefresh, 450, !stored);
        add("Recycle", MarkerRecycle, 380, !stored);
        add("Save", MarkerSave, 310, true);
        add("Recall", MarkerRecall, 240, true);
    }
    add("Print", MarkerPrint, 170, true);
    add("Exit", MarkerExit, 100, true);
    w.setButtons(buttons);
}

struct WindowState {
    bool recycling = false;
};

void HandleMarkerButton(Program& p, platform::ChartWindow& w, WindowState& state, int id) {
    switch (id) {
        case MarkerRefresh:
            RemeasureMarkers(p);
            DrawMarkerWindow(p);
            break;
        case MarkerRecycle:
            if (state.recycling) {
                state.recycling = false;
                break;
            }
            state.recycling = true;
            // Runs here until Recycle is pressed again or the window closes; Delay keeps the window
            // messages coming meanwhile.
            while (state.recycling && w.isOpen() && p.st.ProgramRunning) {
                if (!RemeasureMarkers(p)) {
                    state.recycling = false;
                    break;
                }
                DrawMarkerWindow(p);
                core::Delay(p, 300 / (p.st.markers.markerCount + 1));
            }
            break;
        case MarkerSave:
            if (auto path = ChooseMarkerFile(p, true)) {
                WriteMarkerFiles(p, *path, true);
            }
            break;
        case MarkerRecall:
            if (auto path = ChooseMarkerFile(p, false)) {
                if (LoadMarkerFile(p, *path)) {
                    // The window shows the new table at its new size; it is not closed here, in
                    // the middle of its own button's handler.
                    p.st.markerena = 1;
                    Redraw(p);
                    ShowMarkerData(p);
                }
            }
            break;
        case MarkerPrint:
            w.print();
            break;
        case MarkerExit:
            state.recycling = false;
            w.close();
            break;
        default:
            break;
    }
}

} // namespace

bool RemeasureMarkers(Program& p) {
    AppState& st = p.st;
    const bool portB = st.PortB_on != 0;
    const bool stored = FromStoredScan(p);
    double start = 0;
    double stop = 0;
    MarkerLimits(p, start, stop);
    if (!stored && st.RelaysSet == 0) {
        instrument::SetRelays(p, 3);
    }
    for (int k = 1; k <= core::MarkerSlots; ++k) {
        if (!display::MarkerWithin(st, k, start, stop)) {
            continue;
        }
        core::Marker& m = st.markers.slot[static_cast<std::size_t>(k)];
        const double f = m[0];
        bool ok = true;
        if (stored) {
            ok = portB ? display::MarkerFromScanB(p, f, m) : display::MarkerFromScanA(p, f, m);
        } else {
            ok = portB ? MeasureMarkerB(p, f, m) : MeasureMarkerA(p, f, m);
            if (!ok) {
                p.ui.message("No reading at " + Plain(f) + " MHz (error " + std::to_string(st.LastError) +
                                 "): the markers were not measured again.",
                             "Markers");
                return false;
            }
        }
    }
    return true;
}

void DrawMarkerWindow(Program& p) {
    auto& w = p.charts.markerData;
    if (!w || !w->isOpen()) {
        return;
    }
    const AppState& st = p.st;
    const bool portB = st.PortB_on != 0;
    Canvas& c = w->canvas();
    c.setRasterOp(platform::RasterOp::Copy);
    c.fillRect(0, 0, c.width(), c.height(), White);
    c.setFont("courier", st.graphFontSize, 400);
    c.setTextBackground(false, 0);
    int y = 3;
    for (const std::string& line : display::MarkerWindowHeader(p, portB)) {
        c.setTextColor(line.find("Rotated") != std::string::npos ? st.RedColor : 0);
        c.text(20, y, line);
        y += 20;
    }
    y += 5;
    c.setTextColor(0);
    c.text(20, y, display::MarkerWindowHeading(st, portB));
    y += 25;
    double start = 0;
    double stop = 0;
    MarkerLimits(p, start, stop);
    for (int k = 1; k <= core::MarkerSlots; ++k) {
        if (!display::MarkerWithin(st, k, start, stop)) {
            continue;
        }
        const core::Marker m = portB
                                   ? st.markers.slot[static_cast<std::size_t>(k)]
                                   : display::RotatedMarker(st, st.markers.slot[static_cast<std::size_t>(k)]);
        core::AppState shown = st;
        shown.markers.slot[static_cast<std::size_t>(k)] = m;
        const display::MarkerRowText row = display::MarkerRow(shown, k, portB);
        c.setTextColor(0);
        c.text(20, y, row.first);
        if (!portB) {
            c.setPen(0, 1, platform::PenStyle::Solid);
            c.setBrush(White);
            c.rectangle(234, y, 284, y + 10);
            c.fillRect(235, y + 1, 234 + display::SwrBarLength(row.swr), y + 9, st.RedColor);
            c.setNullBrush();
            c.text(300, y, row.second);
        }
        y += 20;
    }
    c.flush();
}

void ShowMarkerData(Program& p) {
    AppState& st = p.st;
    const bool portB = st.PortB_on != 0;
    core::RecountMarkers(st);
    const bool stored = FromStoredScan(p);
    if (!stored && (portB ? !st.portb_cal_ok : !st.porta_cal_ok)) {
        p.ui.message("The instrument needs to be calibrated.", "2587");
        return;
    }
    if (st.markers.markerCount == 0) {
        p.ui.message("No markers are defined", "Markers");
        return;
    }
    double start = 0;
    double stop = 0;
    MarkerLimits(p, start, stop);
    double lowest = 1e9;
    double highest = -1e9;
    for (int k = 1; k <= core::MarkerSlots; ++k) {
        const core::Marker& m = st.markers.slot[static_cast<std::size_t>(k)];
        if (display::MarkerIsSet(m)) {
            lowest = std::min(lowest, m[0]);
            highest = std::max(highest, m[0]);
        }
    }
    if (lowest < start - 1e-9 || highest > stop + 1e-9) {
        p.ui.message("The present set of markers are not all contained within the limits of this graph.\r\n"
                     "Some of the data cannot be shown.",
                     "Markers");
    }
    const int width = core::Nint(900.0 * st.WinHeight / 768);
    const int height = 20 * st.markers.markerCount + 155;
    auto& w = p.charts.markerData;
    const bool opening = !w || !w->isOpen();
    if (opening) {
        platform::ChartWindowSpec spec;
        spec.title = portB ? "Port B Marker Data" : "Port A Marker Data";
        spec.x = 20;
        spec.y = 20;
        spec.width = width;
        spec.height = height;
        w = p.ui.openChartWindow(spec);
    } else {
        w->setTitle(portB ? "Port B Marker Data" : "Port A Marker Data");
        w->resize(width, height);
        w->raise();
    }
    if (st.markerena != 1) {
        st.markerena = 1;
        Redraw(p);
    }
    if (w) {
        platform::ChartWindow* raw = w.get();
        SetWindowButtons(p, *raw, width);
    }
    if (w && opening) {
        platform::ChartWindow* raw = w.get();
        auto state = std::make_shared<WindowState>();
        raw->setEventHandler([&p, raw, state](const platform::Event& e) {
            if (e.type == platform::EventType::Button) {
                HandleMarkerButton(p, *raw, *state, e.id);
            } else if (e.type == platform::EventType::CloseRequest) {
                state->recycling = false;
            } else if (e.type == platform::EventType::KeyDown && e.key == 'P') {
                raw->print();
            }
        });
    }
    RemeasureMarkers(p);
    DrawMarkerWindow(p);
}

void ToggleMarkers(Program& p) {
    AppState& st = p.st;
    st.markerena = 1 - (st.markerena == 1 ? 1 : 0);
    // The lines are XOR: drawing them again removes them.
    if ((st.markerena == 1) != p.display.plot.markerLinesShown) {
        display::DrawMarkers(p);
    }
    display::AfterMarkerCommand(st);
}

void ClearAllMarkers(Program& p) {
    AppState& st = p.st;
    display::ClearMarkerTable(st);
    st.markerena = 0;
    display::AfterMarkerCommand(st);
    Redraw(p);
}

void MarkerRotationCommand(Program& p) {
    AppState& st = p.st;
    if (st.PortB_on) {
        p.ui.message("The marker rotation applies to Port A markers.", "Markers");
        return;
    }
    const auto v = core::EnterNumber(p, "Marker Rotation (+/- deg)", " Marker Rotation",
                                     Plain(st.markers.markerRotation));
    if (!v) {
        return;
    }
    if (!std::isfinite(*v) || std::fabs(*v) > 36000) {
        p.ui.message("The rotation must lie between -36000 and 36000 degrees; it is unchanged.",
                     " Marker Rotation");
        return;
    }
    st.markers.markerRotation = *v;
    p.charts.markerData.reset();
    display::AfterMarkerCommand(st);
}

bool WriteMarkerFiles(Program& p, const std::string& path, bool withExport) {
    AppState& st = p.st;
    const auto readOnly = [&](const std::string& name) {
        p.ui.message("The file named: " + name +
                         "  \r\nis a Read-Only file.\r\nIt cannot be updated.\r\n"
                         "Make sure the Read-Only bit for all the files in \r\nthe VNA folder is NOT set.",
                     "Marker File");
        return false;
    };
    if (!core::WriteFileAtomic(path, files::MarkerFileText(st.markers))) {
        return readOnly(path);
    }
    if (withExport) {
        core::MarkerTable shown = st.markers;
        for (int k = 1; k <= core::MarkerSlots; ++k) {
            shown.slot[static_cast<std::size_t>(k)] =
                display::RotatedMarker(st, st.markers.slot[static_cast<std::size_t>(k)]);
        }
        core::RecountMarkers(st);
        const std::string exportPath = files::MarkerExportPath(path);
        if (!core::WriteFileAtomic(
                exportPath, files::MarkerExportText(shown, st.markers.markerCount, p.clock.now(),
                                                    display::SwrRatios(shown, st.markers.markerCount)))) {
            return readOnly(exportPath);
        }
    }
    return true;
}

bool LoadMarkerFile(Program& p, const std::string& path) {
    AppState& st = p.st;
    std::string text;
    if (!core::ReadWholeFile(path, text, 1u << 20)) {
        p.ui.message("The marker file was not found in the folder with the exe file.", "Marker File");
        return false;
    }
    std::string error;
    int freed = 0;
    core::MarkerTable table = st.markers;
    if (!files::ReadMarkerFile(text, st.maximumfreq, table, error, freed)) {
        p.ui.message(error + "\r\n" + path + " was not loaded; the markers are unchanged.", "Marker File");
        return false;
    }
    st.markers = table;
    if (freed > 0) {
        p.ui.message(std::to_string(freed) + " marker" +
                         (freed == 1 ? " has a frequency" : "s have frequencies") + " outside 0.001 to " +
                         Plain(st.maximumfreq) + " MHz in " + path + ": left out.",
                     "Marker File");
    }
    Sort(p);
    display::AfterMarkerCommand(st);
    return true;
}

void SaveMarkersCommand(Program& p) {
    if (auto path = ChooseMarkerFile(p, true)) {
        WriteMarkerFiles(p, *path, false);
    }
    display::AfterMarkerCommand(p.st);
}

void RecallMarkersCommand(Program& p) {
    if (auto path = ChooseMarkerFile(p, false)) {
        if (LoadMarkerFile(p, *path)) {
            p.st.markerena = 1;
            Redraw(p);
        }
    }
    display::AfterMarkerCommand(p.st);
}

void MarkerDialog(Program& p, double mhz) {
    AppState& st = p.st;
    platform::Form form;
    form.title = "Marker";
    form.fields.push_back(
        platform::MakeField(platform::FormField::Kind::Text, "Marker Freq (MHz)", Plain(mhz)));
    form.okCaption = "Insert";
    form.extraButtons = {"Remove"};
    form.cancelCaption = "Cancel";
    const int answer = p.ui.form(form);
    if (answer != platform::FormOk && answer != platform::FormExtraButton) {
        return;
    }
    const std::string& text = form.fields[0].text;
    const auto f = display::ParseMarkerFreq(text, st.maximumfreq);
    if (!f) {
        p.ui.message("\"" + text + "\" is not a marker frequency: enter a frequency above 0 and up to " +
                         Plain(st.maximumfreq) +
                         " MHz (a unit letter k or G may follow the number).\r\n"
                         "The markers are unchanged.",
                     "Marker");
        return;
    }
    if (answer == platform::FormOk) {
        display::InsertMarker(st, *f);
    } else {
        display::RemoveMarker(st, *f);
    }
    Sort(p);
    st.markerena = 1;
    display::AfterMarkerCommand(st);
    Redraw(p);
    if (p.charts.markerData && p.charts.markerData->isOpen()) {
        RemeasureMarkers(p);
        DrawMarkerWindow(p);
    }
}

void MarkerAtMouse(Program& p, int x, int y) {
    const core::GraphBox& b = p.display.g.box;
    if (x < b.left || x > b.right || y < b.top || y > b.bottom || p.st.TdrActive) {
        return;
    }
    MarkerDialog(p, display::MarkerFreqAtX(p, x));
}

void MarkerAtChartPoint(Program& p, int index) {
    const display::ScanGrid g = display::GridOfPort(p.st, false);
    if (index < 0 || index >= g.count) {
        return;
    }
    MarkerDialog(p, g.start + index * g.step);
}

} // namespace vna::measure
