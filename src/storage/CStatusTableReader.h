#pragma once

#include <string>
#include <vector>

class COperaBase;

// What the status command reads of a back-end's status table and payment entry, through the
// back-end's connection (opened so that nothing can be written): the rows still open, the rows
// closed without a registration, what becomes of checks of closed business dates and which
// payment codes are switched off. The status report asks this, so that it names no back-end.
class CStatusTableReader {
public:
    // One status row with what the report tells of it.
    struct Row {
        int transaction = 0;
        int trxCode = 0;
        std::string status;
        std::string bill;
        std::string machine;
        std::string cashier;
        std::string room;
        std::string attempt;  // the printer of an attempt, when there was one
        std::string businessDate;
        std::string checkNumber;
        double amount = 0;
    };
    // What becomes of checks left on closed business dates.
    struct EarlierDates {
        std::string rule;    // as the service states it at start-up
        bool czech = false;  // Czech rows: a sale of a closed day is sent only when marked S
        bool taken = false;  // a polling cycle takes them up
        int days = 0;        // up to how many days back
    };

    explicit CStatusTableReader(COperaBase& opera) : opera(opera) {}

    // The N, S and F rows; false when the database does not answer (error then says why).
    bool ReadOpenRows(std::vector<Row>& rows, std::string& error);
    // The Y rows of the latest business day that name no registration; false when unreadable.
    bool ReadClosedRows(std::vector<Row>& rows);
    // Full checks are bills; in payments-only mode every payment is a check of its own.
    bool ChecksAreBills() const;
    EarlierDates EarlierDatesPolicy() const;
    bool ReadOpenBusinessDate(std::string& date);
    // The payment codes whose entry is switched off; false when the back-end blocks no codes or
    // their state cannot be read.
    bool ReadBlockedPaymentCodes(std::vector<std::string>& codes);

private:
    bool ReadRows(int statement, std::vector<Row>& rows);

    COperaBase& opera;
};
