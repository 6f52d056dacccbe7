#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"

using namespace platform;

TEST(MessageBoxTest, ACaptureReceivesTheBoxAndTheFileOfTheEnvironmentOtherwise) {
    std::vector<std::string> seen;
    CaptureMessageBoxes([&](const std::string& text, const std::string& caption, unsigned style) {
        seen.push_back(caption + "/" + text + "/" + std::to_string(style));
    });
    ShowMessageBox("WSAStart error 10091\n", "DovozEderarezev", 0x50010);
    CaptureMessageBoxes(nullptr);
    EXPECT_EQ(seen, std::vector<std::string>{"DovozEderarezev/WSAStart error 10091\n/327696"});

    // Without a capture a program started by a test writes its boxes to the file it is given.
    TempFolder temp;
    SetEnv("FISCORA_MESSAGE_BOX_FILE", temp.File("boxes"));
    ShowMessageBox("first", "Fiscora", 0x50010);
    ShowMessageBox("second", "Fiscora", 0x10);
    SetEnv("FISCORA_MESSAGE_BOX_FILE", "");
    std::string boxes;
    ASSERT_TRUE(ReadFile(temp.File("boxes"), boxes));
    EXPECT_EQ(boxes, "Fiscora|50010|first\nFiscora|10|second\n");
}
