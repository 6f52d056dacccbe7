#pragma once

#include "storage/CRecordBinding.h"

// Discovery queries: transaction number, bill number (text), amount, date text and two integers
// (postit number, folio window or reservation, depending on the query).
class CRequestCheckNumber : public CRecordBinding {
public:
    enum Template {
        BillsOfTheDay,
        BillsWithFolioWindow,
        BillsToRegisterAgain,
        DepositsOfTheDay,
        DepositTransfers,
        TemplateCount
    };

    CRequestCheckNumber();
    const BindingTable& GetBindingTable() const override;
};
