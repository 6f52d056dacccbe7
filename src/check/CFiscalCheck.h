#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/CheckStatus.h"
#include "check/struct_posting.h"

class CLogFile;

// The fiscal check: the one record that travels from the storage back-ends through the rules and
// composition to printer selection and the device interfaces, and whose outcome the worker writes
// back. Copies are values (see the copy constructor for what a copy leaves out).
class CFiscalCheck {
public:
    static constexpr int kFieldCount = 27;

    CFiscalCheck();
    CFiscalCheck(const CFiscalCheck& other);
    CFiscalCheck& operator=(const CFiscalCheck& other);
    virtual ~CFiscalCheck() = default;

    // --- the record (Parts of the check record) ---
    void SetStatusCode(CheckStatusCode code);
    std::string GetField(int number) const;
    void SetField(int number, const std::string& value);
    void SetFieldInt(int number, int value);
    void SetPostingCode(size_t index, int code);
    void SetPaymentBillNo(size_t index, int number);
    void SetPostingStatus(size_t index, const std::string& text);
    void SetPaymentStatus(size_t index, const std::string& text);
    void SetPostingDescription(size_t index, const std::string& text);
    void SetPostingPrintCode(size_t index, const struct_print_code& code);
    void SetPrintedFileName(const std::string& text);
    void RemoveZeroCodePostings();
    // A copy of the line; past the end of the list a copy of serviceTemplate.
    struct_posting GetPosting(int index) const;
    struct_posting GetPayment(int index) const;
    void Log(const std::string& text) const;
    const std::vector<std::string>& BuildText(int quantityDecimals, const std::string& title);

    // --- composition: carried out by the composer classes, forwarded in CheckOperations.cpp ---
    bool Compose();
    // Drops the zero lines of the list; the total of the lines that count.
    double SumPostings(std::vector<struct_posting>& list);
    void SumPayments();
    bool AmountsMatch();
    // Folded lines of the check's own postings or payments are kept in removedLines.
    void Merge(std::vector<struct_posting>& list, int mode, bool payments);
    bool CheckSigns();
    bool CheckPaymentSigns();
    double FirstOppositeAmount(const std::vector<struct_posting>& list) const;
    void LogText(const std::string& title);

    // A cash loan or pick-up: a cash command to the device, no sale.
    bool IsCashOperation() const { return statusCode == kCashLoan || statusCode == kCashPickup; }

    // --- refund, deposit and short checks ---
    bool NullCheckConversion();
    bool RefundDepositConversion();
    bool TryToCreateShortCheck();
    void SumByTax(std::vector<struct_posting>& list);
    void PaymentsAsPosting();
    void PostingsByTaxNumber();
    void MergePostings();

    // Lines of the check.
    std::vector<struct_posting> postings;
    std::vector<struct_posting> payments;
    std::vector<struct_posting> removedLines;
    // Deposits registered before (D) that the check settles: paid already, they take no part in
    // its sale, and their rows become Y with it.
    std::vector<struct_posting> settledDeposits;

    // Totals.
    double paymentsTotal = 0;
    double postingsTotal = 0;
    double cashTotal = 0;
    double cashReturned = 0;
    double netTotal = 0;
    double taxSums[10] = {};

    // The field table, reached by number through GetField / SetField.
    int32_t checkId = 0;            // 0
    std::string checkNumber;        // 1
    std::string receiptNumber;      // 2
    std::string folioNumber;        // 3
    std::string reservationId;      // 4
    std::string room;               // 5
    std::string printerId;          // 6
    std::string shiftNumber;        // 7
    std::string fiscalNumber;       // 8
    std::string cashierId;          // 9
    std::string cashierName;        // 10
    std::string cashierPosition;    // 11
    std::string cashierTaxId;       // 12
    std::string station;            // 13
    std::string billDate;           // 14
    std::string reinstateDate;      // 15
    std::string groupName;          // 16
    std::string companyExtra;       // 17
    std::string companyTaxId;       // 18
    std::string guestFirstName;     // 19
    std::string guestLastName;      // 20
    std::string companyName;        // 21
    std::string printerName;        // 22
    std::string profileId;          // 23
    std::string email;              // 24
    std::string phone;              // 25
    std::string taxSystem;          // 26

    CheckStatusCode statusCode = kUndecided;
    bool appendRateCode = false;
    bool depositTemplateSet = false;
    bool proformaDeposit = false;
    int32_t amountMode = 6;
    struct_posting serviceTemplate;
    struct_posting depositTemplate;
    std::string errorText;
    std::vector<std::string> text;
    int32_t checkMode = 99;
    CLogFile* log = nullptr;
    double mismatchLast = 0;
    double mismatchSum = 0;
    int32_t mismatchCount = 0;
    int32_t mismatchCode = 0;
    int32_t documentKind = 0;
    int32_t printQuantity = 0;
    std::string printedFileName;
    bool changeAllowed = false;
    bool mixedPostings = false;
    bool hasDeposit = false;
    bool posExpand = false;
    std::string headerLine;
    std::string codePage;
    int32_t moneyDecimals = 2;
    // The business date ("dd.mm.yyyy") of a check taken up after its day was closed (left N, or
    // marked S); empty for a check of the open date. Its refund and split tests compare with it.
    std::string closedBusinessDate;
    // A refund read with the sale it returns (kind 14): the total of the sale's payments, and the
    // bill of a return of that sale registered before (empty when there is none).
    double returnedSaleTotal = 0;
    std::string earlierReturn;

private:
    void CopyFrom(const CFiscalCheck& other);
    std::string* FieldText(int number);
    const std::string* FieldText(int number) const;
    std::string PostingLine(const std::string& ordinaryFormat, const std::string& taxFormat,
                            const std::string& exchangeFormat, const struct_posting& p) const;
    std::string PaymentLine(const std::string& format, const struct_posting& p) const;
};
