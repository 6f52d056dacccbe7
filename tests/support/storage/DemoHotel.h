#pragma once

// Test support: the demo hotel's PMS made by the generator in a fresh folder, the demo
// configuration (demo/VuvovaZododAVU.xml) pointed at it, with the changes a test asks for, and
// the Opera back-end opened on both. Header only, so that it stays out of the core library.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "PmsGenerator.h"
#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "storage/CDovozEderarezev.h"
#include "storage/db/SqliteConnection.h"
#include "tests/support/platform/ManualClock.h"
#include "tests/support/storage/TestPms.h"

namespace demohotel {

constexpr const char* kBusinessDate = "14.03.2026";

// Changes of the demo configuration: every "from" replaced by its "to".
using Changes = std::vector<std::pair<std::string, std::string>>;

// Full checks instead of payments only.
inline Changes FullChecks() {
    return {{"<only_payments>1</only_payments>", "<only_payments>0</only_payments>"}};
}
// Without the deposit posting, that is without the pay-master flag.
inline Changes WithoutPayMaster() {
    return {{"<code>9100</code>", ""}};
}
inline Changes operator+(Changes a, const Changes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class DemoHotelTest : public ::testing::Test {
protected:
    DemoHotelTest() : clock(0), scoped(clock) { testpms::SetLocalTime(clock, 2026, 3, 14, 15); }

    void SetUp() override {
        log.SetEcho(false);
        ASSERT_TRUE(log.Open(folder.Path("qelfiscal.log"), true));
        pmsgen::Options options = pmsOptions;
        options.file = folder.Path("demo_pms.db");
        options.businessDate = kBusinessDate;
        std::string error;
        ASSERT_TRUE(pmsgen::Generate(options, generated, error)) << error;
    }

    // Loads the demo configuration with the changes and opens the back-end on the PMS.
    void Open(const Changes& changes = {}) { OpenWith(changes, configuration, storage); }
    void OpenWith(const Changes& changes, CFiscalINI& config, CDovozEderarezev& backEnd) {
        std::string xml;
        ASSERT_TRUE(platform::ReadFile(testpms::SourceDir() + "/demo/VuvovaZododAVU.xml", xml));
        xml = text::ReplaceAll(xml, "sqlite:demo_pms.db", "sqlite:" + folder.Path("demo_pms.db"));
        for (const auto& [from, to] : changes) {
            ASSERT_NE(xml.find(from), std::string::npos) << from;
            xml = text::ReplaceAll(xml, from, to);
        }
        if (!earlierDates) {
            // The open date alone: the bills left on earlier dates are the subject of tests of
            // their own.
            xml = text::ReplaceAll(xml, "<earlier_days>30</earlier_days>", "<earlier_days>0</earlier_days>");
        }
        folder.Write(CFiscalINI::kFileName, xml);
        config.SetLog(&log);
        ASSERT_TRUE(config.LoadFrom({folder.Path()})) << config.GetLastError();
        ASSERT_TRUE(config.LoadRules());
        backEnd.SetLogFile(&log);
        backEnd.SetSideFileFolder(folder.Path());
        ASSERT_TRUE(backEnd.Open(config)) << backEnd.GetLastError();
    }

    std::vector<CFiscalCheck> Cycle() {
        std::vector<CFiscalCheck> checks;
        storage.CheckBusinessDate();
        storage.GetChecks(checks);
        return checks;
    }

    // The pay-master flag finds the day's deposits before anything else: registers the cycles
    // that find deposits only and returns the first cycle that finds something else.
    std::vector<CFiscalCheck> CycleAfterDeposits() {
        for (int round = 0; round < 10; ++round) {
            std::vector<CFiscalCheck> checks = Cycle();
            bool depositsOnly = !checks.empty() && std::all_of(checks.begin(), checks.end(), [](const CFiscalCheck& c) {
                return c.statusCode == kDepositCheck || c.statusCode == kOtherDeposit;
            });
            if (!depositsOnly) {
                return checks;
            }
            Registered(checks);
        }
        ADD_FAILURE() << "the same deposits are found again and again";
        return {};
    }

    // What the worker does with a registered check: its transactions become Y.
    void Registered(std::vector<CFiscalCheck>& checks) {
        for (CFiscalCheck& check : checks) {
            ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::NotRegistered))
                << storage.GetLastError();
            ASSERT_TRUE(storage.SetCheckStatus(check, CheckStatusLetter::Registered))
                << storage.GetLastError();
        }
    }

    // A connection of the test's own to the PMS.
    db::SqliteConnection& Pms() {
        if (!pms.IsOpen()) {
            pms.SetPmsSchema("OPERA");
            EXPECT_TRUE(pms.Open("sqlite:" + folder.Path("demo_pms.db")));
        }
        return pms;
    }
    void Run(const std::string& oracle) {
        ASSERT_TRUE(Pms().Execute(oracle)) << testpms::Pms::Errors(pms) << "\n" << oracle;
    }
    std::vector<std::string> Rows(const std::string& oracle) {
        db::Recordset rows;
        EXPECT_TRUE(Pms().OpenRecordset(oracle, rows)) << testpms::Pms::Errors(pms) << "\n" << oracle;
        return testpms::Pms::Texts(rows);
    }
    // The status letter of a transaction's row, "-" when it has none.
    std::string Status(int trxNo) {
        std::vector<std::string> rows = Rows(
            text::Format("select qel_fisc_status from qel_financial_transactions where trx_no=%d", trxNo));
        return rows.empty() ? "-" : rows[0];
    }
    // The night audit: the open business date closes and the given one opens.
    void OpenBusinessDate(const std::string& date) {
        Run("update OPERA.businessdate set state='CLOSED' where resort='DEMO'");
        Run("insert into OPERA.businessdate values ('DEMO', to_date('" + date + "','dd.mm.yyyy'), 'OPEN')");
    }
    std::string LogText() const { return folder.Read("qelfiscal.log"); }
    bool Logged(const std::string& line) const { return LogText().find(line) != std::string::npos; }

    const pmsgen::Bill& BillOf(int number) const {
        for (const pmsgen::Bill& bill : generated.bills) {
            if (bill.number == number) {
                return bill;
            }
        }
        static const pmsgen::Bill none;
        ADD_FAILURE() << "no bill " << number;
        return none;
    }

    // What the generator writes (the file and the business date are the fixture's).
    pmsgen::Options pmsOptions;
    // Checks of closed business dates are taken up (as the demo configuration says).
    bool earlierDates = false;
    platform::TempFolder folder;
    platform::ManualClock clock;
    platform::ScopedClock scoped;
    CLogFile log;
    CFiscalINI configuration;
    CDovozEderarezev storage;
    pmsgen::Summary generated;
    db::SqliteConnection pms;
};

// The check of a bill (or of a payment, by its first transaction) among the checks.
inline const CFiscalCheck* Find(const std::vector<CFiscalCheck>& checks, const std::string& bill) {
    for (const CFiscalCheck& check : checks) {
        if (check.checkNumber == bill) {
            return &check;
        }
    }
    return nullptr;
}
inline const CFiscalCheck* FindPayment(const std::vector<CFiscalCheck>& checks, int trxNo) {
    for (const CFiscalCheck& check : checks) {
        if (!check.payments.empty() && check.payments[0].trx_no == trxNo) {
            return &check;
        }
    }
    return nullptr;
}

}  // namespace demohotel
