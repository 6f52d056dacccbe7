#include "platform/MessageBox.h"

#include <mutex>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/WindowsHeaders.h"

namespace platform {

namespace {

std::mutex captureMutex;
MessageBoxCapture installed;

}  // namespace

void CaptureMessageBoxes(MessageBoxCapture capture) {
    std::lock_guard<std::mutex> lock(captureMutex);
    installed = std::move(capture);
}

void ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
    MessageBoxCapture capture;
    {
        std::lock_guard<std::mutex> lock(captureMutex);
        capture = installed;
    }
    if (capture) {
        capture(text, caption, style);
        return;
    }
    const std::string file = GetEnv("FISCORA_MESSAGE_BOX_FILE");
    if (!file.empty()) {
        AppendToFile(file, text::Format("%s|%x|%s\n", caption.c_str(), style, text.c_str()), true);
        return;
    }
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
}

}  // namespace platform
