#include "storage/CSelectExchangeRate.h"

CSelectExchangeRate::CSelectExchangeRate() {
    templates = {
        R"sql(select exchange_rate from zzzz.currency_exchange_rates WHERE resort='%s' and currency_code='xxxx' ORDER BY begin_date DESC)sql",
        R"sql(select (nvl((select sum(fin.net_amount) from zzzz.financial_transactions fin where fin.resv_name_id = fff.resv_name_id and fin.folio_view = fff.folio_view and fin.ft_subtype<>'PK' and fin.ft_subtype<>'FC'),0) + nvl((select sum(-fin.trx_amount) from zzzz.financial_transactions fin  where fin.resv_name_id = fff.resv_name_id and fin.folio_view = fff.folio_view and fin.ft_subtype='FC'),0)) balance from zzzz.financial_transactions fff where trx_no=%d)sql",
        // Suite8: the current rate of the convert currency, the balance of a posting's window.
        R"sql( select zxch_rate from zzzz.zxch where zxch_current = 1 and zxch_zcur_id in (select zcur_id from zzzz.zcur where zcur_shortdesc='xxxx'))sql",
        R"sql(select (nvl((select sum(decode(zp.zpos_cdt,5,(decode(zp.zpos_paidout,1,0,0)),(zp.zpos_sumupamount))) from zzzz.zpos zp where zp.zpos_zwin_id=zpos.zpos_zwin_id and zp.zpos_proforma is null and zp.zpos_noreprint <> 1),0) + nvl((select sum(decode(zp.zpos_cdt,5,(decode(zp.zpos_paidout,1,-(zp.zpos_sumupamount),-(zp.zpos_sumupamount))),0)) from zzzz.zpos zp where zp.zpos_zwin_id=zpos.zpos_zwin_id and zp.zpos_proforma is null and zp.zpos_noreprint <> 1),0)) balance from zzzz.zpos where zpos_id=%d)sql",
    };
}

const CRecordBinding::BindingTable& CSelectExchangeRate::GetBindingTable() const {
    static const BindingTable table = Numbered({DoubleColumn(12, 8)});
    return table;
}
