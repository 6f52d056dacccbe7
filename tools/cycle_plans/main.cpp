// The plans of every statement that a polling cycle with nothing due runs, on the demo hotels'
// PMS at scale: by default 1,000,000 financial transactions (Opera) and as many postings
// (Suite8), with deposits in the history (status D, some moved on by '9901I' transfers) and, on
// Opera, a transfer of the open date paired with its deposit. Each statement of the idle cycles of
// several configurations (every finder of both back-ends) is explained by SQLite; none may read
// the status table or a transaction table whole, and none may make SQLite build an automatic
// index. Prints every statement with its plan; exits 1 when one fails.
//   cmake --preset release && cmake --build --preset release --target cycle_plans
//   build/release/tools/cycle_plans/cycle_plans [--opera | --suite8] [--bills N] [--folder DIR]
//                                               [transactions]
// --bills adds N registered bills to the open date (a busy day's); --folder puts the generated PMS
// there (it is removed at the end) instead of the temporary folder.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CyclePlans.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

int main(int argc, char** argv) {
    int transactions = 1000000;
    std::vector<benchhotel::Hotel> hotels = {benchhotel::Opera(), benchhotel::Suite8()};
    std::string folderOption;
    int bills = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--opera") {
            hotels = {benchhotel::Opera()};
        } else if (arg == "--suite8") {
            hotels = {benchhotel::Suite8()};
        } else if (arg == "--bills" && i + 1 < argc) {
            bills = text::ToInt(argv[++i]);
        } else if (arg == "--folder" && i + 1 < argc) {
            folderOption = argv[++i];
        } else if (text::IsDigits(arg)) {
            transactions = text::ToInt(arg);
        } else {
            std::fprintf(
                stderr,
                "usage: cycle_plans [--opera | --suite8] [--bills N] [--folder DIR] [transactions]\n");
            return 2;
        }
    }
    int faults = 0;
    for (const benchhotel::Hotel& hotel : hotels) {
        platform::TempFolder temporary("fiscora_plans");
        std::string folder = temporary.Path();
        if (!folderOption.empty()) {
            folder = folderOption + "/" + hotel.label + "_plans/";
            platform::MakeDirectories(folder);
        }
        std::vector<cycleplans::Plan> plans;
        pmsgen::Summary summary;
        std::string error;
        bool done = cycleplans::IdleCyclePlans(hotel, folder, transactions, bills, plans, summary, error);
        if (!folderOption.empty()) {
            platform::RemoveFile(folder + "pms.db");
        }
        if (!done) {
            std::fprintf(stderr, "cycle_plans: %s: %s\n", hotel.label.c_str(), error.c_str());
            return 1;
        }
        std::printf("%s: %d transactions, %d status rows; %d statements in the idle cycles\n",
                    hotel.label.c_str(), summary.transactions, summary.statusRows,
                    static_cast<int>(plans.size()));
        for (const cycleplans::Plan& plan : plans) {
            for (const std::string& line : cycleplans::Describe(plan)) {
                std::printf("%s\n", line.c_str());
            }
            faults += plan.faults.empty() ? 0 : 1;
        }
    }
    std::printf("%s\n", faults == 0 ? "every statement reaches the guarded tables through an index"
                                    : text::Format("%d statements with faults", faults).c_str());
    return faults == 0 ? 0 : 1;
}
