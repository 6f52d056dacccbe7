#include "storage/CRoomRequest.h"

CRoomRequest::CRoomRequest() {
    templates = {
        R"sql(select resv_name_id,rate_code from zzzz.reservation_daily_element_name where resort='ssss' and resv_name_id=%d and reservation_date=to_date('%s','dd.mm.yyyy'))sql",
        R"sql(select c.room_category, c.label, '' info from zzzz.reservation_daily_element_name a, zzzz.reservation_daily_elements b, zzzz.ROOM_CATEGORY_TEMPLATE c where a.resort='ssss' and a.resv_name_id=%d and a.reservation_date=to_date('%s','dd.mm.yyyy') and a.RESV_DAILY_EL_SEQ=b.RESV_DAILY_EL_SEQ and b.ROOM_CATEGORY=c.ROOM_CATEGORY)sql",
        R"sql(select rn.name_id, nv.web_page, nv.web_page from zzzz.name_view nv, zzzz.reservation_name rn where nv.name_id = rn.name_id and rn.resv_name_id = %s)sql",
        // Suite8: room, category, rate and guest count of a posting, the invoice an AR payment
        // settles, a customer's communication values.
        R"sql(select RES_OR_FAC_ID, ROOM_OR_FA_NO, '' info from (select zpos_yres_id RES_OR_FAC_ID, yrms_shortdesc ROOM_OR_FA_NO from zzzz.zpos, zzzz.yres, zzzz.yrms, zzzz.ydet where zpos_yres_id = yres_id and yrms_id = ydet_yrms_id and ydet_id = yres_current_ydet_id and zpos_yres_id is not null and zpos_id=%d union all select zpos_zfac_id RES_OR_FAC_ID, zfan_longdesc ROOM_OR_FA_NO from zzzz.zpos, zzzz.zfac, zzzz.zfan where zpos_zfac_id = zfac_id and zfac_zfan_id = zfan_id and zpos_zfac_id is not null and zpos_id=%d))sql",
        R"sql(select zpos_id, decode(nvl(zpos_zfac_id,0),0,ycat_sum_roomtype_ycad_id,zfag_ycad_id) as ycad_id, '' info from zzzz.zpos, zzzz.yres, zzzz.ydet, zzzz.ycat, zzzz.zfac, zzzz.zfag where zpos_yres_id=yres_id(+) and yres_current_ydet_id=ydet_id(+) and ydet_ycat_id=ycat_id(+) and zpos_zfac_id=zfac_id(+) and zfac_zfag_id=zfag_id(+) and zpos_id=%d)sql",
        R"sql(select zpos_id,yrch_shortdesc,'' info from zzzz.zpos,zzzz.yres,zzzz.ydet,zzzz.yrch where yres_id=zpos_originated_yres_id and ydet_yres_id=yres_id and ydet_date=zpos_postdate and yrch_id=ydet_yrch_id and zpos_id=%d union select zpos_id,yrch_shortdesc, '' info from zzzz.zpos,zzzz.yres,zzzz.ydet,zzzz.yrch where yres_id=zpos_originated_yres_id and ydet_id=yres_current_ydet_id and yrch_id=ydet_yrch_id and zpos_id=%d)sql",
        R"sql(select ydet_adultno,sum(yrgl_number), '' info from zzzz.zpos,zzzz.yres,zzzz.ydet,zzzz.yrch,zzzz.yrgl,zzzz.xcac where yres_id=zpos_originated_yres_id and ydet_yres_id=yres_id and ydet_date=zpos_postdate and yrch_id=ydet_yrch_id and ydet_id=yrgl_ydet_id(+) and yrgl_xcac_id=xcac_id(+) and (xcac_shortdesc is null or xcac_shortdesc='%s') and zpos_id=%d group by ydet_adultno)sql",
        R"sql(select zpos_id,ycat_shortdesc, '' info from zzzz.zpos,zzzz.yres,zzzz.ydet,zzzz.ycat where yres_id=zpos_originated_yres_id and ydet_yres_id=yres_id and ydet_date=zpos_postdate and ycat_id=ydet_ycat_id and zpos_id=%d union select zpos_id,ycat_shortdesc, '' info from zzzz.zpos,zzzz.yres,zzzz.ydet,zzzz.ycat where yres_id=zpos_originated_yres_id and ydet_id=yres_current_ydet_id and ycat_id=ydet_ycat_id and zpos_id=%d)sql",
        // The facility half answers three columns like the reservation half: a union of a
        // three- and a two-column select is refused by every database.
        R"sql(select zpos_yres_id RES_OR_FAC_ID, ycat_shortdesc ROOM_CAT, '' info from zzzz.zpos, zzzz.yres, zzzz.yrms, zzzz.ydet, zzzz.ycat where zpos_yres_id = yres_id and yrms_id = ydet_yrms_id and ydet_id = yres_current_ydet_id and yrms_ycat_id=ycat_id and zpos_yres_id is not null and zpos_id=%d union select zpos_zfac_id RES_OR_FAC_ID, zfag_shortdesc ROOM_CAT, '' info from zzzz.zpos, zzzz.zfac, zzzz.zfan, zzzz.zfag where zpos_zfac_id = zfac_id and zfac_zfan_id = zfan_id and zfac_zfag_id=zfag_id and zpos_zfac_id is not null and zpos_id=%d)sql",
        R"sql(select zinv_id, zinv_number, '' info from zzzz.zinv where zinv_id = (select max(zpil_zinv_id) from zzzz.zpil where zpil_zpos_id = (select ainv_paym_zpos_id from zzzz.ainv where ainv_id = (select aipl_debit_ainv_id from zzzz.aipl where aipl_credit_ainv_id = (select ainv_id from zzzz.ainv where ainv_paym_zpos_id = (select zpos_id from zzzz.zpos where zpos_id = %d))))))sql",
        R"sql(select xcom.XCOM_XCMS_ID XCMS_ID, (select xcmt.XCMT_LONGDESC from zzzz.xcmt where xcom.XCOM_XCMT_ID=xcmt.XCMT_ID) XCMT_LONGDESC, xcom.xcom_value XCOM_VALUE from  zzzz.xcom, zzzz.xcmt where xcom.XCOM_XCMT_ID=xcmt.XCMT_ID and xcom.XCOM_XCMS_ID=%s and xcom_primary=1 and xcmt_type=%s)sql",
    };
}

const CRecordBinding::BindingTable& CRoomRequest::GetBindingTable() const {
    static const BindingTable table = Numbered({IntegerColumn(), TextColumn(100), TextColumn(100)});
    return table;
}
