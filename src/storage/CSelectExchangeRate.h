#pragma once

#include "storage/CRecordBinding.h"

// One amount: an exchange rate or a folio window balance.
class CSelectExchangeRate : public CRecordBinding {
public:
    enum Template { ExchangeRate, WindowBalance, ExchangeRateSuite8, WindowBalanceSuite8, TemplateCount };

    CSelectExchangeRate();
    const BindingTable& GetBindingTable() const override;
};
