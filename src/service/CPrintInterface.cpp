#include "service/CPrintInterface.h"

#include "log/CLogFile.h"

bool CPrintInterface::Configure(CFiscalINI& configuration) {
    (void)configuration;
    return true;
}

void CPrintInterface::SetLog(CLogFile* logFile) {
    log = logFile;
    checkLogger.SetLog(logFile);
}

bool CPrintInterface::Connect(const CPrinterControl& printer) {
    control = printer;
    return true;
}

void CPrintInterface::Disconnect() {}

bool CPrintInterface::EnsureConnection() { return true; }

void CPrintInterface::Log(const std::string& line) const {
    if (log) {
        log->WriteText(line);
    }
}

void CPrintInterface::LogRaw(const std::string& bytes, int length, int direction) const {
    if (log) {
        log->WriteLine(bytes, length, direction, false);
    }
}

void CPrintInterface::LogList(const std::vector<std::string>& lines) const {
    if (log && !lines.empty()) {
        log->WriteList(lines);
    }
}
