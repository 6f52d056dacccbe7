#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/Environment.h"
#include "platform/TempFolder.h"

using namespace platform;

TEST(FileSystemTest, ProgramFolderEndsWithTheSeparatorAndHoldsTheTest) {
    std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), kPathSeparator);
    EXPECT_TRUE(FileExists(ProgramPath()));
    EXPECT_EQ(ProgramPath().substr(0, folder.size()), folder);
}

TEST(FileSystemTest, WriteCopyRenameRemove) {
    TempFolder temp;
    std::string a = temp.File("a.txt");
    ASSERT_TRUE(WriteFile(a, "hello"));
    EXPECT_EQ(FileSize(a), 5);
    ASSERT_TRUE(CopyFile(a, temp.File("b.txt")));
    ASSERT_TRUE(WriteFile(a, "x"));
    ASSERT_TRUE(CopyFile(a, temp.File("b.txt")));  // replaces the copy
    std::string content;
    ASSERT_TRUE(ReadFile(temp.File("b.txt"), content));
    EXPECT_EQ(content, "x");
    ASSERT_TRUE(RenameFile(a, temp.File("c.txt")));
    EXPECT_FALSE(FileExists(a));
    EXPECT_TRUE(RemoveFile(temp.File("c.txt")));
    EXPECT_EQ(FileSize(temp.File("c.txt")), -1);
    EXPECT_FALSE(CopyFile(temp.File("missing"), temp.File("d")));
}

TEST(FileSystemTest, AppendAddsAndReplaceSwapsTheWholeFile) {
    TempFolder temp;
    std::string path = temp.File("records");
    ASSERT_TRUE(AppendToFile(path, "one\n", true));
    ASSERT_TRUE(AppendToFile(path, "two\n", false));
    std::string content;
    ASSERT_TRUE(ReadFile(path, content));
    EXPECT_EQ(content, "one\ntwo\n");
    EXPECT_TRUE(SyncFile(path));
    EXPECT_FALSE(SyncFile(temp.File("missing")));
    ASSERT_TRUE(ReplaceFile(path, "three\n"));
    ASSERT_TRUE(ReadFile(path, content));
    EXPECT_EQ(content, "three\n");
    // Nothing is left beside it.
    EXPECT_EQ(ListFolder(temp.Path()), std::vector<std::string>{"records"});
    EXPECT_FALSE(AppendToFile(temp.File("missing/records"), "x", true));
    EXPECT_FALSE(ReplaceFile(temp.File("missing/records"), "x"));
}

TEST(FileSystemTest, MakeDirectoriesCreatesParents) {
    TempFolder temp;
    std::string deep = temp.Path() + "x/y/z";
    EXPECT_TRUE(MakeDirectories(deep));
    EXPECT_TRUE(IsDirectory(deep));
    EXPECT_TRUE(MakeDirectories(deep));
    EXPECT_EQ(ListFolder(temp.Path()), std::vector<std::string>{"x"});
}

TEST(FileSystemTest, AFailedReplaceKeepsTheOldContentAndTellsWhy) {
    TempFolder temp;
    std::string file = temp.File("seq.txt");
    ASSERT_TRUE(ReplaceFile(file, "41"));
    // A folder where the new content would be written first: nothing changes.
    ASSERT_TRUE(MakeDirectories(file + ".new"));
    errno = 0;
    EXPECT_FALSE(ReplaceFile(file, "42"));
    EXPECT_EQ(errno, kFolderInTheWayError);
    std::string content;
    ASSERT_TRUE(ReadFile(file, content));
    EXPECT_EQ(content, "41");
}

TEST(EnvironmentTest, SetAndGet) {
    EXPECT_TRUE(SetEnv("FISCORA_TEST_VARIABLE", "AMERICAN_AMERICA.CL8MSWIN1251"));
    EXPECT_EQ(GetEnv("FISCORA_TEST_VARIABLE"), "AMERICAN_AMERICA.CL8MSWIN1251");
    EXPECT_TRUE(HasEnv("FISCORA_TEST_VARIABLE"));
    EXPECT_FALSE(HasEnv("FISCORA_SURELY_NOT_SET"));
}

TEST(FileSystemTest, SetCurrentFolderMovesTheWorkingFolderAndJoinPathAddsOneSeparator) {
    TempFolder temp;
    const std::string before = CurrentFolder();
    ASSERT_TRUE(SetCurrentFolder(temp.Path()));
    ASSERT_TRUE(WriteFile("here.txt", "x"));
    EXPECT_TRUE(FileExists(temp.File("here.txt")));
    EXPECT_EQ(CurrentFolder().back(), kPathSeparator);
    ASSERT_TRUE(SetCurrentFolder(before));
    EXPECT_FALSE(SetCurrentFolder(temp.File("missing")));
    EXPECT_EQ(JoinPath("a", "b"), std::string("a") + kPathSeparator + "b");
    EXPECT_EQ(JoinPath("a/", "b"), "a/b");
    EXPECT_EQ(JoinPath("", "b"), "b");
}
