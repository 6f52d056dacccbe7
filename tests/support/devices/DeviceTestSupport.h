#pragma once

// Helpers shared by the device and channel tests: a configuration that answers from a map, a
// fresh temporary folder with a quiet log, and the printer-manager simulator on 127.0.0.1.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PrinterManagerSim.h"
#include "devices/CAnswerReader.h"
#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace device_test {

// Stands in for the configuration file: keys answer from a map, printers and lines are given.
class FakeConfiguration : public CFiscalINI {
public:
    std::map<std::string, std::string> values;
    bool failPrinters = false;
    std::vector<CPrinterControl> printers;
    std::vector<CPrintLine> lines;
    int32_t listMode = 0;

    std::string ReadParameter(const std::string& path) override {
        auto found = values.find(path);
        return found == values.end() ? "" : found->second;
    }
    bool LoadPrinters(std::vector<CPrinterControl>& printerList, std::vector<CPrintLine>& printLines,
                      int32_t& mode) override {
        if (failPrinters) {
            lastError = "line 1 : printer 9 not defined";
            return false;
        }
        printerList = printers;
        printLines = lines;
        mode = listMode;
        return true;
    }
    int32_t ReadListMode() override { return listMode; }
};

inline CPrintLine Line(const std::string& name, const std::vector<std::string>& printerNames, int kind = 0) {
    CPrintLine line;
    line.name = name;
    line.kind = kind;
    line.count = static_cast<int32_t>(printerNames.size());
    for (size_t i = 0; i < printerNames.size() && i < CPrintLine::kMaxPrinters; ++i) {
        line.printers[i] = printerNames[i];
    }
    return line;
}

inline CPrinterControl Printer(const std::string& name, const std::string& host, int port) {
    CPrinterControl printer;
    printer.name = name;
    printer.deviceSettings.name = name;
    printer.deviceSettings.host = host;
    printer.deviceSettings.port = port;
    printer.deviceSettings.mode = 1;
    return printer;
}

// A fresh folder per test and a log in it that does not echo.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = temp.Path().substr(0, temp.Path().size() - 1);
        ASSERT_FALSE(folder.empty());
        log.SetEcho(false);
        ASSERT_TRUE(log.Open(folder + "/test.log", true));
    }
    void TearDown() override { log.Close(); }
    std::string LogText() {
        std::string content;
        platform::ReadFile(folder + "/test.log", content);
        return content;
    }
    bool LogHas(const std::string& text) { return LogText().find(text) != std::string::npos; }
    std::string Path(const std::string& name) const { return folder + "/" + name; }

    std::unique_ptr<PrinterManagerSim> StartSim(PrinterManagerSim::Options options = {}) {
        auto sim = std::make_unique<PrinterManagerSim>(options);
        std::string error;
        EXPECT_TRUE(sim->Start(error)) << error;
        return sim;
    }
    // A port on 127.0.0.1 where nobody listens (a simulator's, after it stopped).
    int ClosedPort() {
        auto sim = StartSim();
        int port = sim->Port();
        sim->Stop();
        return port;
    }
    static FaultSetting Fault(const std::string& line) {
        FaultSetting fault;
        std::string error;
        EXPECT_TRUE(fault.Parse(line, error)) << error;
        return fault;
    }

    platform::TempFolder temp{"fiscora-devices"};
    std::string folder;
    CLogFile log;
};

// Peak resident memory of this process in kB (VmHWM), 0 where the system does not tell.
inline long PeakMemoryKb() {
    std::string status;
    if (!platform::ReadFile("/proc/self/status", status)) {
        return 0;
    }
    size_t at = status.find("VmHWM:");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + 6);
}

// An answer that would not end was refused within its bound: the log says so in one line, no
// line of the log is a kilobyte long, and the process never held 50 MB.
inline void ExpectBoundedAnswer(const std::string& log) {
    EXPECT_NE(log.find(CAnswerReader::TooLongText()), std::string::npos);
    size_t longest = 0;
    for (const std::string& line : text::Split(log, '\n')) {
        longest = std::max(longest, line.size());
    }
    EXPECT_LT(longest, 1024u);
    EXPECT_LT(PeakMemoryKb(), 50 * 1024);
}

// Protocol bytes written readably: "^" FS, "@" EOT, "~" FF ("\n" is LF itself).
inline std::string Bytes(const std::string& readable) {
    std::string out;
    for (char c : readable) {
        out += c == '^' ? '\x1c' : c == '@' ? '\x04' : c == '~' ? '\x0c' : c;
    }
    return out;
}

// The same bytes the other way round, for failure messages.
inline std::string Readable(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        out += c == '\x1c' ? '^' : c == '\x04' ? '@' : c == '\x0c' ? '~' : c;
    }
    return out;
}

}  // namespace device_test
