#include "storage/CRoomRequest.h"

CRoomRequest::CRoomRequest() {
    templates = {
        R"sql(select resv_name_id,rate_code from zzzz.reservation_daily_element_name where resort='ssss' and resv_name_id=%d and reservation_date=to_date('%s','dd.mm.yyyy'))sql",
        R"sql(select c.room_category, c.label, '' info from zzzz.reservation_daily_element_name a, zzzz.reservation_daily_elements b, zzzz.ROOM_CATEGORY_TEMPLATE c where a.resort='ssss' and a.resv_name_id=%d and a.reservation_date=to_date('%s','dd.mm.yyyy') and a.RESV_DAILY_EL_SEQ=b.RESV_DAILY_EL_SEQ and b.ROOM_CATEGORY=c.ROOM_CATEGORY)sql",
        R"sql(select rn.name_id, nv.web_page, nv.web_page from zzzz.name_view nv, zzzz.reservation_name rn where nv.name_id = rn.name_id and rn.resv_name_id = %s)sql",
    };
}

const CRecordBinding::BindingTable& CRoomRequest::GetBindingTable() const {
    static const BindingTable table = Numbered({IntegerColumn(), TextColumn(100), TextColumn(100)});
    return table;
}
