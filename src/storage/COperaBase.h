#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "check/CFiscalCheck.h"
#include "storage/CClientLibrary.h"
#include "storage/CFiscalStorage.h"
#include "storage/CMicrosCodeConvertion.h"
#include "storage/CPostConverter.h"
#include "storage/CQBlockPayments.h"
#include "storage/CQELFiscal.h"
#include "storage/CRecPayment.h"
#include "storage/CRequestCheckNumber.h"
#include "storage/CRoomRequest.h"
#include "storage/CSelectExchangeRate.h"
#include "storage/CSelectGuestInfo.h"
#include "storage/CServiceLease.h"
#include "storage/SqlFormat.h"
#include "storage/StatementRunner.h"
#include "storage/db/Connection.h"

class CFiscalINI;

// The base of the back-ends on the Oracle PMS database: the connection (statements and record
// sets with their trace and error handling), the storage settings, the code lists and the SQL
// templates, and the status table, whose statements it runs.
//
// Every failed statement is logged with its text, closes the connection and leaves the
// provider's messages in the last error; the next statement connects again.
class COperaBase : public CFiscalStorage, public StatementRunner {
public:
    static constexpr int kDefaultHistoryDays = 1096;
    static constexpr const char* kEarlierDaysPath = "//earlier_days";
    static constexpr int kBusinessDatePauseMs = 10000;

    // What LoadStorageSettings and Open read from the configuration.
    struct Settings {
        int printerType = 7;
        bool refundReprint = false;
        std::string connectionString;
        bool trace = false;
        int version = 0;
        std::string schema;
        int historyDays = kDefaultHistoryDays;
        // Checks left N or S on a closed business date are taken up again when their date lies
        // at most this many days before the open one (//earlier_days; the history's days when it
        // is not set, 0 never).
        int earlierDays = kDefaultHistoryDays;
        std::string convertCurrency;
        std::string baseCurrency;
        std::string paymentCurrency;
        bool currencyConversion = false;
        std::string languageCode;
        int discountCode = 1;
        std::vector<int> roomRateCodes;
        std::string extraBedCode;
        std::string payMasterRoom;
        std::string payMasterDescription;
        std::string depositDescription;
        bool governmentCode = false;
        bool arPayments = false;
        bool sendCustomerInfo = false;
        int posExpandMode = 0;
        bool codeConversion = false;
        bool ignoreViewBalance = false;
        std::string companyRouting;
        // The deposit posting (//fidelio_ini/deposit/code): a deposit brought over from the
        // pay-master account is posted with it. Configured, it switches the pay-master flag on.
        int payMasterCode = 0;
        bool payMaster = false;
        bool proformaDeposit = false;
        std::string resort;
        std::string udfName;
        std::string taxUdfName;
        bool adjustmentRefund = false;
        int dateOffset = 0;
    };

    // The status table records the checks of the PMS the back-end reads.
    explicit COperaBase(CQELFiscal::Pms pms = CQELFiscal::Pms::Opera);
    ~COperaBase() override;
    COperaBase(const COperaBase&) = delete;
    COperaBase& operator=(const COperaBase&) = delete;

    // --- connection ---
    bool Connect();
    bool IsConnected() const;
    bool DatabaseReachable() const override { return !connectFailed && silentSinceMs < 0; }
    std::string DatabaseSilentSince() const override { return silentSince; }
    int64_t DatabaseSilentMs() const override;
    void SetReadOnly() override { readOnly = true; }
    bool Close() override;
    bool Execute(const std::string& sql);
    bool OpenRecordset(const std::string& sql, db::Recordset& recordset);
    bool CollectErrors();
    void Trace(const std::string& text);
    // Fills a template and runs it; a template that cannot be filled fails like the statement.
    bool ExecuteTemplate(const std::string& statementTemplate,
                         const std::vector<sqlformat::Arg>& args) override;
    // A write of the status: once this service has held the property's lease the statement (an
    // update or delete whose where clause has no top-level "or") carries the fence of its lease
    // and changes nothing once the lease has passed to another service, which it then reports as
    // a failure.
    bool ExecuteFenced(const std::string& statementTemplate,
                       const std::vector<sqlformat::Arg>& args) override;
    bool OpenTemplate(const std::string& statementTemplate, const std::vector<sqlformat::Arg>& args,
                      db::Recordset& recordset) override;
    // Sets the last error text and logs it.
    void ReportError(const std::string& text) override;
    void WriteLog(const std::string& text) const override;
    StatusTableSettings StatusSettings() const override;
    // A configured field name that goes into the statements as a column, checked once when the
    // settings are read: empty, with the reason in the log, when it is not a plain name.
    std::string ColumnName(const std::string& field, const char* setting) const;

    // --- settings and templates ---
    virtual bool LoadStorageSettings(CFiscalINI& configuration);
    bool Open(CFiscalINI& configuration) override;
    virtual void PrepareTemplates();
    // Every template this back-end holds, for the placeholder replacement.
    virtual std::vector<std::string*> AllTemplates();
    static void AddToCodeList(std::string& statementTemplate, const std::string& code);
    static void CloseCodeList(std::string& statementTemplate);
    static void ReplacePadded(std::string& statementTemplate, const std::string& oldText,
                              const std::string& newText);
    // POS check expansion through the client library, the same for both back-ends: the library
    // bound once by Open, one POS check's lines fetched, the postings' printer codes.
    bool LoadClientLibrary();
    bool FetchPosCheck(const std::string& cknum, const std::string& openTime, const std::string& rvc,
                       std::vector<struct_posting>& lines);
    // With code conversion on: the postings take their printer codes; the check is logged.
    void ConvertPosCodes(CFiscalCheck& check);
    // Adjustment code pairs (transaction code, adjustment code) of the resort.
    virtual bool LoadAdjustmentCodes(CFiscalINI& configuration);
    bool FullCheckMode() const { return templateCheck.appendRateCode; }
    // A code of the payment list; of the code-map (prepayment) list.
    bool IsPaymentCode(int code) const;
    bool IsCodeMapCode(int code) const;
    // A new check made from the template check.
    CFiscalCheck NewCheck() const;
    // The check's text form into the log.
    void LogCheckLines(CFiscalCheck& check);
    // A bill of another window than the prepayment one: its prepayment postings pay it, so they
    // move to its payments with the opposite sign.
    void MovePrepaymentsToPayments(CFiscalCheck& check) const;
    // The prepayment window's bill is settled otherwise: one of its payments is no prepayment and
    // either no payment code or registered already.
    bool PrepaymentWindowSettled(const CFiscalCheck& check) const;

    // --- status table ---
    bool RegisterCheckRows(CFiscalCheck& check) { return qelFiscal.RegisterCheckRows(check); }
    bool SetTransactionStatus(struct_posting& transaction, CheckStatusLetter status, CFiscalCheck& check) {
        return qelFiscal.SetTransactionStatus(transaction, status, check);
    }
    bool SetBillStatus(CFiscalCheck& check, CheckStatusLetter status) {
        return qelFiscal.SetBillStatus(check, status);
    }
    bool SetCheckStatus(CFiscalCheck& check, CheckStatusLetter status) override;
    bool SetCheckRemark(CFiscalCheck& check, const std::string& remark) override;
    bool SaveFiscalData(CFiscalCheck& check) override;
    bool SaveCheckFileName(CFiscalCheck& check) override;
    // The lease row of the property (the resort; "*" when none is configured).
    Lease HoldLease(const std::string& holder, int seconds, const LeaseRow* expired, LeaseRow& row) override;
    void ReleaseLease(const std::string& holder) override;
    bool ReadStatusLetter(int trxNo, std::optional<CheckStatusLetter>& letter) override {
        return qelFiscal.ReadLetter(trxNo, letter);
    }
    bool SaveFiscalResult(CFiscalCheck& check) override;
    bool SaveCheckNumber(int transactionNumber, const std::string& checkNumber) override;
    void CheckBusinessDate() override;
    // The printer code of a PMS code, allocated on first use; 0 on failure.
    int GetPrinterCode(int pmsCode, const std::string& description);
    // A refund read with its sale (field 16 names the sale; the sale's payments are those of the
    // check from `salePayments` on): notes the sale's total and the bill of a return of that sale
    // registered before, if any, for the rules to decide. False when the query fails.
    bool NoteReturnedSale(CFiscalCheck& check, size_t salePayments, CQELFiscal::Template returnsOfSale);

    // Checks of closed business dates are taken up after the open date's: on with a window of
    // days, and never with the Czech registration, which sends a sale of a closed day only when
    // the operator marks it S.
    bool TakesEarlierDates() const { return settings.earlierDays > 0 && settings.printerType != 10; }
    // What becomes of a check left N or S on a closed business date, for the log and the status
    // command.
    std::string EarlierDatesRule() const;
    // The open business date of the PMS ("dd.mm.yyyy"); false when it cannot be read.
    virtual bool ReadOpenBusinessDate(std::string& date);

    // The finders report the business date of what they find: it becomes the current one, and
    // the previous one when none is remembered since the last clean-up.
    void NoteBusinessDate(const std::string& date);
    const std::string& CurrentBusinessDate() const { return currentBusinessDate; }
    const std::string& PreviousBusinessDate() const { return previousBusinessDate; }

    Settings settings;
    // The check every found check starts as (filled by the configuration).
    CFiscalCheck templateCheck;
    std::vector<int> paymentCodes;
    std::vector<int> secondPaymentCodes;
    std::vector<int> depositCodes;
    std::vector<int> onlineDepositCodes;
    std::vector<int> codeMapCodes;
    std::vector<std::pair<int, int>> adjustmentCodes;
    CPostConverter postConverter;

    CQELFiscal qelFiscal;
    CServiceLease serviceLease;
    CMicrosCodeConvertion codeConvertion;
    CRequestCheckNumber requestCheckNumber;
    CRecPayment recPayment;
    CRoomRequest roomRequest;
    CSelectExchangeRate exchangeRate;
    CQBlockPayments blockPayments;
    CSelectGuestInfo guestInfo;
    CClientLibrary clientLibrary;

protected:
    void Fail(const char* what, const std::string& sql);
    // The property of the lease row: the resort, "*" when none is configured.
    std::string LeaseProperty() const;
    // A line of a failed statement: a fault that lasts writes it at every cycle (CLogFile::WriteRepeating).
    void WriteFault(const std::string& text) const;
    // Whether the database answered the statement begun at startedMs (by the steady clock).
    void NoteAnswer(bool answered, int64_t startedMs);
    // The codes of keyed lists, in order, each once.
    static std::vector<int> ReadCodes(CFiscalINI& configuration, const std::vector<std::string>& patterns);
    void MakePaymentCodes(CFiscalINI& configuration);

    std::unique_ptr<db::Connection> connection;
    CFiscalINI* configuration = nullptr;
    std::string currentBusinessDate;
    std::string previousBusinessDate;
    // The closed business date whose checks are being loaded; empty while the open date's are.
    std::string closedDateInWork;
    // The business date the check being loaded belongs to.
    const std::string& DateOfLoads() const {
        return closedDateInWork.empty() ? currentBusinessDate : closedDateInWork;
    }
    bool connectFailed = false;
    // The holder and fence of the lease this service last held; empty holder: never held.
    std::string fenceHolder;
    int64_t fenceValue = 0;
    // Since when the database has not answered; -1 while it answers.
    int64_t silentSinceMs = -1;
    std::string silentSince;
    bool readOnly = false;
};
