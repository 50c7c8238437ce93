#include "core/app_state.h"

#include <cmath>

namespace vna::core {

namespace {

struct DefaultBand {
    const char* name;
    double start;
    double end;
    double step;
};

constexpr DefaultBand DefaultBands[BandCount] = {
    {"160_meters", 1.7, 2.1, 0.01},   {" 80_meters", 3.4, 4.1, 0.02},   {" 60_meters", 5.3, 5.5, 0.005},
    {" 40_meters", 6.9, 7.4, 0.01},   {" 30_meters", 10, 10.2, 0.005},  {" 20_meters", 13.9, 14.5, 0.01},
    {" 17_meters", 18, 18.2, 0.01},   {" 15_meters", 20.9, 21.6, 0.01}, {" 12_meters", 24.7, 25.1, 0.01},
    {" 10_meters", 27.9, 29.8, 0.01}, {"  6_meters", 49.5, 54.5, 0.1},  {"  2_meters", 143.5, 148.5, 0.1},
    {" Band_A", 1, 150, 2},           {" Band_B", 1, 21, 0.2},          {" Band_C", 5, 45, 0.25},
    {" Band_D", 13, 43, 0.2},
};

// Default colours of config lines 1..16, in line order.
constexpr Rgb DefaultColorTable[DefaultColorCount] = {
    Color(240, 0, 0),     Color(240, 120, 0),   Color(0, 150, 0),     Color(130, 240, 180),
    Color(200, 0, 200),   Color(200, 180, 240), Color(0, 200, 200),   Color(0, 0, 200),
    Color(175, 175, 250), Color(200, 200, 0),   Color(225, 225, 0),   Color(255, 174, 0),
    Color(255, 195, 125), Color(180, 220, 255), Color(230, 230, 230), Color(200, 0, 0),
};

} // namespace

std::int32_t MakeDateCode(int year, int month, int day) {
    return 10000 * (year % 100) + 100 * month + day;
}

Rgb DefaultColor(int k) {
    if (k < 1 || k > DefaultColorCount) {
        return 0;
    }
    return DefaultColorTable[k - 1];
}

void RecountMarkers(AppState& st) {
    int count = 0;
    for (int k = 1; k <= MarkerSlots; ++k) {
        const double f = st.markers.slot[k][0];
        if (f > 0.001 && f < 999) {
            ++count;
        }
    }
    st.markers.markerCount = count;
}

void ResetToDefaults(AppState& st, int year, int month, int day) {
    static_cast<Settings&>(st) = Settings{};

    // 1. Today's date code.
    st.DateCode = MakeDateCode(year, month, day);

    // 2. Voice folder and colours.
    st.voicefilefolder = "Sounds_1\\";
    for (int k = 1; k <= DefaultColorCount; ++k) {
        st.defaultColors[k] = DefaultColor(k);
    }
    st.RedColor = DefaultColor(1);
    st.LightRed = DefaultColor(2);
    st.Green = DefaultColor(3);
    st.LightGreen = DefaultColor(4);
    st.Magenta = DefaultColor(5);
    st.LightMagenta = DefaultColor(6);
    st.traceColor7 = DefaultColor(7);
    st.Blue = DefaultColor(8);
    st.LightBlue = DefaultColor(9);
    st.Yellow = DefaultColor(10);
    st.LightYellow = DefaultColor(11);
    st.Orange = DefaultColor(12);
    st.LightOrange = DefaultColor(13);
    st.chartFillColor = DefaultColor(14);
    st.gridColor = DefaultColor(15);
    st.monitorTextColor = DefaultColor(16);
    st.sectionLineColor = Color(200, 200, 200);

    // 3. Window size from the screen, in integer arithmetic.
    st.defaultWinWidth = st.ScreenWidth * 9 / 10;
    st.defaultWinHeight = st.ScreenHeight * 7 / 10;
    st.WinWidth = st.defaultWinWidth;
    st.WinHeight = st.defaultWinHeight;
    st.RefScreenWidth = 1024;
    st.RefScreenHeight = 768;

    // 4. File table: every folder is the program's folder, every name empty.
    st.cal_folder = st.config_folder = st.scan_folder = st.ProgramFolder;
    st.spare_folder = st.picture_folder = st.marker_folder = st.ProgramFolder;
    st.cal_file = st.config_file = st.scan_file = "";
    st.spare_file = st.picture_file = st.marker_file = "";

    // 5. Marker table: every slot free.
    for (int k = 1; k <= MarkerSlots; ++k) {
        st.markers.slot[k].fill(0);
        st.markers.slot[k][0] = MarkerNotSet;
    }
    st.markers.markerNext = 1;
    st.markers.markerCount = 0;
    st.markers.markerRotation = 0;

    // 6. Bands, external-control output file and registry path.
    for (int k = 1; k <= BandCount; ++k) {
        const DefaultBand& b = DefaultBands[k - 1];
        st.bandTable[k] = Band{b.start, b.end, b.step, b.name};
    }
    st.bandCount = BandCount;
    st.outputfile = "c:\\AutoScan.csv";
    st.registryPath = "hkey_current_user\\software\\MORVANE\\";

    // 7. Frequencies.
    st.start_freq = 5;
    st.end_freq = 25;
    st.delta_freq = 0.202;
    st.freq = st.start_freq;
    st.freq_comp = 1;

    // 8. Sample tables of the reading analysis.
    for (int k = 0; k < 16; ++k) {
        const double a = k * 2 * TablePi / 16;
        st.sinTab1[k] = std::sin(a);
        st.cosTab1[k] = std::cos(a);
        st.sinTab2[k] = std::sin(2 * a);
        st.cosTab2[k] = std::cos(2 * a);
        st.sinTab3[k] = std::sin(3 * a);
        st.cosTab3[k] = std::cos(3 * a);
    }
}

} // namespace vna::core
