#include "storage/CServiceLease.h"

#include "storage/SqlFormat.h"

using sqlformat::Arg;

CServiceLease::CServiceLease(StatementRunner& owner) : storage(owner) {
    templates = {
        R"sql(select holder, to_char(expires,'dd.mm.yyyy hh24:mi:ss'), nvl(fence,0), nvl(renewals,0) from qel_service_lease where resort='%s')sql",
        R"sql(insert into qel_service_lease (resort, holder, expires, fence, renewals) values ('%s','%s',SYSDATE+%d/86400.0,1,0))sql",
        R"sql(update qel_service_lease set renewals=nvl(renewals,0)+1, expires=SYSDATE+%d/86400.0 where resort='%s' and holder='%s')sql",
        // Only from the very row the caller judged expired: the database decides who wins.
        R"sql(update qel_service_lease set holder='%s', fence=nvl(fence,0)+1, renewals=0, expires=SYSDATE+%d/86400.0 where resort='%s' and holder='%s' and nvl(fence,0)=%d and nvl(renewals,0)=%d)sql",
        R"sql(delete from qel_service_lease where resort='%s' and holder='%s')sql",
    };
}

const CRecordBinding::BindingTable& CServiceLease::GetBindingTable() const {
    static const BindingTable table =
        Numbered({TextColumn(200), TextColumn(25), IntegerColumn(), IntegerColumn()});
    return table;
}

bool CServiceLease::ReadRow(const std::string& property, Row& row) {
    db::Recordset rows;
    row = Row();
    if (!storage.OpenTemplate(templates[SelectHolder], {Arg::Text(property)}, rows)) {
        return false;
    }
    if (!rows.IsEOF()) {
        Read(rows);
        row.holder = IsPresent(1) ? Text(1) : "";
        row.until = IsPresent(2) ? Text(2) : "";
        row.fence = Integer(3);
        row.renewals = Integer(4);
    }
    return true;
}

CFiscalStorage::Lease CServiceLease::Hold(const std::string& property, const std::string& holder, int seconds,
                                          const Row* expired, Row& row) {
    if (!ReadRow(property, row)) {
        return CFiscalStorage::Lease::Unknown;
    }
    bool changed = true;
    if (row.holder.empty()) {
        // No row: the first service creates it. Should another one have created it in the
        // meantime the insert fails on the key, and the row read back tells who holds it.
        storage.ExecuteTemplate(templates[InsertHolder],
                                {Arg::Text(property), Arg::Text(holder), Arg::Int(seconds)});
    } else if (row.holder == holder) {
        changed = storage.ExecuteTemplate(templates[RenewLease],
                                          {Arg::Int(seconds), Arg::Text(property), Arg::Text(holder)});
    } else if (expired && *expired == row) {
        changed = storage.ExecuteTemplate(
            templates[TakeOver],
            {Arg::Text(holder), Arg::Int(seconds), Arg::Text(property), Arg::Text(row.holder),
             Arg::Int(static_cast<int>(row.fence)), Arg::Int(static_cast<int>(row.renewals))});
    } else {
        return CFiscalStorage::Lease::HeldElsewhere;
    }
    if (!changed || !ReadRow(property, row)) {
        return CFiscalStorage::Lease::Unknown;
    }
    return row.holder == holder ? CFiscalStorage::Lease::Held : CFiscalStorage::Lease::HeldElsewhere;
}

void CServiceLease::Give(const std::string& property, const std::string& holder) {
    storage.ExecuteTemplate(templates[DeleteHolder], {Arg::Text(property), Arg::Text(holder)});
}
