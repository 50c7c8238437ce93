#include "display/status_panel.h"

#include <algorithm>
#include <cmath>

#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_text.h"
#include "platform/canvas.h"

namespace vna::display {

using core::GraphGeometry;
using core::StatusButtons;
using core::StatusPanel;

namespace {

using platform::MakeRgb;
using platform::Rgb;

constexpr Rgb Active = MakeRgb(190, 220, 240);
constexpr Rgb Inactive = MakeRgb(175, 175, 175);
constexpr Rgb Warning = MakeRgb(255, 150, 150);

std::string Num(double v) {
    return core::NumText(v, 4);
}

std::string Fixed(double v, int decimals) {
    std::string s = core::FormatPicture(decimals == 2 ? "#.##" : "#.####", v);
    return " " + s.substr(s.find_first_not_of(' ') == std::string::npos ? 0 : s.find_first_not_of(' '));
}

std::string RawText(const core::AppState& st, int which) {
    switch (which) {
        case 1:
            return st.average <= 1 ? "Average is OFF " : "Average=" + Num(st.average);
        case 2:
            return "Settling Time=" + Num(st.DDSdelay) + " ms";
        case 3:
            return "Trend=" + Num(st.trend);
        case 4:
            return "Line Extension=" + Fixed(st.ExtensionLength * 100, 2) + " cm";
        case 5: {
            std::string s = "Zo=" + Num(st.Zo);
            if (std::fabs(st.Z0imag) > 0.00001) {
                s += (st.Z0imag < 0 ? " - j" : " + j") + Num(std::fabs(st.Z0imag));
            }
            return s;
        }
        case 6:
            return st.interpolate ? "Interpolation is ON" : "Interpolation is OFF";
        default:
            return "";
    }
}

void DrawButton(core::Program& p, platform::Canvas& c, int which) {
    const StatusPanel& sp = p.display.status;
    const auto k = static_cast<std::size_t>(which);
    const int top = sp.top + (which - 1) * sp.height;
    c.setRasterOp(platform::RasterOp::Copy);
    c.fillRect(sp.x, top, sp.x + sp.width, top + sp.height, sp.color[k]);
    c.setPen(MakeRgb(120, 120, 120), 1, platform::PenStyle::Solid);
    c.setNullBrush();
    c.rectangle(sp.x, top, sp.x + sp.width, top + sp.height);
    c.setFont("courier", p.st.graphFontSize, GraphFontWeight(p.st));
    c.setTextColor(0);
    c.text(sp.x + 7, top + 4, sp.text[k]);
}

} // namespace

std::string StatusText(const core::AppState& st, int which) {
    std::string s = RawText(st, which);
    s.resize(st.boldGraphFont ? 22 : 20, ' ');
    return s;
}

std::uint32_t StatusColor(const core::AppState& st, int which) {
    switch (which) {
        case 1:
            return st.average > 1 ? Active : Inactive;
        case 2:
            return Active;
        case 3:
            return st.trend != 0 ? Warning : Inactive;
        case 4:
            return st.ExtensionFlag ? Active : Inactive;
        case 5:
            return st.Zo > 45.1 && st.Zo < 60.1 ? Active : Warning;
        case 6:
            return st.interpolate ? Active : Inactive;
        default:
            return Inactive;
    }
}

void UpdateStatus(core::Program& p, int which) {
    StatusPanel& sp = p.display.status;
    platform::Canvas* c = p.ui.mainCanvas();
    if (which == 0) {
        const GraphGeometry& g = p.display.g;
        sp.x = g.statusX;
        sp.top = g.rows[3];
        sp.width = g.statusWidth;
        int textH = 2 * p.st.graphFontSize;
        if (c) {
            c->setFont("courier", p.st.graphFontSize, GraphFontWeight(p.st));
            textH = c->textExtent("1234567890123456789012").height;
        }
        sp.height = textH + 8;
        sp.created = true;
    }
    if (!sp.created) {
        return;
    }
    const int first = which == 0 ? 1 : std::clamp(which, 1, StatusButtons);
    const int last = which == 0 ? StatusButtons : first;
    for (int k = first; k <= last; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const std::string text = StatusText(p.st, k);
        const Rgb color = StatusColor(p.st, k);
        // Rewriting an unchanged button would only make it flicker; a full redraw (which = 0)
        // has cleared the column, so it draws them all.
        if (which != 0 && text == sp.text[i] && color == sp.color[i]) {
            continue;
        }
        sp.text[i] = text;
        sp.color[i] = color;
        if (c) {
            DrawButton(p, *c, k);
        }
    }
    if (c) {
        c->flush();
    }
}

void RefreshStatusPanel(core::Program& p) {
    for (int k = 1; k <= StatusButtons; ++k) {
        UpdateStatus(p, k);
    }
}

int StatusButtonAt(const core::Program& p, int x, int y) {
    const StatusPanel& sp = p.display.status;
    if (!sp.created || sp.height <= 0 || x < sp.x || x >= sp.x + sp.width || y < sp.top) {
        return 0;
    }
    const int k = (y - sp.top) / sp.height + 1;
    return k <= StatusButtons ? k : 0;
}

std::vector<std::string> StatusWindowLines(const core::Program& p) {
    const core::AppState& st = p.st;
    std::vector<std::string> l;
    l.push_back("Instrument ID =" + st.instrument_id);
    l.push_back("Graph window size = " + core::NumText(st.WinWidth, 0).substr(1) + "x" +
                core::NumText(st.WinHeight, 0).substr(1));
    l.push_back("Cursor Freq=" + core::FormatPicture("####.######", st.cursorFreq));
    l.push_back("Averaging=" + Num(st.average));
    l.push_back("Settling Time=" + Num(st.DDSdelay) + " msec");
    l.push_back("Trend=" + Num(st.trend));
    l.push_back("Freq Compensation= " + core::FormatPicture("#.########", st.freq_comp) + " = " +
                core::FormatPicture("##.##", (st.freq_comp - 1) * 1e6) + " ppm");
    if (st.delay_smoothing != 0) {
        l.push_back("Delay Smoothing=" + Num(std::abs(st.delay_smoothing)) +
                    (st.delay_smoothing < 0 ? " percent " : " samples "));
    }
    l.push_back("Amplitude=" + Num(st.DDS_Amplitude) + "%");
    l.push_back("");
    std::string gain = "PortB RF gain = " + Num(12 * st.PortB_Sens - 24) + "dB";
    if (st.DiagMode) {
        gain += " AF gain = " + Num(14 * st.PortB_Gain - 14) + "dB";
    }
    l.push_back(gain);
    l.push_back("Ruler 1 = " + Num(st.ruler_1) + " dB" + (st.ruler1_on ? " Enabled" : ""));
    l.push_back("Ruler 2 = " + Num(st.ruler_2) + " dB" + (st.ruler2_on ? " Enabled" : ""));
    l.push_back("Line Extension=" + std::string(st.ExtensionFlag ? "  Enabled" : "  Disabled") +
                Num(st.ExtensionLength * 100) + " cm    Z=" + Num(st.Zextension) +
                " ohms     VF=" + Num(st.ExtensionVP));
    if (st.InstrumentPresent) {
        l.push_back("DC Input Voltage=" + core::NumText(st.SupplyVolts, 1) +
                    "    min Voltage since power-up = " + core::NumText(st.SupplyVoltsMin, 1));
    }
    l.push_back("Zo=" + Num(st.Z0real) + (st.Z0imag < 0 ? "" : " +") + Num(st.Z0imag) + "j");
    l.push_back("Velocity Factor=" + Num(st.VF));
    l.push_back("");
    l.push_back(std::string("Port A is ") + (st.porta_cal_ok ? "" : "not ") + "calibrated");
    l.push_back(std::string("Port B is ") + (st.portb_cal_ok ? "" : "not ") + "calibrated");
    l.push_back("");
    l.push_back("Cal File = " + st.cal_file_name);
    l.push_back("Cal Comment = " + p.cal.cal_comment);
    l.push_back("");
    if (p.cal.custom_cal) {
        l.push_back("*** Custom Cal Mode *** ");
        l.push_back("Custom start freq=" + Num(p.cal.custom_start_freq));
        l.push_back("Custom end freq =" + Num(p.cal.custom_end_freq));
        l.push_back("Custom delta freq=" + Num(p.cal.custom_delta_freq));
    } else {
        l.push_back("*** Standard Cal Mode *** ");
        l.push_back("Cal start freq=" + Num(st.minimum_freq));
        l.push_back("Cal end freq =" + Num(st.maximumfreq));
        l.push_back("Cal delta freq= 0.20 MHz");
    }
    l.push_back(std::string("Interpolation is ") + (st.interpolate ? "on." : "off."));
    if (st.DdsPowerOn) {
        l.push_back("DDS power is on.");
    }
    l.push_back("Config file=" + st.config_file_name);
    l.push_back("Cal folder=" + st.cal_folder);
    l.push_back("Config folder=" + st.config_folder);
    l.push_back("Scan folder=" + st.scan_folder);
    l.push_back("Picture folder=" + st.picture_folder);
    l.push_back("Config file version=" + core::NumText(st.configVersion, 0));
    if (st.DiagMode) {
        const double vars[] = {st.myvar1, st.myvar2, st.myvar3, st.myvar4};
        for (int k = 0; k < 4; ++k) {
            l.push_back("Myvar" + std::to_string(k + 1) + "=" + core::NumText(vars[k], 6));
        }
    }
    return l;
}

void ShowStatusWindow(core::Program& p) {
    p.ui.textWindow(" Status", StatusWindowLines(p), p.st.WinWidth, p.st.WinHeight + 150);
}

} // namespace vna::display
