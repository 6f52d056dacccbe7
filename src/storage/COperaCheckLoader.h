#pragma once

#include <string>
#include <vector>

#include "storage/COperaBase.h"

// Turns Opera transactions into check records: the rows of a bill, one detail row as a line of
// a check placed by the check's kind, the conversions of a row (description, currency,
// article, posting names and categories), and the side queries for the customer, the company
// of a folio window, the cashier of a bill, the exchange rate and a window's balance.
//
// The detail rows are read through recPayment: LoadRow and ConvertRow work on its current row.
class COperaCheckLoader : public COperaBase {
public:
    // Every transaction of the bill into the check; with a postit number other than 0 only those
    // of that postit. False when the query fails or the bill has no transaction.
    bool LoadBill(CFiscalCheck& check, const std::string& bill, int postit);
    // The current detail row into the check, as a posting, a payment or both, by the check's
    // statusCode. False when the row must not be taken (a split part handled already).
    bool LoadRow(CFiscalCheck& check);
    // The current detail row as a line, with its conversions.
    void ConvertRow(struct_posting& line);
    // The guest's e-mail for every check (with //fidelio_ini/send_customer_info).
    void ReadCustomerData(std::vector<CFiscalCheck>& checks);
    void ReadCashier(CFiscalCheck& check);
    void ReadCompanyRouting(CFiscalCheck& check);
    // The rate of the convert currency at the resort, newest first; false when there is none.
    bool SelectExchangeRate(double& rate);
    // The open balance of the folio window of a transaction; false when it cannot be read.
    bool WindowBalance(int trxNo, double& balance);

    // The split test of a line with a receipt number: true when the line is fiscalised as
    // usual; false with the status letter that the split part inherits from the payment Opera
    // deleted when it split it (a part of a registered payment, or a part made on the same
    // business date), or false without a letter when that payment cannot be read.
    virtual bool CheckSplit(const std::string& reference, int receipt, std::string& inherited);

    // A code that makes a bill line a payment: the payment list, the online deposits and the
    // pay-master posting.
    bool IsBillPaymentCode(int code) const;

protected:
    // Set while a bill loads when the origin of one of its split parts could not be read.
    bool splitUnread = false;

private:
    void ReadCustomer(CFiscalCheck& check, const std::string& bill);
    // The payer columns of a customer or routing row into the check.
    void ReadPayer(const db::Recordset& rows, CFiscalCheck& check);
    void ConvertNames(struct_posting& line, int reservation);
    void SetFieldFrom(CFiscalCheck& check, int field, size_t column);
    void SetIntegerFieldFrom(CFiscalCheck& check, int field, size_t column);
    void ReadCommonFields(CFiscalCheck& check);
    void TakePaymentLine(CFiscalCheck& check, struct_posting& line);
    void TakeBillLine(CFiscalCheck& check, struct_posting& line);
};
