// The cal file: its layout, writing and reading back, every check against the attached
// instrument with its message, damaged files, and the commands that save and load it.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "cal/cal_file.h"
#include "commands/state_commands.h"
#include "core/cal_table.h"
#include "core/text_lines.h"
#include "display/status_panel.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

constexpr const char* Id = " 1042";

// A calibration as a procedure leaves it: the three Port A tables, three Port B points and the
// channel references.
std::unique_ptr<core::CalTable> MakeTable(int n, bool custom) {
    auto t = std::make_unique<core::CalTable>();
    t->cal_resistor = 50;
    t->instrument_id = Id;
    t->cal_comment = "bench cal";
    t->cal_max_freq = 180;
    t->MUF = 180;
    t->cal_temperature = 77.5;
    t->DDS_Amplitude = 100;
    t->PortA_Sens = 2;
    t->gain_code = 1;
    t->cal_points = n;
    if (custom) {
        t->custom_cal = 1;
        t->custom_start_freq = 1;
        t->custom_end_freq = 1 + 0.05 * (n - 5);
        t->custom_delta_freq = 0.05;
    }
    for (int k = 0; k < n; ++k) {
        const auto u = static_cast<std::size_t>(k);
        t->short_re[u] = 62.12346 + 0.001 * k;
        t->short_im[u] = -1.23456 + 0.01 * k;
        t->open_re[u] = 250000.5 - 3.3 * k;
        t->open_im[u] = -40000.25 + 17.1 * k;
        t->std_re[u] = 124.98761 + 0.002 * k;
        t->std_im[u] = 0.5 * k - 3;
    }
    t->bcal_points = 3;
    const double f[3] = {0.005, 1.0, 2.0};
    for (int i = 0; i < 3; ++i) {
        core::BCalPoint& b = t->bcal[static_cast<std::size_t>(i)];
        b.freq = f[i];
        b.lowMag = 0.9876543 - 0.01 * i;
        b.highMag = 3.9 - 0.02 * i;
        b.lowPhase = -0.1 * i;
        b.highPhase = -0.1 * i - 0.05;
    }
    for (int k = 1; k <= 5; ++k) {
        t->chan_ref_mag[static_cast<std::size_t>(k)] = 1 + 0.5 * k;
        t->chan_ref_phase[static_cast<std::size_t>(k)] = 0.2 * k;
    }
    return t;
}

std::string FileText(const core::CalTable& t, bool portB = true) {
    return cal::CalFileText(t, {2026, 12, 7, 12, 0, 0, 0}, portB);
}

// The program with an instrument of ID " 1042" and the 180 MHz range attached, and its settings at
// their defaults.
struct CalRig : test::TestRig {
    CalRig() {
        core::ResetToDefaults(st(), 2026, 12, 7);
        ui.createMainWindow(0, 0, 1000, 700);
        st().InstrumentPresent = 1;
        st().instrument_id = Id;
        ui.calls.clear();
    }
    // Loads `text` as the cal file `name` quietly; returns LastError.
    int load(const std::string& text, const std::string& name = "x.acal") {
        const std::string path = dir.file(name);
        test::WriteFile(path, text);
        st().cal_file = path;
        ui.calls.clear();
        cal::LoadCalFile(p(), 0);
        return st().LastError;
    }
    std::vector<platform::fake::UiCall> messages() { return ui.messages(); }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    for (auto l : core::SplitLines(text)) {
        out.emplace_back(l);
    }
    return out;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) {
        s += l + "\r\n";
    }
    return s;
}

// The lines of a good file with line `index` (0-based) replaced, or removed when `with` is null.
std::string Edited(const std::string& text, std::size_t index, const char* with) {
    auto lines = Lines(text);
    if (with) {
        lines.at(index) = with;
    } else {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(index));
    }
    return Join(lines);
}

void ExpectSameTables(const core::CalTable& a, const core::CalTable& b) {
    ASSERT_EQ(a.cal_points, b.cal_points);
    for (int k = 0; k < a.cal_points; ++k) {
        const auto u = static_cast<std::size_t>(k);
        ASSERT_NEAR(a.short_re[u], b.short_re[u], 0.5e-4) << k;
        ASSERT_NEAR(a.short_im[u], b.short_im[u], 0.5e-4) << k;
        ASSERT_NEAR(a.open_re[u], b.open_re[u], 0.5e-4) << k;
        ASSERT_NEAR(a.open_im[u], b.open_im[u], 0.5e-4) << k;
        ASSERT_NEAR(a.std_re[u], b.std_re[u], 0.5e-4) << k;
        ASSERT_NEAR(a.std_im[u], b.std_im[u], 0.5e-4) << k;
    }
    ASSERT_EQ(a.bcal_points, b.bcal_points);
    for (int i = 0; i < a.bcal_points; ++i) {
        const auto u = static_cast<std::size_t>(i);
        EXPECT_NEAR(a.bcal[u].freq, b.bcal[u].freq, 0.5e-6);
        EXPECT_NEAR(a.bcal[u].lowMag, b.bcal[u].lowMag, 0.5e-7);
        EXPECT_NEAR(a.bcal[u].highMag, b.bcal[u].highMag, 0.5e-7);
        EXPECT_NEAR(a.bcal[u].lowPhase, b.bcal[u].lowPhase, 1e-8);
        EXPECT_NEAR(a.bcal[u].highPhase, b.bcal[u].highPhase, 1e-8);
    }
    for (std::size_t k = 1; k <= 5; ++k) {
        EXPECT_NEAR(a.chan_ref_mag[k], b.chan_ref_mag[k], 0.5e-6);
        EXPECT_NEAR(a.chan_ref_phase[k], b.chan_ref_phase[k], 1e-7);
    }
    EXPECT_EQ(a.cal_resistor, b.cal_resistor);
    EXPECT_EQ(a.instrument_id, b.instrument_id);
    EXPECT_EQ(a.cal_comment, b.cal_comment);
    EXPECT_EQ(a.custom_cal, b.custom_cal);
    EXPECT_NEAR(a.custom_start_freq, b.custom_start_freq, 0.5e-6);
    EXPECT_NEAR(a.custom_end_freq, b.custom_end_freq, 0.5e-6);
    EXPECT_NEAR(a.custom_delta_freq, b.custom_delta_freq, 0.5e-6);
    EXPECT_EQ(a.cal_max_freq, b.cal_max_freq);
    EXPECT_EQ(a.MUF, b.MUF);
    EXPECT_EQ(a.cal_temperature, b.cal_temperature);
    EXPECT_EQ(a.DDS_Amplitude, b.DDS_Amplitude);
    EXPECT_EQ(a.PortA_Sens, b.PortA_Sens);
    EXPECT_EQ(a.gain_code, b.gain_code);
}

} // namespace

TEST(CalFile, LayoutOfTheLines) {
    auto t = MakeTable(921, false);
    const auto lines = Lines(FileText(*t));
    ASSERT_EQ(lines.size(), 9u + 3 * (1 + 921) + 2 + 5 + 2 * (1 + 3));
    EXPECT_EQ(lines[0], " 13800");
    EXPECT_EQ(lines[1], "  12-07-2026  12:00:00");
    EXPECT_EQ(lines[2], " 50   //  _ID= 1042  || bench cal");
    EXPECT_EQ(lines[3], " 180    MUF= 180   temperature=  77.500000");
    EXPECT_EQ(lines[4], " 100");
    EXPECT_EQ(lines[5], " 2");
    EXPECT_EQ(lines[6], " 1");
    EXPECT_EQ(lines[7], " 921");
    EXPECT_EQ(lines[8], " 1");
    EXPECT_EQ(lines[9], " Short Circuit:");
    EXPECT_EQ(lines[13], "   0.0200      62.1265       -1.2046    3");
    EXPECT_EQ(lines[10 + 20], "   0.2000      62.1435       -1.0346   20");
    EXPECT_EQ(lines[10 + 921], " Open Circuit:");
    EXPECT_EQ(lines[10 + 922 + 921], " Standard Resistance:");
    const std::size_t b = 9 + 3 * 922;
    EXPECT_EQ(lines[b], " Port B cal data:");
    EXPECT_EQ(lines[b + 1], " 3");
    EXPECT_EQ(lines[b + 2], "   1   1.500000    11.460000");
    EXPECT_EQ(lines[b + 7], "B Low range");
    EXPECT_EQ(lines[b + 9], "   1.000000       0.9776543       -5.7300000 low");
    EXPECT_EQ(lines[b + 11], "B High range");
    EXPECT_EQ(lines[b + 12], "   0.005000       3.9000000       -2.8650000 high");
    // Every line ends in CR LF.
    const std::string text = FileText(*t);
    EXPECT_EQ(text.substr(0, 8), " 13800\r\n");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

    // A custom file: four more header lines, and the custom frequency and the standard's word
    // after the index.
    auto c = MakeTable(25, true);
    const auto cl = Lines(FileText(*c));
    EXPECT_EQ(cl[3], "Custom Cal     12-07-2026  12:00:00");
    EXPECT_EQ(cl[4], " 1");
    EXPECT_EQ(cl[5], " 2");
    EXPECT_EQ(cl[6], " 0.050000");
    EXPECT_EQ(cl[14 + 3], "   0.0200      62.1265       -1.2046    3   1.050000 short");
    EXPECT_EQ(cl[14 + 26 + 0], "   0.0050  250000.5000   -40000.2500    0   0.900000 open");
    EXPECT_EQ(cl[14 + 52 + 2], "   0.0150     124.9916       -2.0000    2   1 std R");
    // Port B not valid: the count is 0 and no Port B point is written.
    const auto nb = Lines(FileText(*t, false));
    EXPECT_EQ(nb[b + 1], " 0");
    EXPECT_EQ(nb.size(), b + 2 + 5 + 2);
}

TEST(CalFile, WrittenAndReadBackIsTheSameTableAndTheSameFile) {
    for (bool custom : {false, true}) {
        auto t = MakeTable(custom ? 30012 : 921, custom);
        const std::string text = FileText(*t);
        // Without an instrument no interpolation runs, so the table stays as read.
        CalRig rig;
        rig.st().InstrumentPresent = 0;
        ASSERT_EQ(rig.load(text), 0);
        ExpectSameTables(*t, rig.p().cal);
        EXPECT_EQ(rig.p().cal.bcal[1].freq, 1.0);
        EXPECT_EQ(rig.st().porta_cal_ok, 1);
        EXPECT_EQ(rig.st().portb_cal_ok, 1);
        // Saved again (the clock shows the same moment): the same bytes.
        rig.ui.fileAnswers = {rig.dir.file("again.acal")};
        ASSERT_TRUE(cal::SaveCalFile(rig.p()));
        EXPECT_EQ(test::ReadFile(rig.dir.file("again.acal")), text) << (custom ? "custom" : "standard");
    }
}

TEST(CalFile, SaveChoosesTheNameAndWritesThroughAReplace) {
    CalRig rig;
    auto& st = rig.st();
    rig.p().cal = *MakeTable(921, false);
    st.portb_cal_ok = 0;
    st.cal_folder = "x";
    rig.ui.fileAnswers = {rig.dir.file("bench.acal")};
    ASSERT_TRUE(cal::SaveCalFile(rig.p()));
    ASSERT_EQ(rig.ui.calls.size(), 1u);
    EXPECT_EQ(rig.ui.calls[0].kind, "saveFile");
    EXPECT_EQ(rig.ui.calls[0].text, " Save Calibration File");
    EXPECT_EQ(rig.ui.calls[0].caption, rig.dir.folder()); // a folder shorter than 3 characters is not set
    EXPECT_EQ(st.cal_file, rig.dir.file("bench.acal"));
    EXPECT_EQ(st.cal_file_name, "bench.acal");
    EXPECT_EQ(st.cal_folder, rig.dir.folder());
    EXPECT_EQ(rig.p().cal.bcal_points, 0); // Port B not valid: nothing of it is saved
    EXPECT_EQ(Lines(test::ReadFile(rig.dir.file("bench.acal")))[9 + 3 * 922 + 1], " 0");
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(rig.dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1);

    // A cancelled dialog writes nothing and says nothing.
    rig.ui.calls.clear();
    EXPECT_FALSE(cal::SaveCalFile(rig.p()));
    EXPECT_TRUE(rig.messages().empty());

    // A read-only file is not replaced.
    const std::string ro = rig.dir.file("locked.acal");
    test::WriteFile(ro, "old");
    std::filesystem::permissions(ro, std::filesystem::perms::owner_read);
    rig.ui.fileAnswers = {ro};
    EXPECT_FALSE(cal::SaveCalFile(rig.p()));
    ASSERT_EQ(rig.messages().size(), 1u);
    EXPECT_EQ(rig.messages()[0].text,
              "The file named: locked.acal  \ris a Read-Only file.\rIt cannot be updated.\r"
              "Make sure the Read-Only bit for all the files in \rthe VNA folder is NOT set.");
    EXPECT_EQ(rig.messages()[0].caption, "");
    EXPECT_EQ(test::ReadFile(ro), "old");
}

TEST(CalFile, MultichannelFilesFollowTheNameOfChannelOne) {
    CalRig rig;
    auto& st = rig.st();
    rig.p().cal = *MakeTable(921, false);
    st.multichan_number = 1;
    rig.ui.fileAnswers = {rig.dir.file("array.chan")};
    ASSERT_TRUE(cal::SaveCalFile(rig.p()));
    ASSERT_EQ(rig.ui.calls.size(), 1u);
    EXPECT_EQ(rig.ui.calls[0].kind, "saveFile");
    EXPECT_EQ(st.cal_file, rig.dir.file("array.chan1"));
    st.multichan_number = 3;
    ASSERT_TRUE(cal::SaveCalFile(rig.p()));
    EXPECT_EQ(rig.ui.calls.size(), 1u); // no second dialog
    EXPECT_EQ(st.cal_file, rig.dir.file("array.chan3"));
    EXPECT_EQ(st.cal_file_name, "array.chan3");
    EXPECT_TRUE(std::filesystem::exists(rig.dir.file("array.chan1")));
    EXPECT_TRUE(std::filesystem::exists(rig.dir.file("array.chan3")));
    // The name up to the first "." of the file name, whatever the folder is called.
    EXPECT_EQ(cal::ChannelCalFileName("/home/u/.local/x.chan1", 6), "/home/u/.local/x.chan6");
    EXPECT_EQ(cal::ChannelCalFileName("C:\\cal\\ant.v2.chan1", 2), "C:\\cal\\ant.chan2");
    EXPECT_EQ(cal::ChannelCalFileName("plain", 4), "plain.chan4");
    // A channel file is loaded like any other; a missing one takes the Port B cal away.
    st.multichan_number = 2;
    st.portb_cal_ok = 1;
    st.cal_file = rig.dir.file("array.chan2");
    cal::LoadCalFile(rig.p(), 0);
    EXPECT_EQ(st.LastError, cal::CalFileNotFound);
    EXPECT_EQ(st.portb_cal_ok, 0);
    st.cal_file = rig.dir.file("array.chan3");
    cal::LoadCalFile(rig.p(), 0);
    EXPECT_EQ(st.LastError, 0);
}

TEST(CalFile, HeaderRules) {
    const std::string good = FileText(*MakeTable(921, false));
    {
        CalRig rig;
        EXPECT_EQ(rig.load(Edited(good, 0, " 13805")), 0);
        EXPECT_EQ(rig.p().cal.cal_resistor, 50);
        EXPECT_EQ(rig.p().cal.cal_comment, "bench cal");
        EXPECT_EQ(rig.p().cal.cal_temperature, 77.5);
        EXPECT_TRUE(rig.messages().empty());
    }
    {
        CalRig rig;
        EXPECT_EQ(rig.load(Edited(good, 0, " 13810")), cal::CalFileWrongFormat);
        ASSERT_EQ(rig.messages().size(), 1u);
        EXPECT_EQ(rig.messages()[0].text, "The cal file is not in a compatible format for this program.");
        EXPECT_EQ(rig.messages()[0].caption, "Incorrect Cal File Format");
        // Without an instrument the same refusal is silent.
        rig.st().InstrumentPresent = 0;
        EXPECT_EQ(rig.load(Edited(good, 0, " 13810")), cal::CalFileWrongFormat);
        EXPECT_TRUE(rig.messages().empty());
    }
    {
        // A range line without "MUF=": MUF is the instrument's range.
        CalRig rig;
        EXPECT_EQ(rig.load(Edited(good, 3, " 180   temperature= 70")), 0);
        EXPECT_EQ(rig.p().cal.MUF, 180);
        EXPECT_EQ(rig.p().cal.cal_temperature, 70);
        EXPECT_EQ(rig.p().cal.cal_max_freq, 180);
        // MUF is read from the 8 characters after "MUF=".
        EXPECT_EQ(rig.load(Edited(good, 3, " 180    MUF= 175.40000099   temperature= 0")), 0);
        EXPECT_DOUBLE_EQ(rig.p().cal.MUF, 175.4);
        EXPECT_EQ(rig.p().cal.cal_temperature, 0);
    }
    {
        CalRig rig;
        EXPECT_EQ(rig.load(Edited(good, 3, " 180    MUF= 180   temperature=  250")),
                  cal::CalFileBadTemperature);
        ASSERT_EQ(rig.messages().size(), 1u);
        EXPECT_EQ(rig.messages()[0].text, "Invalid cal file, Temperature value error=  250");
        EXPECT_EQ(rig.messages()[0].caption, " Error 26805");
        EXPECT_EQ(rig.st().porta_cal_ok, 0);
    }
    {
        // Another instrument, another range: refused with an instrument, taken without one.
        CalRig rig;
        EXPECT_EQ(rig.load(Edited(good, 2, " 50   //  _ID= 7777  || x")), cal::CalFileOtherInstrument);
        ASSERT_EQ(rig.messages().size(), 1u);
        EXPECT_EQ(
            rig.messages()[0].text,
            "This cal file is for a different instrument.\r\rPlease load another cal file or recalibrate.");
        EXPECT_EQ(rig.messages()[0].caption, "Invalid cal file");
        EXPECT_EQ(rig.load(Edited(good, 2, " 50   // no id here")), cal::CalFileOtherInstrument);
        EXPECT_EQ(rig.load(Edited(good, 3, " 120    MUF= 120   temperature=  77")), cal::CalFileOtherRange);
        ASSERT_EQ(rig.messages().size(), 1u);
        EXPECT_EQ(rig.messages()[0].text,
                  "The cal data file is not appropriate for this particular instrument.\rThis instrument has "
                  "a freq "
                  "range of  180 MHz.\rThe cal file has a range of  120 MHz.\r\rPlease calibrate again.");
        EXPECT_EQ(rig.messages()[0].caption, "");
        rig.st().InstrumentPresent = 0;
        EXPECT_EQ(rig.load(Edited(good, 2, " 50   //  _ID= 7777  || x")), 0);
        EXPECT_EQ(rig.p().cal.cal_comment, "x");
        EXPECT_EQ(rig.load(Edited(good, 3, " 120    MUF= 120   temperature=  77")), 0);
        EXPECT_EQ(rig.p().cal.cal_max_freq, 120);
    }
    {
        // A scan step beyond a tenth of the range is repaired, and the file is not trusted.
        CalRig rig;
        rig.st().delta_freq = 20;
        EXPECT_EQ(rig.load(good), cal::CalFileOtherInstrument);
        EXPECT_EQ(rig.st().delta_freq, 1);
        EXPECT_EQ(rig.load(good), 0);
    }
}

TEST(CalFile, PortBIsReadOnlyWhenTheFileHasIt) {
    auto t = MakeTable(921, false);
    t->bcal_points = 0;
    std::string text = FileText(*t, false);
    // Whatever follows the count of 0 is not read.
    text += "garbage that is never read\r\n";
    CalRig rig;
    rig.ui.fileAnswers = {};
    ASSERT_EQ(rig.load(text), 0);
    EXPECT_EQ(rig.st().portb_cal_ok, 0);
    EXPECT_EQ(rig.st().porta_cal_ok, 1);
    EXPECT_TRUE(cal::CalSummaryText(rig.p()).ends_with("This cal file is valid for Port A only."));
    // "dumpchan=" after the count.
    auto lines = Lines(FileText(*MakeTable(921, false)));
    lines[9 + 3 * 922 + 1] = " 3 dumpchan= 4";
    ASSERT_EQ(rig.load(Join(lines)), 0);
    EXPECT_EQ(rig.p().cal.dumpchan, 4);
    EXPECT_EQ(rig.p().cal.bcal_points, 3);
    EXPECT_EQ(rig.st().portb_cal_ok, 1);
    EXPECT_TRUE(cal::CalSummaryText(rig.p()).ends_with("This cal file is valid for Port A and Port B."));
}

TEST(CalFile, ACustomFileIsReadByPosition) {
    auto t = MakeTable(205, true);
    auto lines = Lines(FileText(*t));
    // The first column and the index of a custom file are standard-grid numbers: they never
    // change the data.
    for (std::size_t i = 14; i < 14 + 205; ++i) {
        lines[i].replace(0, 9, "   9.9999");
    }
    CalRig rig;
    ASSERT_EQ(rig.load(Join(lines)), 0);
    const auto& c = rig.p().cal;
    EXPECT_EQ(c.custom_cal, 1);
    EXPECT_NEAR(c.short_re[100], t->short_re[100], 0.5e-4);
    EXPECT_NEAR(c.std_im[204], t->std_im[204], 0.5e-4);
    // The grid in use is the custom one.
    EXPECT_EQ(c.cal_start, 1);
    EXPECT_NEAR(c.caldelta, 0.05, 1e-12);
    EXPECT_EQ(c.firstcalndx, 1);
}

TEST(CalFile, AFailedLoadLeavesThePreviousCalibrationInForce) {
    const std::string good = FileText(*MakeTable(921, false));
    const std::size_t openHeading = 9 + 922;
    const std::size_t stdHeading = 9 + 2 * 922;
    const std::size_t portB = 9 + 3 * 922;
    auto big = MakeTable(921, false);
    std::string tooMany = Edited(good, 7, " 30013");
    std::string truncated = good.substr(0, good.size() / 2);
    std::string nanValue = Edited(good, 500, "  10.0000  nan  -3.0000  490");
    std::string hugeValue = Edited(good, 500, "  10.0000  1e300  -3.0000  490");
    const std::string binary("\x7f"
                             "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0",
                             20);
    struct Case {
        const char* what;
        std::string text;
        int code;
        const char* caption;
    };
    const std::vector<Case> cases = {
        {"empty", "", cal::CalFileWrongFormat, "Incorrect Cal File Format"},
        {"binary", binary, cal::CalFileWrongFormat, "Incorrect Cal File Format"},
        {"0 points", Edited(good, 7, " 0"), cal::CalFileBadHeaderValue, "Incorrect Cal File Format"},
        {"30013 points", tooMany, cal::CalFileBadHeaderValue, "Incorrect Cal File Format"},
        {"truncated", truncated, cal::CalFileBadPointLine, "Incorrect Cal File Format"},
        {"NaN", nanValue, cal::CalFileBadPointLine, "Incorrect Cal File Format"},
        {"huge", hugeValue, cal::CalFileBadPointLine, "Incorrect Cal File Format"},
        {"no short", Edited(good, 9, " Sh Circuit:"), cal::CalFileNoShortHeading,
         "Incorrect Cal File Format"},
        {"no open", Edited(good, openHeading, "Open:"), cal::CalFileNoOpenHeading,
         "Incorrect Cal File Format"},
        {"no resistance", Edited(good, stdHeading, " Standard:"), cal::CalFileNoResistanceHeading,
         "Incorrect Cal File Format"},
        {"no low range", Edited(good, portB + 7, "B range"), cal::CalFileNoLowRangeHeading, " 92323"},
        {"no Port B block", good.substr(0, good.find(" Port B cal data:")), cal::CalFileBadPointLine,
         "Incorrect Cal File Format"},
        {"Port B cut", Edited(good, portB + 9, nullptr).substr(0, good.size() - 60), cal::CalFileBadPointLine,
         "Incorrect Cal File Format"},
        {"no amplitude", Edited(good, 4, " 0"), cal::CalFileBadHeaderValue, "Incorrect Cal File Format"},
        {"bad custom limits", Edited(FileText(*MakeTable(205, true)), 6, " -0.05"),
         cal::CalFileBadHeaderValue, "Incorrect Cal File Format"},
    };
    for (const Case& c : cases) {
        CalRig rig;
        auto& st = rig.st();
        ASSERT_EQ(rig.load(good, "good.acal"), 0);
        rig.p().cal.cal_comment = "in force";
        const double shortValue = rig.p().cal.short_re[500];
        st.PortA_Sens = 2;
        st.DDS_Amplitude = 100;
        ASSERT_EQ(rig.load(c.text, "bad.acal"), c.code) << c.what;
        const auto messages = rig.messages();
        ASSERT_FALSE(messages.empty()) << c.what;
        EXPECT_EQ(messages.back().caption, c.caption) << c.what;
        if (c.code == cal::CalFileNoLowRangeHeading) {
            EXPECT_EQ(messages.size(), 2u);
            EXPECT_EQ(messages[0].text, "Cal file error:\rExpected:    low range\rRead    :  B range");
            EXPECT_EQ(messages[1].text, " Cal File Error =  2383");
        }
        EXPECT_EQ(rig.p().cal.cal_comment, "in force") << c.what;
        EXPECT_EQ(rig.p().cal.short_re[500], shortValue) << c.what;
        EXPECT_EQ(rig.p().cal.cal_points, 921) << c.what;
        EXPECT_EQ(st.porta_cal_ok, 1) << c.what;
        EXPECT_EQ(st.portb_cal_ok, 1) << c.what;
        EXPECT_EQ(st.cal_loaded, 1) << c.what;
    }
    // The texts of the heading and point checks.
    CalRig rig;
    rig.load(Edited(good, openHeading, "Open:"));
    EXPECT_EQ(rig.messages()[0].text, "Cal file error:\rExpected:    Open Circuit\rRead    :  open:");
    rig.load(Edited(good, 9, " Sh Circuit:"));
    EXPECT_EQ(rig.messages()[0].text, "Cal file error:\rExpected:    Short Circuit\rRead    :   sh circuit:");
    rig.load(nanValue);
    EXPECT_EQ(
        rig.messages()[0].text,
        "Cal file error:\rExpected:    Short Circuit point 490\rRead    :    10.0000  nan  -3.0000  490");
    rig.load(Edited(good, 7, " 0"));
    EXPECT_EQ(rig.messages()[0].text, "Cal file error:\rNumber of cal points = 0\rExpected:    22 to 30012");
}

TEST(CalFile, AMissingFileAsksForACalibrationOnlyWithAnInstrument) {
    CalRig rig;
    auto& st = rig.st();
    st.cal_file = rig.dir.file("none.acal");
    st.portb_cal_ok = 1;
    cal::LoadCalFile(rig.p(), 0);
    EXPECT_EQ(st.LastError, cal::CalFileNotFound);
    ASSERT_EQ(rig.messages().size(), 1u);
    EXPECT_EQ(
        rig.messages()[0].text,
        "The calibration file was not found.\rPlease run the calibration procedure before doing any tests.");
    EXPECT_EQ(rig.messages()[0].caption, "Cal Required");
    EXPECT_EQ(st.portb_cal_ok, 1);
    rig.ui.calls.clear();
    st.InstrumentPresent = 0;
    cal::LoadCalFile(rig.p(), 0);
    EXPECT_EQ(st.LastError, cal::CalFileNotFound);
    EXPECT_TRUE(rig.messages().empty());
    // A folder is not a file.
    st.cal_file = rig.dir.path();
    cal::LoadCalFile(rig.p(), 0);
    EXPECT_EQ(st.LastError, cal::CalFileNotFound);
}

TEST(CalFile, ALoadAppliesTheCalSettingsAndShowsThemInTheStatus) {
    auto t = MakeTable(921, false);
    t->DDS_Amplitude = 80;
    t->PortA_Sens = 3; // not a sensitivity: taken as 2
    t->gain_code = 2;
    CalRig rig;
    auto& st = rig.st();
    ASSERT_EQ(rig.load(FileText(*t), "bench.acal"), 0);
    EXPECT_EQ(st.DDS_Amplitude, 80);
    EXPECT_EQ(st.PortA_Sens, 2);
    EXPECT_EQ(st.PortA_Gain, 2);
    EXPECT_EQ(st.cal_loaded, 1);
    EXPECT_EQ(st.cal_file_name, "bench.acal");
    EXPECT_EQ(st.cal_folder, rig.dir.folder());
    const auto& c = rig.p().cal;
    EXPECT_EQ(c.cal_start, 0.005);
    EXPECT_EQ(c.cal_end, 180);
    EXPECT_EQ(c.caldelta, 0.2);
    EXPECT_EQ(c.firstcalndx, 19);
    auto lines = display::StatusWindowLines(rig.p());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Cal File = bench.acal"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Cal Comment = bench cal"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "*** Standard Cal Mode *** "), lines.end());
    ASSERT_EQ(rig.load(FileText(*MakeTable(205, true))), 0);
    lines = display::StatusWindowLines(rig.p());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "*** Custom Cal Mode *** "), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Custom delta freq= 0.0500"), lines.end());
}

TEST(CalFile, TheLoadCommandAsksTheUserAndSaysWhatWasLoaded) {
    CalRig rig;
    auto& st = rig.st();
    test::WriteFile(rig.dir.file("bench.acal"), FileText(*MakeTable(921, false)));
    st.cal_folder = rig.dir.folder();
    st.ExtensionLength = 0.127;
    st.ExtensionFlag = 1;
    rig.ui.fileAnswers = {rig.dir.file("bench.acal")};
    rig.ui.messageAnswers = {platform::Answer::Yes};
    cal::ChooseAndLoadCalFile(rig.p());
    ASSERT_GE(rig.ui.calls.size(), 3u);
    EXPECT_EQ(rig.ui.calls[0].kind, "openFile");
    EXPECT_EQ(rig.ui.calls[0].text, " Load Calibration File");
    EXPECT_EQ(rig.ui.calls[0].caption, rig.dir.folder());
    const auto messages = rig.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "The Line Extension is set for  12.7000 cm\rWould you like to set the Line "
                                "Extension to zero?");
    EXPECT_EQ(messages[0].caption, "Line Extension");
    EXPECT_EQ(messages[0].buttons, platform::Buttons::YesNo);
    EXPECT_EQ(st.ExtensionLength, 0);
    EXPECT_EQ(st.ExtensionFlag, 0);
    EXPECT_EQ(messages[1].caption, " Standard cal");
    EXPECT_EQ(messages[1].text,
              "Standard Calibration File ---\r\rRange = 5 KHz to  180 MHz\r\rComment: bench cal\r"
              "Cal resistor used was  50 ohms\r\rZo REF for analysis =  50 ohms\r\r"
              "This cal file is valid for Port A and Port B.");
    EXPECT_EQ(st.cal_file, rig.dir.file("bench.acal"));

    // A custom file's summary.
    auto t = MakeTable(205, true);
    t->cal_comment.clear();
    test::WriteFile(rig.dir.file("custom.acal"), FileText(*t, false));
    rig.ui.calls.clear();
    rig.ui.fileAnswers = {rig.dir.file("custom.acal")};
    cal::ChooseAndLoadCalFile(rig.p());
    // (The present scan limits lie outside the custom cal: the rebuild after the load says so.)
    ASSERT_GE(rig.messages().size(), 1u);
    EXPECT_EQ(rig.messages()[0].caption, " Custom cal");
    EXPECT_EQ(rig.messages()[0].text,
              "Custom Calibration File ---\r\rRange =  1 to  11 MHz\rFreq step size = 0.050 "
              "MHz\rCal resistor used was  50 ohms\r\rZo REF for analysis =  50 ohms\r\r"
              "This cal file is valid for Port A only.");

    // A refused file: the names of the file in force come back.
    test::WriteFile(rig.dir.file("other.acal"),
                    Edited(FileText(*MakeTable(921, false)), 2, " 50 //  _ID= 9"));
    rig.ui.fileAnswers = {rig.dir.file("other.acal")};
    cal::ChooseAndLoadCalFile(rig.p());
    EXPECT_EQ(st.LastError, cal::CalFileOtherInstrument);
    EXPECT_EQ(st.cal_file, rig.dir.file("custom.acal"));
    EXPECT_EQ(st.cal_file_name, "custom.acal");
    EXPECT_EQ(rig.p().cal.custom_cal, 1);
    // A cancelled dialog changes nothing.
    rig.ui.calls.clear();
    cal::ChooseAndLoadCalFile(rig.p());
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_EQ(st.cal_file, rig.dir.file("custom.acal"));
}

TEST(CalFile, TheExternalEntryPointReturnsTheCode) {
    CalRig rig;
    auto& st = rig.st();
    const std::string good = rig.dir.file("good.acal");
    test::WriteFile(good, FileText(*MakeTable(921, false)));
    EXPECT_EQ(cal::VNA_LoadCalFile(rig.p(), good.c_str()), 0);
    EXPECT_EQ(st.cal_file, good);
    EXPECT_TRUE(rig.messages().empty()); // no summary
    const std::string bad = rig.dir.file("bad.acal");
    test::WriteFile(bad, Edited(FileText(*MakeTable(921, false)), 3, " 180    MUF= 180   temperature= 300"));
    EXPECT_EQ(cal::VNA_LoadCalFile(rig.p(), bad.c_str()), cal::CalFileBadTemperature);
    EXPECT_EQ(st.cal_file, good);
    EXPECT_EQ(cal::VNA_LoadCalFile(rig.p(), nullptr), cal::CalFileNotFound);
    EXPECT_EQ(cal::VNA_LoadCalFile(rig.p(), rig.dir.file("none.acal").c_str()), cal::CalFileNotFound);
    EXPECT_EQ(st.cal_file, good);
    EXPECT_EQ(st.porta_cal_ok, 1);
}

TEST(CalFile, ARecalledStateWhoseCalFileIsGoneKeepsTheCalInForce) {
    CalRig rig;
    auto& st = rig.st();
    test::LeaveSettingsOfAnEarlierRun(rig.p());
    ASSERT_EQ(rig.load(FileText(*MakeTable(921, false)), "bench.acal"), 0);
    // A state that names a cal file that is not there any more.
    const std::string calFile = st.cal_file;
    st.cal_file = rig.dir.file("gone.acal");
    const std::string statePath = rig.dir.file("s.stat");
    rig.ui.fileAnswers = {statePath, statePath};
    commands::SaveStateCommand(rig.p());
    st.cal_file = calFile;
    rig.ui.calls.clear();
    commands::RecallStateCommand(rig.p());
    ASSERT_FALSE(rig.messages().empty());
    EXPECT_EQ(rig.messages()[0].caption, "Cal Required");
    EXPECT_EQ(st.cal_file, calFile);
    EXPECT_EQ(st.cal_file_name, "bench.acal");
    EXPECT_EQ(st.porta_cal_ok, 1);
}

TEST(CalFile, ParsePointLine) {
    auto pl = cal::ParsePointLine("   0.0200      62.1265       -1.2046    3   1.050000 short");
    EXPECT_EQ(pl.c1, 0.02);
    EXPECT_EQ(pl.c2, 62.1265);
    EXPECT_EQ(pl.c3, -1.2046);
    EXPECT_TRUE(pl.c1Number && pl.c2Number && pl.c3Number);
    pl = cal::ParsePointLine("\t5\t-6 7e1 low");
    EXPECT_EQ(pl.c2, -6);
    EXPECT_EQ(pl.c3, 70);
    pl = cal::ParsePointLine(" Open Circuit:");
    EXPECT_FALSE(pl.c1Number || pl.c2Number || pl.c3Number);
    pl = cal::ParsePointLine("  1  2");
    EXPECT_TRUE(pl.c2Number);
    EXPECT_FALSE(pl.c3Number);
}
