#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sqlite3.h>

#include <filesystem>

#include "platform/TempFolder.h"
#include "storage/CClientLibrary.h"
#include "tests/support/storage/TestPms.h"

namespace {

TEST(ClientLibraryLoadTest, ALibraryWithoutTheExportStopsTheStart) {
    platform::TempFolder folder;
    testpms::Log log(folder);
    // A shared object that loads but exports no GetCheck: the SQLite library of this program.
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&sqlite3_libversion), &info), 0);
    std::filesystem::copy_file(info.dli_fname, folder.File("libLGXClient.so"));
    CClientLibrary library;
    library.SetLog(&log.log);
    library.SetFolder(folder.Path());
    EXPECT_FALSE(library.Load());
    EXPECT_EQ(library.GetLastError(), "Error load GetCheck");
    EXPECT_TRUE(log.Has("libLGXClient.so loaded"));
}

}  // namespace
