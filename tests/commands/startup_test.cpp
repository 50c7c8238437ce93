#include <gtest/gtest.h>

#include "commands/commands.h"
#include "commands/diagnostics.h"
#include "commands/startup.h"
#include "core/atomic_file.h"
#include "core/delay.h"
#include "files/init_file.h"
#include "support/test_rig.h"

using namespace vna;
using platform::Event;
using platform::EventType;

namespace {

core::StartOptions Options(std::vector<std::string> args = {"vna"}) {
    return core::ParseStartOptions(args);
}

// The settings file of an earlier run, so that a start-up shows no first-run message.
void LeaveSettingsOfAnEarlierRun(test::TestRig& rig) {
    core::ResetToDefaults(rig.st(), 2024, 1, 1);
    ASSERT_TRUE(files::WriteInitFile(rig.p()));
}

Event Key(int k) {
    return Event{EventType::KeyDown, k, 0, 0, 0};
}

} // namespace

TEST(Startup, SilentInstrumentGivesDemoModeWithOneMessage) {
    test::TestRig rig;
    LeaveSettingsOfAnEarlierRun(rig);
    commands::Startup(rig.p(), Options());

    const auto messages = rig.ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    // The message names the device it tried (the numbered port of the settings).
    EXPECT_EQ(messages[0].text, std::string(commands::NotRespondingMessage) +
                                    "\r\n\r\nDevice tried: /dev/ttyUSB5 (it opened, but nothing answered).");
    EXPECT_EQ(messages[0].caption, "");
    EXPECT_NE(messages[0].text.find("be sure to check the comm port number.\r\n\r\nUse the Setup Menu"),
              std::string::npos);

    EXPECT_EQ(rig.st().InstrumentPresent, 0);
    EXPECT_EQ(rig.st().porta_cal_ok, 1);
    EXPECT_EQ(rig.st().portb_cal_ok, 1);
    EXPECT_EQ(rig.ui.title(), "VNA-180    Program Version: 546B        DEMO MODE   ");
    EXPECT_EQ(rig.st().WindowTitle, rig.ui.title());
    EXPECT_EQ(rig.st().ProgramRunning, 1);

    // Every hardware command now refuses.
    EXPECT_FALSE(core::RequireHardware(rig.p()));
    ASSERT_EQ(rig.ui.messages().size(), 2u);
    EXPECT_EQ(rig.ui.messages()[1].text, "This function requires the hardware");
    EXPECT_EQ(rig.ui.messages()[1].caption, "");
}

TEST(Startup, DemoOptionSkipsTheInstrumentAndItsMessage) {
    test::TestRig rig;
    LeaveSettingsOfAnEarlierRun(rig);
    commands::Startup(rig.p(), Options({"vna", "--demo"}));
    EXPECT_TRUE(rig.ui.messages().empty());
    EXPECT_EQ(rig.st().InstrumentPresent, 0);
    EXPECT_EQ(rig.st().DemoRequested, 1);
    EXPECT_EQ(rig.serial.opens, 0);
    EXPECT_NE(rig.ui.title().find("     DEMO MODE   "), std::string::npos);
}

TEST(Startup, RequireHardwareAfterTheConfigEditorAsksForARestart) {
    test::TestRig rig;
    LeaveSettingsOfAnEarlierRun(rig);
    commands::Startup(rig.p(), Options({"vna", "--demo"}));
    rig.st().ConfigEdited = 1;
    EXPECT_FALSE(core::RequireHardware(rig.p()));
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text,
              "Please close the program and restart it so the new\rConfig File parameters can be loaded.");
    EXPECT_EQ(rig.ui.messages()[0].caption, "Restart VNA Prog");
    rig.st().InstrumentPresent = 1;
    EXPECT_TRUE(core::RequireHardware(rig.p()));
    EXPECT_EQ(rig.ui.messages().size(), 1u);
}

TEST(Startup, WindowMessageTitleAndShutdownComeInTheirOrder) {
    test::TestRig rig;
    const int code = commands::RunProgram(rig.p(), Options());
    EXPECT_EQ(code, 0);
    const auto& log = rig.log;
    const int window = log.find("ui.createMainWindow:0,0,1152x716");
    const int emptyTitle = log.find("ui.title:", window);
    const int notResponding = log.find("ui.message:The VNA is not responding.");
    const int title = log.find("ui.title:VNA-180");
    const int closeSecondary = log.find("ui.closeSecondary");
    const int closeMain = log.find("ui.closeMain");
    ASSERT_GE(window, 0);
    EXPECT_LT(window, emptyTitle);
    EXPECT_LT(emptyTitle, notResponding);
    EXPECT_LT(notResponding, title);
    // The scripted Ui asks to close once the queue is empty: Quit closes the secondary windows,
    // then the shutdown closes the main window last of the window steps.
    EXPECT_LT(title, closeSecondary);
    EXPECT_LT(closeSecondary, closeMain);
    EXPECT_EQ(log.count("ui.message:The VNA is not responding."), 1);
    EXPECT_FALSE(rig.ui.mainWindowOpen());
    EXPECT_EQ(rig.st().ProgramRunning, 0);
    // Start-up opens the tone output at full volume and puts the voice files into the data
    // folder; the shutdown closes the tone output.
    EXPECT_EQ(rig.sound.volume, 0xFFFF);
    EXPECT_FALSE(rig.sound.midiIsOpen);
    EXPECT_EQ(rig.st().MidiOut, 0);
    EXPECT_TRUE(core::FileExists(rig.dir.folder() + "voice/point.wav"));
}

TEST(Startup, GraphFontMetricsGiveTheLineSteps) {
    test::TestRig rig;
    commands::Startup(rig.p(), Options({"vna", "--demo"}));
    // The recording canvas measures text 2 * point size high; the default graph font is 7 points.
    EXPECT_EQ(rig.st().TextHeight, 14);
    EXPECT_EQ(rig.st().TextWidth, 10 * (7 * 2 / 3 + 1));
    EXPECT_EQ(rig.st().LineStep, 14 / 4 + 14);
    EXPECT_EQ(rig.st().LineStep2, 17 + 14 + 10);
    // The graph font was chosen before the measurement.
    const auto& ops = rig.ui.canvas()->ops;
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.front(), "font arial 7 600");
}

TEST(Startup, CommandLineScanFileIsTakenForThePortAGraph) {
    test::TestRig rig;
    commands::Startup(rig.p(), Options({"vna", "--demo", "/home/u/my scans/dipole.scn"}));
    EXPECT_EQ(rig.st().CommandLineFile, "/home/u/my scans/dipole.scn");
    EXPECT_EQ(rig.st().CommandLineScan, 3);
    EXPECT_EQ(rig.st().ScanFileMode, 3);

    test::TestRig plain;
    commands::Startup(plain.p(), Options({"vna", "--demo"}));
    EXPECT_EQ(plain.st().CommandLineScan, 0);
    EXPECT_EQ(plain.st().ScanFileMode, 1);
}

TEST(Startup, ProblemsWithOptionsAreShownOnceTheWindowExists) {
    test::TestRig rig;
    LeaveSettingsOfAnEarlierRun(rig);
    auto options = Options({"vna", "--demo"});
    options.problems.push_back("The data folder /x cannot be written.");
    options.problems.push_back("The default config file could not be copied.");
    commands::Startup(rig.p(), options);
    const auto messages = rig.ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("cannot be written"), std::string::npos);
    EXPECT_NE(messages[0].text.find("could not be copied"), std::string::npos);
    EXPECT_LT(rig.log.find("ui.createMainWindow"), rig.log.find("ui.message"));
    EXPECT_EQ(rig.st().ProgramRunning, 1); // nothing ends the start-up early
}

TEST(MainLoop, RunsUntilQuitAndTheQKeyEndsIt) {
    test::TestRig rig;
    rig.ui.events = {Key('A'), Key('Q')};
    int idle = 0;
    rig.ui.onIdle = [&] { ++idle; };
    commands::Startup(rig.p(), Options({"vna", "--demo"}));
    commands::MainLoop(rig.p());
    EXPECT_EQ(idle, 0);
    EXPECT_EQ(rig.st().ProgramRunning, 0);
    EXPECT_TRUE(rig.ui.events.empty());
}

TEST(MainLoop, KeysDuringASweepStopItAndAreNotCommands) {
    test::TestRig rig;
    commands::Startup(rig.p(), Options({"vna", "--demo"}));
    rig.st().SweepRunning = 1;
    rig.ui.deliver(Key('Q'));
    EXPECT_EQ(rig.st().SweepRunning, 0);
    EXPECT_EQ(rig.st().ProgramRunning, 1);
    rig.st().SweepRunning = 1;
    rig.ui.deliver(Event{EventType::LeftDown, 0, 10, 10, 0});
    EXPECT_EQ(rig.st().SweepRunning, 0);
    rig.ui.deliver(Key('Q'));
    EXPECT_EQ(rig.st().ProgramRunning, 0);
}

TEST(MainLoop, QuitBeforeTheLoopStillRunsTheShutdown) {
    test::TestRig rig;
    // The system asks the program to end while the start-up is still under way.
    rig.ui.onDialog = [&](const platform::fake::UiCall&) { commands::Quit(rig.p()); };
    bool loopWaited = false;
    rig.ui.onIdle = [&] {
        loopWaited = true;
        rig.st().ProgramRunning = 0;
    };
    EXPECT_EQ(commands::RunProgram(rig.p(), Options()), 0);
    EXPECT_FALSE(loopWaited);
    EXPECT_GE(rig.log.find("ui.closeMain"), 0);
}

TEST(KeyCodes, OnlyTheFirstFourKeysCanFormACode) {
    test::TestRig rig;
    commands::Startup(rig.p(), Options({"vna", "--demo"}));
    for (char c : std::string("5283")) {
        rig.ui.deliver(Key(c));
    }
    EXPECT_EQ(rig.st().DiagMode, 1);
    EXPECT_EQ(rig.st().DiagSwitch1, 1);
    EXPECT_EQ(rig.st().KeyCodeBuffer, "x");
    for (char c : std::string("5283")) {
        rig.ui.deliver(Key(c));
    }
    EXPECT_EQ(rig.st().DiagMode, 1); // too late: the buffer no longer starts empty

    test::TestRig other;
    commands::Startup(other.p(), Options({"vna", "--demo"}));
    EXPECT_FALSE(commands::FeedKeyCode(other.p(), '7'));
    EXPECT_EQ(other.st().KeyCodeBuffer, "7");
    EXPECT_FALSE(commands::FeedKeyCode(other.p(), '3'));
    EXPECT_FALSE(commands::FeedKeyCode(other.p(), '5'));
    EXPECT_TRUE(commands::FeedKeyCode(other.p(), '2'));
    EXPECT_EQ(other.st().DiagSwitch3, 1);
    EXPECT_EQ(other.st().DiagMode, 1);
}

TEST(KeyCodes, SwitchCodes) {
    struct Case {
        const char* code;
        int core::AppState::*field;
    };
    for (const Case& c :
         {Case{"6149", &core::AppState::DiagSwitch4}, Case{"8426", &core::AppState::DiagSwitch2},
          Case{"9031", &core::AppState::DiagSwitch1}}) {
        test::TestRig rig;
        commands::Startup(rig.p(), Options({"vna", "--demo"}));
        for (const char* k = c.code; *k; ++k) {
            commands::FeedKeyCode(rig.p(), *k);
        }
        EXPECT_EQ(rig.st().*c.field, 1) << c.code;
        EXPECT_EQ(rig.st().DiagMode, 0) << c.code;
    }
}

TEST(DiagnosticFlags, AnyFlagFileEvenEmptyTurnsDiagnosticModeOn) {
    test::TestRig rig;
    test::WriteFile(rig.dir.file("vna_diag2flag.txt"), "");
    commands::Startup(rig.p(), Options({"vna", "--demo"}));
    EXPECT_EQ(rig.st().DiagMode, 1);
    EXPECT_EQ(rig.st().DiagSwitch1, 1);
    EXPECT_EQ(rig.st().DiagSwitch2, 0);

    test::TestRig none;
    commands::Startup(none.p(), Options({"vna", "--demo"}));
    EXPECT_EQ(none.st().DiagMode, 0);

    const auto places = commands::DiagnosticFlagFiles("/data/");
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0], "/data/vna_diag2flag.txt");
    EXPECT_NE(places[1].find("vna_diag2flag.txt"), std::string::npos);
}

TEST(Delay, WaitsOnTheTickCounterWhilePumpingEvents) {
    test::TestRig rig;
    const auto before = rig.clock.ticks;
    core::Delay(rig.p(), 100);
    EXPECT_GE(rig.clock.ticks - before, 100u);
    EXPECT_LE(rig.clock.ticks - before, 105u);
    EXPECT_GE(rig.ui.pumps(), 20); // at least one pump per 5 ms slice

    // The 32-bit tick counter wraps during the wait.
    rig.clock.ticks = 0xFFFFFFF0u;
    core::Delay(rig.p(), 50);
    EXPECT_GE(rig.clock.ticks, 34u);
    EXPECT_LT(rig.clock.ticks, 100u);

    // A click during a Delay reaches the program.
    rig.ui.setEventHandler([&](const Event& e) { commands::MainWindowEvent(rig.p(), e); });
    rig.st().SweepRunning = 1;
    rig.ui.events.push_back(Event{EventType::LeftDown, 0, 1, 1, 0});
    core::Delay(rig.p(), 10);
    EXPECT_EQ(rig.st().SweepRunning, 0);
}
