#include "storage/CServiceLease.h"

#include "storage/COperaBase.h"
#include "storage/SqlFormat.h"

using sqlformat::Arg;

CServiceLease::CServiceLease(COperaBase& owner) : storage(owner) {
    templates = {
        R"sql(select holder, to_char(expires,'dd.mm.yyyy hh24:mi:ss') from qel_service_lease where resort='%s')sql",
        R"sql(insert into qel_service_lease (resort, holder, expires) values ('%s','%s',SYSDATE+%d/86400.0))sql",
        // Taken when free or expired, renewed by its holder; the database decides who wins.
        R"sql(update qel_service_lease set holder='%s', expires=SYSDATE+%d/86400.0 where resort='%s' and (holder='%s' or expires<SYSDATE))sql",
        R"sql(update qel_service_lease set holder='%s', expires=SYSDATE+%d/86400.0 where resort='%s' and holder='%s')sql",
        R"sql(delete from qel_service_lease where resort='%s' and holder='%s')sql",
    };
}

const CRecordBinding::BindingTable& CServiceLease::GetBindingTable() const {
    static const BindingTable table = Numbered({TextColumn(200), TextColumn(25)});
    return table;
}

bool CServiceLease::ReadRow(const std::string& property, std::string& holder, std::string& expires,
                            bool& failed) {
    db::Recordset rows;
    failed = !storage.OpenTemplate(templates[SelectHolder], {Arg::Text(property)}, rows);
    if (failed || rows.IsEOF()) {
        return false;
    }
    Read(rows);
    holder = IsPresent(1) ? Text(1) : "";
    expires = IsPresent(2) ? Text(2) : "";
    return true;
}

CFiscalStorage::Lease CServiceLease::Hold(const std::string& property, const std::string& holder, int seconds,
                                          const std::string& replacing, std::string& other,
                                          std::string& until) {
    std::string current;
    std::string expires;
    bool failed = false;
    if (!ReadRow(property, current, expires, failed)) {
        if (failed) {
            return CFiscalStorage::Lease::Unknown;
        }
        // No row yet: the first service creates it. Should another one have created it in the
        // meantime the insert fails on the key, and the take below settles who holds it.
        storage.ExecuteTemplate(templates[InsertHolder],
                                {Arg::Text(property), Arg::Text(holder), Arg::Int(seconds)});
    }
    if (!storage.ExecuteTemplate(templates[TakeLease], {Arg::Text(holder), Arg::Int(seconds),
                                                        Arg::Text(property), Arg::Text(holder)})) {
        return CFiscalStorage::Lease::Unknown;
    }
    if (!replacing.empty() &&
        !storage.ExecuteTemplate(templates[ReplaceHolder], {Arg::Text(holder), Arg::Int(seconds),
                                                            Arg::Text(property), Arg::Text(replacing)})) {
        return CFiscalStorage::Lease::Unknown;
    }
    if (!ReadRow(property, current, expires, failed)) {
        return CFiscalStorage::Lease::Unknown;
    }
    if (current == holder) {
        return CFiscalStorage::Lease::Held;
    }
    other = current;
    until = expires;
    return CFiscalStorage::Lease::HeldElsewhere;
}

void CServiceLease::Give(const std::string& property, const std::string& holder) {
    storage.ExecuteTemplate(templates[DeleteHolder], {Arg::Text(property), Arg::Text(holder)});
}
