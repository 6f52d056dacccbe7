#include "storage/CSelectGuestInfo.h"

CSelectGuestInfo::CSelectGuestInfo() {
    templates = {
        R"sql(select nam.company, ind.first, ind.last, nam.UDFC20, nam.UDFC21,'',''  from zzzz.folio$_tax fol, zzzz.name ind, zzzz.name nam where fol.name_id=ind.name_id and fol.payee_name_id=nam.name_id and fol.resort='ssss' and fol.bill_no=%s)sql",
        R"sql(select nvl(nam.xcompany_name,nam.company), nam.first, nam.last, nam.UDFC20, nam.UDFC21,'','' from zzzz.trx_routing_instructions rout, zzzz.name nam where rout.resv_name_id=%s and rout.folio_view=%d and nam.name_id=rout.bill_to_name_id)sql",
        R"sql( select cashier_id,  nvl((select address2 from zzzz.employee empl where fin.cashier_id=empl.def_cashier_id and rownum=1),''),  nvl((select address1 from zzzz.employee empl where fin.cashier_id=empl.def_cashier_id and rownum=1),'Cashier'),  nvl((select emp_extension from zzzz.employee empl where fin.cashier_id=empl.def_cashier_id and rownum=1),''),  terminal,'','' from zzzz.folio$_tax fin  where fin.resort='ssss' and fin.bill_no=%s)sql",
        R"sql(select resort, trx_code, adj_trx_code, description, tc_group,'','' from zzzz.trx$_codes where resort='ssss' and tc_transaction_type in ('C', 'PK') and adj_trx_code is not null)sql",
        // Suite8: the cashier and the workstation that created an invoice.
        // The cashier's tax number is looked up, like its neighbours, among the creation entries of
        // invoices only (wmlg_tablename='ZINV'): without that filter the entry of another table
        // with the same id could name another user. "xcms_type=1and" stays as Oracle takes it.
        R"sql(select (select zcas_number from zzzz.wmlg, zzzz.xced, zzzz.zcas where wmlg_tablename='ZINV' and wmlg_xcms_creation=xced_id and xced_zcas_id=zcas_id  and wmlg_table_id=ZINV_ID and rownum=1)  CASHIER_ID, (select zcas_longdescription from zzzz.wmlg, zzzz.xced, zzzz.zcas where wmlg_tablename='ZINV' and wmlg_xcms_creation=xced_id and xced_zcas_id=zcas_id  and wmlg_table_id=ZINV_ID and rownum=1)  CASHIER_NAME, nvl((select xced_title from zzzz.wmlg, zzzz.xced where wmlg_tablename='ZINV' and wmlg_xcms_creation=xced_id and wmlg_table_id=ZINV_ID and rownum=1),'Cashier') CASHIER_TITLE, nvl((select xcom_value from zzzz.xcom, zzzz.xect, zzzz.wmlg where xcom_xect_id=xect_id and xect_shortdesc='INN' and xcom_xcms_id=wmlg_xcms_creation and wmlg_tablename='ZINV' and wmlg_table_id=ZINV_ID and rownum=1),'') Cashier_INN, (select wpca_netbiosname from zzzz.wmlg, zzzz.wses, zzzz.wpca where wmlg_tablename='ZINV' and wmlg_xcms_creation=wses_xced_id and wses_wpca_id=wpca_id and wmlg_table_id=ZINV_ID and rownum=1) INVOICE_STATION, nvl((select xcms.xcms_name1||' '||decode(xcms.xcms_name2,null,'', xcms.xcms_name2||' ')||decode(xcms.xcms_name3,null,'', xcms.xcms_name3) from zzzz.xcms where xcms.xcms_id=ZINV.ZINV_XCMS_ID and xcms_type=1),'') CONTRAGENT_NAME, nvl((select xmnr_value from zzzz.xmnr, zzzz.xmty, zzzz.xcms where xmnr_xmty_id=xmty_id and xmty_role=3 and xmnr_xcms_id=xcms.xcms_id and xcms.xcms_id=ZINV.ZINV_XCMS_ID and xcms_type=1and rownum=1),'') CONTRAGENT_INN from zzzz.zinv where zinv_id=%d)sql",
        R"sql(select zinv_id,'','','', (select nvl(wlog_terminal, wpca_netbiosname) from zzzz.wmlg, zzzz.wses, zzzz.wpca, zzzz.wlog, (select wlog_xced_id, max(wlog_id) max_wlog_id from zzzz.wlog where wlog_type=431 group by wlog_xced_id) wlog_xced where wmlg_tablename='ZINV' and wmlg_xcms_creation=wses_xced_id(+) and wses_wpca_id=wpca_id(+) and wmlg_table_id=ZINV_ID and wmlg_xcms_creation=wlog_xced.wlog_xced_id(+) and max_wlog_id=wlog_id(+) and rownum=1) INVOICE_STATION,'','' from zzzz.zinv where zinv_id=%d)sql",
    };
}

const CRecordBinding::BindingTable& CSelectGuestInfo::GetBindingTable() const {
    static const BindingTable table =
        Numbered({TextColumn(81), TextColumn(81), TextColumn(81), TextColumn(201), TextColumn(201),
                  TextColumn(201), TextColumn(201)});
    return table;
}
