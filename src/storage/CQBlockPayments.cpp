#include "storage/CQBlockPayments.h"

CQBlockPayments::CQBlockPayments() {
    templates = {
        R"sql(update zzzz.trx$_codes set ind_billing='%s' where resort='ssss' and trx_code in (xxxx))sql",
        R"sql(update zzzz.trx$_codes set ind_deposit_yn='%s' where resort='ssss' and trx_code in (xxxx))sql",
        R"sql(update zzzz.zdco set zdco_disabled_prearr=%s, zdco_disabled_billing=%s where zdco_numericdesc in (xxxx))sql",
        R"sql(select trx_code, ind_billing from zzzz.trx$_codes where resort='ssss' and trx_code in (xxxx) order by trx_code)sql",
    };
}

const CRecordBinding::BindingTable& CQBlockPayments::GetBindingTable() const {
    static const BindingTable table = Numbered({TextColumn(20), TextColumn(1)});
    return table;
}
