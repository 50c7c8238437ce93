// The menu bar and the button row as the state says they look, without any window.

#include <gtest/gtest.h>

#include "commands/command_ids.h"
#include "commands/menu_model.h"
#include "commands/menus.h"
#include "support/test_rig.h"

using namespace vna;
using platform::MenuBar;
using platform::MenuItem;

namespace {

core::AppState Defaults() {
    core::AppState st;
    core::ResetToDefaults(st, 2026, 1, 2);
    return st;
}

const platform::Menu* FindMenu(const MenuBar& bar, const std::string& caption) {
    for (const auto& m : bar.menus) {
        if (m.caption == caption) {
            return &m;
        }
    }
    return nullptr;
}

const MenuItem* Find(const std::vector<MenuItem>& items, const std::string& caption) {
    for (const auto& i : items) {
        if (i.caption == caption) {
            return &i;
        }
    }
    return nullptr;
}

std::vector<std::string> Captions(const std::vector<MenuItem>& items) {
    std::vector<std::string> out;
    for (const auto& i : items) {
        out.push_back(i.caption);
    }
    return out;
}

std::vector<std::string> MenuCaptions(const MenuBar& bar) {
    std::vector<std::string> out;
    for (const auto& m : bar.menus) {
        out.push_back(m.caption);
    }
    return out;
}

} // namespace

TEST(MenuModel, PortAMenuBarInItsOrderWithItsCaptions) {
    const core::AppState st = Defaults();
    const MenuBar bar = commands::BuildMenuModel(st);
    EXPECT_EQ(MenuCaptions(bar),
              (std::vector<std::string>{"File", "Functions", "Calibrate", "Setup", "Markers", "Bands",
                                        "Utilities", "Port B Functions", "Multi Channel", "TDR", "Help"}));
    EXPECT_EQ(
        Captions(FindMenu(bar, "File")->items),
        (std::vector<std::string>{"Load Port A Graph", "Save Port A Graph", "Swap Graphs",
                                  "Save Image BitMap", "Print", "Load Calibration File", "Load Config File",
                                  "Save State", "Recall State", "DC Power Off", "Quit"}));
    // The keys of the main window that do what an item does stand beside it.
    std::vector<std::string> keys;
    for (const MenuItem& item : FindMenu(bar, "File")->items) {
        keys.push_back(item.shortcut);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"", "", "Up/Down", "", "P", "", "", "", "", "", "Q"}));
    const auto& setup = FindMenu(bar, "Setup")->items;
    EXPECT_EQ(Captions(setup),
              (std::vector<std::string>{"Plot Parameters", "Graph styles", "Cursor Normally ON", "SWR Ruler",
                                        "Recycle Depth", "Enter Comm Port", "Baud Rate", "Audio Out",
                                        "Power Control", "Default Graph Size"}));
    EXPECT_EQ(
        Captions(Find(setup, "Graph styles")->children),
        (std::vector<std::string>{"SWR", "Zmag", "Rs", "Xs", "Phase", "Return loss", "Gain (S21)", "S11",
                                  "Group Delay", "Legend", "Clear all styles", "Color Selection"}));
    EXPECT_EQ(Captions(FindMenu(bar, "Markers")->items.back().children),
              (std::vector<std::string>{"SWR", "Z   ", "S11"}));
    const auto& functions = FindMenu(bar, "Functions")->items;
    EXPECT_EQ(Captions(Find(functions, "Band Scan")->children),
              (std::vector<std::string>{"Normal Sensitivity", "High Sensitivity(+12dB)"}));
    EXPECT_EQ(Find(functions, "Plot MagRef"), nullptr);
    // Default check marks: cursor on, SWR ruler 1.5, power at full current, no auto power-off.
    EXPECT_TRUE(Find(setup, "Cursor Normally ON")->checked);
    EXPECT_TRUE(Find(setup, "SWR Ruler")->checked);
    const auto& power = Find(setup, "Power Control")->children;
    EXPECT_FALSE(Find(power, "Batt automatic off")->checked);
    EXPECT_FALSE(Find(power, "Low current mode")->checked);
    ASSERT_NE(Find(setup, "Baud Rate"), nullptr);
    const auto& baud = Find(setup, "Baud Rate")->children;
    EXPECT_EQ(Captions(baud), (std::vector<std::string>{"57600", "115000", "230000", "460000"}));
    EXPECT_TRUE(baud[0].checked);
    EXPECT_FALSE(baud[1].checked);
    // Port B functions and multichannel need Port B.
    EXPECT_FALSE(FindMenu(bar, "Port B Functions")->enabled);
    EXPECT_FALSE(FindMenu(bar, "Multi Channel")->enabled);
    EXPECT_EQ(Captions(FindMenu(bar, "Port B Functions")->items),
              (std::vector<std::string>{"Averaging Weight", "Delay Time", "Delay Smoothing", "Rulers",
                                        "Filter Bandwidth"}));
    EXPECT_EQ(FindMenu(bar, "My Vars"), nullptr);
    // Bands: the two toggles, then the sixteen band names with their leading blanks.
    const auto& bands = FindMenu(bar, "Bands")->items;
    ASSERT_EQ(bands.size(), 18u);
    EXPECT_EQ(bands[2].caption, "160_meters");
    EXPECT_EQ(bands[3].caption, " 80_meters");
    EXPECT_EQ(bands[3].id, commands::cmd::BandBase + 2);
    EXPECT_TRUE(bands[3].enabled);
}

TEST(MenuModel, PortBAndTdrChangeTheFileItemsAndTheScanButton) {
    core::AppState st = Defaults();
    st.PortB_on = 1;
    st.portb_cal_ok = 1;
    MenuBar bar = commands::BuildMenuModel(st);
    EXPECT_EQ(FindMenu(bar, "File")->items[0].caption, "Load Port B Graph");
    EXPECT_EQ(FindMenu(bar, "File")->items[1].caption, "Save Port B Graph");
    EXPECT_TRUE(FindMenu(bar, "Port B Functions")->enabled);
    EXPECT_TRUE(FindMenu(bar, "Multi Channel")->enabled);
    auto buttons = commands::BuildButtonRow(st, {30, 12, 14});
    EXPECT_EQ(buttons[1].caption, "Scan B");
    EXPECT_EQ(buttons[2].caption, "Rescan B");
    EXPECT_TRUE(buttons[0].enabled);

    st.TdrActive = 1;
    bar = commands::BuildMenuModel(st);
    EXPECT_EQ(FindMenu(bar, "File")->items[0].caption, "Load TDR graph");
    EXPECT_EQ(FindMenu(bar, "File")->items[1].caption, "Save TDR Graph");
    buttons = commands::BuildButtonRow(st, {30, 12, 14});
    EXPECT_EQ(buttons[1].caption, "Scan TDR");
    EXPECT_EQ(buttons[2].caption, "Rescan TDR");
    EXPECT_FALSE(buttons[0].enabled) << "Port A/B is off while the TDR display is shown";
}

TEST(MenuModel, ButtonRowGeometryAndColours) {
    core::AppState st = Defaults();
    st.WinWidth = 1000;
    st.portb_cal_ok = 0;
    const auto buttons = commands::BuildButtonRow(st, {40, 13, 16});
    ASSERT_EQ(buttons.size(), 12u);
    const std::vector<std::string> captions = {"Port A/B",   "Scan A", "Rescan A", "Recycle",
                                               "Point Data", "Limits", "Scales",   "Smith",
                                               "Comment",    "Status", "Halt",     "Quit"};
    const int w = (1000 - 40) / 12 - 1; // 79
    int x = 40;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i].caption, captions[i]);
        EXPECT_EQ(buttons[i].x, x) << captions[i];
        const int expected = (captions[i] == "Comment" || captions[i] == "Status") ? w + 5 : w;
        EXPECT_EQ(buttons[i].width, expected) << captions[i];
        EXPECT_EQ(buttons[i].y, 13);
        EXPECT_EQ(buttons[i].height, 20);
        EXPECT_EQ(buttons[i].color, core::Color(140, 250, 250));
        EXPECT_EQ(buttons[i].pointSize, st.graphFontSize + 1);
        EXPECT_EQ(buttons[i].weight, 600);
        x += buttons[i].width;
    }
    EXPECT_FALSE(buttons[0].enabled) << "Port A/B needs a Port B calibration";
}

TEST(MenuModel, DiagnosticModeAddsItsItemsAndOpensThePortBMenus) {
    core::AppState st = Defaults();
    st.DiagMode = 1;
    st.PortB_Gain = 3;
    st.PortB_Sens = 2;
    st.autorange = 1;
    const MenuBar bar = commands::BuildMenuModel(st);
    ASSERT_NE(FindMenu(bar, "My Vars"), nullptr);
    EXPECT_EQ(Captions(FindMenu(bar, "My Vars")->items),
              (std::vector<std::string>{"myvar1", "myvar2", "myvar3", "myvar4"}));
    const auto& setup = FindMenu(bar, "Setup")->items;
    ASSERT_GE(setup.size(), 4u);
    EXPECT_EQ(setup[setup.size() - 4].caption, "Temperature Comp");
    EXPECT_EQ(setup[setup.size() - 3].caption, "Toggle Gain Color");
    EXPECT_EQ(setup[setup.size() - 2].caption, "set Diagmode off");
    EXPECT_EQ(setup.back().caption, "Debug Toggle");
    EXPECT_EQ(FindMenu(bar, "Functions")->items.back().caption, "Plot MagRef");
    const platform::Menu* portB = FindMenu(bar, "Port B Functions");
    EXPECT_TRUE(portB->enabled);
    EXPECT_TRUE(FindMenu(bar, "Multi Channel")->enabled);
    EXPECT_EQ(Captions(portB->items),
              (std::vector<std::string>{"Autoranging", "Point data - A/B", "Port B RF Gain", "Port B AF Gain",
                                        "Averaging Weight", "Enter Phase Offset", "Enter Delay Offset",
                                        "Enter Delay Smoothing", "Rulers", "Filter Bandwidth", "VNA Test"}));
    EXPECT_TRUE(Find(portB->items, "Autoranging")->checked);
    const auto& af = Find(portB->items, "Port B AF Gain")->children;
    ASSERT_EQ(af.size(), 5u);
    EXPECT_EQ(af[0].caption, "1x    (0dB)");
    EXPECT_EQ(af[4].caption, "513x (+54dB)");
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(af[static_cast<std::size_t>(k)].checked, k == 2) << "AF gain item " << k + 1;
    }
    const auto& rf = Find(portB->items, "Port B RF Gain")->children;
    EXPECT_EQ(rf[0].caption, "+12 dB");
    EXPECT_EQ(rf[1].caption, "    0 dB");
    EXPECT_TRUE(rf[0].checked);
    EXPECT_FALSE(rf[1].checked);
}

TEST(MenuModel, AveragingWeightChecksExactlyOneItem) {
    core::AppState st = Defaults();
    st.PortB_on = 1;
    st.portb_cal_ok = 1;
    const std::vector<std::pair<double, int>> cases = {{0.125, 0}, {0.39, 0}, {0.4, 1}, {0.5, 1},
                                                       {0.59, 1},  {0.6, 2},  {1, 2}};
    for (const auto& [weight, checkedIndex] : cases) {
        st.avgweight = weight;
        const MenuBar bar = commands::BuildMenuModel(st);
        const auto& items = Find(FindMenu(bar, "Port B Functions")->items, "Averaging Weight")->children;
        ASSERT_EQ(Captions(items), (std::vector<std::string>{"Low ", "Med ", "High"}));
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(items[static_cast<std::size_t>(k)].checked, k == checkedIndex)
                << "avgweight " << weight << " item " << k;
        }
    }
}

TEST(MenuModel, ChecksFollowTheirSettings) {
    core::AppState st = Defaults();
    st.DdsPowerOn = 0;
    st.autopoweroff = 1;
    st.cursorena = 2; // only exactly 1 checks "Cursor Normally ON"
    st.voice = 1;
    st.highlight = 1;
    st.bandskip = 1;
    st.markerena = 1;
    st.swr_ruler = 0.99999;
    st.markers.slot[1][0] = 14.2;
    st.BaudRate = 115000;
    const MenuBar bar = commands::BuildMenuModel(st);
    const auto& setup = FindMenu(bar, "Setup")->items;
    ASSERT_NE(Find(setup, "Baud Rate"), nullptr);
    const auto& baud = Find(setup, "Baud Rate")->children;
    for (std::size_t k = 0; k < baud.size(); ++k) {
        EXPECT_EQ(baud[k].checked, k == 1) << baud[k].caption;
    }
    EXPECT_FALSE(Find(setup, "Cursor Normally ON")->checked);
    EXPECT_FALSE(Find(setup, "SWR Ruler")->checked);
    EXPECT_TRUE(Find(Find(setup, "Audio Out")->children, "Voice Output")->checked);
    EXPECT_TRUE(Find(Find(setup, "Power Control")->children, "Batt automatic off")->checked);
    EXPECT_TRUE(Find(Find(setup, "Power Control")->children, "Low current mode")->checked);
    const auto& markers = FindMenu(bar, "Markers")->items[0].children;
    EXPECT_TRUE(Find(markers, "Display Marker Data")->checked);
    EXPECT_TRUE(Find(markers, "Toggle Markers")->checked);
    const auto& bands = FindMenu(bar, "Bands")->items;
    EXPECT_TRUE(bands[0].checked);
    EXPECT_TRUE(bands[1].checked);
}

TEST(MenuModel, BandStartingAtZeroIsGrey) {
    core::AppState st = Defaults();
    st.bandTable[3].start = 0;
    st.bandTable[4].start = 0.001; // not below 0.001: stays enabled
    const MenuBar bar = commands::BuildMenuModel(st);
    const auto& bands = FindMenu(bar, "Bands")->items;
    EXPECT_FALSE(bands[2 + 2].enabled);
    EXPECT_TRUE(bands[2 + 3].enabled);
    EXPECT_TRUE(bands[2 + 0].enabled);
}

TEST(MenuModel, BuildMenusForcesPortAWhenPortBIsNotCalibrated) {
    test::TestRig rig;
    core::ResetToDefaults(rig.st(), 2026, 1, 2);
    rig.ui.createMainWindow(0, 0, 900, 600);
    rig.st().InstrumentPresent = 1;
    rig.st().portb_cal_ok = 0;
    rig.st().PortB_on = 1;
    commands::BuildMenus(rig.p());
    EXPECT_EQ(rig.st().PortB_on, 0);
    ASSERT_NE(rig.ui.findMenuItem({"File", "Load Port A Graph"}), nullptr);
    ASSERT_NE(rig.ui.findButton("Scan A"), nullptr);
    EXPECT_FALSE(rig.ui.findButton("Port A/B")->enabled);
    // In demo mode (no instrument) Port B stays as stored.
    rig.st().InstrumentPresent = 0;
    rig.st().PortB_on = 1;
    commands::BuildMenus(rig.p());
    EXPECT_EQ(rig.st().PortB_on, 1);
    ASSERT_NE(rig.ui.findButton("Scan B"), nullptr);
}
