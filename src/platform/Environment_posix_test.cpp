#include <gtest/gtest.h>

#include "platform/Environment.h"

using namespace platform;

TEST(EnvironmentTest, RunProgramPassesArgumentsWithoutAShell) {
    std::string output;
    EXPECT_EQ(RunProgram("echo", {"a;b", "$HOME"}, &output), 0);
    EXPECT_EQ(output, "a;b $HOME\n");
    EXPECT_EQ(RunProgram("false", {}, nullptr), 1);
    EXPECT_EQ(RunProgram("/no/such/program", {}, nullptr), -1);
}
