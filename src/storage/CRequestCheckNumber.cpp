#include "storage/CRequestCheckNumber.h"

#include "platform/Text.h"

CRequestCheckNumber::CRequestCheckNumber() {
    templates = {
        R"sql(select fin.trx_no, to_char(fin.bill_no) as bill_no, fin.posted_amount, to_char(fol.BILL_GENERATION_DATE,'dd.mm.yyyy'), fin.postit_no, fin.postit_no from zzzz.financial_transactions fin, zzzz.folio$_tax fol, qel_financial_transactions qel where (fin.resort='ssss') and (fol.resort=fin.resort) and (fol.bill_no=fin.bill_no) and (fol.BILL_GENERATION_DATE=(SELECT BUSINESS_DATE FROM zzzz.BUSINESSDATE WHERE RESORT = 'ssss' AND STATE='OPEN')) and (fin.trx_code in (xxxx)) and (fin.trx_no=qel.trx_no(+)) and ((qel.qel_fisc_status is NULL) or (qel.qel_fisc_status!='Y')) order by fin.bill_no desc)sql",
        R"sql(select fin.trx_no, to_char(fin.bill_no) as bill_no, fin.posted_amount, to_char(fol.BILL_GENERATION_DATE,'dd.mm.yyyy'), fin.postit_no, fin.folio_view from zzzz.financial_transactions fin, zzzz.folio$_tax fol, qel_financial_transactions qel where (fin.resort='ssss') and (fol.resort=fin.resort) and (fol.bill_no=fin.bill_no) and (fol.BILL_GENERATION_DATE=(SELECT BUSINESS_DATE FROM zzzz.BUSINESSDATE WHERE RESORT = 'ssss' AND STATE='OPEN')) and (fin.trx_code in (xxxx)) and (fin.trx_no=qel.trx_no(+)) and ((qel.qel_fisc_status is NULL) or (qel.qel_fisc_status!='Y')) order by fin.bill_no desc)sql",
        R"sql(select fin.trx_no, to_char(fin.bill_no) as bill_no, fin.posted_amount, to_char(fol.BILL_GENERATION_DATE,'dd.mm.yyyy'), fin.postit_no, fin.postit_no from zzzz.financial_transactions fin, zzzz.folio$_tax fol, qel_financial_transactions qel where (fin.resort='ssss') and (fin.bill_no is not NULL) and (fol.resort=fin.resort) and (fol.bill_no=fin.bill_no) and (fin.trx_no=qel.trx_no(+)) and (qel.qel_fisc_status='S'))sql",
        R"sql(select dep.trx_no, to_char(dep.resv_name_id) as bill_no, dep.posted_amount, to_char(dep.BUSINESS_DATE,'dd.mm.yyyy'), dep.postit_no, dep.postit_no from deposit_financial_transactions dep, qel_financial_transactions qel where (dep.resort='ssss') and (dep.trx_code in (xxxx)) and (dep.trx_no=qel.trx_no(+)) and ((qel.qel_fisc_status is NULL) or (qel.qel_fisc_status!='Y')))sql",
        R"sql(select /* CHOOSE */ fin.trx_no, trx.description, fin.trx_amount, to_char(fin.BUSINESS_DATE,'dd.mm.yyyy'), fin.from_resv_id, fin.resv_name_id from zzzz.financial_transactions fin, zzzz.trx$_codes trx, qel_financial_transactions qel, qel_financial_transactions qel1 where fin.resort='ssss' and fin.BUSINESS_DATE =(SELECT BUSINESS_DATE FROM zzzz.BUSINESSDATE WHERE RESORT = 'ssss' AND STATE='OPEN') and trx.resort=fin.resort and fin.trx_code=trx.trx_code and fin.trx_code in ('9901I') and fin.from_resv_id is not null and fin.from_resv_id=qel.reference and fin.trx_amount=qel.trx_amount and qel.qel_fisc_status = 'D' and fin.trx_no=qel1.trx_no(+) and qel1.qel_fisc_status is null)sql",
        // Suite8: invoice lines (one row per posting of an invoice) and the POS check header.
        R"sql(select zinv_id, zinv_number, zpos_unitprice as sum, to_char(zinv_date,'dd.mm.yyyy'), zinv_zinn_id, zpos_yres_id from zzzz.zpos, zzzz.zpil, zzzz.zinv, zzzz.zdco, zzzz.wgbs, qel_financial_transactions qel where (zinv_date=wgbs_datevalue) and (zpos_id=zpil_zpos_id) and (zpil_zinv_id=zinv_id) and (zpos_zdco_id=zdco_id) and (zdco_numericdesc in (xxxx)) and (zpos_id=qel.trx_no(+)) and ((qel.qel_fisc_status is NULL) or (qel.qel_fisc_status!='Y')) order by zinv_date, zinv_number, zinv_zinn_id)sql",
        R"sql(select zinv_id, zinv_number, zpos_unitprice as sum, to_char(zinv_date,'dd.mm.yyyy'), zinv_zinn_id, ZWIN_WINDOW from zzzz.zpos, zzzz.zpil, zzzz.zinv, zzzz.zdco, zzzz.wgbs, zzzz.zwin, qel_financial_transactions qel where (zinv_date=wgbs_datevalue) and (zpos_id=zpil_zpos_id) and (zpil_zinv_id=zinv_id) and (zpos_zdco_id=zdco_id) and (zpos_zwin_id=zwin_id) and (zdco_numericdesc in (xxxx)) and (zpos_id=qel.trx_no(+)) and ((qel.qel_fisc_status is NULL) or (qel.qel_fisc_status!='Y')) order by zinv_date, zinv_number, zinv_zinn_id)sql",
        R"sql(select zinv_id, zinv_number, zpos_unitprice as sum, to_char(zinv_date,'dd.mm.yyyy'), zinv_zinn_id, zpos_yres_id from zzzz.zpos, zzzz.zpil, zzzz.zinv, qel_financial_transactions qel where (zpos_id=zpil_zpos_id) and (zpil_zinv_id=zinv_id) and (zpos_id=qel.trx_no(+)) and (qel.qel_fisc_status='S') order by zinv_date, zinv_number, zinv_zinn_id)sql",
        R"sql(select zche_id,zche_checknum,0,to_char(zche_checkdate,'MM/DD/YY HH24:MI:SS'),0,0 from zzzz.zche where zche_id=%s)sql",
        R"sql(select fin.trx_no, to_char(fin.bill_no) as bill_no, fin.posted_amount, to_char(fol.BILL_GENERATION_DATE,'dd.mm.yyyy'), fin.postit_no, fin.postit_no from qel_financial_transactions qel, zzzz.financial_transactions fin, zzzz.folio$_tax fol where (qel.qel_fisc_status in ('N','S')) and (qel.business_date>=(SELECT BUSINESS_DATE FROM zzzz.BUSINESSDATE WHERE RESORT = 'ssss' AND STATE='OPEN')-%d) and (qel.business_date<(SELECT BUSINESS_DATE FROM zzzz.BUSINESSDATE WHERE RESORT = 'ssss' AND STATE='OPEN')) and (fin.trx_no=qel.trx_no) and (fin.resort='ssss') and (fin.trx_code in (xxxx)) and (fol.resort=fin.resort) and (fol.bill_no=fin.bill_no) and (fol.BILL_GENERATION_DATE<(SELECT BUSINESS_DATE FROM zzzz.BUSINESSDATE WHERE RESORT = 'ssss' AND STATE='OPEN')) order by qel.business_date, fin.bill_no)sql",
        R"sql(select zinv_id, zinv_number, zpos_unitprice as sum, to_char(zinv_date,'dd.mm.yyyy'), zinv_zinn_id, zpos_yres_id from zzzz.wgbs, qel_financial_transactions qel, zzzz.zpos, zzzz.zpil, zzzz.zinv, zzzz.zdco where (qel.qel_fisc_status in ('N','S')) and (qel.business_date>=wgbs_datevalue-%d) and (qel.business_date<wgbs_datevalue) and (zpos_id=qel.trx_no) and (zpos_id=zpil_zpos_id) and (zpil_zinv_id=zinv_id) and (zinv_date<wgbs_datevalue) and (zpos_zdco_id=zdco_id) and (zdco_numericdesc in (xxxx)) order by qel.business_date, zinv_number, zinv_zinn_id)sql",
        R"sql(select 0, '', 0, to_char(BUSINESS_DATE,'dd.mm.yyyy'), 0, 0 from zzzz.BUSINESSDATE where RESORT = 'ssss' AND STATE='OPEN')sql",
        R"sql(select 0, '', 0, to_char(wgbs_datevalue,'dd.mm.yyyy'), 0, 0 from zzzz.wgbs)sql",
    };
}

const CRecordBinding::BindingTable& CRequestCheckNumber::GetBindingTable() const {
    static const BindingTable table = Numbered({IntegerColumn(), TextColumn(61), DoubleColumn(30, 12),
                                                TextColumn(100), IntegerColumn(), IntegerColumn()});
    return table;
}

std::string CRequestCheckNumber::WithCreationTime(const std::string& statement) {
    return text::ReplaceAll(statement, "to_char(fol.BILL_GENERATION_DATE,'dd.mm.yyyy')",
                            "to_char(fol.insert_date,'YYYY-MM-DD\"T\"HH24:MI:SS')||(SELECT "
                            "TO_CHAR(SYSTIMESTAMP,'TZH:TZM') FROM DUAL) as BILL_GENERATION_DATE");
}

std::string CRequestCheckNumber::WithInvoiceTime(const std::string& statement) {
    return text::ReplaceAll(statement, "to_char(zinv_date,'dd.mm.yyyy')",
                            "to_char(zinv_pcdate,'YYYY-MM-DD\"T\"HH24:MI:SS')||(SELECT "
                            "TO_CHAR(SYSTIMESTAMP,'TZH:TZM') FROM DUAL) as zinv_date");
}

std::string CRequestCheckNumber::NewOrFailedOnly(const std::string& statement) {
    return text::ReplaceAll(statement, "(qel.qel_fisc_status!='Y')", "(qel.qel_fisc_status='N')");
}

std::string CRequestCheckNumber::NotRegisteredOnly(const std::string& statement) {
    return text::ReplaceAll(statement, "(qel.qel_fisc_status!='Y')",
                            "(qel.qel_fisc_status!='Y' and qel.qel_fisc_status!='D')");
}

std::string CRequestCheckNumber::WithDateOffset(const std::string& statement, int days) {
    // A negative offset looks ahead; written as "--" it would end the statement in a comment.
    std::string moved = days >= 0 ? text::Format("SELECT BUSINESS_DATE-%d FROM", days)
                                  : text::Format("SELECT BUSINESS_DATE+%d FROM", -days);
    return text::ReplaceAll(statement, "SELECT BUSINESS_DATE FROM", moved);
}
