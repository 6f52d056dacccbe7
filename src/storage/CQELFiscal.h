#pragma once

#include <functional>
#include <optional>
#include <string>

#include "check/CheckStatus.h"

#include "storage/CRecordBinding.h"
#include "storage/StatementRunner.h"

class CFiscalCheck;
struct struct_posting;

// The status table qel_financial_transactions: its statements and the status writes built on
// them. Its own selects answer (text, text, integer), which is also its binding. It runs every
// statement through the back-end that owns it.
class CQELFiscal : public CRecordBinding {
public:
    enum Template {
        RegisterRow,
        TransactionStatus,
        BillStatus,
        FolioStatus,
        PrintResultByBill,
        PrintResultByTransaction,
        PrintResultNotFiscalised,
        DeviceInfoByBill,
        ReBill,
        RowStation,
        HistoryCleanUp,
        SettleDeposits,
        FiscalNumberToPms,
        RemarkToPms,
        RowsOfFiscalCheck,
        SplitOriginOpera,
        SplitOriginSuite8,
        SplitPartsSuite8,
        InvoiceNameSuite8,
        InvoiceDivisionSuite8,
        InvoiceAttributeSuite8,
        GovernmentCodesSuite8,
        CheckFileByBill,
        CheckFileByTransaction,
        // Returns registered before that name a sale's fiscal number (its payments' reference),
        // outside the refund's own bill: (bill, fiscal number, trx_no).
        ReturnsOfSaleOpera,
        ReturnsOfSaleSuite8,
        LetterOfTransaction,
        TemplateCount
    };

    // The values of one new status row.
    struct RowValues {
        int trxNo = 0;
        int trxCode = 0;
        std::string description;
        double amount = 0;
        std::string room;
        std::string receipt;
        std::string folio;
        std::string bill;
        std::string machine;
        std::string cashier;
        CheckStatusLetter status = CheckStatusLetter::NotRegistered;
        std::string businessDate;  // "dd.mm.yyyy", or "yyyy-mm-dd hh24:mi:ss" with saleTime
        std::string attempt = "0";
        std::string reference;
    };

    // The PMS whose checks the table records: Suite8 differs from Opera in the kinds written to
    // their first transaction's row and in one letter (see kKindStatus).
    enum class Pms { Opera, Suite8 };

    // How the status of a check of one kind is written, where it differs from a bill's (every
    // row of the bill, the letter asked for). In payments-only mode every check writes its first
    // transaction's row; in full-check mode the kinds marked so do too.
    struct KindStatus {
        CheckStatusCode kind;
        bool firstRowOpera;
        bool firstRowSuite8;
        CheckStatusLetter forRegistered;  // written when Y is asked for
        CheckStatusLetter forDueOpera;    // written when N is asked for
        CheckStatusLetter forDueSuite8;
    };
    static const KindStatus kKindStatus[];

    explicit CQELFiscal(StatementRunner& storage, Pms pms = Pms::Opera);
    const BindingTable& GetBindingTable() const override;

    // Inserts a row. saleTime: the business date is the date and time of the sale (the Czech
    // interface's rows). Either way it goes in as a date with its own mask, so that comparisons
    // of the column hold whatever the session's date format.
    bool InsertRow(const RowValues& values, bool saleTime);
    // Makes sure every payment of the check has a row; the first failure ends it with false.
    bool RegisterCheckRows(CFiscalCheck& check);
    // Rows of the check's payments and removed lines taken up under another bill are moved to
    // the check's bill; false at the first failure.
    bool ReBillRows(CFiscalCheck& check);
    bool SetTransactionStatus(struct_posting& transaction, CheckStatusLetter status, CFiscalCheck& check);
    bool SetBillStatus(CFiscalCheck& check, CheckStatusLetter status);
    // Registers the rows, writes the status by the check's kind and, in pro-forma mode, lets a
    // bill that consumed registered deposits (D rows among its payments or removed lines, or its
    // settledDeposits) settle
    // them once it is Y: every row of it Y and the reservation's deposits deleted.
    bool SetCheckStatus(CFiscalCheck& check, CheckStatusLetter status);
    bool SaveFiscalData(CFiscalCheck& check);
    // The check file name into the rows SaveFiscalData writes, before the check is first sent.
    bool SaveCheckFileName(CFiscalCheck& check);
    bool SaveFiscalResult(CFiscalCheck& check);
    // The same into the row of one transaction only.
    bool SaveFiscalResultOfRow(CFiscalCheck& check, int trxNo);
    bool SaveCheckNumber(int transactionNumber, const std::string& checkNumber);
    bool SetCheckRemark(CFiscalCheck& check, const std::string& remark);
    // Deletes the rows whose business date is more than the given days before today.
    bool ClearHistory(int days);
    // The letter a check of its kind writes for the letter asked for.
    CheckStatusLetter LetterFor(const CFiscalCheck& check, CheckStatusLetter asked) const;
    // Only the first transaction's row carries the check's status (a check of one payment).
    bool WritesFirstRow(const CFiscalCheck& check) const;
    // The letter of a bill's rows: with the Czech registration a check whose description went to a
    // journal file instead (an offline registration, or a failed one with a check file) is F.
    CheckStatusLetter BillLetter(const CFiscalCheck& check, CheckStatusLetter requested) const;
    // The status into the row of the check's first transaction; false (and logged) without one.
    bool SetFirstTransactionStatus(CFiscalCheck& check, CheckStatusLetter status);
    // Every line of the check that has a status row, once: its payments and the payments
    // composition folded into them. False when a write failed; every line is written anyway.
    static bool ForEachRow(const CFiscalCheck& check,
                           const std::function<bool(const struct_posting&)>& write);

    // The status letter of the transaction's row (nullopt when it has no row, no letter or one
    // that LetterOf does not know); false when it could not be read.
    bool ReadLetter(int trxNo, std::optional<CheckStatusLetter>& letter);
    // The letter of a status text read back for the transaction; a text that is no letter is
    // logged and gives nullopt, as an empty one does.
    std::optional<CheckStatusLetter> LetterOf(const std::string& text, int trxNo) const;

private:
    RowValues ValuesOf(const struct_posting& payment, const CFiscalCheck& check) const;
    // Czech rows carry the sale's date and time, when the check has one.
    bool SaleTimeOf(const CFiscalCheck& check) const;
    bool WriteCheckStatus(CFiscalCheck& check, CheckStatusLetter status);
    bool SettlesProFormaDeposits(const CFiscalCheck& check, CheckStatusLetter status) const;
    bool SettleProFormaDeposits(CFiscalCheck& check);
    bool IsCzech() const;
    // Deposits taken up under another bill (pay-master or pro-forma) follow the bill they pay.
    bool MovesDeposits() const;
    // SaveFiscalData writes the rows of the whole bill rather than those of one transaction.
    bool WritesByBill(const CFiscalCheck& check) const;
    // The bill number of the check's rows: the bill, or the receipt when the check has no bill.
    static std::string BillKey(const CFiscalCheck& check);
    // A check of one payment of a bill (kind 2, or 3 once composition found it a refund).
    static bool IsPaymentCheck(const CFiscalCheck& check);

    const KindStatus* KindStatusOf(CheckStatusCode kind) const;

    StatementRunner& storage;
    Pms pms;
};
