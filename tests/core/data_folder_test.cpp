#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/data_folder.h"
#include "support/test_rig.h"

using namespace vna::core;

TEST(DataFolder, RequestedFolderIsCreatedWhenMissing) {
    vna::test::TempDir dir;
    const std::string wanted = dir.file("a/b/vna");
    const auto r = ChooseDataFolder(wanted, "/usr/bin");
    EXPECT_EQ(r.folder, wanted + "/");
    EXPECT_TRUE(r.problem.empty());
    EXPECT_TRUE(std::filesystem::is_directory(wanted));
}

TEST(DataFolder, TheExecutablesFolderOnlyWhenMarkedPortable) {
    vna::test::TempDir dir;
    static std::string xdg;
    xdg = dir.file("xdg");
    auto env = [](const char* n) -> const char* {
        return std::string(n) == "XDG_DATA_HOME" ? xdg.c_str() : nullptr;
    };
    // A writable folder of the program (a build tree) is not where the user's data goes.
    const std::string exe = dir.file("build/src/app");
    std::filesystem::create_directories(exe);
    EXPECT_EQ(ChooseDataFolder("", exe, env).folder, xdg + "/vna/");
    EXPECT_FALSE(std::filesystem::exists(exe + "/VNA_Init_Data.ini"));
    // A settings file already there keeps working where it is.
    vna::test::WriteFile(exe + "/VNA_Init_Data.ini", "format    4145\r\n");
    EXPECT_EQ(ChooseDataFolder("", exe, env).folder, exe + "/");
    // So does a folder marked with a file named "portable".
    const std::string stick = dir.file("stick");
    std::filesystem::create_directories(stick);
    vna::test::WriteFile(stick + "/portable", "");
    EXPECT_EQ(ChooseDataFolder("", stick, env).folder, stick + "/");
    // The folder asked for wins over the mark.
    EXPECT_EQ(ChooseDataFolder(dir.file("asked"), stick, env).folder, dir.file("asked") + "/");
}

TEST(DataFolder, FallsBackToTheUserDataFolder) {
    vna::test::TempDir dir;
    static std::string xdg;
    xdg = dir.file("xdg");
    auto env = [](const char* n) -> const char* {
        return std::string(n) == "XDG_DATA_HOME" ? xdg.c_str() : nullptr;
    };
    const auto r = ChooseDataFolder("", "/nonexistent/exe/folder", env);
    EXPECT_EQ(r.folder, xdg + "/vna/");
    EXPECT_TRUE(std::filesystem::is_directory(xdg + "/vna"));
}

TEST(DataFolder, AFolderThatCannotBeCreatedGivesAMessageNotACrash) {
    vna::test::TempDir dir;
    const std::string blocker = dir.file("file");
    vna::test::WriteFile(blocker, "x");
    const auto r = ChooseDataFolder(blocker + "/sub", "");
    EXPECT_FALSE(r.problem.empty());
    EXPECT_NE(r.problem.find("could not be created"), std::string::npos);
    EXPECT_FALSE(r.folder.empty());
}
