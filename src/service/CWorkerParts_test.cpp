#include "service/CWorkerParts.h"

#include <gtest/gtest.h>

#include "devices/CNewInterface.h"
#include "service/CPrintInterface.h"

namespace {

TEST(WorkerPartsTest, PrinterManagerInterfaceForEveryTypeButMongolianAndCzech) {
    CWorkerParts parts;
    for (int type : {0, 3, 7, 8, 11, 13, 99}) {
        std::string reason;
        std::unique_ptr<CPrintInterface> device = parts.CreateInterface(type, reason);
        ASSERT_NE(device, nullptr) << type;
        EXPECT_NE(dynamic_cast<CNewInterface*>(device.get()), nullptr) << type;
        EXPECT_EQ(reason, "");
    }
    for (int type : {9, 10}) {
        std::string reason;
        EXPECT_EQ(parts.CreateInterface(type, reason), nullptr) << type;
        EXPECT_NE(reason.find(type == 9 ? "Mongolian" : "Czech"), std::string::npos) << reason;
    }
}

}  // namespace
