#include "ServiceRun.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <set>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

std::string SourceDir() {
    std::string source = platform::GetEnv("FISCORA_SOURCE_DIR");
    if (source.empty()) {
        std::string here = __FILE__;
        source = here.substr(0, here.rfind("/tests/"));
    }
    return source + "/";
}

std::string ServiceBinary() {
    std::string binaryDir = platform::GetEnv("FISCORA_BINARY_DIR");
    return (binaryDir.empty() ? platform::ProgramFolder() : binaryDir + "/") + "FiscoraService";
}

// A top-level text field of a simulator record ("key":"value"); the keys read here occur once.
std::string JsonText(const std::string& json, const std::string& key) {
    std::string marker = "\"" + key + "\":\"";
    size_t at = json.find(marker);
    if (at == std::string::npos) {
        return "";
    }
    std::string value;
    for (size_t i = at + marker.size(); i < json.size() && json[i] != '"'; ++i) {
        if (json[i] == '\\' && i + 1 < json.size()) {
            ++i;
        }
        value += json[i];
    }
    return value;
}

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

private:
    sqlite3* db = nullptr;
};

}  // namespace

ServiceRun::ServiceRun() = default;

ServiceRun::~ServiceRun() {
    if (ServiceRunning()) {
        service->Signal(SIGKILL);
        service->Wait(5000);
    }
    for (auto& simulator : simulators) {
        simulator->Stop();
    }
    // FISCORA_E2E_KEEP=<folder> keeps a copy of every run's folder there, named after its test.
    std::string keep = platform::GetEnv("FISCORA_E2E_KEEP");
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!keep.empty() && test) {
        std::error_code ignored;
        std::string target = keep + "/" + test->test_suite_name() + "." + test->name();
        std::filesystem::remove_all(target, ignored);
        std::filesystem::create_directories(target, ignored);
        std::filesystem::copy(folder.Path(), target, std::filesystem::copy_options::recursive, ignored);
    }
}

bool ServiceRun::MakePms(pmsgen::OpenDay day, bool testBills) {
    pmsgen::Options options;
    options.file = folder.Path("demo_pms.db");
    options.openDay = day;
    options.testBills = testBills;
    std::string error;
    return pmsgen::Generate(options, summary, error);
}

bool ServiceRun::StartSimulators(const std::vector<std::string>& printerIdPrefixes) {
    for (const std::string& prefix : printerIdPrefixes) {
        PrinterManagerSim::Options options;
        options.printerIdPrefix = prefix;
        options.recordsPath = folder.Path(text::Format("checks%zu.jsonl", simulators.size()));
        auto simulator = std::make_unique<PrinterManagerSim>(options);
        std::string error;
        if (!simulator->Start(error)) {
            return false;
        }
        simulators.push_back(std::move(simulator));
    }
    return true;
}

void ServiceRun::SetFault(const std::string& line, size_t simulator) {
    FaultSetting fault;
    std::string error;
    if (fault.Parse(line, error)) {
        Simulator(simulator).SetFault(fault);
    }
}

bool ServiceRun::Configure(const Changes& changes) {
    std::string content;
    if (simulators.empty() || !platform::ReadFile(SourceDir() + "demo/VuvovaZododAVU.xml", content)) {
        return false;
    }
    std::string first = std::to_string(simulators.front()->Port());
    std::string second = std::to_string(simulators.back()->Port());
    Changes all = {
        {"4050", first},
        {"<tcpip_ini num=\"2\" ip_address=\"127.0.0.1\"",
         "<tcpip_ini num=\"2\" ip_address=\"127.0.0.1\" port=\"" + second + "\""},
        {"<wait_next_check>1000</wait_next_check>", "<wait_next_check>1</wait_next_check>"},
        {"<base_monitoring>3000</base_monitoring>", "<base_monitoring>100</base_monitoring>"},
        {"<wait_answer>7000</wait_answer>", "<wait_answer>3000</wait_answer>"},
    };
    all.insert(all.end(), changes.begin(), changes.end());
    for (const auto& [from, to] : all) {
        if (content.find(from) == std::string::npos) {
            return false;  // the demo configuration changed under the test
        }
        content = text::ReplaceAll(content, from, to);
    }
    folder.Write("VuvovaZododAVU.xml", content);
    return true;
}

bool ServiceRun::StartService() {
    if (!programCopied) {
        std::error_code failed;
        std::filesystem::copy_file(ServiceBinary(), folder.Path("FiscoraService"),
                                   std::filesystem::copy_options::overwrite_existing, failed);
        std::filesystem::permissions(folder.Path("FiscoraService"), std::filesystem::perms::owner_all, failed);
        programCopied = !failed;
        if (!programCopied) {
            return false;
        }
    }
    service = std::make_unique<platform::ChildProcess>();
    return service->Start(folder.Path("FiscoraService"), {}, folder.Path(), folder.Path("service.out"));
}

int ServiceRun::StopService(int timeoutMs) {
    if (!service) {
        return -1;
    }
    service->Signal(SIGTERM);
    return service->Wait(timeoutMs) ? service->ExitCode() : -1;
}

bool ServiceRun::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

bool ServiceRun::WaitForStatus(const std::vector<int>& payments, const std::string& letters, int timeoutMs) {
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

std::map<int, ServiceRun::StatusRow> ServiceRun::StatusRows() {
    Database db(folder.Path("demo_pms.db"));
    std::map<int, StatusRow> rows;
    for (const auto& r : db.Rows("select trx_no, qel_fisc_status, printer_id, shift_number, check_number, title, "
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

std::string ServiceRun::Query(const std::string& sql) {
    Database db(folder.Path("demo_pms.db"));
    auto rows = db.Rows(sql);
    return rows.empty() || rows[0].empty() ? "" : rows[0][0];
}

std::vector<ServiceRun::Registered> ServiceRun::Records(size_t simulator) const {
    std::vector<Registered> out;
    for (const std::string& json : simulators.at(simulator)->Records()) {
        Registered r;
        r.printer = JsonText(json, "printer");
        r.command = JsonText(json, "command");
        r.file = JsonText(json, "file");
        r.documentNumber = JsonText(json, "documentNumber");
        r.fiscalNumber = JsonText(json, "fiscalNumber");
        r.total = JsonText(json, "total");
        out.push_back(r);
    }
    return out;
}

std::vector<ServiceRun::Registered> ServiceRun::AllRecords() const {
    std::vector<Registered> all;
    for (size_t i = 0; i < simulators.size(); ++i) {
        std::vector<Registered> some = Records(i);
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

std::string ServiceRun::Log() const {
    std::string content;
    platform::ReadFile(folder.Path("qelfiscal.log"), content);
    return content;
}

size_t ServiceRun::LogCount(const std::string& text) const {
    std::string log = Log();
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size())) {
        ++count;
    }
    return count;
}

std::string ServiceRun::Diagnostics() const {
    std::string output;
    platform::ReadFile(folder.Path("service.out"), output);
    std::string log = Log();
    // The end of the log: where a run that went wrong usually shows why.
    size_t keep = 6000;
    std::string tail = log.size() > keep ? log.substr(log.size() - keep) : log;
    return "\n--- service output ---\n" + output + "\n--- end of qelfiscal.log ---\n" + tail;
}

std::vector<int> ServiceRun::DuePayments() const {
    std::vector<int> due;
    for (int trxNo : summary.paymentsOfTheDay) {
        if (std::find(summary.ignoredPayments.begin(), summary.ignoredPayments.end(), trxNo) ==
            summary.ignoredPayments.end()) {
            due.push_back(trxNo);
        }
    }
    return due;
}

void ExpectRegisteredOnce(ServiceRun& run, const std::vector<int>& due) {
    std::map<int, ServiceRun::StatusRow> rows = run.StatusRows();
    std::vector<ServiceRun::Registered> records = run.AllRecords();
    EXPECT_EQ(records.size(), due.size());
    // A document is known by its printer and fiscal number.
    std::map<std::string, ServiceRun::Registered> registered;
    for (const ServiceRun::Registered& r : records) {
        EXPECT_TRUE(registered.emplace(r.printer + "/" + r.fiscalNumber, r).second)
            << "fiscal number given twice: " << r.printer << "/" << r.fiscalNumber;
    }
    std::set<std::string> files;
    for (int trxNo : due) {
        SCOPED_TRACE(trxNo);
        ASSERT_EQ(rows.count(trxNo), 1u);
        const ServiceRun::StatusRow& row = rows[trxNo];
        EXPECT_EQ(row.status, "Y");
        auto found = registered.find(row.attempt + "/" + row.checkNumber);
        ASSERT_NE(found, registered.end()) << "nothing registered as " << row.attempt << "/" << row.checkNumber;
        ServiceRun::Registered record = found->second;
        registered.erase(found);
        // The journal file the check was announced under (unless the announcement went wrong).
        if (!record.file.empty()) {
            EXPECT_EQ(record.file, row.title);
        }
        EXPECT_TRUE(files.insert(row.title).second) << row.title;
        double amount = text::ToDouble(
            run.Query(text::Format("select trx_amount from financial_transactions where trx_no=%d", trxNo)));
        EXPECT_EQ(record.total, text::Format("%.2f", amount));
    }
}
