// The rewriter of the Oracle dialect that the embedded stand-in of the PMS database runs every
// statement through (statements made from templates, configuration values and PMS texts).
#include "FuzzSupport.h"
#include "storage/db/OracleRewriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    db::OracleRewriter rewriter;
    rewriter.SetLocalSchemas({"OPERA"});
    rewriter.SetColumnLookup([](const std::string&, const std::string& table, std::vector<std::string>& columns) {
        if (table == "financial_transactions" || table == "fin") {
            columns = {"trx_no", "trx_code", "resort", "bill_no", "folio_view"};
            return true;
        }
        if (table == "qel_financial_transactions") {
            columns = {"trx_no", "qel_fisc_status", "printer_id"};
            return true;
        }
        return false;
    });
    std::string sqlite;
    std::string error;
    if (!rewriter.Rewrite(fuzz::Text(data, size), sqlite, error)) {
        fuzz::Require(!error.empty(), "a statement that cannot be rewritten says why");
    }
    return 0;
}
