#include "commands/chart_commands.h"

#include <cmath>

#include "commands/command_ids.h"
#include "commands/menus.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/chart_mapping.h"
#include "display/cursor.h"
#include "display/polar_plot.h"
#include "display/smith_chart.h"
#include "display/status_panel.h"
#include "measure/marker_commands.h"
#include "platform/canvas.h"

namespace vna::commands {

using core::AppState;
using core::Program;
using platform::Event;
using platform::EventType;

namespace {

// How far from a point of the trace the mouse may be to pick it (pixels).
constexpr int PickReach = 12;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number as the entry shows it: without the leading blank of the number rule.
std::string Plain(double v) {
    std::string s = core::NumText(v, 4);
    return s.size() > 1 && s[0] == ' ' ? s.substr(1) : s;
}

std::string ComplexText(double re, double im) {
    std::string s = Plain(re);
    if (std::fabs(im) > 0.00001) {
        s += (im < 0 ? "-j" : "+j") + Plain(std::fabs(im));
    }
    return s;
}

// The port A scan has enough points for a chart; otherwise says so.
bool ChartHasScan(Program& p, const std::string& caption) {
    if (display::PortAScanGrid(p.st).count >= 3) {
        return true;
    }
    p.ui.message("There is no Port A scan to show: the chart shows the last Port A scan (at least 3 points).",
                 caption);
    return false;
}

// Mouse over a chart: the cursor follows it (when it is on, or while the left button is held),
// and the right button takes the point for a marker.
struct ChartMouse {
    bool dragging = false;

    void handle(Program& p, core::ChartKind kind, const Event& e) {
        const core::ChartPoints& points = p.chartPoints.chart[kind];
        switch (e.type) {
            case EventType::LeftDown:
                dragging = true;
                [[fallthrough]];
            case EventType::MouseMove:
                if (p.st.cursorena == 1 || dragging) {
                    if (const int i = display::NearestChartPoint(points, e.x, e.y, PickReach); i >= 0) {
                        display::CursorToChartPoint(p, i);
                    }
                }
                break;
            case EventType::LeftUp:
                dragging = false;
                break;
            case EventType::RightDown:
                if (const int i = display::NearestChartPoint(points, e.x, e.y, PickReach); i >= 0) {
                    measure::MarkerAtChartPoint(p, i);
                    BuildMenus(p);
                }
                break;
            default:
                break;
        }
    }
};

// One of the two modal Smith chart windows, from opening to closing.
void RunSmithWindow(Program& p, core::ChartKind kind) {
    AppState& st = p.st;
    const std::string title = kind == core::ChartSmith2 ? "Smith Chart 2" : "Smith Chart";
    display::SmithGeometry g = display::SmithChartGeometry(st.smithSize, st.smithZoom);
    platform::ChartWindowSpec spec;
    spec.title = title;
    spec.x = st.smithX;
    spec.y = st.smithY;
    spec.width = g.width;
    spec.height = g.height;
    spec.modal = true;
    std::unique_ptr<platform::ChartWindow> w = p.ui.openChartWindow(spec);
    if (!w) {
        return;
    }
    st.SmithActive = 1;
    const auto draw = [&] {
        g = display::SmithChartGeometry(st.smithSize, st.smithZoom);
        display::DrawSmithChart(p, w->canvas(), g, {kind, true, true});
        w->setButtons(display::SmithButtons(w->canvas(), g, kind, st.smithZoom));
    };
    ChartMouse mouse;
    w->setEventHandler([&](const Event& e) {
        if (e.type == EventType::Button) {
            if (e.id >= 1 && e.id <= 5) {
                if (e.id != st.smithZoom) {
                    st.smithZoom = e.id;
                    draw();
                }
            } else if (e.id == display::ChartButtonPrint) {
                w->print();
            } else if (e.id == display::ChartButtonClose) {
                w->close();
            } else if (e.id == display::ChartButtonMarkerData) {
                measure::ShowMarkerData(p);
                BuildMenus(p);
            } else if (e.id == display::ChartButtonSmithZ) {
                EnterReferenceZ(p, 2);
                draw();
            }
        } else if (e.type == EventType::KeyDown && e.key == 'P') {
            w->print();
        } else {
            mouse.handle(p, kind, e);
        }
    });
    draw();
    p.ui.runWindow(*w);
    const platform::Point at = w->position();
    st.smithX = at.x;
    st.smithY = at.y;
    w.reset();
    st.SmithActive = 0;
    p.ui.focusMainWindow();
}

} // namespace

ComplexValue ParseComplex(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    std::string real;
    bool realNegative = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (IsDigit(c) || c == '.') {
            real += c;
        } else if (real.empty()) {
            realNegative = realNegative || c == '-';
        } else if (c == '+' || c == '-' || c == ' ') {
            break;
        }
    }
    std::string imag;
    bool imagNegative = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (IsDigit(c) || c == '.') {
            imag += c;
        } else if (imag.empty()) {
            imagNegative = imagNegative || c == '-';
        } else {
            // "i", "j" or a blank end the imaginary part, and so does anything else after its
            // digits: a second sign or number is not part of this impedance.
            break;
        }
    }
    ComplexValue v;
    v.re = core::TextToNumber(real) * (realNegative ? -1 : 1);
    v.im = core::TextToNumber(imag) * (imagNegative ? -1 : 1);
    return v;
}

void EnterReferenceZ(Program& p, int kind) {
    AppState& st = p.st;
    const bool line = kind != 2;
    const std::string caption = line ? "Transmission Line Z" : "Smith Chart Z";
    const std::string current =
        line ? ComplexText(st.Z0real, st.Z0imag) : ComplexText(st.Zsm_real, st.Zsm_imag);
    const auto text =
        p.ui.enterText("Impedance in ohms: R, or R and X (such as 50, 50+j25 or 75 -12j)", caption, current);
    if (!text || text->find_first_not_of(" \t") == std::string::npos) {
        return;
    }
    if (text->find_first_of("0123456789") == std::string::npos) {
        p.ui.message("\"" + *text + "\" is not an impedance (such as 50, 50+j25 or 75 -12j).\r\n" +
                         (line ? "Zo" : "The Smith chart reference") + " is unchanged.",
                     caption);
        return;
    }
    const ComplexValue z = ParseComplex(*text);
    if (!line) {
        st.Zsm_real = std::fabs(z.re);
        st.Zsm_imag = z.im;
        return;
    }
    const bool smithFollows =
        std::fabs(st.Zsm_real - st.Z0real) + std::fabs(st.Zsm_imag - st.Z0imag) < 0.00001;
    double re = std::fabs(z.re);
    double im = z.im;
    if (re < st.ZoMinimum) {
        p.ui.message("Caution: Zo is less than " + core::NumText(st.ZoMinimum, 1) +
                         "  ohms.\r\nIt will be set to 50.0 ohm by default.",
                     caption);
        re = 50;
        im = 0;
    }
    st.Z0real = re;
    st.Zo = re;
    st.Z0imag = im;
    if (smithFollows) {
        st.Zsm_real = st.Z0real;
        st.Zsm_imag = st.Z0imag;
    }
}

void ShowSmithChart(Program& p) {
    // The TDR view has no Smith chart.
    if (p.st.TdrActive || !ChartHasScan(p, " Smith Chart")) {
        return;
    }
    RunSmithWindow(p, core::ChartSmith);
}

void RotateSmithChart(Program& p) {
    AppState& st = p.st;
    const std::string caption = " Smith Chart 2";
    if (st.TdrActive) {
        p.ui.message("The TDR view has no Smith chart: switch the TDR mode off first.", caption);
        return;
    }
    if (st.PortB_on) {
        p.ui.message("The rotated Smith chart works on the Port A scan: switch to Port A first.", caption);
        return;
    }
    if (!ChartHasScan(p, caption)) {
        return;
    }
    const auto text = p.ui.enterText("Rotate Smith Chart (+/-degrees)", caption, Plain(st.smithRotation));
    if (!text) {
        return;
    }
    if (text->find_first_not_of(" \t") != std::string::npos) {
        const auto v = core::ParseEntry(p, *text, caption);
        if (!v) {
            return;
        }
        st.smithRotation = std::fmod(*v, 360.0);
    }
    RunSmithWindow(p, core::ChartSmith2);
}

void ShowPolarPlot(Program& p, int mode) {
    AppState& st = p.st;
    if (!ChartHasScan(p, " Polar Plot")) {
        return;
    }
    st.polarMode = std::clamp(mode, 0, 2);
    auto& slot = p.charts.window[core::ChartPolar];
    const display::PolarGeometry g = display::PolarPlotGeometry(st.WinHeight, st.smithSize);
    if (!slot || !slot->isOpen()) {
        platform::ChartWindowSpec spec;
        spec.title = display::PolarTitle(st.polarMode);
        spec.x = st.polarX;
        spec.y = st.polarY;
        spec.width = g.width;
        spec.height = g.height;
        // A window closed earlier is dropped only now: never from inside its own handler.
        slot = p.ui.openChartWindow(spec);
        if (!slot) {
            return;
        }
        platform::ChartWindow* w = slot.get();
        auto mouse = std::make_shared<ChartMouse>();
        w->setEventHandler([&p, w, mouse](const Event& e) {
            AppState& s = p.st;
            if (e.type == EventType::Button) {
                if (e.id >= 1 && e.id <= 5) {
                    s.polarScale = e.id;
                    const display::PolarGeometry now = display::PolarPlotGeometry(s.WinHeight, s.smithSize);
                    w->setButtons(display::PolarButtons(now, s.polarMode, s.polarScale));
                    display::RedrawPolarIfOpen(p);
                } else if (e.id == display::ChartButtonPrint) {
                    w->print();
                }
            } else if (e.type == EventType::KeyDown && e.key == 'P') {
                w->print();
            } else if (e.type == EventType::CloseRequest) {
                const platform::Point at = w->position();
                s.polarX = at.x;
                s.polarY = at.y;
                s.PolarActive = 0;
            } else {
                mouse->handle(p, core::ChartPolar, e);
            }
        });
    }
    platform::ChartWindow& w = *slot;
    st.PolarActive = 1;
    w.setTitle(display::PolarTitle(st.polarMode));
    w.setButtons(display::PolarButtons(g, st.polarMode, st.polarScale));
    display::RedrawPolarIfOpen(p);
    w.raise();
}

} // namespace vna::commands
