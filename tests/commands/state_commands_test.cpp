#include <gtest/gtest.h>

#include <memory>

#include "cal/cal_file.h"
#include "commands/state_commands.h"
#include "core/cal_table.h"
#include "files/config_file.h"
#include "files/settings_files.h"

using namespace vna;

TEST(StateFile, SaveWritesTheInitFileOfThatMomentAndRecallRestoresIt) {
    auto rig = test::DefaultRig();
    auto& st = rig->st();
    st.Zo = 75;
    st.start_freq = 7;
    st.end_freq = 7.3;
    st.swrLog = 1;
    st.cal_file = rig->dir.file("array.chan3");
    st.config_file = rig->dir.file("station.cfg");
    st.lastDialogFolder = "/states/";
    const std::string path = rig->dir.file("night.stat");
    rig->ui.fileAnswers = {path};
    rig->clock.ticks = 5000;
    commands::SaveStateCommand(rig->p());
    ASSERT_EQ(rig->ui.calls.size(), 1u);
    EXPECT_EQ(rig->ui.calls[0].kind, "saveFile");
    EXPECT_EQ(rig->ui.calls[0].text, " Save State File");
    EXPECT_EQ(rig->ui.calls[0].caption, "/states/");
    EXPECT_EQ(st.lastDialogFolder, rig->dir.folder());

    // Byte for byte the init file of the same moment, but for the tick count.
    rig->clock.ticks = 9000;
    ASSERT_TRUE(files::WriteInitFile(rig->p()));
    auto state = test::Lines(test::ReadFile(path));
    auto init = test::Lines(test::ReadFile(rig->dir.file("VNA_Init_Data.ini")));
    ASSERT_EQ(state.size(), 250u);
    ASSERT_EQ(init.size(), 250u);
    EXPECT_EQ(state[244], "Msec    5000");
    EXPECT_EQ(init[244], "Msec    9000");
    state.erase(state.begin() + 244);
    init.erase(init.begin() + 244);
    EXPECT_EQ(state, init);
    EXPECT_EQ(state[66], rig->dir.file("array.chan1"));

    // Recall into a program with other settings: the state comes back, then its config file.
    auto other = test::DefaultRig();
    std::string config = test::ReadFile(VNA_DEFAULT_CONFIG_FILE);
    const std::string fontLine = "7                // 42";
    config.replace(config.find(fontLine), 1, "5");
    test::WriteFile(rig->dir.file("station.cfg"), config);
    // The cal file the state names (channel 1 of a multichannel cal) is there and is loaded.
    auto table = std::make_unique<core::CalTable>();
    table->cal_points = 921; // the standard grid up to 180.2 MHz
    table->cal_max_freq = 180;
    for (int k = 0; k < 921; ++k) {
        table->short_re[static_cast<std::size_t>(k)] = 62;
        table->open_re[static_cast<std::size_t>(k)] = 3000;
        table->std_re[static_cast<std::size_t>(k)] = 120;
    }
    test::WriteFile(rig->dir.file("array.chan1"), cal::CalFileText(*table, {}, false));
    other->ui.fileAnswers = {path};
    commands::RecallStateCommand(other->p());
    EXPECT_EQ(other->ui.calls.at(0).kind, "openFile");
    EXPECT_EQ(other->ui.calls.at(0).text, " Load State File");
    EXPECT_EQ(other->st().Zo, 75);
    EXPECT_EQ(other->st().start_freq, 7);
    EXPECT_EQ(other->st().swrLog, 1);
    EXPECT_EQ(other->st().cal_file, rig->dir.file("array.chan1"));
    EXPECT_EQ(other->st().config_file, rig->dir.file("station.cfg"));
    EXPECT_EQ(other->st().ConfigLoaded, 1);
    EXPECT_EQ(other->st().graphFontSize, 5);
    for (const auto& m : other->ui.messages()) {
        ADD_FAILURE() << m.caption << ": " << m.text;
    }
    EXPECT_EQ(other->st().porta_cal_ok, 1);
    EXPECT_EQ(other->p().cal.cal_points, 921);
    EXPECT_TRUE(other->ui.messages().empty());
}

TEST(StateFile, CancelledMissingForeignAndUnwritable) {
    auto cancel = test::DefaultRig();
    cancel->ui.fileAnswers = {std::nullopt, std::string("ab")};
    commands::SaveStateCommand(cancel->p());
    commands::RecallStateCommand(cancel->p());
    EXPECT_TRUE(cancel->ui.messages().empty());
    EXPECT_EQ(cancel->ui.calls.size(), 2u);

    auto missing = test::DefaultRig();
    missing->ui.fileAnswers = {missing->dir.file("none.stat")};
    missing->st().Zo = 60;
    commands::RecallStateCommand(missing->p());
    ASSERT_GE(missing->ui.messages().size(), 1u);
    EXPECT_EQ(missing->ui.messages()[0].caption, " No INIT data");
    EXPECT_EQ(missing->st().Zo, 60);

    auto foreign = test::DefaultRig();
    test::WriteFile(foreign->dir.file("x.stat"), "format   4144\r\nfreq    7\r\n");
    foreign->ui.fileAnswers = {foreign->dir.file("x.stat")};
    commands::RecallStateCommand(foreign->p());
    ASSERT_GE(foreign->ui.messages().size(), 1u);
    EXPECT_EQ(foreign->ui.messages()[0].caption, " Invalid *.ini file");
    EXPECT_EQ(foreign->st().freq, 5);

    auto ro = test::DefaultRig();
    ro->ui.fileAnswers = {ro->dir.file("no folder/x.stat")};
    commands::SaveStateCommand(ro->p());
    ASSERT_EQ(ro->ui.messages().size(), 1u);
    EXPECT_EQ(ro->ui.messages()[0].text.rfind("The file named: x.stat  \ris a Read-Only file.", 0), 0u);
    EXPECT_EQ(ro->ui.messages()[0].caption, "");
}
