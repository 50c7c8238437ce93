// The six status buttons and the status window.

#include <gtest/gtest.h>

#include "commands/startup.h"
#include "display/status_panel.h"
#include "support/test_rig.h"

using namespace vna;

TEST(StatusPanel, TextsColoursAndWidth) {
    core::AppState st;
    core::ResetToDefaults(st, 2026, 1, 2);
    st.average = 1;
    EXPECT_EQ(display::StatusText(st, 1), "Average is OFF        ");
    EXPECT_EQ(display::StatusColor(st, 1), core::Color(175, 175, 175));
    st.average = 16;
    EXPECT_EQ(display::StatusText(st, 1), "Average= 16           ");
    EXPECT_EQ(display::StatusColor(st, 1), core::Color(190, 220, 240));
    st.Zo = 75;
    EXPECT_EQ(display::StatusColor(st, 5), core::Color(255, 150, 150));
    st.Zo = 50;
    EXPECT_EQ(display::StatusColor(st, 5), core::Color(190, 220, 240));
    st.Z0imag = -12.5;
    EXPECT_EQ(display::StatusText(st, 5), "Zo= 50 - j 12.5000    ");
    st.trend = 3;
    EXPECT_EQ(display::StatusColor(st, 3), core::Color(255, 150, 150));
    // "Line Extension= 12.35 cm" has 24 characters: cut to 22, or 20 without the bold font.
    st.ExtensionLength = 0.1235;
    EXPECT_EQ(display::StatusText(st, 4), "Line Extension= 12.35 ");
    st.boldGraphFont = 0;
    EXPECT_EQ(display::StatusText(st, 4), "Line Extension= 12.3");
    st.interpolate = 0;
    EXPECT_EQ(display::StatusText(st, 6), "Interpolation is OFF");
    EXPECT_EQ(display::StatusColor(st, 6), core::Color(175, 175, 175));
    st.DDSdelay = 5;
    EXPECT_EQ(display::StatusText(st, 2), "Settling Time= 5 ms ");
}

TEST(StatusPanel, OnlyChangedButtonsAreDrawnAgain) {
    test::TestRig rig;
    commands::Startup(rig.p(), core::ParseStartOptions({"vna", "--demo"}));
    auto& ops = rig.ui.canvas()->ops;
    ops.clear();
    display::RefreshStatusPanel(rig.p());
    EXPECT_TRUE(rig.ui.canvas()->texts().empty()) << "nothing changed, nothing drawn";
    rig.st().average = 1;
    display::RefreshStatusPanel(rig.p());
    ASSERT_EQ(rig.ui.canvas()->texts().size(), 1u);
    EXPECT_EQ(rig.ui.canvas()->texts()[0], "Average is OFF        ");
    // Colour alone changes too: the extension switched on keeps its text.
    ops.clear();
    rig.st().ExtensionFlag = 1;
    display::UpdateStatus(rig.p(), 4);
    ASSERT_EQ(rig.ui.canvas()->texts().size(), 1u);
    const std::string fill = "fill ";
    bool blue = false;
    for (const auto& o : ops) {
        blue = blue || (o.rfind(fill, 0) == 0 &&
                        o.find(std::to_string(core::Color(190, 220, 240))) != std::string::npos);
    }
    EXPECT_TRUE(blue);
}

TEST(StatusPanel, StatusWindowListsTheState) {
    test::TestRig rig;
    commands::Startup(rig.p(), core::ParseStartOptions({"vna", "--demo"}));
    rig.st().delay_smoothing = -5;
    rig.st().freq_comp = 1.000002;
    rig.st().cursorFreq = 14.25;
    rig.st().configVersion = 251;
    display::ShowStatusWindow(rig.p());
    ASSERT_EQ(rig.ui.textWindows.size(), 1u);
    const auto& lines = rig.ui.textWindows[0].second;
    const auto has = [&](const std::string& l) {
        return std::find(lines.begin(), lines.end(), l) != lines.end();
    };
    const auto starting = [&](const std::string& prefix) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.starts_with(prefix); });
    };
    EXPECT_TRUE(has("Cursor Freq=  14.250000"));
    EXPECT_TRUE(has("Config file version= 251"));
    EXPECT_EQ(starting("DC Input Voltage="), 0) << "no supply line without an instrument";
    EXPECT_EQ(starting("Myvar"), 0) << "the diagnostic values only in diagnostic mode";
    EXPECT_TRUE(has("Graph window size = " + std::to_string(rig.st().WinWidth) + "x" +
                    std::to_string(rig.st().WinHeight)));
    EXPECT_TRUE(has("Delay Smoothing= 5 percent "));
    EXPECT_TRUE(has("Freq Compensation= 1.00000200 =  2.00 ppm"));
    EXPECT_TRUE(has("Port A is calibrated")) << "demo mode counts both ports as calibrated";
    EXPECT_TRUE(has("*** Standard Cal Mode *** "));
    EXPECT_TRUE(has("Cal delta freq= 0.20 MHz"));
    EXPECT_TRUE(has("Interpolation is on."));
    EXPECT_EQ(rig.log.count("ui.textWindow: Status"), 1);

    rig.st().InstrumentPresent = 1;
    rig.st().SupplyVolts = 12.34;
    rig.st().SupplyVoltsMin = 11.84;
    rig.st().DiagMode = 1;
    rig.st().myvar1 = 0.5;
    display::ShowStatusWindow(rig.p());
    const auto& more = rig.ui.textWindows[1].second;
    const auto at = [&](const std::string& prefix) {
        return std::find_if(more.begin(), more.end(),
                            [&](const std::string& l) { return l.starts_with(prefix); }) -
               more.begin();
    };
    const auto supply = at("DC Input Voltage= 12.3    min Voltage since power-up =  11.8");
    EXPECT_LT(supply, at("Zo=")) << "the supply line comes before Zo";
    EXPECT_GT(supply, at("Line Extension="));
    EXPECT_LT(at("Config file version= 251"), at("Myvar1= 0.500000"));
    EXPECT_EQ(more.back(), "Myvar4= 0");
}
