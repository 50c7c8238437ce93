#include "cal/cal_file.h"

#include <algorithm>
#include <cstdio>

#include "core/atomic_file.h"
#include "core/cal_table.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "core/text_lines.h"

namespace vna::cal {

using core::BCalPoint;
using core::CalArray;
using core::CalCapacity;
using core::CalTable;
using core::CustomFirstCalIndex;
using core::CustomGridFreq;
using core::StandardCalDelta;
using core::StandardFirstCalIndex;
using core::StandardGridFreq;

namespace {

// Numbers written "plain": a blank and the integer, or a blank and the number with 6 decimals.
std::string Plain(double v) {
    return core::NumText(v, 6);
}

std::string TwoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", std::clamp(v, 0, 99));
    return buf;
}

std::string DateText(const platform::LocalTime& t) {
    char year[8];
    std::snprintf(year, sizeof year, "%04d", std::clamp(t.year, 0, 9999));
    return TwoDigits(t.month) + "-" + TwoDigits(t.day) + "-" + year;
}

std::string TimeText(const platform::LocalTime& t) {
    return TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string PointLineText(const CalTable& t, int k, double re, double im, const char* word) {
    std::string s = core::FormatPicture("####.####", StandardGridFreq(k));
    s += "  ";
    s += core::FormatPicture("######.####", re);
    s += "   ";
    s += core::FormatPicture("######.####", im);
    s += "  ";
    s += core::FormatPicture("###", k);
    if (t.custom_cal) {
        s += "  ";
        s += Plain(CustomGridFreq(t, k));
        s += word;
    }
    return s;
}

std::string PortBLineText(const BCalPoint& b, bool high) {
    std::string s = core::FormatPicture("####.######", b.freq);
    s += "  ";
    s += core::FormatPicture("######.#######", high ? b.highMag : b.lowMag);
    s += "   ";
    s += core::FormatPicture("######.#######", (high ? b.highPhase : b.lowPhase) * CalDegreesPerRadian);
    s += high ? " high" : " low";
    return s;
}

} // namespace

PointLine ParsePointLine(std::string_view line) {
    PointLine pl;
    std::size_t i = 0;
    const std::size_t n = line.size();
    auto field = [&](bool rest) {
        while (i < n && IsBlank(line[i])) {
            ++i;
        }
        const std::size_t start = i;
        if (rest) {
            i = n;
        } else {
            while (i < n && !IsBlank(line[i])) {
                ++i;
            }
        }
        return line.substr(start, i - start);
    };
    std::size_t used = 0;
    pl.c1 = core::TextToNumber(field(false), used);
    pl.c1Number = used > 0;
    pl.c2 = core::TextToNumber(field(false), used);
    pl.c2Number = used > 0;
    pl.c3 = core::TextToNumber(field(true), used);
    pl.c3Number = used > 0;
    return pl;
}

std::string CalFileText(const CalTable& t, const platform::LocalTime& now, bool portBValid) {
    std::string s;
    s.reserve(static_cast<std::size_t>(t.cal_points) * 3 * 64 + 4096);
    auto line = [&s](std::string_view text) {
        s += text;
        s += "\r\n";
    };
    const std::string stamp = DateText(now) + "  " + TimeText(now);
    line(Plain(CalFileFormat));
    line("  " + stamp);
    line(Plain(t.cal_resistor) + "   //  _ID=" + core::OneLine(t.instrument_id) + "  || " +
         core::OneLine(t.cal_comment));
    if (t.custom_cal) {
        line("Custom Cal     " + stamp);
        line(Plain(t.custom_start_freq));
        line(Plain(t.custom_end_freq));
        line(Plain(t.custom_delta_freq));
    }
    line(Plain(t.cal_max_freq) + "    MUF=" + Plain(t.MUF) + "   temperature= " + Plain(t.cal_temperature));
    line(Plain(t.DDS_Amplitude));
    line(Plain(t.PortA_Sens));
    line(Plain(t.gain_code));
    const int n = std::clamp(t.cal_points, 0, CalCapacity);
    line(Plain(n));
    line(Plain(1));
    const struct {
        const char* heading;
        const char* word;
        const CalArray& re;
        const CalArray& im;
    } tables[3] = {
        {" Short Circuit:", " short", t.short_re, t.short_im},
        {" Open Circuit:", " open", t.open_re, t.open_im},
        {" Standard Resistance:", " std R", t.std_re, t.std_im},
    };
    for (const auto& table : tables) {
        line(table.heading);
        for (int k = 0; k < n; ++k) {
            line(PointLineText(t, k, table.re[static_cast<std::size_t>(k)],
                               table.im[static_cast<std::size_t>(k)], table.word));
        }
    }
    line(" Port B cal data:");
    const int m = portBValid ? std::clamp(t.bcal_points, 0, CalCapacity) : 0;
    line(Plain(m));
    for (int k = 1; k <= 5; ++k) {
        line("  " + Plain(k) + "  " + Plain(t.chan_ref_mag[static_cast<std::size_t>(k)]) + "   " +
             Plain(t.chan_ref_phase[static_cast<std::size_t>(k)] * CalDegreesPerRadian));
    }
    line("B Low range");
    for (int i = 0; i < m; ++i) {
        line(PortBLineText(t.bcal[static_cast<std::size_t>(i)], false));
    }
    line("B High range");
    for (int i = 0; i < m; ++i) {
        line(PortBLineText(t.bcal[static_cast<std::size_t>(i)], true));
    }
    return s;
}

std::string ChannelCalFileName(std::string_view remembered, int channel) {
    const core::SplitPathResult parts = core::SplitPath(remembered);
    // The first "." of the file name, not of the folder: a folder such as ".local" stays whole.
    const std::size_t dot = parts.name.find('.');
    const std::string base = dot == std::string::npos ? parts.name + "." : parts.name.substr(0, dot + 1);
    return parts.folder + base + "chan" + std::to_string(channel);
}

bool WriteCalFile(core::Program& p, const std::string& path) {
    const core::AppState& st = p.st;
    const std::string text = CalFileText(p.cal, p.clock.now(), st.portb_cal_ok != 0);
    if (core::FileIsWriteProtected(path) || !core::WriteFileAtomic(path, text)) {
        if (path.size() >= 3) {
            p.ui.message(
                "The file named: " + core::SplitPath(path).name +
                    "  \ris a Read-Only file.\rIt cannot be updated.\rMake sure the Read-Only bit for all "
                    "the files in \rthe VNA folder is NOT set.",
                "");
        }
        return false;
    }
    return true;
}

bool SaveCalFile(core::Program& p, const std::string& initialName) {
    core::AppState& st = p.st;
    std::string name;
    if (st.multichan_number == 0 || st.multichan_number == 1) {
        platform::FileDialog dialog;
        dialog.title = " Save Calibration File";
        dialog.initialFolder = core::DialogFolder(st.cal_folder, st.ProgramFolder);
        dialog.initialName = initialName;
        if (st.multichan_number == 0) {
            dialog.filter = "Cal Files(*.acal)|*.acal||";
            dialog.defaultExtension = "acal";
        } else {
            dialog.filter = "Cal Files(*.chan*)|*.chan*||";
            dialog.defaultExtension = "chan";
        }
        const auto chosen = p.ui.saveFile(dialog);
        if (!chosen) {
            return false;
        }
        name = *chosen;
        st.calSaveName = name;
    } else {
        name = st.calSaveName;
    }
    if (st.multichan_number > 0) {
        if (name.empty()) {
            return false;
        }
        name = ChannelCalFileName(name, st.multichan_number);
    }
    if (name.size() < 3) {
        return false;
    }
    SetCalFileName(st, name);
    if (!st.portb_cal_ok) {
        p.cal.bcal_points = 0;
    }
    if (st.InstrumentPresent) {
        // A calibration is made on the attached instrument; its file says which one.
        p.cal.instrument_id = st.instrument_id;
    }
    return WriteCalFile(p, name);
}
void SetCalFileName(core::AppState& st, const std::string& path) {
    st.cal_file = path;
    const core::SplitPathResult parts = core::SplitPath(path);
    st.cal_folder = parts.folder;
    st.cal_file_name = parts.name;
}

} // namespace vna::cal
