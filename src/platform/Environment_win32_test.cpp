#include <gtest/gtest.h>

#include "platform/Environment.h"

using namespace platform;

// The exit code and the standard output of the program come back; an argument with a blank
// stays one argument.
TEST(EnvironmentTest, RunProgramReturnsTheExitCodeAndTheOutput) {
    EXPECT_EQ(RunProgram("cmd.exe", {"/c", "exit 3"}, nullptr), 3);
    std::string output;
    EXPECT_EQ(RunProgram("cmd.exe", {"/c", "echo", "one  two"}, &output), 0);
    EXPECT_NE(output.find("\"one  two\""), std::string::npos) << output;
    EXPECT_EQ(RunProgram("C:\\no\\such\\program.exe", {}, nullptr), -1);
}

TEST(EnvironmentTest, AnEmptyValueIsSetAndTheSystemsTextHasNoLineEnd) {
    EXPECT_TRUE(SetEnv("FISCORA_EMPTY_VARIABLE", ""));
    EXPECT_TRUE(HasEnv("FISCORA_EMPTY_VARIABLE"));
    EXPECT_EQ(GetEnv("FISCORA_EMPTY_VARIABLE"), "");
    EXPECT_TRUE(SetEnv("FISCORA_LONG_VARIABLE", std::string(1000, 'x')));
    EXPECT_EQ(GetEnv("FISCORA_LONG_VARIABLE"), std::string(1000, 'x'));
    std::string text = SystemErrorText(2);  // file not found
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(ProcessAlive(ProcessId()), true);
    EXPECT_EQ(ProcessAlive(0), false);
    EXPECT_FALSE(OsVersionText().empty());
    EXPECT_FALSE(HostName().empty());
}
