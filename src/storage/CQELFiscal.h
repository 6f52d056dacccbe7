#pragma once

#include <string>

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
        std::string status = "N";
        std::string businessDate;  // "dd.mm.yyyy", or "yyyy-mm-dd hh24:mi:ss" with saleTime
        std::string attempt = "0";
        std::string reference;
    };

    explicit CQELFiscal(StatementRunner& storage);
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
    bool SetTransactionStatus(struct_posting& transaction, const std::string& status, CFiscalCheck& check);
    bool SetBillStatus(CFiscalCheck& check, const std::string& status);
    // Registers the rows, writes the status by the check's kind and, in pro-forma mode, lets a
    // bill that consumed registered deposits (D rows among its payments or removed lines, or its
    // settledDeposits) settle
    // them once it is Y: every row of it Y and the reservation's deposits deleted.
    bool SetCheckStatus(CFiscalCheck& check, const std::string& status);
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
    // The status letter of the transaction's row ("" when it has no row or no letter); false when
    // it could not be read.
    bool ReadLetter(int trxNo, std::string& letter);

private:
    RowValues ValuesOf(const struct_posting& payment, const CFiscalCheck& check) const;
    // Czech rows carry the sale's date and time, when the check has one.
    bool SaleTimeOf(const CFiscalCheck& check) const;
    bool SetFirstTransactionStatus(CFiscalCheck& check, const std::string& status);
    bool WriteCheckStatus(CFiscalCheck& check, const std::string& status);
    bool SettlesProFormaDeposits(const CFiscalCheck& check, const std::string& status) const;
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

    StatementRunner& storage;
};
