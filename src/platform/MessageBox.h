#pragma once

#include <functional>
#include <string>

namespace platform {

// Windows message boxes: the service shows its start-up failures in one. The style is the
// system's MB_ bits (0x50010: error icon, set foreground, topmost).
using MessageBoxCapture = std::function<void(const std::string& text, const std::string& caption, unsigned style)>;

// Shows the box and returns when it is closed. A capture installed by a test receives it
// instead; so does the file named by FISCORA_MESSAGE_BOX_FILE (one line "caption|style|text" per
// box, the style in hex), which lets a test see the boxes of a program it starts.
void ShowMessageBox(const std::string& text, const std::string& caption, unsigned style);
// nullptr shows boxes again.
void CaptureMessageBoxes(MessageBoxCapture capture);

}  // namespace platform
