#include "storage/CMicrosCodeConvertion.h"

CMicrosCodeConvertion::CMicrosCodeConvertion() {
    templates = {
        R"sql(select printer_code from qel_code_convertion where pms_code=%d)sql",
        R"sql(select max(printer_code) from qel_code_convertion)sql",
        R"sql(insert into qel_code_convertion (pms_code,printer_code,description) values (%d,%d,'%s'))sql",
    };
}

const CRecordBinding::BindingTable& CMicrosCodeConvertion::GetBindingTable() const {
    static const BindingTable table = Numbered({IntegerColumn()});
    return table;
}
