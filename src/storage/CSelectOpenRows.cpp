#include "storage/CSelectOpenRows.h"

CSelectOpenRows::CSelectOpenRows() {
    templates = {
        R"sql(select trx_no, qel_fisc_status, bill_no, machine, cashier_id, room, trx_amount, attempt, title, to_char(business_date,'dd.mm.yyyy'), check_number, trx_code from qel_financial_transactions where qel_fisc_status in ('N','S','F') order by business_date, trx_no)sql",
        R"sql(select trx_no, qel_fisc_status, bill_no, machine, cashier_id, room, trx_amount, attempt, title, to_char(business_date,'dd.mm.yyyy'), check_number, trx_code from qel_financial_transactions where qel_fisc_status='Y' and (check_number is null or check_number='') and (title is null or title='') and trunc(business_date)=(select trunc(max(business_date)) from qel_financial_transactions) order by trx_no)sql",
    };
}

const CRecordBinding::BindingTable& CSelectOpenRows::GetBindingTable() const {
    static const BindingTable table =
        Numbered({IntegerColumn(), TextColumn(1), TextColumn(100), TextColumn(200), TextColumn(40),
                  TextColumn(200), DoubleColumn(20, 6), TextColumn(40), TextColumn(260), TextColumn(10),
                  TextColumn(100), IntegerColumn()});
    return table;
}
