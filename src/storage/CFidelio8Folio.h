#pragma once

#include "storage/CRecordBinding.h"

// The Suite8 detail row: 39 columns (its queries arrive with the Suite8 back-end).
class CFidelio8Folio : public CRecordBinding {
public:
    CFidelio8Folio();
    const BindingTable& GetBindingTable() const override;
};
