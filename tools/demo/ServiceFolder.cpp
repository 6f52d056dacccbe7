#include "ServiceFolder.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "CheckRecord.h"
#include "WineService.h"
#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

// Reads the service's own tables while the service runs: write-ahead logging lets a reader in
// without holding the writer up.
class Database {
public:
    explicit Database(const std::string& file) {
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            db = nullptr;
            return;
        }
        sqlite3_busy_timeout(db, 5000);
    }
    ~Database() { sqlite3_close(db); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Every row of the answer, each column as text (NULL as empty).
    std::vector<std::vector<std::string>> Rows(const std::string& sql) {
        std::vector<std::vector<std::string>> rows;
        sqlite3_stmt* statement = nullptr;
        if (!db || sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            return rows;
        }
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                const unsigned char* value = sqlite3_column_text(statement, c);
                row.emplace_back(value ? reinterpret_cast<const char*>(value) : "");
            }
            rows.push_back(std::move(row));
        }
        sqlite3_finalize(statement);
        return rows;
    }
    bool Execute(const std::string& sql) {
        return db && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

private:
    sqlite3* db = nullptr;
};

}  // namespace

ServiceFolder::ServiceFolder(std::string folder, std::string program, std::string demoConfiguration)
    : folder(std::move(folder)),
      program(std::move(program)),
      demoConfiguration(std::move(demoConfiguration)) {}

ServiceFolder::~ServiceFolder() {
    Shutdown();
}

void ServiceFolder::Shutdown() {
    wine.reset();
    if (ServiceRunning()) {
        service->Signal(SIGKILL);
        service->Wait(5000);
    }
    for (auto& simulator : simulators) {
        simulator->Stop();
    }
    StopCheckDatabase();
    if (czech) {
        czech->Stop();
    }
    if (taxService) {
        taxService->Stop();
    }
}

bool ServiceFolder::MakePms(pmsgen::Options options, std::string& error) {
    options.file = Path("demo_pms.db");
    options.posChecksFile = Path("pos_checks.json");
    if (!pmsgen::Generate(options, summary, error)) {
        return false;
    }
    generatedRows = StatusRows();
    return true;
}

bool ServiceFolder::StartSimulators(const std::vector<std::string>& printerIdPrefixes, std::string& error,
                                    const PrinterManagerSim::Options& base) {
    for (const std::string& prefix : printerIdPrefixes) {
        PrinterManagerSim::Options options = base;
        options.printerIdPrefix = prefix;
        options.recordsPath = Path(text::Format("checks%zu.jsonl", simulators.size()));
        auto simulator = std::make_unique<PrinterManagerSim>(options);
        if (!simulator->Start(error)) {
            return false;
        }
        simulators.push_back(std::move(simulator));
    }
    return true;
}

bool ServiceFolder::StartCzechSimulator(std::string& error, const std::string& faultLine,
                                        std::function<void(const std::string&)> observer) {
    CzechRegistrationSim::Options options;
    options.observer = std::move(observer);
    options.recordsPath = Path("czech.jsonl");
    if (!options.fault.Parse(faultLine, error)) {
        return false;
    }
    czech = std::make_unique<CzechRegistrationSim>(options);
    return czech->Start(error);
}

void ServiceFolder::SetFault(const std::string& line, size_t simulator) {
    FaultSetting fault;
    std::string error;
    if (!fault.Parse(line, error)) {
        return;
    }
    // The tax service stands in for the printer managers when it runs alone.
    if (taxService && simulators.empty()) {
        taxService->SetFault(fault);
    } else {
        Simulator(simulator).SetFault(fault);
    }
}

bool ServiceFolder::StartCheckDatabase(std::string& error) {
    StopCheckDatabase();
    CheckDbSimulator::Options options;
    options.configText = "{\"serveraddress\":\"127.0.0.1\",\"keepdays\":400}";
    checkDatabase = std::make_unique<CheckDbSimulator>(options);
    return checkDatabase->LoadChecks(Path("pos_checks.json"), error) && checkDatabase->Start(error);
}

void ServiceFolder::StopCheckDatabase() {
    if (checkDatabase) {
        checkDatabase->Stop();
    }
}

bool ServiceFolder::StartTaxService(std::string& error, std::function<void(const std::string&)> observer) {
    MapiSim::Options options;
    options.observer = std::move(observer);
    options.recordsPath = Path("bills.jsonl");
    taxService = std::make_unique<MapiSim>(options);
    return taxService->Start(error);
}

std::vector<ServiceFolder::TaxRecord> ServiceFolder::TaxRecords() const {
    std::vector<TaxRecord> out;
    std::string content;
    platform::ReadFile(Path("bills.jsonl"), content);
    for (const std::string& json : text::Split(content, '\n')) {
        if (!json.empty()) {
            out.push_back({RecordText(json, "kind"), RecordText(json, "fiscalNumber"), RecordText(json, "title"),
                           RecordText(json, "printer"), RecordText(json, "sequence"), RecordText(json, "total"),
                           RecordText(json, "saleFiscalNumber")});
        }
    }
    return out;
}

bool ServiceFolder::AddRefundBill(int bill, double amount, const std::string& reference, int& refundBill,
                                  int& refundPayment, std::string& error) {
    refundBill = text::ToInt(Query("select max(bill_no) + 1 from folio$_tax"));
    int posting = text::ToInt(Query("select max(trx_no) + 1 from financial_transactions"));
    refundPayment = posting + 1;
    int receipt = text::ToInt(Query("select max(recpt_no) + 1 from financial_transactions"));
    std::string firstPosting = text::Format(
        "select min(trx_no) from financial_transactions where bill_no=%d and recpt_no is null", bill);
    std::string firstPayment = text::Format(
        "select min(trx_no) from financial_transactions where bill_no=%d and recpt_no is not null", bill);
    // Each row is copied through a scratch table and changed there, so every other column stays.
    std::string script = text::Format(
        "create temporary table refund_rows as select * from financial_transactions where trx_no in ((%s), (%s));"
        "update refund_rows set trx_no=%d, trx_no_header=%d, trx_amount=-%.2f, posted_amount=-%.2f, "
        "net_amount=-%.2f, price_per_unit=-%.2f, quantity=1, bill_no=%d where recpt_no is null;"
        "update refund_rows set trx_no=%d, trx_no_header=%d, trx_amount=-%.2f, posted_amount=-%.2f, "
        "net_amount=-%.2f, price_per_unit=-%.2f, quantity=1, bill_no=%d, recpt_no=%d, reference='%s' "
        "where recpt_no is not null;"
        // The amount is given in the hotel's currency, whatever the bill was paid in.
        "update refund_rows set exchange_rate=1, currency=(select currency from refund_rows where recpt_no is null) "
        "where recpt_no is not null;"
        "insert into financial_transactions select * from refund_rows;"
        "drop table refund_rows;"
        "create temporary table refund_bill as select * from folio$_tax where bill_no=%d;"
        "update refund_bill set bill_no=%d, insert_date=insert_date + 1.0/24;"
        "insert into folio$_tax select * from refund_bill;"
        "drop table refund_bill;",
        firstPosting.c_str(), firstPayment.c_str(), posting, posting, amount, amount, amount, amount, refundBill,
        refundPayment, refundPayment, amount, amount, amount, amount, refundBill, receipt, reference.c_str(), bill,
        refundBill);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(Path("demo_pms.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_busy_timeout(db, 5000);
        char* message = nullptr;
        ok = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
        error = message ? message : "";
        sqlite3_free(message);
    } else {
        error = "cannot open " + Path("demo_pms.db");
    }
    sqlite3_close(db);
    return ok && refundBill > 1 && posting > 1;
}

bool ServiceFolder::Configure(const Changes& changes, int pollMs) {
    std::string content;
    if ((simulators.empty() && !czech && !taxService) || !platform::ReadFile(demoConfiguration, content)) {
        return false;
    }
    // A Czech or Mongolian registration service is the one peer of both printers.
    uint16_t peer = czech ? czech->Port() : taxService ? taxService->Port() : 0;
    std::string first = std::to_string(peer ? peer : simulators.front()->Port());
    std::string second = std::to_string(peer ? peer : simulators.back()->Port());
    Changes all = {
        {"4050", first},
        {"<tcpip_ini num=\"2\" ip_address=\"127.0.0.1\"",
         "<tcpip_ini num=\"2\" ip_address=\"127.0.0.1\" port=\"" + second + "\""},
        {"<wait_next_check>1000</wait_next_check>", "<wait_next_check>1</wait_next_check>"},
        {"<base_monitoring>3000</base_monitoring>",
         text::Format("<base_monitoring>%d</base_monitoring>", pollMs)},
        {"<wait_answer>7000</wait_answer>", "<wait_answer>3000</wait_answer>"},
    };
    all.insert(all.end(), changes.begin(), changes.end());
    // A service of wine's control manager does not get this process's environment: unless the
    // prefix's own environment holds the client library's discovery to loopback, POS checks are
    // not expanded under wine.
    if (WineService::IsWindowsProgram(program) && !WineService::DiscoveryOnLoopback() &&
        content.find("<micros_check_expand>1<") != std::string::npos) {
        all.push_back({"<micros_check_expand>1<", "<micros_check_expand>0<"});
    }
    for (const auto& [from, to] : all) {
        if (content.find(from) == std::string::npos) {
            return false;  // the demo configuration no longer holds what is to be changed
        }
        content = text::ReplaceAll(content, from, to);
    }
    return platform::WriteFile(Path("VuvovaZododAVU.xml"), content);
}

bool ServiceFolder::CopyProgram(const std::string& program, const std::string& folder) {
    std::error_code failed;
    // FiscoraService.exe keeps its name and has LGXClient.dll beside it.
    const bool windows = WineService::IsWindowsProgram(program);
    const std::string name = windows ? "FiscoraService.exe" : "FiscoraService";
    std::filesystem::copy_file(program, folder + name, std::filesystem::copy_options::overwrite_existing, failed);
    std::filesystem::permissions(folder + name, std::filesystem::perms::owner_all, failed);
    const std::string library = windows ? "LGXClient.dll" : platform::DynamicLibrary::FileName("LGXClient");
    const std::string built = std::filesystem::path(program).parent_path().string() + "/" + library;
    if (!failed && platform::FileExists(built)) {
        std::filesystem::copy_file(built, folder + library, std::filesystem::copy_options::overwrite_existing,
                                   failed);
    }
    return !failed;
}

bool ServiceFolder::StartService() {
    if (!programCopied) {
        programCopied = CopyProgram(program, Path());
        if (!programCopied) {
            return false;
        }
    }
    // The client library's discovery broadcasts stay on loopback.
    platform::SetEnv("LGX_BROADCAST_ADDRESS", "127.255.255.255");
    if (WineService::IsWindowsProgram(program)) {
        wine = std::make_unique<WineService>(Path("FiscoraService.exe"));
        bool started = wine->Start();
        platform::AppendToFile(Path("service.out"), wine->Output(), false);
        return started;
    }
    service = std::make_unique<platform::ChildProcess>();
    return service->Start(Path("FiscoraService"), {}, Path(), Path("service.out"));
}

long ServiceFolder::ServicePeakMemoryKb() const {
    std::string status;
    if (!service || service->Pid() <= 0 ||
        !platform::ReadFile(text::Format("/proc/%d/status", static_cast<int>(service->Pid())), status)) {
        return 0;
    }
    size_t at = status.find("VmHWM:");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + 6);
}

int ServiceFolder::StopService(int timeoutMs) {
    if (wine) {
        int stopped = wine->Stop();
        platform::AppendToFile(Path("service.out"), wine->Output(), false);
        wine.reset();
        return stopped;
    }
    if (!service) {
        return -1;
    }
    service->Signal(SIGTERM);
    return service->Wait(timeoutMs) ? service->ExitCode() : -1;
}

void ServiceFolder::KillService() {
    if (service && service->Running()) {
        service->Signal(SIGKILL);
        service->Wait(10000);
    }
}

bool ServiceFolder::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

bool ServiceFolder::WaitForStatus(const std::vector<int>& payments, const std::string& letters,
                                  int timeoutMs) {
    return WaitUntil(
        [&] {
            std::map<int, StatusRow> rows = StatusRows();
            return std::all_of(payments.begin(), payments.end(), [&](int trxNo) {
                auto row = rows.find(trxNo);
                return row != rows.end() && !row->second.status.empty() &&
                       letters.find(row->second.status) != std::string::npos;
            });
        },
        timeoutMs);
}

std::map<int, ServiceFolder::StatusRow> ServiceFolder::StatusRows() {
    std::map<int, StatusRow> rows;
    for (const auto& r :
         Rows("select trx_no, qel_fisc_status, printer_id, shift_number, check_number, title, "
              "attempt, bill_no, trx_amount from qel_financial_transactions")) {
        StatusRow& row = rows[text::ToInt(r[0])];
        row.status = r[1];
        row.printerId = r[2];
        row.shift = r[3];
        row.checkNumber = r[4];
        row.title = r[5];
        row.attempt = r[6];
        row.billNo = r[7];
        row.amount = text::ToDouble(r[8]);
    }
    return rows;
}

std::vector<std::vector<std::string>> ServiceFolder::Rows(const std::string& sql) {
    Database db(Path("demo_pms.db"));
    return db.Rows(sql);
}

bool ServiceFolder::Execute(const std::string& sql) {
    Database db(Path("demo_pms.db"));
    return db.Execute(sql);
}

bool ServiceFolder::NightAudit() {
    return Execute(
        "begin; "
        "insert into businessdate select resort, business_date + 1, 'NEXT' from businessdate "
        "where resort='DEMO' and state='OPEN'; "
        "update businessdate set state='CLOSED' where resort='DEMO' and state='OPEN'; "
        "update businessdate set state='OPEN' where resort='DEMO' and state='NEXT'; "
        "commit;");
}

std::string ServiceFolder::Query(const std::string& sql) {
    auto rows = Rows(sql);
    return rows.empty() || rows[0].empty() ? "" : rows[0][0];
}

std::vector<ServiceFolder::Registered> ServiceFolder::Records(size_t simulator) const {
    std::vector<Registered> out;
    std::string content;
    platform::ReadFile(Path(text::Format("checks%zu.jsonl", simulator)), content);
    for (const std::string& json : text::Split(content, '\n')) {
        if (json.empty()) {
            continue;
        }
        Registered r;
        r.printer = RecordText(json, "printer");
        r.command = RecordText(json, "command");
        r.file = RecordText(json, "file");
        r.documentNumber = RecordText(json, "documentNumber");
        r.fiscalNumber = RecordText(json, "fiscalNumber");
        r.total = RecordText(json, "total");
        r.operatorId = RecordText(json, "operatorId");
        r.operatorName = RecordText(json, "operatorName");
        for (const std::string& item : RecordObjects(json, "items")) {
            r.items.push_back({RecordText(item, "kind"), RecordText(item, "code"), RecordText(item, "description"),
                               RecordText(item, "quantity"), RecordText(item, "amount"), RecordText(item, "subCode")});
        }
        r.json = json;
        out.push_back(r);
    }
    return out;
}

std::vector<ServiceFolder::Registered> ServiceFolder::AllRecords() const {
    std::vector<Registered> all;
    for (size_t i = 0; i < simulators.size(); ++i) {
        std::vector<Registered> some = Records(i);
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

std::vector<std::string> ServiceFolder::RegistrationProblems(const std::vector<Registered>& records,
                                                             size_t dueCount,
                                                             const std::map<int, StatusRow>& earlierRows) {
    std::map<int, StatusRow> rows = StatusRows();
    std::vector<std::string> problems;
    std::set<std::string> documents;
    for (const Registered& record : records) {
        std::string document = record.printer + "/" + record.fiscalNumber;
        auto names = [&record](const auto& row) { return IsRegistrationOf(record, row.second); };
        if (std::none_of(rows.begin(), rows.end(), names) &&
            std::none_of(earlierRows.begin(), earlierRows.end(), names)) {
            problems.push_back("fiscal check " + document + " is in no status row");
        }
        if (!documents.insert(document).second) {
            problems.push_back("fiscal number " + document + " given twice");
        }
    }
    if (records.size() != dueCount) {
        problems.push_back(
            text::Format("%zu checks registered for %zu due payments", records.size(), dueCount));
    }
    return problems;
}

std::string ServiceFolder::Log() const {
    std::string content;
    platform::ReadFile(Path("qelfiscal.log"), content);
    return content;
}

size_t ServiceFolder::LogCount(const std::string& text) const {
    std::string log = Log();
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size())) {
        ++count;
    }
    return count;
}

bool ServiceFolder::IsRegistrationOf(const Registered& record, const StatusRow& row) {
    if (row.checkNumber != record.fiscalNumber) {
        return false;
    }
    // A check file name names one check of one printer.
    if (!row.title.empty() && !record.file.empty()) {
        return row.title == record.file;
    }
    if (row.status == "D" || row.attempt == "0" || row.attempt.empty()) {
        return text::Format("%.2f", row.amount) == record.total;
    }
    return row.attempt == record.printer;
}

std::vector<int> ServiceFolder::DuePayments() const {
    std::set<int> notPayments(summary.ignoredPayments.begin(), summary.ignoredPayments.end());
    notPayments.insert(summary.depositsOfTheDay.begin(), summary.depositsOfTheDay.end());
    notPayments.insert(summary.splitParts.begin(), summary.splitParts.end());
    notPayments.insert(summary.tooLargeRefund);
    std::vector<int> due;
    for (int trxNo : summary.paymentsOfTheDay) {
        if (notPayments.count(trxNo) == 0) {
            due.push_back(trxNo);
        }
    }
    return due;
}
