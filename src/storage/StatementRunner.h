#pragma once

#include <string>
#include <vector>

#include "storage/SqlFormat.h"
#include "storage/db/Recordset.h"

// What the tables a back-end owns (the status table, the lease table) need of it: its connection,
// to run their statements on, and its log. The back-end implements it and hands itself down, so
// a table knows the statements it runs and not the back-end that runs them. Called on the
// worker's thread, like the back-end.
class StatementRunner {
public:
    // The settings the status table writes by. They are loaded after the tables are made, so a
    // table asks for them when it writes.
    struct StatusTableSettings {
        bool czech = false;            // rows carry the sale's time; a sent check is never N again
        bool fullCheck = false;        // a bill is one check: its rows are written by bill
        bool payMaster = false;        // deposits brought over from the pay-master account
        bool proformaDeposit = false;  // deposits registered as D, settled by the bill
    };

    // Fills a template and runs it; false, with the reason in the log, when it cannot be filled
    // or the statement fails.
    virtual bool ExecuteTemplate(const std::string& statementTemplate,
                                 const std::vector<sqlformat::Arg>& args) = 0;
    // A status write: like ExecuteTemplate, and false too when the property's lease has passed
    // to another service (the write then changes nothing).
    virtual bool ExecuteFenced(const std::string& statementTemplate,
                               const std::vector<sqlformat::Arg>& args) = 0;
    // Fills a template and opens its answer into the record set; false as ExecuteTemplate.
    virtual bool OpenTemplate(const std::string& statementTemplate, const std::vector<sqlformat::Arg>& args,
                              db::Recordset& recordset) = 0;
    // Sets the last error text and logs it.
    virtual void ReportError(const std::string& text) = 0;
    virtual void WriteLog(const std::string& text) const = 0;
    virtual StatusTableSettings StatusSettings() const = 0;

protected:
    ~StatementRunner() = default;
};
