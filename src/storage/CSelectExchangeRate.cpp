#include "storage/CSelectExchangeRate.h"

CSelectExchangeRate::CSelectExchangeRate() {
    templates = {
        R"sql(select exchange_rate from zzzz.currency_exchange_rates WHERE resort='%s' and currency_code='xxxx' ORDER BY begin_date DESC)sql",
        R"sql(select (nvl((select sum(fin.net_amount) from zzzz.financial_transactions fin where fin.resv_name_id = fff.resv_name_id and fin.folio_view = fff.folio_view and fin.ft_subtype<>'PK' and fin.ft_subtype<>'FC'),0) + nvl((select sum(-fin.trx_amount) from zzzz.financial_transactions fin  where fin.resv_name_id = fff.resv_name_id and fin.folio_view = fff.folio_view and fin.ft_subtype='FC'),0)) balance from zzzz.financial_transactions fff where trx_no=%d)sql",
    };
}

const CRecordBinding::BindingTable& CSelectExchangeRate::GetBindingTable() const {
    static const BindingTable table = Numbered({DoubleColumn(12, 8)});
    return table;
}
