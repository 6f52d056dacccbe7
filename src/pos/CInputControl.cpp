#include "pos/CInputControl.h"

#include "log/CLogFile.h"
#include "platform/Environment.h"
#include "platform/Text.h"

CInputControl::CInputControl() : dataEvent(true), stopEvent(true) { buffer[0] = 0; }

void CInputControl::Log(const std::string& text) const {
    if (log) {
        log->WriteText(text);
    }
}

void CInputControl::LogRaw(const std::string& text) const {
    if (log) {
        log->WriteLine(text, 0, CLogFile::Plain, false);
    }
}

std::string CInputControl::Describe() {
    settings.text = text::Format("%s: %s : %d %s", settings.mode == 1 ? "Client" : "Server", settings.host.c_str(),
                                 settings.port, settings.extra.c_str());
    return settings.text;
}

void CInputControl::FormatError(const std::string& operation, int code) {
    lastError = text::Format("%s failed:\nerror code = %u\nmessage = %s\n", operation.c_str(),
                             static_cast<unsigned>(code), platform::SystemErrorText(code).c_str());
}

void CInputControl::StopReceiver() {
    ResetEvents();
    stopEvent.Set();
    WakeReceiver();
    JoinReceiver();
}
