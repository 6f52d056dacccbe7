#pragma once

#include "storage/CRecordBinding.h"

// One amount: an exchange rate or a folio window balance.
class CSelectExchangeRate : public CRecordBinding {
public:
    enum Template { ExchangeRate, WindowBalance, TemplateCount };

    CSelectExchangeRate();
    const BindingTable& GetBindingTable() const override;
};
