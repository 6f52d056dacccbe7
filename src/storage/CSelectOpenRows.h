#pragma once

#include "storage/CRecordBinding.h"

// The rows of the status table that are not final (N, S and F), for the status command: what
// is still to be registered, what failed and what was registered without its status saved.
class CSelectOpenRows : public CRecordBinding {
public:
    enum Template { OpenRows, TemplateCount };
    enum Column {
        TrxNo = 1,
        Status,
        BillNo,
        Machine,
        Cashier,
        Room,
        Amount,
        Attempt,
        Title,
        BusinessDate,
        CheckNumber,
        TrxCode
    };

    CSelectOpenRows();
    const BindingTable& GetBindingTable() const override;
};
