// fiscora_demo: the demo that scripts/demo.sh runs. It generates the demo hotel's PMS with its
// deposit stories in a work folder, starts the printer-manager simulator on 127.0.0.1 (a free
// port, written into the work folder's copy of demo/VuvovaZododAVU.xml) and the check-database
// server simulator on 127.0.0.1:5196 with the POS checks of the restaurant, and runs
// FiscoraService there with short pauses in three acts, one business date each, a night audit between them: the
// day's payments and deposits; the check-outs that consume deposits (full checks); a pro-forma
// folio's deposits and their settlement. Each act ends when what it waits for is done (or the
// time limit passes) with SIGTERM. Then it prints what happened: the registered checks with their
// fiscal numbers, the restaurant check with its POS items, the status rows by letter, the letters
// each deposit went through, what was closed without registration, the check journal and what
// was left unregistered and why.
//   fiscora_demo [--work FOLDER] [--time-limit SECONDS] [--program FiscoraService]
//                [--configuration demo/VuvovaZododAVU.xml] [--hotel opera|suite8] [--czech | --mongolia]
// --hotel suite8 runs the Suite8 demo hotel (its PMS and demo/suite8/VuvovaZododAVU.xml) in one
// pass instead (see Suite8Demo.h). --czech runs the Opera demo hotel with printer type 10
// (demo/czech/VuvovaZododAVU.xml) against the Czech sales-registration simulator (see CzechDemo.h).
// --mongolia runs it with printer type 9 (demo/mongolia/VuvovaZododAVU.xml) against the Mongolian
// tax-service simulator, with refunds returned to their sales (see MongolianDemo.h).
// The summary ends with the reconciliation of the status rows with what the devices registered
// (Reconciliation) and the registrations and amounts of each act.
// Exit code 0 when every due payment and deposit was registered exactly once, the ignored
// payments and split parts were closed without registration, the refund larger than its sale
// was refused and the reconciliation found no mismatch; 1 otherwise.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "CzechDemo.h"
#include "MongolianDemo.h"
#include "Suite8Demo.h"
#include "DemoAct.h"
#include "DemoReport.h"
#include "ServiceFolder.h"
#include "WineService.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "storage/db/OracleFormats.h"

namespace {

struct Settings {
    std::string work;
    std::string program;
    std::string configuration;
    int timeLimitSeconds = 180;
    pmsgen::PmsKind hotel = pmsgen::PmsKind::Opera;
    bool czech = false;
    bool mongolia = false;
};

std::string Clean(const std::string& path) {
    return std::filesystem::weakly_canonical(path).string();
}

bool ReadSettings(int argc, char** argv, Settings& settings) {
    std::string here = platform::ProgramFolder();
    settings.work = Clean(here + "../../demo-run") + "/";
    settings.program = Clean(here + "../../FiscoraService");
    settings.configuration.clear();
    std::vector<std::string> args(argv + 1, argv + argc);
    auto czech = std::find(args.begin(), args.end(), "--czech");
    if (czech != args.end()) {
        settings.czech = true;
        args.erase(czech);
    }
    auto mongolia = std::find(args.begin(), args.end(), "--mongolia");
    if (mongolia != args.end()) {
        settings.mongolia = true;
        args.erase(mongolia);
    }
    for (size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::string& option = args[i];
        const std::string& value = args[i + 1];
        if (option == "--work") {
            settings.work = Clean(value) + "/";
        } else if (option == "--time-limit") {
            settings.timeLimitSeconds = text::ToInt(value);
        } else if (option == "--program") {
            settings.program = Clean(value);
        } else if (option == "--configuration") {
            settings.configuration = Clean(value);
        } else if (option == "--hotel" && (value == "opera" || value == "suite8")) {
            settings.hotel = value == "suite8" ? pmsgen::PmsKind::Suite8 : pmsgen::PmsKind::Opera;
        } else {
            return false;
        }
    }
    if (settings.configuration.empty()) {
        // Each demo hotel has its configuration.
        bool suite8 = settings.hotel == pmsgen::PmsKind::Suite8;
        settings.configuration = std::string(FISCORA_SOURCE_DIR) +
                                 (suite8           ? "/demo/suite8/VuvovaZododAVU.xml"
                                  : settings.czech ? "/demo/czech/VuvovaZododAVU.xml"
                                  : settings.mongolia ? "/demo/mongolia/VuvovaZododAVU.xml"
                                                   : "/demo/VuvovaZododAVU.xml");
    }
    return args.size() % 2 == 0 && settings.timeLimitSeconds > 0 &&
           !((settings.czech || settings.mongolia) && settings.hotel == pmsgen::PmsKind::Suite8) &&
           !(settings.czech && settings.mongolia);
}

// The restaurant payment that the POS interface posted: the POS check it was expanded into, item
// by item as the printer manager registered it, or why it was registered as booked.
void ShowRestaurantCheck(ServiceFolder& run, const std::map<int, Row>& rows,
                         const std::vector<ServiceFolder::Registered>& records, const std::vector<std::string>& log,
                         std::vector<std::string>& problems) {
    const pmsgen::Summary& pms = run.Pms();
    Heading("Restaurant check (POS reference " + pms.posReference + ")");
    auto row = rows.find(pms.restaurantPayment);
    const ServiceFolder::Registered* document = nullptr;
    for (const ServiceFolder::Registered& record : records) {
        if (row != rows.end() && record.printer == row->second.printer &&
            record.fiscalNumber == row->second.fiscalNumber) {
            document = &record;
        }
    }
    if (!document) {
        std::printf("payment %d was not registered\n", pms.restaurantPayment);
        return;
    }
    std::printf("payment %d %s %s, printer %s fiscal no %s:\n", pms.restaurantPayment, row->second.code.c_str(),
                row->second.amount.c_str(), document->printer.c_str(), document->fiscalNumber.c_str());
    std::printf("  %-4s %-6s %-28s %9s %12s  %s\n", "kind", "code", "item", "quantity", "amount", "sub-code");
    for (const ServiceFolder::Item& item : document->items) {
        std::printf("  %-4s %-6s %s %9s %12s  %s\n", item.kind.c_str(), item.code.c_str(),
                    Pad(item.description, 28).c_str(), item.quantity.c_str(), item.amount.c_str(),
                    item.subCode.c_str());
    }
    // Under wine the service expands POS checks only with discovery on loopback (ServiceFolder::Configure).
    if (document->items.size() < 2 && (!WineService::IsWindowsProgram(run.Program()) || WineService::DiscoveryOnLoopback())) {
        for (const std::string& line : Reasons(log, pms.restaurantPayment)) {
            std::printf("    %s\n", line.c_str());
        }
        problems.push_back("the restaurant payment was registered as booked, not item by item");
    }
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ReadSettings(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: fiscora_demo [--work FOLDER] [--time-limit SECONDS] [--program FiscoraService] "
                     "[--configuration VuvovaZododAVU.xml] [--hotel opera|suite8] [--czech | --mongolia]\n");
        return 2;
    }
    std::error_code ignored;
    std::filesystem::remove_all(settings.work, ignored);
    if (!platform::MakeDirectories(settings.work)) {
        std::fprintf(stderr, "fiscora_demo: cannot create %s\n", settings.work.c_str());
        return 1;
    }
    ServiceFolder run(settings.work, settings.program, settings.configuration);
    std::string error;
    if (settings.czech || settings.mongolia) {
        if (!run.MakePms(pmsgen::Options(), error)) {
            std::fprintf(stderr, "fiscora_demo: %s\n", error.c_str());
            return 1;
        }
        std::printf("Demo hotel: %sdemo_pms.db, open business date %s: %zu bills\n", settings.work.c_str(),
                    run.Pms().businessDate.c_str(), run.Pms().bills.size());
        return settings.mongolia ? RunMongolianDemo(run, settings.timeLimitSeconds)
                                 : RunCzechDemo(run, settings.timeLimitSeconds);
    }
    pmsgen::Options hotel;
    if (settings.hotel == pmsgen::PmsKind::Suite8) {
        // The Suite8 demo configuration expands no POS check: it needs no check-database server.
        hotel.pms = pmsgen::PmsKind::Suite8;
        if (!run.MakePms(hotel, error) || !run.StartSimulators({"SIM"}, error)) {
            std::fprintf(stderr, "fiscora_demo: %s\n", error.c_str());
            return 1;
        }
        return RunSuite8Demo(run, settings.timeLimitSeconds);
    }
    hotel.depositStories = true;
    if (!run.MakePms(hotel, error) || !run.StartSimulators({"SIM"}, error) || !run.StartCheckDatabase(error)) {
        std::fprintf(stderr, "fiscora_demo: %s\n", error.c_str());
        return 1;
    }
    const pmsgen::Summary& pms = run.Pms();
    std::vector<int> due = run.DuePayments();
    std::vector<int> deposits = run.DueDeposits();
    // Yesterday's bill left N and an older one marked S: registered after the open date's checks.
    const std::vector<int>& earlier = run.EarlierPayments();
    std::printf(
        "Demo hotel: %sdemo_pms.db, open business date %s: %zu bills, %zu payments, %zu of them deposits and "
        "%zu on an ignored room or cashier\n",
        settings.work.c_str(), pms.businessDate.c_str(), pms.bills.size(), pms.paymentsOfTheDay.size(),
        deposits.size(), pms.ignoredPayments.size());
    std::printf("Printer manager simulator: 127.0.0.1:%u, records in %schecks0.jsonl\n",
                run.Simulator().Port(), settings.work.c_str());
    std::printf("Check-database server simulator: 127.0.0.1:%u, POS checks from %spos_checks.json\n",
                run.CheckDatabase().TcpPort(), settings.work.c_str());
    std::printf(
        "FiscoraService runs in %s (log qelfiscal.log) in three acts, one business date each; each check\n"
        "takes about a second (the fixed pause before it), the demo configuration's pauses are\n"
        "shortened to 1 ms after a check and 500 ms between polling cycles. Time limit: %d s an act.\n",
        settings.work.c_str(), settings.timeLimitSeconds);
    std::fflush(stdout);

    // What is closed without registration, and what must wait.
    std::vector<int> closed = pms.ignoredPayments;
    closed.insert(closed.end(), pms.splitParts.begin(), pms.splitParts.end());
    const std::string refusal =
        platform::Cp1251("Сумма возврата -2500.00 больше суммы оригинального платежа 2000.00");
    // The deposits whose letters the summary shows, and the bill payment that brings one over.
    std::vector<int> watched = deposits;
    watched.insert(watched.end(), {pms.depositTransfer, pms.payMasterDeposit, pms.proFormaDeposit});
    const std::string proFormaReservation = run.Query(text::Format(
        "select resv_name_id from deposit_financial_transactions where trx_no=%d", pms.proFormaDeposit));
    auto letters = [&run](const std::vector<int>& trxNos, const std::string& letter) {
        return run.WaitForStatus(trxNos, letter, 0);
    };
    // The first check (the arriving guest's deposit) is answered late, so that its row is seen N
    // while it is registered.
    run.SetFault("delay ms=1500 kind=Check count=1");
    const ServiceFolder::Changes fullChecks = {{"<only_payments>1</only_payments>", "<only_payments>0</only_payments>"}};
    ServiceFolder::Changes proForma = fullChecks;
    proForma.insert(proForma.end(),
                    {{"<proforma_folio_deposit>0<", "<proforma_folio_deposit>1<"}, {"<code>9100</code>", ""}});
    std::vector<DemoAct> acts = {
        DemoAct(
            "Act 1, " + pms.businessDate +
                ": the day's payments one by one, deposits first (payments only, refunds name their sale)",
            {},
            [&] {
                return letters(due, "Y") && letters(earlier, "Y") && letters(deposits, "D") && letters(closed, "Y") &&
                       letters({pms.depositTransfer}, "D") && run.LogCount(refusal) > 0;
            }),
        DemoAct("Act 2, " + pms.nextBusinessDate + ": after the night audit, check-outs in full checks", fullChecks,
                [&] { return letters({pms.rdrDeposit, pms.payMasterDeposit}, "Y"); }),
        DemoAct("Act 3: after the next night audit, a pro-forma folio (full checks, pro-forma deposits, no "
                "pay-master posting)",
                proForma,
                [&] {
                    return letters({pms.proFormaDeposit, pms.proFormaRefund}, "Y") &&
                           run.Query("select count(*) from deposit_financial_transactions where resv_name_id=" +
                                     proFormaReservation) == "0";
                }),
    };
    DemoAct::Letters seen;
    std::vector<std::string> problems;
    // The rows after each act: a deposit's row, registered as an advance, later names the bill
    // that consumes it.
    std::vector<std::map<int, ServiceFolder::StatusRow>> afterActs;
    for (size_t i = 0; i < acts.size(); ++i) {
        if (i > 0 && !run.NightAudit()) {
            problems.push_back("the night audit could not open the next business date");
            break;
        }
        bool started = acts[i].Run(run, 500, settings.timeLimitSeconds, watched, seen);
        problems.insert(problems.end(), acts[i].problems.begin(), acts[i].problems.end());
        afterActs.push_back(run.StatusRows());
        if (!started) {
            std::fprintf(stderr, "fiscora_demo: cannot start %s in %s with %s\n", settings.program.c_str(),
                         settings.work.c_str(), settings.configuration.c_str());
            return 1;
        }
    }

    std::map<int, Row> rows = ReadRows(run);
    std::vector<ServiceFolder::Registered> records = run.Records();

    ShowRegistered(records, rows);
    std::string logText = run.Log();
    std::vector<std::string> log = text::Split(logText, '\n');
    ShowRestaurantCheck(run, rows, records, log, problems);

    ShowStatusLetters(rows);

    Heading("Deposit lifecycle (N taken up, D registered as a deposit, Y consumed by a bill or settled)");
    std::map<int, std::string> labels = {
        {pms.rdrDeposit, text::Format("arriving guest's card deposit (receipt type RDR); her bill %d the next day",
                                      pms.depositBill)},
        {pms.otherTypeDeposit, "deposit by bank transfer (an additional deposit code, receipt type DEP)"},
        {pms.openWindowDeposit, "advance of a staying guest, then moved to a colleague's stay"},
        {pms.depositTransfer, text::Format("that move to reservation %d: registered there without a check",
                                           pms.transferTarget)},
        {pms.groupDeposit, "a travel agency's deposit on its group's folio"},
        {pms.payMasterDeposit, text::Format("brought over to bill %d with the pay-master code: tied to the "
                                            "agency's deposit",
                                            pms.payMasterDepositBill)},
        {pms.payMasterPayment, "payment on the pay master's room, without a bill"},
        {pms.proFormaDeposit, "deposit for a later stay kept for its pro-forma folio, settled by the cancellation "
                              "bill"},
    };
    for (int trxNo : pms.inHousePayments) {
        labels[trxNo] = "advance of a staying guest, without a bill";
    }
    for (int trxNo : watched) {
        auto row = rows.find(trxNo);
        std::string what = row == rows.end() ? "" : row->second.code + " " + row->second.amount;
        std::printf("%d  %-14s %-22s %s\n", trxNo, what.c_str(), text::Join(seen[trxNo], " -> ").c_str(),
                    labels[trxNo].c_str());
    }
    if (seen[pms.rdrDeposit] != std::vector<std::string>{"-", "N", "D", "Y"}) {
        std::printf("(the arriving guest's deposit was not seen in every state: the polling missed one)\n");
    }
    for (const auto& [trxNo, final] :
         std::map<int, std::string>{{pms.rdrDeposit, "Y"}, {pms.payMasterDeposit, "Y"}, {pms.proFormaDeposit, "Y"},
                                    {pms.groupDeposit, "D"}, {pms.depositTransfer, "D"}}) {
        auto row = rows.find(trxNo);
        if (row == rows.end() || row->second.status != final) {
            problems.push_back(text::Format("%d should end %s", trxNo, final.c_str()));
        }
    }

    Heading("Closed without registration");
    std::map<int, std::string> stories;
    for (int part : pms.splitParts) {
        stories[part] = text::Format("part of the payment %d that Opera split after it was registered (Split check "
                                     "passed!)",
                                     pms.splitOrigin);
    }
    stories[pms.tooLargeRefund] =
        "the refund larger than its sale, refused on its day and left N; the next day (full checks) its bill was "
        "taken up again as a check of a closed business date, and since the bill's other payments were registered "
        "already its description was saved for the operator to close by hand";
    for (int trxNo : pms.ignoredPayments) {
        stories[trxNo] = "on the house account or of an ignored cashier: closed in the PMS, no fiscal check";
    }
    std::map<int, ServiceFolder::StatusRow> statusRows = run.StatusRows();
    size_t closedCount = 0;
    for (const auto& [trxNo, row] : rows) {
        bool registered = std::any_of(records.begin(), records.end(), [&](const ServiceFolder::Registered& r) {
            return ServiceFolder::IsRegistrationOf(r, statusRows[trxNo]);
        });
        if (row.status == "Y" && row.fiscalNumber.empty() && !registered) {
            ++closedCount;
            std::vector<std::string> why = Reasons(log, trxNo);
            std::string reason = stories.count(trxNo) ? stories[trxNo]
                                 : why.empty()        ? "(no reason in the log)"
                                                      : why[0];
            std::printf("%d  %s %s  room %s  bill %s: %s\n", trxNo, row.code.c_str(), row.amount.c_str(),
                        row.room.c_str(), row.bill.c_str(), reason.c_str());
        }
    }
    if (closedCount == 0) {
        std::printf("nothing\n");
    }

    ShowJournal(settings.work);

    Heading("Left unregistered");
    size_t left = 0;
    for (const auto& [trxNo, row] : rows) {
        if (row.status == "Y" || row.status == "D") {
            continue;
        }
        ++left;
        bool isDue = std::find(due.begin(), due.end(), trxNo) != due.end() ||
                     std::find(deposits.begin(), deposits.end(), trxNo) != deposits.end();
        std::printf("%d  %s %s  room %s  bill %s  business date %s, status %s\n", trxNo, row.code.c_str(),
                    row.amount.c_str(), row.room.c_str(), row.bill.c_str(), row.businessDate.c_str(),
                    row.status.c_str());
        if (trxNo == pms.tooLargeRefund) {
            std::printf("    refused, the operator is told: %s\n", platform::ToUtf8(refusal, "1251").c_str());
            continue;
        }
        std::vector<std::string> why = Reasons(log, trxNo);
        if (why.empty()) {
            std::printf("    not taken up in this run: no cycle found it due\n");
        }
        for (const std::string& reason : why) {
            std::printf("    %s\n", reason.c_str());
        }
        if (isDue) {
            problems.push_back(
                text::Format("payment %d of the open date is left %s", trxNo, row.status.c_str()));
        }
    }
    std::vector<int> all = due;
    all.insert(all.end(), deposits.begin(), deposits.end());
    all.insert(all.end(), closed.begin(), closed.end());
    for (int trxNo : all) {
        if (rows.count(trxNo) == 0) {
            ++left;
            std::printf("%d  no status row: never taken up\n", trxNo);
            problems.push_back(text::Format("payment %d was never taken up", trxNo));
        }
    }
    if (left == 0) {
        std::printf("nothing\n");
    }
    // Refused on its day; never registered, whatever the next days made of its bill.
    auto refused = rows.find(pms.tooLargeRefund);
    if (refused == rows.end() || !refused->second.fiscalNumber.empty() || run.LogCount(refusal) == 0) {
        problems.push_back(text::Format("the refund %d larger than its sale should have been refused", pms.tooLargeRefund));
    }
    for (int trxNo : closed) {
        auto row = rows.find(trxNo);
        if (row != rows.end() && (row->second.status != "Y" || !row->second.fiscalNumber.empty())) {
            problems.push_back(
                text::Format("payment %d should have been closed without registration", trxNo));
        }
    }

    // Every due payment and deposit of the open date, the payments left on earlier dates, the
    // check-outs of the next day and the pro-forma folio: registered; what is closed without
    // registration: listed with why.
    Reconciliation::Expected expected;
    expected.due = due;
    expected.due.insert(expected.due.end(), deposits.begin(), deposits.end());
    expected.due.insert(expected.due.end(), earlier.begin(), earlier.end());
    expected.due.insert(expected.due.end(),
                        {pms.rdrDeposit, pms.payMasterDeposit, pms.proFormaDeposit, pms.proFormaRefund});
    for (int trxNo : pms.ignoredPayments) {
        expected.closed[trxNo] = "on an ignored room or cashier (Payment included in ignore list.)";
    }
    for (int part : pms.splitParts) {
        expected.closed[part] = stories[part];
    }
    expected.closed[pms.depositTransfer] = labels[pms.depositTransfer];
    expected.closed[pms.tooLargeRefund] = stories[pms.tooLargeRefund];
    expected.earlier.assign(afterActs.begin(), afterActs.empty() ? afterActs.end() : afterActs.end() - 1);
    ShowReconciliation(run, expected, problems);

    Heading("Registrations per act");
    for (const DemoAct& act : acts) {
        std::printf("%-90.90s %3zu checks, %12.2f\n", act.title.c_str(), act.registrations, act.amount);
    }

    Heading("Result");
    std::printf("%s registered: %s of the open date, %s, %s left on earlier business dates, 2 check-outs of the "
                "next day and the pro-forma folio's deposit and refund; %s closed without registration (the refund "
                "larger than its sale among them); %s\n",
                Counted(records.size(), "check").c_str(), Counted(due.size(), "payment").c_str(),
                Counted(deposits.size(), "deposit").c_str(), Counted(earlier.size(), "payment").c_str(),
                Counted(closedCount, "payment").c_str(), Counted(log.size(), "log line").c_str());
    if (problems.empty()) {
        std::printf("OK: every due payment and deposit was registered exactly once.\n");
        return 0;
    }
    for (const std::string& problem : problems) {
        std::printf("FAILED: %s\n", problem.c_str());
    }
    return 1;
}
