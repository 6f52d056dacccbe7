#pragma once

#include "storage/CRecordBinding.h"

// The statements that switch payment entry in the PMS off and on; they return no columns.
class CQBlockPayments : public CRecordBinding {
public:
    enum Template { BlockBilling, BlockDeposits, BlockDepartments, TemplateCount };

    CQBlockPayments();
    const BindingTable& GetBindingTable() const override;
};
