// pms_generator: writes the demo hotel's PMS database for the embedded SQLite stand-in.
//   pms_generator [--output demo_pms.db] [--transactions N] [--business-date dd.mm.yyyy] [--seed N]
//                 [--small-open-day] [--test-bills] [--restaurant-payment] [--pos-checks FILE]
//                 [--deposit-stories] [--suite8] [--deposits-history] [--registered-bills N]
// --transactions adds a history of N financial transactions before the open business date (up
// to three years of business dates, every payment fiscalised); without it only the open date is
// written. --deposits-history puts deposits into that history (status D, some of them moved on by
// a '9901I' transfer); --registered-bills adds N bills to the open date that are registered
// already. --small-open-day, --test-bills, --restaurant-payment and --deposit-stories change what
// is written (see PmsGenerator.h). --pos-checks writes the POS checks of the restaurant postings
// for check_db_sim --checks. The same options always give the same database.

#include <cstdio>
#include <cstring>
#include <string>

#include "PmsGenerator.h"
#include "platform/Clock.h"
#include "platform/Text.h"

namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage: pms_generator [--output FILE] [--transactions N] [--business-date dd.mm.yyyy] "
        "[--seed N]\n"
        "                     [--small-open-day] [--test-bills] [--restaurant-payment] [--pos-checks FILE]\n"
        "                     [--deposit-stories] [--suite8] [--deposits-history] [--registered-bills N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    pmsgen::Options options;
    options.file = "demo_pms.db";
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--small-open-day") {
            options.openDay = pmsgen::OpenDay::Small;
            continue;
        }
        if (option == "--test-bills") {
            options.testBills = true;
            continue;
        }
        if (option == "--restaurant-payment") {
            options.restaurantPayment = true;
            continue;
        }
        if (option == "--deposit-stories") {
            options.depositStories = true;
            continue;
        }
        if (option == "--suite8") {
            options.pms = pmsgen::PmsKind::Suite8;
            continue;
        }
        if (option == "--deposits-history") {
            options.depositsHistory = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage();
        }
        std::string value = argv[++i];
        if (option == "--output") {
            options.file = value;
        } else if (option == "--transactions") {
            options.historyTransactions = text::ToInt(value);
        } else if (option == "--registered-bills") {
            options.registeredBills = text::ToInt(value);
        } else if (option == "--business-date") {
            options.businessDate = value;
        } else if (option == "--pos-checks") {
            options.posChecksFile = value;
        } else if (option == "--seed") {
            options.seed = static_cast<uint32_t>(text::ToInt64(value));
        } else {
            return Usage();
        }
    }
    pmsgen::Summary summary;
    std::string error;
    int64_t start = platform::Clock::Current().MonotonicMs();
    if (!pmsgen::Generate(options, summary, error)) {
        std::fprintf(stderr, "pms_generator: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: business date %s, %d transactions (%d history days), %d status rows, %d ms\n",
                options.file.c_str(), summary.businessDate.c_str(), summary.transactions, summary.historyDays,
                summary.statusRows, static_cast<int>(platform::Clock::Current().MonotonicMs() - start));
    std::printf("open date: %d bills, %d payments due (%d of them ignored by the demo configuration)\n",
                static_cast<int>(summary.bills.size()), static_cast<int>(summary.paymentsOfTheDay.size()),
                static_cast<int>(summary.ignoredPayments.size()));
    return 0;
}
