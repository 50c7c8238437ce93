// The diagnostics and the last commands of the menus, in-process on the simulated unit: the
// monitor window that follows diagnostic mode, the VNA Test dialog with its report, point data of
// both ports, the diagnostic variables and the help documents.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "commands/command_ids.h"
#include "commands/commands.h"
#include "commands/diagnostics.h"
#include "commands/help_documents.h"
#include "display/graph_geometry.h"
#include "instrument/date_code.h"
#include "instrument/link_log.h"
#include "instrument/protocol.h"
#include "instrument/raw_reading.h"
#include "support/sim_rig.h"

using namespace vna;

namespace {

class Diagnostics : public test::SimTest {};

bool Contains(const std::vector<std::string>& texts, const std::string& part) {
    for (const auto& t : texts) {
        if (t.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST_F(Diagnostics, MonitorComesWithDiagnosticModeAndLogsEveryExchange) {
    test::SimRig& r = rig();
    r.connect("resistor:r=50");
    r.st().monitorTextColor = platform::MakeRgb(0, 0, 255);
    for (char k : std::string("5283")) {
        commands::FeedKeyCode(r.p(), k);
    }
    ASSERT_EQ(r.st().DiagMode, 1);
    platform::fake::ScriptedWindow* w = r.ui.findWindow("Diagnostic Monitor");
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(instrument::LinkMonitorOpen(r.p()));

    r.st().freq = 10;
    instrument::MeasurePortAPoint(r.p());
    r.serial.unit.faults.badChecksum = 1;
    instrument::MeasurePortAPoint(r.p());
    // The lines of a burst are drawn in batches, the rest when the program waits for the user.
    instrument::ShowPendingLinkEvents(r.p());
    const std::vector<std::string> texts = w->canvas.texts();
    EXPECT_TRUE(Contains(texts, "-> U")) << ::testing::PrintToString(texts);
    EXPECT_TRUE(Contains(texts, "measure Port A at 10.000000 MHz"));
    EXPECT_TRUE(Contains(texts, "<- 72 bytes in"));
    EXPECT_TRUE(Contains(texts, "reading at 10.000000 MHz"));
    EXPECT_TRUE(Contains(texts, "!! checksum WRONG"));
    EXPECT_TRUE(Contains(texts, "-> R   repeat the last reading"));
    const auto& ops = w->canvas.ops;
    EXPECT_NE(std::find(ops.begin(), ops.end(), "textcolor " + std::to_string(platform::MakeRgb(0, 0, 255))),
              ops.end());

    // "Save Log" keeps the events in order, one line each.
    const std::string file = r.dir.file("log.txt");
    r.ui.fileAnswers.push_back(file);
    w->click("Save Log");
    const std::string saved = test::ReadFile(file);
    const auto command = saved.find("measure Port A at 10.000000 MHz");
    ASSERT_NE(command, std::string::npos) << saved;
    EXPECT_LT(command, saved.find("reading at 10.000000 MHz"));
    EXPECT_LT(saved.find("checksum WRONG"), saved.rfind("repeat the last reading"));

    // Leaving diagnostic mode closes it and the link reports to nobody.
    commands::RunCommand(r.p(), commands::cmd::DiagModeOff);
    EXPECT_FALSE(w->open);
    EXPECT_EQ(r.p().linkMonitor, nullptr);
}

TEST_F(Diagnostics, VnaTestDialogShowsTheReportAndSavesIt) {
    test::SimRig& r = rig();
    r.connect("attenuator:db=40");
    r.st().FlashPresent = 1;
    r.st().TempSensor = 1;
    const platform::LocalTime t{2024, 5, 6, 7, 8, 9};
    r.serial.unit.writeFlash(instrument::DateCodeAddress, instrument::DateCodeOf(t));
    const int average = r.st().average;
    const std::string file = r.dir.file("report.txt");
    r.ui.messageAnswers.push_back(platform::Answer::Yes);
    r.ui.fileAnswers.push_back(file);
    commands::RunCommand(r.p(), commands::cmd::VnaTest);
    ASSERT_EQ(r.ui.textWindows.size(), 1u) << test::Dialogs(r);
    const auto& lines = r.ui.textWindows[0].second;
    EXPECT_EQ(lines.back(), "Result: PASSED, all 27 checks") << ::testing::PrintToString(lines);
    EXPECT_TRUE(Contains(lines, "240506070809"));
    ASSERT_FALSE(r.ui.messages().empty());
    EXPECT_EQ(r.ui.messages().back().text, "The VNA passed all 27 checks.\r\n\r\nSave the report?");
    EXPECT_NE(test::ReadFile(file).find("Result: PASSED"), std::string::npos);
    // The settings the test changed are back.
    EXPECT_EQ(r.st().average, average);
    EXPECT_EQ(r.st().PortB_Gain, 1);
    EXPECT_EQ(r.serial.unit.state().relay0, false);

    // Without the instrument nothing is measured.
    r.st().InstrumentPresent = 0;
    commands::RunCommand(r.p(), commands::cmd::VnaTest);
    EXPECT_EQ(r.ui.messages().back().text, "This function requires the hardware");
    EXPECT_EQ(r.ui.textWindows.size(), 1u);
}

TEST_F(Diagnostics, PointDataOfBothPortsVariablesAndDocuments) {
    test::SimRig& r = rig();
    r.connect("attenuator:db=20");
    display::ComputeGraphGeometry(r.p());
    r.st().PortB_Gain = 2;
    // Point data A/B: a few readings of both ports, then a key ends them.
    r.ui.textAnswers.push_back("10");
    const long before = r.serial.unit.state().measurements;
    r.ui.onPump = [&](int) {
        if (r.st().SweepRunning && r.serial.unit.state().measurements > before + 40) {
            commands::MainWindowEvent(r.p(), platform::Event{platform::EventType::KeyDown, 'X', 0, 0, 0});
        }
    };
    commands::RunCommand(r.p(), commands::cmd::PointDataAB);
    r.ui.onPump = nullptr;
    EXPECT_TRUE(r.printed("Point Data A/B at 10.000000 MHz")) << test::Dialogs(r);
    EXPECT_TRUE(r.printed("Port A: SWR= "));
    EXPECT_TRUE(r.printed("Port B: S21= "));
    EXPECT_EQ(r.st().PortB_Gain, 2);
    EXPECT_EQ(r.st().SweepRunning, 0);

    // The diagnostic variables: a number is taken, a slip changes nothing.
    r.ui.textAnswers.push_back("0.25");
    commands::RunCommand(r.p(), commands::cmd::MyVar1);
    EXPECT_EQ(r.st().myvar1, 0.25);
    r.ui.textAnswers.push_back("x");
    commands::RunCommand(r.p(), commands::cmd::MyVar4);
    EXPECT_EQ(r.st().myvar4, 0);
    EXPECT_EQ(r.ui.calls.back().caption, " myvar4");

    // The documents: put into the data folder, opened from there; a missing one is written again,
    // one that cannot be written is reported with its path.
    ASSERT_TRUE(commands::InstallHelpDocuments(r.st()));
    const std::string manual = commands::DocumentFolder(r.st()) + "manual.html";
    EXPECT_NE(test::ReadFile(manual).find("VNA Test"), std::string::npos);
    std::filesystem::remove(manual);
    commands::RunCommand(r.p(), commands::cmd::Manual);
    EXPECT_EQ(r.ui.calls.back().kind, "openDocument");
    EXPECT_EQ(r.ui.calls.back().text, manual);
    commands::RunCommand(r.p(), commands::cmd::TwelfthWave);
    EXPECT_NE(r.ui.calls.back().text.find("twelfth_wave.html"), std::string::npos);
    r.st().ProgramFolder = r.dir.file("no/such/");
    std::filesystem::create_directories(r.dir.file("no"));
    test::WriteFile(r.dir.file("no/such"), "a file where the folder should be");
    commands::RunCommand(r.p(), commands::cmd::Manual);
    EXPECT_EQ(r.ui.calls.back().kind, "message");
    EXPECT_NE(r.ui.calls.back().text.find("is missing and could not be written"), std::string::npos);
}
