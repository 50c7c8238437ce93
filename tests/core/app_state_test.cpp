#include <cmath>
#include <gtest/gtest.h>

#include "core/app_state.h"

using namespace vna::core;

namespace {

AppState Defaults(int screenW = 1280, int screenH = 1024) {
    AppState st;
    st.ScreenWidth = screenW;
    st.ScreenHeight = screenH;
    st.ProgramFolder = "/data/vna/";
    ResetToDefaults(st, 2026, 12, 7);
    return st;
}

} // namespace

TEST(Defaults, AProgramWithoutFilesSweepsFiveToTwentyFiveMegahertz) {
    const AppState st = Defaults();
    EXPECT_EQ(st.start_freq, 5);
    EXPECT_EQ(st.end_freq, 25);
    EXPECT_EQ(st.delta_freq, 0.202);
    EXPECT_EQ(st.freq, st.start_freq);
    EXPECT_EQ(st.Zo, 50);
    EXPECT_EQ(st.commport, 6);
    EXPECT_EQ(st.average, 4);
    EXPECT_EQ(st.PortA_Sens, 2);
    EXPECT_EQ(st.PortB_Sens, 1);
    EXPECT_DOUBLE_EQ(st.loss, 0.0035 / 8.686);
    EXPECT_EQ(st.DdsPowerOn, 1);
    EXPECT_EQ(st.RecycleDepth2, st.Recycle_depth + 2);
    EXPECT_EQ(st.maxScanPoints, 0);
    EXPECT_EQ(st.HighBaudRate, 115000);
    EXPECT_EQ(st.outputfile, "c:\\AutoScan.csv");
    EXPECT_EQ(st.voicefilefolder, "Sounds_1\\");
}

TEST(Defaults, DateCodeIsYymmdd) {
    EXPECT_EQ(Defaults().DateCode, 261207);
    EXPECT_EQ(MakeDateCode(2009, 1, 5), 90105);
    EXPECT_EQ(MakeDateCode(2100, 12, 31), 1231);
}

TEST(Defaults, WindowSizeFollowsTheScreenInIntegerArithmetic) {
    const AppState st = Defaults(1366, 768);
    EXPECT_EQ(st.defaultWinWidth, 1229); // 1366 * 9 / 10 = 1229.4
    EXPECT_EQ(st.defaultWinHeight, 537); // 768 * 7 / 10 = 537.6
    EXPECT_EQ(st.WinWidth, 1229);
    EXPECT_EQ(st.WinHeight, 537);
    EXPECT_EQ(st.RefScreenWidth, 1024);
    EXPECT_EQ(st.RefScreenHeight, 768);
}

TEST(Defaults, FileTableStartsInTheProgramFolder) {
    const AppState st = Defaults();
    for (const std::string* f : {&st.cal_folder, &st.config_folder, &st.scan_folder, &st.spare_folder,
                                 &st.picture_folder, &st.marker_folder}) {
        EXPECT_EQ(*f, "/data/vna/");
    }
    for (const std::string* f :
         {&st.cal_file, &st.config_file, &st.scan_file, &st.spare_file, &st.picture_file, &st.marker_file}) {
        EXPECT_EQ(*f, "");
    }
}

TEST(Defaults, ColoursBandsAndMarkers) {
    const AppState st = Defaults();
    EXPECT_EQ(st.RedColor, Color(240, 0, 0));
    EXPECT_EQ(st.LightOrange, Color(255, 195, 125));
    EXPECT_EQ(st.defaultColors[1], st.RedColor);
    EXPECT_EQ(st.defaultColors[8], st.Blue);
    EXPECT_EQ(st.defaultColors[15], st.gridColor);
    EXPECT_EQ(st.defaultColors[16], Color(200, 0, 0));
    EXPECT_EQ(st.sectionLineColor, Color(200, 200, 200));
    EXPECT_EQ(Color(1, 2, 3), 1u + 256u * 2u + 65536u * 3u);

    EXPECT_EQ(st.bandCount, 16);
    EXPECT_EQ(st.bandTable[1].name, "160_meters");
    EXPECT_EQ(st.bandTable[2].name, " 80_meters");
    EXPECT_EQ(st.bandTable[11].name, "  6_meters");
    EXPECT_EQ(st.bandTable[16].name, " Band_D");
    EXPECT_EQ(st.bandTable[12].start, 143.5);
    EXPECT_EQ(st.bandTable[3].step, 0.005);

    for (int k = 1; k <= MarkerSlots; ++k) {
        EXPECT_EQ(st.markers.slot[k][0], 9999);
        EXPECT_EQ(st.markers.slot[k][1], 0);
        EXPECT_EQ(st.markers.slot[k][6], 0);
    }
}

TEST(Defaults, SampleTablesUseTheTablePi) {
    const AppState st = Defaults();
    EXPECT_EQ(st.sinTab1[0], 0);
    EXPECT_EQ(st.cosTab1[0], 1);
    EXPECT_DOUBLE_EQ(st.sinTab1[4], std::sin(4 * 2 * 3.141592654 / 16));
    EXPECT_DOUBLE_EQ(st.cosTab2[3], std::cos(6 * 2 * 3.141592654 / 16));
    EXPECT_DOUBLE_EQ(st.sinTab3[5], std::sin(15 * 2 * 3.141592654 / 16));
    // 3.141592654 is slightly above pi: sin(pi) from the table is a tiny negative number.
    EXPECT_LT(st.sinTab1[8], 0);
    EXPECT_GT(st.sinTab1[8], -1e-8);
}

TEST(Defaults, ResetPutsChangedSettingsBackButKeepsRunState) {
    AppState st = Defaults();
    st.start_freq = 7;
    st.bandTable[1].name = "mine";
    st.markers.slot[3][0] = 14.2;
    st.RedColor = 0;
    st.InstrumentPresent = 0;
    st.DiagMode = 1;
    st.ProgramRunning = 1;
    st.ModelNumber = 123;
    ResetToDefaults(st, 2026, 1, 2);
    EXPECT_EQ(st.start_freq, 5);
    EXPECT_EQ(st.bandTable[1].name, "160_meters");
    EXPECT_EQ(st.markers.slot[3][0], 9999);
    EXPECT_EQ(st.RedColor, Color(240, 0, 0));
    EXPECT_EQ(st.DateCode, 260102);
    EXPECT_EQ(st.InstrumentPresent, 0);
    EXPECT_EQ(st.DiagMode, 1);
    EXPECT_EQ(st.ProgramRunning, 1);
    EXPECT_EQ(st.ModelNumber, 123);
    EXPECT_EQ(st.ProgramFolder, "/data/vna/");
}

TEST(Markers, RecountTakesSlotsAboveAThousandthAndBelow999) {
    AppState st = Defaults();
    st.markers.slot[1][0] = 14.2;
    st.markers.slot[2][0] = 0.001; // not above 0.001
    st.markers.slot[3][0] = 998.9; // below 999
    st.markers.slot[4][0] = 999;   // a free slot from 999 on
    st.markers.slot[5][0] = 8999.9;
    RecountMarkers(st);
    EXPECT_EQ(st.markers.markerCount, 2);
}
