#pragma once

#include "storage/CRecordBinding.h"

// The code table qel_code_convertion, which gives PMS codes small printer codes: its three
// statements and the one integer their selects answer.
class CMicrosCodeConvertion : public CRecordBinding {
public:
    enum Template { SelectCode, SelectMaxCode, InsertCode, TemplateCount };

    CMicrosCodeConvertion();
    const BindingTable& GetBindingTable() const override;
};
