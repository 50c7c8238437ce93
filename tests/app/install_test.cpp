// `cmake --install` into a folder of its own, and the installed programs run from there.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "app/process_support.h"

using namespace vna;
using test::Output;
using test::RunProgram;
namespace fs = std::filesystem;

TEST(Install, TheInstalledProgramsRunFromWhereALinuxSystemKeepsThem) {
    test::TempDir dir;
    const std::string prefix = dir.file("usr");
    Output o =
        RunProgram({VNA_CMAKE, "--install", VNA_BUILD_DIR, "--prefix", prefix}, std::chrono::seconds(180));
    ASSERT_EQ(o.status, 0) << o.out << o.err;
    for (const std::string file :
         {"bin/vna", "bin/vna-cli", "bin/vna-sim", VNA_INSTALL_LIBDIR "/libvnactl.so",
          "include/vna_control.h", "share/vna/_VNA_Default.cfg", "share/applications/vna.desktop",
          "share/icons/hicolor/scalable/apps/vna.svg", "share/man/man1/vna.1.gz",
          "share/man/man1/vna-cli.1.gz", "share/man/man1/vna-sim.1.gz", "share/doc/vna/README.md",
          "share/doc/vna/docs/architecture.md", "share/doc/vna/examples/extctl/point.c"}) {
        EXPECT_TRUE(fs::is_regular_file(prefix + "/" + file)) << file;
    }
    // The desktop entry starts the installed program with its icon.
    const std::string desktop = test::ReadFile(prefix + "/share/applications/vna.desktop");
    EXPECT_NE(desktop.find("\nExec=vna %f\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nIcon=vna\n"), std::string::npos) << desktop;
    // The manual pages are the programs' own usage.
    o = RunProgram({"/bin/sh", "-c", "gzip -dc \"$0\"", prefix + "/share/man/man1/vna.1.gz"});
    EXPECT_NE(o.out.find(".TH VNA \"1\""), std::string::npos) << o.out.substr(0, 300);
    EXPECT_NE(o.out.find("demo mode"), std::string::npos);
    o = RunProgram({"/bin/sh", "-c", "gzip -dc \"$0\"", prefix + "/share/man/man1/vna-cli.1.gz"});
    EXPECT_NE(o.out.find("bandscan"), std::string::npos);

    o = RunProgram({prefix + "/bin/vna-cli", "--version"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "vna-cli " VNA_VERSION "\n");

    // The installed window program in demo mode, offscreen: its data go to the user's folder, not
    // beside the program.
    const std::string home = dir.file("home");
    test::Background vna({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", "HOME=" + home,
                          "XDG_DATA_HOME=" + home + "/.local/share", prefix + "/bin/vna", "--demo"},
                         dir.file("vna.log"));
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    ASSERT_TRUE(vna.running()) << test::ReadFile(dir.file("vna.log"));
    EXPECT_EQ(vna.terminate(), 0) << test::ReadFile(dir.file("vna.log"));
    EXPECT_TRUE(fs::is_regular_file(home + "/.local/share/vna/VNA_Init_Data.ini"));
    EXPECT_FALSE(fs::exists(prefix + "/bin/VNA_Init_Data.ini"));
}
