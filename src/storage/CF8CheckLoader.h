#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "storage/CFidelio8Folio.h"
#include "storage/COperaBase.h"

// Turns Suite8 postings into check records: a detail row as a line (ConvertRow), the postings
// of an invoice with its tax links, packages and manual splits (LoadInvoice), and the side reads
// that fill a check's header (room, category, customer, cashier, guest, AR invoice, the sale a
// refund reverses).
//
// The department number (ZDCO_NUMERICDESC) is the code of a line and the posting id (zpos_id)
// the key of its status row. The detail rows are read through folio: ConvertRow works on its
// current row. Worker thread only, like the rest of the storage.
class CF8CheckLoader : public COperaBase {
public:
    CF8CheckLoader() : COperaBase(CQELFiscal::Pms::Suite8) {}

    // The print-list kinds that change where a header value comes from.
    bool accountAsStation = false;
    bool categoryFromAccount = false;
    bool categoryFromRoom = false;
    // //printer_ini/membership_code: the attribute types whose value is the guest's tax number.
    std::string membershipCode;
    // Communication types of the customer's e-mail and phone (with //fidelio_ini/send_customer_info).
    std::string customerEmailType;
    std::string customerNumberType;

    CFidelio8Folio folio;

    std::vector<std::string*> AllTemplates() override;

    // The current folio row as a line, with its currency and posting-name conversions.
    void ConvertRow(struct_posting& line);
    // The postings of one invoice into the check: by number and series, or by invoice id when
    // there is no series. False only when the query fails.
    bool LoadInvoice(CFiscalCheck& check, const std::string& invoice, std::optional<int> series,
                     bool payMaster);
    // Takes the payments registered already out of an invoice about to be registered.
    void DropRegisteredPayments(CFiscalCheck& check);
    // A detail template with the account of the posting in the workstation column when the print
    // lists are keyed by account.
    std::string DetailTemplate(CFidelio8Folio::Template which) const;

    // --- side reads: each leaves the fields as they are when its query fails or finds nothing ---
    void ReadRoomAndFolio(std::vector<CFiscalCheck>& checks);
    void ReadRoomCategory(std::vector<CFiscalCheck>& checks);
    void ReadAccountCategory(std::vector<CFiscalCheck>& checks);
    void ReadCustomerData(std::vector<CFiscalCheck>& checks);
    void ReadArInvoice(std::vector<CFiscalCheck>& checks);
    void ReadInvoiceCashier(int invoiceId, CFiscalCheck& check);
    void ReadGuestInfo(CFiscalCheck& check);
    // Appends the postings and payments of the sale invoices a refund names; false when the
    // check has no payment or the sale cannot be looked up.
    bool ReadOriginalCheck(CFiscalCheck& check);

    // True when another part of the manual split is fiscalised already: the posting is then
    // closed with Y and must not be offered again.
    bool CheckSplit(CFiscalCheck& check, int splitId);
    // True when the folio window of the posting still has a balance (false also when it cannot
    // be read).
    bool WindowBalance(int postingId);

protected:
    // The header fields a posting row carries, each only when its column is present.
    void ReadHeaderFields(CFiscalCheck& check);
    void SetFieldFrom(CFiscalCheck& check, int field, size_t column);
    void SetIntegerFieldFrom(CFiscalCheck& check, int field, size_t column);

private:
    void ConvertNames(struct_posting& line);
    // The room-rate text of a posting: room category, guest count and rate.
    void ReadRateTexts(int postingId, std::string& category, std::string& guests, std::string& rate);
    // The first row of a room, rate or guest query, in roomRequest; false when there is none.
    bool ReadRoomRow(CRoomRequest::Template which, const std::vector<sqlformat::Arg>& args);
    void LinkTaxes(std::vector<struct_posting>& postings);
    // Settles the parts of a manual split that a payment of the invoice belongs to: the status
    // rows it wrote, by posting.
    std::map<int32_t, CheckStatusLetter> SettleSplit(int splitId);
    // Registers a part of a manual split with the status, from its posting; false when not done.
    bool InsertSplitPart(int posting, CheckStatusLetter status);
    void SetRoomField(CFiscalCheck& check, int field, size_t column);
};
