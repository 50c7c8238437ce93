// The main window's commands and event dispatch on the scripted Ui.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "commands/command_ids.h"
#include "commands/commands.h"
#include "commands/menu_model.h"
#include "commands/startup.h"
#include "display/graph_geometry.h"
#include "display/scan_plot.h"
#include "support/test_rig.h"

using namespace vna;
using platform::Event;
using platform::EventType;

namespace {

void StartDemo(test::TestRig& rig) {
    commands::Startup(rig.p(), core::ParseStartOptions({"vna", "--demo"}));
    rig.ui.calls.clear();
}

Event Cmd(int id) {
    return Event{EventType::Menu, 0, 0, 0, id};
}

Event Key(int k) {
    return Event{EventType::KeyDown, k, 0, 0, 0};
}

std::string LastMessage(const test::TestRig& rig) {
    const auto m = rig.ui.messages();
    return m.empty() ? "" : m.back().text;
}

std::string LastCaption(const test::TestRig& rig) {
    const auto m = rig.ui.messages();
    return m.empty() ? "" : m.back().caption;
}

bool SaysNotAvailableYet(const platform::fake::UiCall& c) {
    const std::string tail = " is not available yet in this version of the program.";
    return c.kind == "message" && c.caption == " Not available yet" && c.text.size() > tail.size() &&
           c.text.compare(c.text.size() - tail.size(), tail.size(), tail) == 0;
}

void CommandIds(const std::vector<platform::MenuItem>& items, std::vector<int>& ids) {
    for (const platform::MenuItem& item : items) {
        if (item.id > 0 && item.enabled) {
            ids.push_back(item.id);
        }
        CommandIds(item.children, ids);
    }
}

} // namespace

TEST(MainWindowCommands, SwitchPortNeedsAPortBCalibration) {
    test::TestRig rig;
    StartDemo(rig);
    rig.st().portb_cal_ok = 0;
    rig.st().InstrumentPresent = 1;
    rig.ui.deliver(Event{EventType::Button, 0, 0, 0, commands::cmd::ButtonPortAB});
    EXPECT_EQ(LastMessage(rig), "Port B is not calibrated.");
    EXPECT_EQ(LastCaption(rig), "Port B not calibrated");
    EXPECT_EQ(rig.st().PortB_on, 0);

    rig.st().portb_cal_ok = 1;
    rig.st().average = 8;
    rig.st().averageOther = 2;
    rig.ui.deliver(Event{EventType::Button, 0, 0, 0, commands::cmd::ButtonPortAB});
    EXPECT_EQ(rig.st().PortB_on, 1);
    EXPECT_EQ(rig.st().average, 2);
    EXPECT_EQ(rig.st().averageOther, 8);
    EXPECT_NE(rig.ui.findButton("Scan B"), nullptr);
    EXPECT_NE(rig.ui.findMenuItem({"File", "Load Port B Graph"}), nullptr);
    // The Port B graph was drawn: its S21 caption is on the canvas.
    const auto texts = rig.ui.canvas()->texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "|S21|"), texts.end());

    // While a sweep runs the port stays as it is.
    rig.st().SweepRunning = 1;
    commands::SwitchPort(rig.p());
    EXPECT_EQ(rig.st().PortB_on, 1);
}

TEST(MainWindowCommands, HaltAndQuitStopEverything) {
    test::TestRig rig;
    StartDemo(rig);
    rig.st().SweepRunning = 1;
    rig.st().recycle = 1;
    rig.st().BandScanRunning = 1;
    rig.ui.deliver(Event{EventType::Button, 0, 0, 0, commands::cmd::ButtonHalt});
    EXPECT_EQ(rig.st().SweepRunning, 0);
    EXPECT_EQ(rig.st().recycle, 0);
    EXPECT_EQ(rig.st().BandScanRunning, 0);
    EXPECT_EQ(rig.st().ProgramRunning, 1);

    rig.st().SweepRunning = 1;
    rig.ui.deliver(Event{EventType::Button, 0, 0, 0, commands::cmd::ButtonQuit});
    EXPECT_EQ(rig.st().ProgramRunning, 0);
    EXPECT_EQ(rig.st().SweepRunning, 0);
    EXPECT_EQ(rig.log.count("ui.closeSecondary"), 1);
}

TEST(MainWindowCommands, CommandsDuringASweepWaitExceptTheOnesMeantForIt) {
    test::TestRig rig;
    StartDemo(rig);
    rig.st().SweepRunning = 1;
    const double scale = rig.st().zmag_scale;
    rig.ui.formAnswers.push_back([](platform::Form& f) {
        f.fields[static_cast<std::size_t>(f.find("Impedance (ohms)"))].text = "50";
        return platform::FormOk;
    });
    rig.ui.deliver(Event{EventType::Button, 0, 0, 0, commands::cmd::ButtonScales});
    rig.ui.deliver(Cmd(commands::cmd::DefaultGraphSize));
    rig.ui.deliver(Cmd(commands::cmd::ConstantFreq));
    EXPECT_TRUE(rig.ui.forms.empty());
    EXPECT_EQ(rig.st().zmag_scale, scale);
    EXPECT_TRUE(rig.ui.messages().empty());
    EXPECT_EQ(rig.st().SweepRunning, 1) << "a button is no key press: the sweep goes on";
    // The status window only looks.
    rig.ui.deliver(Event{EventType::Button, 0, 0, 0, commands::cmd::ButtonStatus});
    ASSERT_EQ(rig.ui.textWindows.size(), 1u);
    EXPECT_EQ(rig.ui.textWindows[0].first, " Status");
    // A key stops the sweep and is not a command: Q does not quit here.
    rig.ui.deliver(Key('Q'));
    EXPECT_EQ(rig.st().SweepRunning, 0);
    EXPECT_EQ(rig.st().ProgramRunning, 1);
    rig.ui.deliver(Key('Q'));
    EXPECT_EQ(rig.st().ProgramRunning, 0);
}

TEST(MainWindowCommands, SwapGraphsAlternatesThePerPortFiles) {
    test::TestRig rig;
    StartDemo(rig);
    rig.st().autoSaveGraph = 0;
    rig.ui.deliver(Key(platform::key::Up));
    EXPECT_EQ(LastMessage(rig),
              "Graphs are not being saved automatically.\rThis feature can be enabled with the "
              "'auto save graph'  flag\rin the config file.");
    EXPECT_EQ(LastCaption(rig), "Auto Save");

    rig.st().autoSaveGraph = 1;
    rig.st().ScanFileMode = 1;
    rig.ui.deliver(Cmd(commands::cmd::SwapGraphs));
    EXPECT_EQ(rig.st().swapToggleA, 1);
    EXPECT_EQ(rig.st().ScanFileMode, 10);
    EXPECT_EQ(LastMessage(rig),
              "There is no saved graph VNA_LastGraph1.scn yet.\rThe last two sweeps are saved "
              "automatically as they finish.");
    rig.ui.deliver(Key(platform::key::Down));
    EXPECT_EQ(rig.st().swapToggleA, 0);
    EXPECT_EQ(rig.st().swapToggleB, 0);
    // Not with the TDR display on.
    rig.st().TdrActive = 1;
    rig.ui.deliver(Key(platform::key::Up));
    EXPECT_EQ(rig.st().swapToggleA, 0);
}

TEST(MainWindowCommands, SaveImageBitmapWritesTheClientAreaWithoutItsBottom) {
    test::TestRig rig;
    StartDemo(rig);
    rig.st().picture_folder = "";
    const std::string path = rig.dir.file("pictures/shot.bmp");
    std::filesystem::create_directories(rig.dir.file("pictures"));
    rig.ui.fileAnswers.push_back(path);
    rig.ui.deliver(Cmd(commands::cmd::SaveImageBitmap));
    ASSERT_FALSE(rig.ui.calls.empty());
    const auto& dialog = rig.ui.calls.front();
    EXPECT_EQ(dialog.kind, "saveFile");
    EXPECT_EQ(dialog.text, " Save BitMap");
    EXPECT_EQ(dialog.caption, rig.st().ProgramFolder) << "an empty picture folder starts in the program's";
    EXPECT_EQ(rig.st().picture_file, path);
    EXPECT_EQ(rig.st().picture_folder, rig.dir.file("pictures/"));
    const std::string bmp = test::ReadFile(path);
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    const auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 3])) << 24;
    };
    const int w = rig.ui.canvas()->width();
    const int h = rig.ui.canvas()->height() - 50;
    EXPECT_EQ(u32(2), bmp.size());
    EXPECT_EQ(u32(18), static_cast<std::uint32_t>(w));
    EXPECT_EQ(u32(22), static_cast<std::uint32_t>(h));
    EXPECT_EQ(bmp.size(), 54u + static_cast<std::size_t>((w * 3 + 3) / 4 * 4) * h);

    // A cancelled dialog does nothing; a folder that does not exist gives the error message.
    rig.ui.deliver(Cmd(commands::cmd::SaveImageBitmap));
    EXPECT_TRUE(rig.ui.messages().empty());
    rig.ui.fileAnswers.push_back(rig.dir.file("missing/folder/x.bmp"));
    rig.ui.deliver(Cmd(commands::cmd::SaveImageBitmap));
    EXPECT_EQ(LastCaption(rig), "Error");
    EXPECT_FALSE(std::filesystem::exists(rig.dir.file("missing/folder/x.bmp")));
}

TEST(MainWindowCommands, PowerSettingsNeedTheInstrumentAndSayWhatTheyDid) {
    test::TestRig rig;
    StartDemo(rig);
    rig.ui.deliver(Cmd(commands::cmd::BattAutoOff));
    EXPECT_EQ(LastMessage(rig), "This function requires the hardware");
    EXPECT_EQ(rig.st().autopoweroff, 0);

    // Auto power-off sets low-current mode to its opposite.
    const auto lowCurrent = [&] {
        return rig.ui.findMenuItem({"Setup", "Power Control", "Low current mode"})->checked;
    };
    rig.st().InstrumentPresent = 1;
    rig.st().DdsPowerOn = 0;
    rig.ui.deliver(Cmd(commands::cmd::BattAutoOff));
    EXPECT_EQ(rig.st().autopoweroff, 1);
    EXPECT_EQ(LastMessage(rig), " Auto power down is enabled for battery operation.");
    EXPECT_TRUE(rig.ui.findMenuItem({"Setup", "Power Control", "Batt automatic off"})->checked);
    EXPECT_EQ(rig.st().DdsPowerOn, 1);
    EXPECT_FALSE(lowCurrent());
    rig.ui.deliver(Cmd(commands::cmd::BattAutoOff));
    EXPECT_EQ(LastMessage(rig), " Auto power down is disabled.");
    EXPECT_FALSE(rig.ui.findMenuItem({"Setup", "Power Control", "Batt automatic off"})->checked);
    EXPECT_EQ(rig.st().DdsPowerOn, 0);
    EXPECT_TRUE(lowCurrent());

    rig.ui.deliver(Cmd(commands::cmd::LowCurrentMode));
    EXPECT_EQ(rig.st().DdsPowerOn, 1);
    EXPECT_EQ(LastMessage(rig), " Low current mode is off");
    EXPECT_FALSE(lowCurrent());
    rig.ui.deliver(Cmd(commands::cmd::LowCurrentMode));
    EXPECT_EQ(LastMessage(rig), " Low current mode is on.");
    EXPECT_TRUE(lowCurrent());
}

TEST(MainWindowCommands, EntriesRefuseWhatIsNotANumberOrOutOfRange) {
    test::TestRig rig;
    StartDemo(rig);
    rig.st().InstrumentPresent = 1;
    rig.st().freq = 3;
    rig.ui.textAnswers = {std::string("abc"), std::string("500"), std::string("  7.1 ")};
    rig.ui.deliver(Cmd(commands::cmd::ConstantFreq));
    EXPECT_EQ(rig.st().freq, 3);
    EXPECT_NE(LastMessage(rig).find("is not a number"), std::string::npos);
    rig.ui.deliver(Cmd(commands::cmd::ConstantFreq));
    EXPECT_EQ(rig.st().freq, 3);
    EXPECT_NE(LastMessage(rig).find("between"), std::string::npos);
    rig.ui.deliver(Cmd(commands::cmd::ConstantFreq));
    EXPECT_DOUBLE_EQ(rig.st().freq, 7.1);
    // Cancelled or empty: unchanged, no message.
    const auto before = rig.ui.messages().size();
    rig.ui.textAnswers = {std::nullopt, std::string("   ")};
    rig.ui.deliver(Cmd(commands::cmd::ConstantFreq));
    rig.ui.deliver(Cmd(commands::cmd::ConstantFreq));
    EXPECT_DOUBLE_EQ(rig.st().freq, 7.1);
    EXPECT_EQ(rig.ui.messages().size(), before);

    rig.ui.textAnswers = {std::string("5"), std::string("-2")};
    rig.ui.deliver(Cmd(commands::cmd::RecycleDepth));
    EXPECT_EQ(rig.st().Recycle_depth, 5);
    EXPECT_EQ(rig.st().RecycleDepth2, 7);
    rig.ui.deliver(Cmd(commands::cmd::RecycleDepth));
    EXPECT_EQ(rig.st().Recycle_depth, 2);
    const auto& prompt = rig.ui.calls.back();
    EXPECT_EQ(prompt.text, " Recycle Depth (1..N=Clear screen after N cycles,  [0=Don't clear screen])");
}

TEST(MainWindowCommands, EnterCommPortTakesANumberOrADevicePathAndReconnects) {
    test::TestRig rig;
    StartDemo(rig);
    rig.st().commport = 6;
    rig.ui.textAnswers = {std::string("0"), std::string("70000"), std::string("x")};
    for (int i = 0; i < 3; ++i) {
        rig.ui.deliver(Cmd(commands::cmd::EnterCommPort));
        EXPECT_EQ(rig.st().commport, 6);
        EXPECT_EQ(LastMessage(rig), "Comm port must between 1 and 65000");
        EXPECT_EQ(LastCaption(rig), "");
    }
    // The absolute value of a negative number is taken.
    rig.ui.textAnswers = {std::string("-7")};
    rig.ui.deliver(Cmd(commands::cmd::EnterCommPort));
    EXPECT_EQ(rig.st().commport, 7);
    EXPECT_TRUE(rig.st().SerialDevice.empty());
    // Nothing answers on the fakes: demo mode again, with the not-responding message.
    EXPECT_EQ(LastMessage(rig), commands::NotRespondingText(rig.st()));
    EXPECT_EQ(rig.st().InstrumentPresent, 0);
    EXPECT_NE(rig.ui.title().find("     DEMO MODE   "), std::string::npos);
    rig.ui.textAnswers = {std::string("/dev/ttyACM0")};
    rig.ui.deliver(Cmd(commands::cmd::EnterCommPort));
    EXPECT_EQ(rig.st().SerialDevice, "/dev/ttyACM0");
    EXPECT_EQ(rig.st().commport, 7);
}

TEST(MainWindowCommands, ResizeIsAppliedAtTheNextMouseMovementWithinTheScreen) {
    test::TestRig rig;
    rig.ui.screen = {1280, 1024};
    StartDemo(rig);
    const int w = rig.st().WinWidth;
    const int h = rig.st().WinHeight;
    // Too narrow: ignored.
    rig.ui.deliver(Event{EventType::Resized, 0, 1, 1, 0});
    rig.ui.deliver(Event{EventType::Resized, 0, 200, 700, 0});
    rig.ui.deliver(Event{EventType::MouseMove, 0, 10, 10, 0});
    EXPECT_EQ(rig.st().WinWidth, w);
    EXPECT_EQ(rig.st().WinHeight, h);

    rig.ui.deliver(Event{EventType::Resized, 0, 1000, 700, 0});
    EXPECT_EQ(rig.st().WinWidth, w) << "applied only at the next mouse movement";
    const auto texts = rig.ui.canvas()->texts();
    EXPECT_NE(texts.back().find("1000 x 700"), std::string::npos);
    rig.ui.deliver(Event{EventType::MouseMove, 0, 10, 10, 0});
    EXPECT_EQ(rig.st().WinWidth, 1000);
    EXPECT_EQ(rig.st().WinHeight, 700);
    EXPECT_LT(rig.p().display.g.box.right, 1000);
    EXPECT_LT(rig.p().display.g.box.bottom, 700);

    // Larger than the screen: limited to it, with room for the task bar.
    rig.ui.deliver(Event{EventType::Resized, 0, 5000, 4000, 0});
    rig.ui.deliver(Event{EventType::MouseMove, 0, 10, 10, 0});
    EXPECT_EQ(rig.st().WinWidth, 1280);
    EXPECT_EQ(rig.st().WinHeight, 1024 - 35);

    // "Default Graph Size" goes back to the default and resizes the window.
    rig.ui.deliver(Cmd(commands::cmd::DefaultGraphSize));
    EXPECT_EQ(rig.st().WinWidth, rig.st().defaultWinWidth);
    EXPECT_EQ(rig.st().WinHeight, rig.st().defaultWinHeight);
    EXPECT_EQ(rig.log.count("ui.resize:" + std::to_string(rig.st().defaultWinWidth) + "x" +
                            std::to_string(rig.st().defaultWinHeight)),
              1);
}

TEST(MainWindowCommands, StatusButtonClickOpensItsDialog) {
    test::TestRig rig;
    StartDemo(rig);
    const auto& sp = rig.p().display.status;
    ASSERT_TRUE(sp.created);
    const int x = sp.x + 5;
    const auto at = [&](int which) { return sp.top + (which - 1) * sp.height + 2; };
    rig.ui.textAnswers = {std::string("300"), std::string("1")};
    rig.ui.deliver(Event{EventType::LeftDown, 0, x, at(1), 0});
    EXPECT_EQ(rig.ui.calls.back().text, "Average value 1..256");
    EXPECT_EQ(rig.st().average, 256);
    EXPECT_EQ(sp.text[1].substr(0, 12), "Average= 256");
    rig.ui.deliver(Event{EventType::LeftDown, 0, x, at(3), 0});
    EXPECT_EQ(rig.ui.calls.back().text, "Enter Smoothing or Trend Value");
    EXPECT_EQ(rig.st().trend, 0) << "a trend of 1 is stored as 0";
    // Below the six buttons: no dialog, the click starts a cursor drag.
    const auto calls = rig.ui.calls.size();
    rig.ui.deliver(Event{EventType::LeftDown, 0, x, at(7) + 2, 0});
    EXPECT_EQ(rig.ui.calls.size(), calls);
    EXPECT_EQ(rig.st().CursorDragging, 1);
}

TEST(MainWindowCommands, AboutWindowShowsTheVersionAndDemoMode) {
    test::TestRig rig;
    StartDemo(rig);
    rig.ui.deliver(Cmd(commands::cmd::About));
    ASSERT_EQ(rig.ui.forms.size(), 1u);
    const platform::Form& f = rig.ui.forms[0];
    EXPECT_EQ(f.title, " VNA");
    EXPECT_EQ(f.width, 650);
    EXPECT_EQ(f.height, 203);
    EXPECT_EQ(f.okCaption, "Close");
    EXPECT_EQ(f.fields[0].label, "Program version 546B Feb 4 2014");
    EXPECT_EQ(f.fields[1].text, " DEMO MODE ");
}

TEST(MainWindowCommands, EveryMenuItemButtonAndKeyDoesSomethingOrSaysItIsNotAvailableYet) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    st.DiagMode = 1;      // every menu and item there is
    st.autoSaveGraph = 0; // "Swap Graphs" then says why there is nothing to swap
    std::vector<int> ids;
    for (const platform::Menu& menu : commands::BuildMenuModel(st).menus) {
        CommandIds(menu.items, ids);
    }
    for (const platform::PushButton& b : rig.ui.buttons()) {
        ids.push_back(b.id);
    }
    ASSERT_GT(ids.size(), 100u);
    // The TDR items run with the TDR view on, which is switched off again before the buttons.
    ids.insert(std::find(ids.begin(), ids.end(), commands::cmd::TdrHighResolution) + 1,
               commands::cmd::TdrMode);
    std::set<int> pending;
    for (const int id : ids) {
        const std::size_t calls = rig.ui.calls.size();
        const int builds = rig.ui.menuBuilds();
        const std::size_t ops = rig.ui.canvas()->ops.size();
        const std::size_t logged = rig.log.entries.size();
        const auto debug = st.DiagSwitch3;
        commands::RunCommand(rig.p(), id);
        if (std::any_of(rig.ui.calls.begin() + static_cast<std::ptrdiff_t>(calls), rig.ui.calls.end(),
                        SaysNotAvailableYet)) {
            pending.insert(id);
            continue;
        }
        EXPECT_TRUE(rig.ui.calls.size() > calls || rig.ui.menuBuilds() != builds ||
                    rig.ui.canvas()->ops.size() != ops || rig.log.entries.size() != logged ||
                    st.DiagSwitch3 != debug)
            << "command " << id << " does nothing";
    }
    using namespace commands::cmd;
    // Every command of every menu is built: none says it is not available yet.
    EXPECT_EQ(pending, std::set<int>{});

    // With an instrument "VNA Test" first says what to connect (cancelled here).
    st.InstrumentPresent = 1;
    rig.ui.promptAnswers.push_back(false);
    const std::size_t calls = rig.ui.calls.size();
    commands::RunCommand(rig.p(), VnaTest);
    ASSERT_EQ(rig.ui.calls.size(), calls + 1);
    EXPECT_EQ(rig.ui.calls.back().kind, "prompt");
    st.InstrumentPresent = 0;

    // The cursor keys and the right button are built: none of them says it is not available.
    const auto says = [&](const Event& e) {
        const std::size_t calls = rig.ui.calls.size();
        rig.ui.deliver(e);
        return std::any_of(rig.ui.calls.begin() + static_cast<std::ptrdiff_t>(calls), rig.ui.calls.end(),
                           SaysNotAvailableYet);
    };
    EXPECT_FALSE(says(Key('1')));
    EXPECT_FALSE(says(Key('2')));
    rig.ui.deliver(Key(platform::key::Control));
    EXPECT_FALSE(says(Key(platform::key::Left)));
    const std::size_t forms = rig.ui.forms.size();
    const core::GraphBox& box = rig.p().display.g.box;
    EXPECT_FALSE(
        says(Event{EventType::RightDown, 0, (box.left + box.right) / 2, (box.top + box.bottom) / 2, 0}));
    ASSERT_EQ(rig.ui.forms.size(), forms + 1);
    EXPECT_EQ(rig.ui.forms.back().title, "Marker");

    // What the program calls by itself stays silent: the markers of every redraw and the cursor
    // that follows the mouse.
    st.markerena = 1;
    st.cursorena = 1;
    const std::size_t messages = rig.ui.messages().size();
    display::RedrawScan(rig.p());
    rig.ui.deliver(Event{EventType::MouseMove, 0, 300, 300, 0});
    EXPECT_EQ(rig.ui.messages().size(), messages);
}
