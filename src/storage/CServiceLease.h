#pragma once

#include <string>

#include "service/CFiscalStorage.h"
#include "storage/CRecordBinding.h"

class COperaBase;

// The lease table qel_service_lease: one row per property, naming the service that registers
// its checks and until when (by the database's clock). A service takes the row when it is free
// or expired, renews it while it works and deletes it at stop; any other service of the
// property waits. Its select answers (holder, expiry text).
class CServiceLease : public CRecordBinding {
public:
    enum Template { SelectHolder, InsertHolder, TakeLease, ReplaceHolder, DeleteHolder, TemplateCount };

    explicit CServiceLease(COperaBase& storage);
    const BindingTable& GetBindingTable() const override;

    // Takes or renews the lease of the property for the holder, also from `replacing` when that
    // holds it. HeldElsewhere names the holder in other and its expiry (dd.mm.yyyy hh:mm:ss) in until.
    CFiscalStorage::Lease Hold(const std::string& property, const std::string& holder, int seconds,
                               const std::string& replacing, std::string& other, std::string& until);
    void Give(const std::string& property, const std::string& holder);

private:
    // The holder and expiry of the property's row; false when there is none or it cannot be read.
    bool ReadRow(const std::string& property, std::string& holder, std::string& expires, bool& failed);

    COperaBase& storage;
};
