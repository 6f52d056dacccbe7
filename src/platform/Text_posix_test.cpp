#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/ChildProcess.h"
#include "platform/Environment.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {

// A locale that writes numbers with a decimal comma, compiled into a folder of the test's own
// (the machine need not have it installed); empty when the locale sources are missing.
std::string CommaLocaleFolder() {
    static platform::TempFolder folder{"comma-locale"};
    static const bool made = [] {
        platform::ChildProcess localedef;
        return localedef.Start("/usr/bin/localedef", {"-i", "de_DE", "-f", "UTF-8", folder.Path() + "de_DE.UTF-8"},
                               folder.Path()) &&
               localedef.Wait(60000) && localedef.ExitCode() == 0;
    }();
    return made ? folder.Path() : "";
}

TEST(TextNumbersTest, NumbersReadTheSameUnderACommaLocale) {
    const std::string folder = CommaLocaleFolder();
    if (folder.empty()) {
        GTEST_SKIP() << "localedef or the de_DE locale sources are missing (Debian package locales)";
    }
    platform::SetEnv("LOCPATH", folder);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    // Under this locale the C library reads "25.50" as 25: the point ends the number.
    const double fromLibrary = std::strtod("25.50", nullptr);
    const double value = text::ToDouble("25.50");
    const double comma = text::ToDouble("25,50");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(fromLibrary, 25.0) << "the locale was not in effect";
    EXPECT_EQ(value, 25.5);
    EXPECT_EQ(comma, 25.0);
}

}  // namespace
