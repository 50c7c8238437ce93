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

TEST(DataFolder, WritableExecutableFolderIsAPortableInstall) {
    vna::test::TempDir dir;
    const auto r = ChooseDataFolder("", dir.path());
    EXPECT_EQ(r.folder, dir.folder());
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
