#include <filesystem>
#include <gtest/gtest.h>

#include "platform/file_registry.h"
#include "support/test_rig.h"

using vna::platform::FileRegistry;

TEST(FileRegistry, ValuesSurviveAndKeysAreCaseInsensitive) {
    vna::test::TempDir dir;
    FileRegistry reg(dir.path());
    const std::string key = "hkey_current_user\\software\\MORVANE\\";
    EXPECT_FALSE(reg.keyExists(key));
    EXPECT_FALSE(reg.get(key, "StartFreq"));
    ASSERT_TRUE(reg.set(key, "StartFreq", "14.0"));
    EXPECT_TRUE(reg.keyExists("HKEY_CURRENT_USER\\Software\\morvane"));
    EXPECT_EQ(*reg.get("hkey_current_user\\software\\morvane\\", "startfreq"), "14.0");
    // A second client (a new object on the same folder) sees the value.
    FileRegistry other(dir.path());
    EXPECT_EQ(*other.get(key, "StartFreq"), "14.0");
    ASSERT_TRUE(reg.set(key, "StartFreq", ""));
    EXPECT_EQ(*reg.get(key, "StartFreq"), "");
}

TEST(FileRegistry, NamesCannotClimbOutOfTheRoot) {
    vna::test::TempDir dir;
    FileRegistry reg(dir.file("root"));
    ASSERT_TRUE(reg.set("..\\..\\evil", "../x", "v"));
    EXPECT_EQ(reg.folderOf("..\\..\\evil").rfind(dir.file("root"), 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x")));
    EXPECT_EQ(*reg.get("..\\..\\evil", "../x"), "v");
}
