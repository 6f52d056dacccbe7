#include "storage/CSelectGuestInfo.h"

CSelectGuestInfo::CSelectGuestInfo() {
    templates = {
        R"sql(select nam.company, ind.first, ind.last, nam.UDFC20, nam.UDFC21,'',''  from zzzz.folio$_tax fol, zzzz.name ind, zzzz.name nam where fol.name_id=ind.name_id and fol.payee_name_id=nam.name_id and fol.resort='ssss' and fol.bill_no=%s)sql",
        R"sql(select nvl(nam.xcompany_name,nam.company), nam.first, nam.last, nam.UDFC20, nam.UDFC21,'','' from zzzz.trx_routing_instructions rout, zzzz.name nam where rout.resv_name_id=%s and rout.folio_view=%d and nam.name_id=rout.bill_to_name_id)sql",
        R"sql( select cashier_id,  nvl((select address2 from zzzz.employee empl where fin.cashier_id=empl.def_cashier_id and rownum=1),''),  nvl((select address1 from zzzz.employee empl where fin.cashier_id=empl.def_cashier_id and rownum=1),'Cashier'),  nvl((select emp_extension from zzzz.employee empl where fin.cashier_id=empl.def_cashier_id and rownum=1),''),  terminal,'','' from zzzz.folio$_tax fin  where fin.resort='ssss' and fin.bill_no=%s)sql",
        R"sql(select resort, trx_code, adj_trx_code, description, tc_group,'','' from zzzz.trx$_codes where resort='ssss' and tc_transaction_type in ('C', 'PK') and adj_trx_code is not null)sql",
    };
}

const CRecordBinding::BindingTable& CSelectGuestInfo::GetBindingTable() const {
    static const BindingTable table =
        Numbered({TextColumn(81), TextColumn(81), TextColumn(81), TextColumn(201), TextColumn(201),
                  TextColumn(201), TextColumn(201)});
    return table;
}
