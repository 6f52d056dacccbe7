#pragma once

#include "storage/CRecordBinding.h"

// The rows of the status table that are not final (N, S and F), for the status command: what
// is still to be registered, what failed and what was registered without its status saved.
class CSelectOpenRows : public CRecordBinding {
public:
    // OpenRows: N, S and F. ClosedRows: Y rows of the latest business day that name no
    // registration (no fiscal number, no check file or code): closed without one.
    enum Template { OpenRows, ClosedRows, TemplateCount };
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
