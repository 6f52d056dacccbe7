#include "service/CWorkerParts.h"

#include <gtest/gtest.h>

#include "devices/CCzechInterface.h"
#include "devices/CMAPIInterface.h"
#include "devices/CNewInterface.h"
#include "devices/CPrintInterface.h"
#include "storage/CDovozEderarezev.h"
#include "storage/CF8Monitoring.h"
#include "storage/CFiscalStorage.h"

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
    std::string reason;
    std::unique_ptr<CPrintInterface> mongolian = parts.CreateInterface(9, reason);
    EXPECT_NE(dynamic_cast<CMAPIInterface*>(mongolian.get()), nullptr);
    EXPECT_EQ(reason, "");
    std::unique_ptr<CPrintInterface> first = parts.CreateInterface(10, reason);
    std::unique_ptr<CPrintInterface> reserve = parts.CreateInterface(10, reason);
    auto* czech = dynamic_cast<CCzechInterface*>(first.get());
    auto* czechReserve = dynamic_cast<CCzechInterface*>(reserve.get());
    ASSERT_NE(czech, nullptr);
    ASSERT_NE(czechReserve, nullptr);
    EXPECT_EQ(reason, "");
    // A sale that went unanswered on one printer is a repeated sending on the other.
    CFiscalCheck sale;
    sale.folioNumber = "F1";
    sale.checkNumber = "1";
    czech->Unanswered()->Add(CCzechInterface::SaleKey(sale));
    EXPECT_TRUE(czechReserve->SentWithoutAnswer(sale));
    // Another service's interfaces know nothing of it.
    CWorkerParts other;
    std::unique_ptr<CPrintInterface> elsewhere = other.CreateInterface(10, reason);
    EXPECT_FALSE(dynamic_cast<CCzechInterface*>(elsewhere.get())->SentWithoutAnswer(sale));
}

TEST(WorkerPartsTest, OperaBackEndForStorageKindsZeroAndOneSuiteEightForTwo) {
    CWorkerParts parts;
    for (int kind : {0, 1, 2}) {
        std::string reason;
        std::unique_ptr<CFiscalStorage> storage = parts.CreateStorage(kind, reason);
        ASSERT_NE(storage, nullptr) << kind;
        bool opera = dynamic_cast<CDovozEderarezev*>(storage.get()) != nullptr;
        bool suite8 = dynamic_cast<CF8Monitoring*>(storage.get()) != nullptr;
        EXPECT_EQ(opera, kind != 2) << kind;
        EXPECT_EQ(suite8, kind == 2) << kind;
        EXPECT_EQ(reason, "");
    }
    for (int kind : {3, 4, 6}) {
        std::string reason;
        EXPECT_EQ(parts.CreateStorage(kind, reason), nullptr) << kind;
        EXPECT_NE(reason.find("Unknown storage version"), std::string::npos) << reason;
    }
}

}  // namespace
