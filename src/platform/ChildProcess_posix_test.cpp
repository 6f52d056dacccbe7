#include "platform/ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>

#include "platform/TempFolder.h"

TEST(ChildProcessTest, RunsInItsFolderWithOutputInAFile) {
    platform::TempFolder temp;
    platform::ChildProcess child;
    ASSERT_TRUE(child.Start("/bin/sh", {"-c", "pwd; echo oops >&2; exit 3"}, temp.Path(), temp.File("out.txt")));
    ASSERT_TRUE(child.Wait(10000));
    EXPECT_EQ(child.ExitCode(), 3);
    std::string folder = temp.Path().substr(0, temp.Path().size() - 1);
    EXPECT_EQ(temp.Read("out.txt"), folder + "\noops\n");
}

TEST(ChildProcessTest, SignalEndsARunningChild) {
    platform::ChildProcess child;
    ASSERT_TRUE(child.Start("/bin/sleep", {"30"}, ""));
    EXPECT_TRUE(child.Running());
    EXPECT_FALSE(child.Wait(50));
    ASSERT_TRUE(child.Signal(SIGTERM));
    ASSERT_TRUE(child.Wait(10000));
    EXPECT_EQ(child.ExitCode(), 128 + SIGTERM);
    EXPECT_FALSE(child.Running());
}

TEST(ChildProcessTest, MissingProgramDoesNotStart) {
    platform::ChildProcess child;
    EXPECT_FALSE(child.Start("/no/such/program", {}, ""));
}
