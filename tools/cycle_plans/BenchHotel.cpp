#include "BenchHotel.h"

#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "storage/COperaBase.h"

namespace benchhotel {

namespace {

std::string List(const std::vector<int>& numbers) {
    std::string out;
    for (int n : numbers) {
        out += (out.empty() ? "" : ",") + std::to_string(n);
    }
    return out.empty() ? "0" : out;
}

}  // namespace

Hotel Opera() {
    return {pmsgen::PmsKind::Opera, "/demo/VuvovaZododAVU.xml", "OPERA", "Opera", "bills"};
}

Hotel Suite8() {
    return {pmsgen::PmsKind::Suite8, "/demo/suite8/VuvovaZododAVU.xml", "FIDELIO", "Suite8", "invoices"};
}

pmsgen::Options PmsOptions(const Hotel& hotel, const std::string& file, int transactions, bool deposits) {
    pmsgen::Options options;
    options.file = file;
    options.businessDate = "14.03.2026";
    options.historyTransactions = transactions;
    options.pms = hotel.kind;
    options.depositsHistory = deposits;
    options.depositStories = deposits && hotel.kind == pmsgen::PmsKind::Opera;
    return options;
}

std::string RegisterEverything(const Hotel& hotel, const pmsgen::Summary& summary) {
    std::string sql =
        "update qel_financial_transactions set qel_fisc_status='Y' where qel_fisc_status in ('N','S');";
    if (hotel.kind == pmsgen::PmsKind::Opera) {
        sql +=
            "insert into qel_financial_transactions (trx_no, trx_code, trx_amount, qel_fisc_status, bill_no, "
            "reference, business_date) select trx_no, trx_code, trx_amount, 'Y', bill_no, resv_name_id, "
            "business_date from financial_transactions fin where (ft_subtype='FC' or business_date=(select "
            "business_date from businessdate where resort='DEMO' and state='OPEN') or bill_no in (select "
            "bill_no "
            "from folio$_tax where resort='DEMO' and bill_generation_date=(select business_date from "
            "businessdate where resort='DEMO' and state='OPEN'))) and trx_code<>'9901I' and not exists "
            "(select 1 "
            "from qel_financial_transactions q where q.trx_no=fin.trx_no);";
    } else {
        sql +=
            "insert into qel_financial_transactions (trx_no, trx_amount, qel_fisc_status) select zpos_id, "
            "zpos_unitprice, 'Y' from zpos pos where (zpos_cdt=5 or zpos_postdate=(select wgbs_datevalue "
            "from "
            "wgbs) or zpos_id in (select zpil_zpos_id from zpil, zinv where zpil_zinv_id=zinv_id and "
            "zinv_date=(select wgbs_datevalue from wgbs))) and not exists (select 1 from "
            "qel_financial_transactions q where q.trx_no=pos.zpos_id);";
    }
    // A deposit the PMS keeps for a pro-forma folio is registered with that folio (Y).
    std::string proForma = hotel.kind == pmsgen::PmsKind::Opera
                               ? " and trx_no not in (select trx_no from deposit_financial_transactions)"
                               : "";
    return sql + "update qel_financial_transactions set qel_fisc_status='D' where trx_no in (" +
           List(summary.depositsOfTheDay) + ")" + proForma + ";";
}

std::string MakeElevenDue(const Hotel& hotel, const pmsgen::Summary& summary) {
    std::vector<int> payments;
    if (hotel.kind == pmsgen::PmsKind::Opera) {
        // The demo day's bills end with the house account's; the deposit stories' come after it.
        size_t end = 0;
        while (end < summary.bills.size() && summary.bills[end].number != summary.houseBill) {
            ++end;
        }
        for (size_t i = end + 1 - 11; i <= end; ++i) {
            payments.insert(payments.end(), summary.bills[i].payments.begin(),
                            summary.bills[i].payments.end());
        }
    } else {
        for (const pmsgen::Bill& invoice : summary.bills) {
            if (invoice.number != summary.houseBill) {
                payments.insert(payments.end(), invoice.payments.begin(), invoice.payments.end());
            }
        }
    }
    return "delete from qel_financial_transactions where trx_no in (" + List(payments) + ");";
}

bool Open(const Hotel& hotel, const std::string& folder, const std::string& pmsFile, const Changes& changes,
          CLogFile& log, CFiscalINI& configuration, COperaBase& storage, std::string& error) {
    std::string xml;
    if (!platform::ReadFile(std::string(FISCORA_SOURCE_DIR) + hotel.configuration, xml)) {
        error = "cannot read " + hotel.configuration;
        return false;
    }
    xml = text::ReplaceAll(xml, "sqlite:demo_pms.db", "sqlite:" + pmsFile);
    for (const auto& [from, to] : changes) {
        if (xml.find(from) == std::string::npos) {
            error = hotel.configuration + " has no " + from;
            return false;
        }
        xml = text::ReplaceAll(xml, from, to);
    }
    if (!platform::WriteFile(folder + CFiscalINI::kFileName, xml)) {
        error = "cannot write the configuration into " + folder;
        return false;
    }
    configuration.SetLog(&log);
    if (!configuration.LoadFrom({folder}) || !configuration.LoadRules()) {
        error = "configuration: " + configuration.GetLastError();
        return false;
    }
    storage.SetLogFile(&log);
    storage.SetSideFileFolder(folder);
    if (!storage.Open(configuration)) {
        error = "open: " + storage.GetLastError();
        return false;
    }
    return true;
}

Changes FullChecks() {
    return {{"<only_payments>1</only_payments>", "<only_payments>0</only_payments>"}};
}

Changes PaymentsOnly() {
    return {{"<only_payments>0</only_payments>", "<only_payments>1</only_payments>"}};
}

}  // namespace benchhotel
