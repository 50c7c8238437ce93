#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

#include "files/init_file.h"
#include "settings_files.h"

using namespace vna;
using test::DefaultInitLines;
using test::ReadInitText;
using test::ReadInitWithLine;

namespace {

const char* const MissingText = "The INIT data file was not found in the same folder with the .exe file.\r"
                                "A new init file will be created when you close this program.";
const char* const FormatText =
    "The init file is not compatible with this program.\rThe expected format is:  4145"
    "\r\r\nA new init file will be created when you close this program.";

// The keys of the keyed lines, by line number, with their blanks.
const std::vector<std::pair<int, std::string>> Keys = {
    {1, "format   "},
    {2, "freq    "},
    {3, "start_freq    "},
    {4, "end_freq    "},
    {5, "delta_freq    "},
    {6, "freq_comp    "},
    {7, "osc_freq    "},
    {8, "swr_scale    "},
    {9, "zmag_scale    "},
    {10, "phase_scale   "},
    {11, "Zo   "},
    {12, "VF   "},
    {13, "cable_length  "},
    {14, "plot_swr   "},
    {15, "plot_s11   "},
    {16, "plots21   "},
    {17, "plot_rt  "},
    {18, "plot_zmagA   "},
    {19, "plot_zmagB   "},
    {20, "plot_rsA   "},
    {21, "plot_rsB   "},
    {22, "plot_rpA   "},
    {23, "plot_rpB   "},
    {24, "plot_Q   "},
    {25, "plot_delay   "},
    {26, "plot_ZphaseA   "},
    {27, "plot_ZphaseB   "},
    {28, "plot_phaseS21   "},
    {29, "plot_phaseS11   "},
    {30, "commport   "},
    {31, "cursorena  "},
    {32, "autopoweroff   "},
    {33, "Z0imag   "},
    {34, "Z0real   "},
    {35, "average   "},
    {36, "ExtensionLength   "},
    {37, "PortB_on   "},
    {38, "s21gain_scale   "},
    {39, "s21phase_scale  "},
    {40, "s11gain_scale   "},
    {41, "delay_scale   "},
    {42, "delay_smoothing  "},
    {43, "PortB_Gain   "},
    {44, "PortB_Sens   "},
    {45, "PortA_Gain   "},
    {46, "PortA_Sens   "},
    {47, "autorange   "},
    {50, "highlight   "},
    {51, "bandskip   "},
    {52, "swr_ruler   "},
    {53, "fullscan   "},
    {54, "loss   "},
    {55, "maximumfreq   "},
    {56, "trend   "},
    {57, "Level "},
    {58, "rtloss_scale   "},
    {59, "swrminfreq   "},
    {60, "swrmaxfreq   "},
    {61, "swrmax   "},
    {62, "DDSdelay   "},
    {63, "avgweight   "},
    {64, "interpolate  "},
    {76, "swrstyle   "},
    {77, "zmagstyle   "},
    {78, "rsstyle   "},
    {79, "xsstyle   "},
    {80, "phasestyle  "},
    {81, "rtstyle   "},
    {82, "s11style   "},
    {83, "s21style   "},
    {84, "delaystyle   "},
    {85, "voice   "},
    {86, "Q_scale   "},
    {87, "plot_at_zero   "},
    {88, "Zextension   "},
    {89, "ExtensionVP   "},
    {90, "ExtensionFlag   "},
    {93, "markerena   "},
    {94, "maxmarkers   "},
    {215, "Zsm_real   "},
    {216, "Zsm_imag   "},
    {217, "DDS_Amplitude   "},
    {218, "ruler_1    "},
    {219, "ruler1_on  "},
    {220, "ruler_2    "},
    {221, "ruler2_on  "},
    {222, "scana_ok   "},
    {223, "scanb_ok   "},
    {224, "Zero_Ref   "},
    {225, "Rng1       "},
    {226, "Rng2       "},
    {227, "Rng3       "},
    {228, "Rng4       "},
    {229, "Rng5       "},
    {230, "WinHeight  "},
    {231, "WinWidth   "},
    {232, "RedColor  "},
    {233, "Green      "},
    {234, "Magenta    "},
    {235, "Orange     "},
    {236, "Yellow     "},
    {237, "Blue       "},
    {238, "LightRed   "},
    {239, "LightGreen  "},
    {240, "LightMagenta "},
    {241, "LightOrange  "},
    {242, "LightYellow  "},
    {243, "LightBlue    "},
    {244, "LowPwrMode  "},
    {245, "Msec   "},
    {247, "Recycle_depth  "},
    {248, "Mux_Cal "},
};

// A state far from the defaults, every value inside the reader's limits.
void ChangeEverything(core::AppState& st) {
    st.LegendOn = 1;
    st.freq = 14.2;
    st.start_freq = 3.5;
    st.end_freq = 3.8;
    st.delta_freq = 0.0015;
    st.freq_comp = 1.000012;
    st.swr_scale = 3;
    st.swrLog = 1;
    st.Zo = 75;
    st.Z0real = 75;
    st.VF = 0.82;
    st.plot_swr = 0;
    st.plot_Q = 1;
    st.commport = 12;
    st.average = 16;
    st.ExtensionLength = -0.125;
    st.s21phase_scale = 180;
    st.s11gain_scale = -40.5;
    st.PortB_Sens = 2;
    st.PortA_Sens = 1;
    st.config_file_name = "my.cfg";
    st.cal_file_name = "dipole.acal";
    st.loss = 0.00012345;
    st.trend = 3;
    st.trendOn = 1;
    st.rtloss_scale = -40;
    st.initSpareLine = "spare text";
    st.cal_folder = "/home/u/cal files/";
    st.cal_file = "/home/u/cal files/dipole.acal";
    st.config_file = "/etc/vna/my.cfg";
    st.scan_file = "C:\\Scans\\Old Scan.scn";
    st.marker_file = "/m/a.mrk";
    st.Zextension = 93;
    st.ExtensionVP = 0.7;
    st.ExtensionFlag = 1;
    st.markerena = 1;
    st.markers.slot[3] = {7.05, 51.5, -3.25, 0, 0.125, 1.2, 21.5, 0, 0, 0, 0};
    st.markers.slot[20] = {145.5, 1, 2, 0, 3, 4, 5, 0, 0, 0, 0};
    st.Zsm_imag = -12.5;
    st.DDS_Amplitude = 80;
    st.ruler_1 = 1.5;
    st.ruler1_on = 1;
    st.Rng3 = 0.5;
    st.WinHeight = 600;
    st.WinWidth = 900;
    st.RedColor = core::Color(1, 2, 3);
    st.LightBlue = core::Color(255, 255, 255);
    st.DdsPowerOn = 0;
    st.instrument_id = " 4711";
    st.Recycle_depth = 7;
    st.RecycleDepth2 = 9;
    st.Mux_Cal = 2;
}

} // namespace

TEST(InitFile, DefaultsAndAChangedStateSurviveAWriteAndARead) {
    for (bool changed : {false, true}) {
        auto a = test::DefaultRig();
        if (changed) {
            ChangeEverything(a->st());
        }
        ASSERT_TRUE(files::WriteInitFile(a->p()));
        auto b = test::DefaultRig();
        files::ReadInitFormatFile(b->p(), a->dir.file("VNA_Init_Data.ini"));
        EXPECT_TRUE(b->ui.messages().empty());
        // Every persisted field, at the file's precision. The default S21 phase scale of 0 lies
        // outside the reader's range and reads as 200.
        std::string expected = test::InitTextWithoutMsec(a->p());
        if (!changed) {
            const std::string zero = "s21phase_scale   0\r\n";
            ASSERT_NE(expected.find(zero), std::string::npos);
            expected.replace(expected.find(zero), zero.size(), "s21phase_scale   200\r\n");
        }
        EXPECT_EQ(expected, test::InitTextWithoutMsec(b->p()));

        const core::AppState& x = a->st();
        const core::AppState& y = b->st();
        EXPECT_EQ(y.swrLog, x.swrLog);
        EXPECT_EQ(y.DdsPowerOn, x.DdsPowerOn);
        EXPECT_EQ(y.RecycleDepth2, x.Recycle_depth + 2);
        EXPECT_EQ(y.trendOn, x.trendOn);
        EXPECT_NEAR(y.Rng2, x.Rng2, 1e-15);
        EXPECT_NEAR(y.Rng3, x.Rng3, 1e-15);
        EXPECT_EQ(y.Z0real, x.Zo);
        EXPECT_EQ(y.Z0imag, 0);
        EXPECT_EQ(y.cal_file, x.cal_file);
        EXPECT_EQ(y.scan_file, x.scan_file);
        EXPECT_EQ(y.instrument_id, x.instrument_id);
        EXPECT_EQ(y.LegendOn, x.LegendOn);
        EXPECT_EQ(y.markers.slot[3], x.markers.slot[3]);
        EXPECT_EQ(y.markers.markerCount, changed ? 2 : 0);
        EXPECT_EQ(y.markers.markerNext, changed ? 3 : 1);
        EXPECT_EQ(y.NumDecimals, 3);
        if (changed) {
            EXPECT_EQ(y.s21phase_scale, 180);
            EXPECT_NEAR(y.ExtensionAngle, core::TwoPi * -0.125 / (0.7 * 299.8), 1e-12);
            EXPECT_EQ(y.delta_freq_text, " 0.00150"); // a 0.3 MHz span shows 5 decimals
        } else {
            EXPECT_EQ(y.s21phase_scale, 200);
            EXPECT_EQ(y.delta_freq_text, " 0.202");
        }
    }
}

TEST(InitFile, LayoutKeysNumbersAndLineEnds) {
    auto rig = test::DefaultRig();
    rig->st().freq = 14.2;
    rig->st().swrLog = 1;
    rig->st().DdsPowerOn = 0;
    rig->st().config_file_name = "a.cfg";
    rig->st().instrument_id = " 77";
    rig->clock.ticks = 123456;
    ASSERT_TRUE(files::WriteInitFile(rig->p()));
    EXPECT_EQ(rig->st().NumDecimals, 3);
    const std::string text = test::ReadFile(rig->dir.file("VNA_Init_Data.ini"));
    // CR LF after every line and nowhere else.
    std::size_t crlf = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
            ++crlf;
        } else if (text[i] == '\r') {
            ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
        }
    }
    const auto lines = test::Lines(text);
    ASSERT_EQ(lines.size(), 250u);
    EXPECT_EQ(crlf, 250u);
    for (const auto& [number, key] : Keys) {
        const std::string& line = lines[static_cast<std::size_t>(number - 1)];
        EXPECT_EQ(line.substr(0, key.size() + 1), key + " ") << "line " << number;
    }
    for (int k = 0; k < 20; ++k) {
        const char* names[] = {"markerFreq   ",  "markerRs   ",  "markerXs   ",
                               "markerPhase   ", "markerSwr   ", "markerRt   "};
        for (int f = 0; f < 6; ++f) {
            const std::string& line = lines[static_cast<std::size_t>(94 + 6 * k + f)];
            EXPECT_EQ(line.rfind(names[f], 0), 0u) << "marker " << k + 1 << " field " << f;
        }
    }
    EXPECT_EQ(lines[0], "format    4145");
    EXPECT_EQ(lines[1], "freq     14.199999809265");
    EXPECT_EQ(lines[2], "start_freq     5");
    EXPECT_EQ(lines[4], "delta_freq     0.202000000000");
    EXPECT_EQ(lines[7], "swr_scale     10L");
    EXPECT_EQ(lines[39], "s11gain_scale    -60");
    EXPECT_EQ(lines[47], "a.cfg");
    EXPECT_EQ(lines[54], "maximumfreq    180");
    EXPECT_EQ(lines[94], "markerFreq    9999");
    EXPECT_EQ(lines[225], "Rng2        0.200000000000");
    EXPECT_EQ(lines[231], "RedColor   240");
    EXPECT_EQ(lines[232], "Green       38400");
    EXPECT_EQ(lines[243], "LowPwrMode   1");
    EXPECT_EQ(lines[244], "Msec    123456");
    EXPECT_EQ(lines[245], " 77");
    EXPECT_EQ(lines[248], "EIF - End of Init File");
    // Settings the line table has no place for follow its end, where readers of the table alone
    // do not look; a file without them leaves their defaults.
    EXPECT_EQ(lines[249], "LegendOn    0");
    auto legend = test::DefaultRig();
    const std::string path = legend->dir.file("legend.ini");
    test::WriteFile(path, text.substr(0, text.rfind("LegendOn")) + "LegendOn    1\r\n");
    files::ReadInitFormatFile(legend->p(), path);
    EXPECT_EQ(legend->st().LegendOn, 1);
    test::WriteFile(path, text.substr(0, text.rfind("LegendOn")));
    files::ReadInitFormatFile(legend->p(), path);
    EXPECT_EQ(legend->st().LegendOn, 1) << "a file without the line changes nothing";
}

TEST(InitFile, ReadingLimitsOfTheSettings) {
    struct Case {
        int line;
        std::string text;
        double core::AppState::*field;
        double expected;
    };
    const std::vector<Case> cases = {
        {11, "Zo   3.0", &core::AppState::Zo, 50},
        {11, "Zo   3.1", &core::AppState::Zo, 3.1},
        {11, "Zo   1000", &core::AppState::Zo, 1000},
        {11, "Zo   1000.5", &core::AppState::Zo, 50},
        {11, "Zo   -75", &core::AppState::Zo, 50},
        {39, "s21phase_scale  -150", &core::AppState::s21phase_scale, 150},
        {39, "s21phase_scale  0.5", &core::AppState::s21phase_scale, 200},
        {39, "s21phase_scale  201", &core::AppState::s21phase_scale, 200},
        {2, "freq    -7.5", &core::AppState::freq, 7.5},
        {2, "freq    0.001", &core::AppState::freq, 1.0},
        {3, "start_freq    190", &core::AppState::start_freq, 1.0},
        {4, "end_freq    181", &core::AppState::end_freq, 180},
        {4, "end_freq    -20", &core::AppState::end_freq, 20},
        {5, "delta_freq    -0.5", &core::AppState::delta_freq, 0.5},
        {5, "delta_freq    19", &core::AppState::delta_freq, 20.0 / 50},
        {5, "delta_freq    0", &core::AppState::delta_freq, 20.0 / 50},
        // A damaged clock factor would move every frequency (0 sends tuning word 0).
        {6, "freq_comp    0", &core::AppState::freq_comp, 1},
        {6, "freq_comp    -1", &core::AppState::freq_comp, 1},
        {6, "freq_comp    1.2", &core::AppState::freq_comp, 1},
        {6, "freq_comp    1.000012", &core::AppState::freq_comp, 1.000012},
        {6, "freq_comp    0.95", &core::AppState::freq_comp, 0.95},
        {63, "avgweight   0", &core::AppState::avgweight, 1},
        {63, "avgweight   1e9", &core::AppState::avgweight, 1},
        {63, "avgweight   0.125", &core::AppState::avgweight, 0.125},
        {58, "rtloss_scale   -90", &core::AppState::rtloss_scale, 80},
        {58, "rtloss_scale   -30", &core::AppState::rtloss_scale, -30},
        {88, "Zextension   -300", &core::AppState::Zextension, 300},
        {88, "Zextension   0.5", &core::AppState::Zextension, 50},
        {89, "ExtensionVP   -0.8", &core::AppState::ExtensionVP, 0.8},
        {89, "ExtensionVP   1.2", &core::AppState::ExtensionVP, 0.6666},
        {226, "Rng2       0.2", &core::AppState::Rng2, 0.2 / 57.3},
    };
    for (const Case& c : cases) {
        auto rig = ReadInitWithLine(c.line, c.text);
        EXPECT_DOUBLE_EQ(rig->st().*c.field, c.expected) << c.text;
        EXPECT_TRUE(rig->ui.messages().empty()) << c.text;
    }
    struct IntCase {
        int line;
        std::string text;
        std::int32_t core::AppState::*field;
        std::int32_t expected;
    };
    const std::vector<IntCase> ints = {
        {44, "PortB_Sens   0", &core::AppState::PortB_Sens, 1},
        {44, "PortB_Sens   3", &core::AppState::PortB_Sens, 1},
        {44, "PortB_Sens   2", &core::AppState::PortB_Sens, 2},
        {46, "PortA_Sens   0", &core::AppState::PortA_Sens, 2},
        {46, "PortA_Sens   3", &core::AppState::PortA_Sens, 2},
        {46, "PortA_Sens   1", &core::AppState::PortA_Sens, 1},
        {14, "plot_swr   -3", &core::AppState::plot_swr, 1},
        {14, "plot_swr   0", &core::AppState::plot_swr, 0},
        {30, "commport   6.6", &core::AppState::commport, 7},
        {90, "ExtensionFlag   -1", &core::AppState::ExtensionFlag, 1},
        {230, "WinHeight  50", &core::AppState::WinHeight, 100},
        {231, "WinWidth   150", &core::AppState::WinWidth, 200},
        {244, "LowPwrMode  1", &core::AppState::DdsPowerOn, 0},
        {244, "LowPwrMode  0", &core::AppState::DdsPowerOn, 1},
        {247, "Recycle_depth  5", &core::AppState::RecycleDepth2, 7},
        {56, "trend   2", &core::AppState::trendOn, 1},
        {56, "trend   21", &core::AppState::trend, 0},
        {56, "trend   -3", &core::AppState::trend, 0},
        {56, "trend   20", &core::AppState::trend, 20},
        {35, "average   1000", &core::AppState::average, 4},
        {35, "average   0", &core::AppState::average, 4},
        {35, "average   256", &core::AppState::average, 256},
        {62, "DDSdelay   99", &core::AppState::DDSdelay, 31},
        {62, "DDSdelay   -3", &core::AppState::DDSdelay, 0},
    };
    for (const IntCase& c : ints) {
        auto rig = ReadInitWithLine(c.line, c.text);
        EXPECT_EQ(rig->st().*c.field, c.expected) << c.text;
    }
    // A Zo line also sets the complex reference; a Z0real below the minimum clears both parts.
    auto zo = ReadInitWithLine(11, "Zo   75");
    EXPECT_EQ(zo->st().Z0real, 50); // line 34 of the default file comes later and holds 50
    auto low = ReadInitWithLine(34, "Z0real   2");
    EXPECT_EQ(low->st().Z0real, 50);
    EXPECT_EQ(low->st().Z0imag, 0);
    // The stored angle goes back out as it came in.
    auto rng = ReadInitWithLine(226, "Rng2       0.2");
    EXPECT_EQ(test::Lines(files::InitFileText(rng->p(), 0))[225], "Rng2        0.200000000000");
}

TEST(InitFile, OnlyPositionsCount) {
    // Misspelt keys: the file is still read completely.
    auto lines = DefaultInitLines();
    lines[2] = "strat_frequency 7";
    lines[3] = "x 9";
    lines[29] = "com_port    3";
    lines[246] = "Recycle 4";
    auto rig = ReadInitText(test::JoinCrLf(lines));
    EXPECT_EQ(rig->st().start_freq, 7);
    EXPECT_EQ(rig->st().end_freq, 9);
    EXPECT_EQ(rig->st().commport, 3);
    EXPECT_EQ(rig->st().Recycle_depth, 4);

    // The "L" suffix of the SWR scale, with or without the blank after the key.
    auto log = ReadInitWithLine(8, "swr_scale    10L");
    EXPECT_EQ(log->st().swr_scale, 10);
    EXPECT_EQ(log->st().swrLog, 1);
    auto lin = ReadInitWithLine(8, "swr_scale    10");
    EXPECT_EQ(lin->st().swr_scale, 10);
    EXPECT_EQ(lin->st().swrLog, 0);

    // The two file names: kept only when they name their kind of file, and in lower case.
    auto cal = ReadInitWithLine(49, "");
    EXPECT_EQ(cal->st().cal_file_name, "");
    lines = DefaultInitLines();
    lines[47] = "My Config.CFG";
    lines[48] = "C:\\Cal\\Dipole.ACAL";
    auto names = ReadInitText(test::JoinCrLf(lines));
    EXPECT_EQ(names->st().config_file_name, "my config.cfg");
    EXPECT_EQ(names->st().cal_file_name, "c:\\cal\\dipole.acal");
    auto keep = test::DefaultRig();
    keep->st().cal_file_name = "old.acal";
    lines[48] = "notes.txt";
    test::WriteFile(keep->dir.file("VNA_Init_Data.ini"), test::JoinCrLf(lines));
    files::ReadInitFile(keep->p());
    EXPECT_EQ(keep->st().cal_file_name, "old.acal");

    // The same file with bare LF line ends reads the same.
    std::string lf;
    lines = DefaultInitLines();
    lines[10] = "Zo   60";
    for (const auto& line : lines) {
        lf += line + "\n";
    }
    auto bare = ReadInitText(lf);
    EXPECT_TRUE(bare->ui.messages().empty());
    EXPECT_EQ(bare->st().Zo, 60);
    auto crlf = ReadInitText(test::JoinCrLf(lines));
    EXPECT_EQ(test::InitTextWithoutMsec(bare->p()), test::InitTextWithoutMsec(crlf->p()));
}

TEST(InitFile, MarkerCountDecidesHowManyMarkerLinesFollow) {
    // Three markers: the line after their 18 lines is Zsm_real.
    auto lines = DefaultInitLines();
    std::vector<std::string> file(lines.begin(), lines.begin() + 93);
    file.push_back("maxmarkers   3");
    const double freqs[] = {7.1, 0.0005, 9500};
    for (double f : freqs) {
        file.push_back("markerFreq   " + std::to_string(f));
        for (const char* key :
             {"markerRs   ", "markerXs   ", "markerPhase   ", "markerSwr   ", "markerRt   "}) {
            file.push_back(std::string(key) + "1.5");
        }
    }
    file.push_back("Zsm_real   42");
    file.insert(file.end(), lines.begin() + 215, lines.end());
    auto rig = ReadInitText(test::JoinCrLf(file));
    const auto& m = rig->st().markers;
    EXPECT_DOUBLE_EQ(m.slot[1][0], 7.1);
    EXPECT_EQ(m.slot[1][1], 1.5);
    EXPECT_EQ(m.slot[1][6], 1.5);
    EXPECT_EQ(m.slot[2][0], core::MarkerNotSet); // below 0.001
    EXPECT_EQ(m.slot[3][0], 9500);
    EXPECT_EQ(m.slot[4][0], core::MarkerNotSet);
    EXPECT_EQ(m.markerCount, 1); // only 7.1 lies inside (0.001, 9000)
    EXPECT_EQ(rig->st().Zsm_real, 42);
    EXPECT_EQ(rig->st().Zsm_imag, 0);
    EXPECT_EQ(rig->st().DDS_Amplitude, 100);

    // More markers than slots: the extra groups are passed over, nothing is written past slot 20.
    file = std::vector<std::string>(lines.begin(), lines.begin() + 93);
    file.push_back("maxmarkers   22");
    for (int k = 1; k <= 22; ++k) {
        file.push_back("markerFreq   " + std::to_string(k));
        for (int f = 0; f < 5; ++f) {
            file.push_back("x " + std::to_string(k));
        }
    }
    file.push_back("Zsm_real   43");
    auto many = ReadInitText(test::JoinCrLf(file));
    EXPECT_EQ(many->st().markers.slot[20][0], 20);
    EXPECT_EQ(many->st().markers.markerCount, 20);
    EXPECT_EQ(many->st().markers.markerNext, 0);
    EXPECT_EQ(many->st().Zsm_real, 43);

    // A count of a billion or a negative count on a short file.
    for (const char* count : {"maxmarkers   1e9", "maxmarkers   -4"}) {
        file = std::vector<std::string>(lines.begin(), lines.begin() + 93);
        file.push_back(count);
        file.push_back("markerFreq   5");
        auto odd = ReadInitText(test::JoinCrLf(file));
        EXPECT_EQ(odd->st().markers.markerCount, count[13] == '1' ? 1 : 0) << count;
    }
}

TEST(InitFile, EmptySweepAndTheChannelCalName) {
    auto lines = DefaultInitLines();
    lines[2] = "start_freq    12";
    lines[3] = "end_freq    12";
    auto rig = ReadInitText(test::JoinCrLf(lines));
    EXPECT_EQ(rig->st().start_freq, 1);
    EXPECT_EQ(rig->st().end_freq, 21);
    EXPECT_EQ(rig->st().delta_freq, 0.25);

    auto chan = test::DefaultRig();
    chan->st().cal_file = "/cal/array.chan4";
    ASSERT_TRUE(files::WriteInitFile(chan->p()));
    EXPECT_EQ(chan->st().cal_file, "/cal/array.chan1");
    EXPECT_EQ(test::Lines(test::ReadFile(chan->dir.file("VNA_Init_Data.ini")))[66], "/cal/array.chan1");
    chan->st().cal_file = "/cal/x.channels/a.chan12";
    files::InitFileText(chan->p(), 0);
    EXPECT_EQ(chan->st().cal_file, "/cal/x.channels/a.chan1");
    chan->st().cal_file = "/cal/plain.acal";
    files::InitFileText(chan->p(), 0);
    EXPECT_EQ(chan->st().cal_file, "/cal/plain.acal");
}

TEST(InitFile, MissingOrForeignFileKeepsTheDefaultsAndSaysSo) {
    auto missing = test::DefaultRig();
    missing->st().start_freq = 30;
    missing->st().end_freq = 20;
    files::ReadInitFile(missing->p());
    ASSERT_EQ(missing->ui.messages().size(), 1u);
    EXPECT_EQ(missing->ui.messages()[0].text, MissingText);
    EXPECT_EQ(missing->ui.messages()[0].caption, " No INIT data");
    // The empty-sweep rule still runs for a missing file.
    EXPECT_EQ(missing->st().start_freq, 1);
    EXPECT_EQ(missing->st().end_freq, 21);

    for (const std::string& first : {std::string("format   4146"), std::string(""), std::string("4145"),
                                     std::string("format   nan"), std::string("\x01\xff\x00 4145", 7)}) {
        auto lines = DefaultInitLines();
        lines[0] = first;
        lines[10] = "Zo   60";
        auto rig = test::DefaultRig();
        rig->st().Zo = 75;
        rig->st().start_freq = 30; // not corrected after the format message
        test::WriteFile(rig->dir.file("VNA_Init_Data.ini"), test::JoinCrLf(lines));
        files::ReadInitFile(rig->p());
        ASSERT_EQ(rig->ui.messages().size(), 1u) << first;
        EXPECT_EQ(rig->ui.messages()[0].text, FormatText);
        EXPECT_EQ(rig->ui.messages()[0].caption, " Invalid *.ini file");
        EXPECT_EQ(rig->st().Zo, 75);
        EXPECT_EQ(rig->st().start_freq, 30);
    }
    // An empty file and a folder in place of the file.
    auto empty = ReadInitText("");
    EXPECT_EQ(empty->ui.messages().at(0).caption, " Invalid *.ini file");
    auto folder = test::DefaultRig();
    std::filesystem::create_directory(folder->dir.file("VNA_Init_Data.ini"));
    files::ReadInitFile(folder->p());
    EXPECT_EQ(folder->ui.messages().at(0).caption, " No INIT data");
}

TEST(InitFile, DamagedValuesReadAsNumbersWithinTheLimits) {
    auto lines = DefaultInitLines();
    lines[10] = "Zo   nan";
    lines[2] = "start_freq   --5";
    lines[3] = "end_freq   1e999";
    lines[29] = "commport   1e999";
    lines[34] = "average   -1e999";
    lines[51] = "swr_ruler   " + std::string(100000, '9');
    lines[65] = std::string(100000, 'x');
    lines[245] = std::string(100000, '7');
    lines[231] = "RedColor   -1";
    // Values that would overflow the arithmetic done on them, or make every reading NaN.
    lines[35] = "ExtensionLength   1e300";
    lines[89] = "ExtensionFlag   1";
    lines[246] = "Recycle_depth  1e999";
    lines[229] = "WinHeight  1e12";
    auto rig = ReadInitText(test::JoinCrLf(lines));
    const auto& st = rig->st();
    EXPECT_EQ(st.ExtensionLength, 0);
    EXPECT_TRUE(std::isfinite(st.ExtensionAngle));
    EXPECT_EQ(st.RecycleDepth2, st.Recycle_depth + 2);
    EXPECT_LE(st.Recycle_depth, 1000000);
    EXPECT_LE(st.WinHeight, 10000);
    EXPECT_EQ(st.Zo, 50);
    EXPECT_EQ(st.start_freq, 1.0);
    EXPECT_EQ(st.end_freq, 180);
    EXPECT_EQ(st.commport, 6) << "no port has that number";
    EXPECT_EQ(st.average, 4);
    EXPECT_TRUE(std::isfinite(st.swr_ruler));
    EXPECT_EQ(st.cal_folder.size(), 255u);
    EXPECT_EQ(st.instrument_id.size(), 255u);
    EXPECT_EQ(st.RedColor, 0xFFFFFFu);
    // Values that went wrong in memory never reach the file as NaN or infinity.
    auto odd = test::DefaultRig();
    odd->st().VF = std::nan("");
    odd->st().Rng3 = 1e308;
    const auto out = test::Lines(files::InitFileText(odd->p(), 0));
    EXPECT_EQ(out[11], "VF    0");
    EXPECT_EQ(out[226].find("inf"), std::string::npos) << out[226];
    // What was read writes out as a file that reads back the same.
    auto again = ReadInitText(files::InitFileText(rig->p(), 0));
    EXPECT_EQ(test::InitTextWithoutMsec(again->p()), test::InitTextWithoutMsec(rig->p()));
}

TEST(InitFile, ATruncatedFileKeepsTheFieldsItDoesNotReach) {
    const auto lines = DefaultInitLines();
    for (std::size_t keep : {1u, 4u, 40u, 100u, 247u}) {
        std::vector<std::string> cut(lines.begin(), lines.begin() + static_cast<long>(keep));
        cut[0] = "format    4145";
        if (keep > 3) {
            cut[2] = "start_freq    30";
        }
        auto rig = test::DefaultRig();
        rig->st().Mux_Cal = 5;
        test::WriteFile(rig->dir.file("VNA_Init_Data.ini"), test::JoinCrLf(cut));
        files::ReadInitFile(rig->p());
        EXPECT_TRUE(rig->ui.messages().empty()) << keep;
        EXPECT_EQ(rig->st().Mux_Cal, 5) << keep; // line 248 not reached
        EXPECT_GT(rig->st().end_freq - rig->st().start_freq, 0.0001) << keep;
        EXPECT_EQ(rig->st().NumDecimals, 3);
    }
}

TEST(InitFile, AFailedWriteSaysSoAndKeepsTheOldFile) {
    // The program's folder is a plain file: nothing can be created in it.
    auto rig = test::DefaultRig();
    const std::string blocker = rig->dir.file("blocker");
    test::WriteFile(blocker, "x");
    rig->st().ProgramFolder = blocker + "/";
    EXPECT_FALSE(files::WriteInitFile(rig->p()));
    ASSERT_EQ(rig->ui.messages().size(), 1u);
    EXPECT_EQ(rig->ui.messages()[0].text,
              "The file named: VNA_Init_Data.ini  \ris a Read-Only file.\rIt cannot be updated.\r"
              "Make sure the Read-Only bit for all the files in \rthe VNA folder is NOT set.");
    EXPECT_EQ(rig->ui.messages()[0].caption, "");
    EXPECT_EQ(rig->st().NumDecimals, 3);

    // A read-only init file stays as it is, even for a user who could replace it.
    auto ro = test::DefaultRig();
    const std::string path = ro->dir.file("VNA_Init_Data.ini");
    test::WriteFile(path, "old settings");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_FALSE(files::WriteInitFile(ro->p()));
    EXPECT_EQ(ro->ui.messages().size(), 1u);
    EXPECT_EQ(test::ReadFile(path), "old settings");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    EXPECT_TRUE(files::WriteInitFile(ro->p()));
    EXPECT_EQ(test::Lines(test::ReadFile(path)).size(), 250u);
    for (const auto& entry : std::filesystem::directory_iterator(ro->dir.path())) {
        EXPECT_EQ(entry.path().filename(), "VNA_Init_Data.ini") << "left behind";
    }

    // An empty path fails silently.
    auto quiet = test::DefaultRig();
    EXPECT_FALSE(files::WriteInitFormatFile(quiet->p(), "", ""));
    EXPECT_TRUE(quiet->ui.messages().empty());
}
