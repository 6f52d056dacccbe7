#pragma once

#include <gtest/gtest.h>

#include <string>

#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/Environment.h"
#include "platform/TempFolder.h"

// The demo/ folder of the source tree (FISCORA_SOURCE_DIR, or where this file is), with a "/".
inline std::string DemoFolder() {
    std::string source = platform::GetEnv("FISCORA_SOURCE_DIR");
    if (source.empty()) {
        std::string here = __FILE__;
        source = here.substr(0, here.rfind("/tests/support/"));
    }
    return source + "/demo/";
}

// A configuration loaded from a file written by the test, with its log in the same folder.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.SetEcho(false);
        ASSERT_TRUE(log.Open(folder.Path("qelfiscal.log"), true));
        ini.SetLog(&log);
    }

    // Writes VuvovaZododAVU.xml with the body inside its root element and loads it.
    bool LoadBody(const std::string& body) {
        folder.Write(CFiscalINI::kFileName,
                     "<?xml version=\"1.0\"?>\n<configuration>" + body + "</configuration>");
        return ini.LoadFrom({folder.Path()});
    }

    std::string LogText() { return folder.Read("qelfiscal.log"); }
    bool Logged(const std::string& text) { return LogText().find(text) != std::string::npos; }

    platform::TempFolder folder;
    CLogFile log;
    CFiscalINI ini;
};
