#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/atomic_file.h"
#include "core/path_split.h"
#include "support/test_rig.h"

using namespace vna::core;

TEST(PathSplit, SplitsAtTheLastSeparatorOfEitherKind) {
    auto r = SplitPath("c:\\cal\\my.acal");
    EXPECT_EQ(r.folder, "c:\\cal\\");
    EXPECT_EQ(r.name, "my.acal");
    r = SplitPath("/home/u/scans/a b.scn");
    EXPECT_EQ(r.folder, "/home/u/scans/");
    EXPECT_EQ(r.name, "a b.scn");
    r = SplitPath("/home/u\\mixed/x.scn");
    EXPECT_EQ(r.folder, "/home/u\\mixed/");
    r = SplitPath("plain.scn");
    EXPECT_EQ(r.folder, "");
    EXPECT_EQ(r.name, "plain.scn");
    r = SplitPath("/folder/");
    EXPECT_EQ(r.folder, "/folder/");
    EXPECT_EQ(r.name, "");
}

TEST(PathSplit, ShortFoldersCountAsNotSet) {
    EXPECT_FALSE(FolderIsSet(""));
    EXPECT_FALSE(FolderIsSet("c:"));
    EXPECT_TRUE(FolderIsSet("c:\\"));
    EXPECT_EQ(DialogFolder("ab", "/prog/"), "/prog/");
    EXPECT_EQ(DialogFolder("/scans/", "/prog/"), "/scans/");
    EXPECT_EQ(JoinPath("/a", "b.txt"), "/a/b.txt");
    EXPECT_EQ(JoinPath("/a/", "b.txt"), "/a/b.txt");
}

TEST(AtomicFile, ReplacesTheFileAndLeavesNoTemporaryBehind) {
    vna::test::TempDir dir;
    const std::string path = dir.file("settings.ini");
    ASSERT_TRUE(WriteFileAtomic(path, "first\r\n"));
    ASSERT_TRUE(WriteFileAtomic(path, "second\r\n"));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    EXPECT_EQ(text, "second\r\n");
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(AtomicFile, AFailedWriteKeepsTheOldFile) {
    vna::test::TempDir dir;
    const std::string path = dir.file("settings.ini");
    ASSERT_TRUE(WriteFileAtomic(path, "old contents"));
    // A folder that cannot be written: the new file cannot even be started.
    std::filesystem::permissions(dir.path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::string error;
    const bool ok = WriteFileAtomic(path, "new contents", &error);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.empty());
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    EXPECT_EQ(text, "old contents");
}

TEST(AtomicFile, AFailedRenameRemovesTheTemporaryFile) {
    vna::test::TempDir dir;
    // The target is a folder with something in it: the rename must fail, whoever runs the test.
    const std::string path = dir.file("occupied");
    std::filesystem::create_directories(path + "/inside");
    std::string error;
    EXPECT_FALSE(WriteFileAtomic(path, "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(path + "/inside"));
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(AtomicFile, AMissingFolderIsAFailureNotACrash) {
    vna::test::TempDir dir;
    std::string error;
    EXPECT_FALSE(WriteFileAtomic(dir.file("no/such/folder/x.ini"), "x", &error));
    EXPECT_FALSE(error.empty());
    std::string text;
    EXPECT_FALSE(ReadWholeFile(dir.file("missing.ini"), text));
    EXPECT_FALSE(ReadWholeFile(dir.path(), text)); // a folder is not a file
}

#ifndef _WIN32
TEST(AtomicFile, KeepsTheModeWritesThroughALinkAndRemovesOnlyStaleTemporaries) {
    namespace fs = std::filesystem;
    vna::test::TempDir dir;
    const std::string path = dir.file("unit.acal");
    ASSERT_TRUE(WriteFileAtomic(path, "first"));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(WriteFileAtomic(path, "second"));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // A link stays a link; the file it names gets the new text.
    const std::string link = dir.file("current.acal");
    fs::create_symlink("unit.acal", link);
    ASSERT_TRUE(WriteFileAtomic(link, "third"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    EXPECT_EQ(text, "third");

    // Leftovers of a write cut short by a process that is gone are removed at the next write; those
    // of a writer still at work, and files of other names, stay.
    const std::string dead = path + ".tmp999999999-17";
    const std::string oldStyle = path + ".tmp123456";
    const std::string live = path + ".tmp" + std::to_string(::getpid()) + "-5";
    const std::string other = path + ".tmpfile";
    for (const auto& f : {dead, oldStyle, live, other}) {
        ASSERT_TRUE(WriteFileAtomic(f, "x"));
    }
    ASSERT_TRUE(WriteFileAtomic(path, "fourth"));
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_FALSE(fs::exists(oldStyle));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other));
}
#endif
