#pragma once

#include <string>

#include "storage/CFiscalStorage.h"
#include "storage/CRecordBinding.h"
#include "storage/StatementRunner.h"

// The lease table qel_service_lease: one row per property, naming the service that registers
// its checks, a fence raised at every change of holder and a count of the holder's renewals (the
// expiry by the database's clock is kept for people to read, not judged). A service takes the row
// when there is none, renews it while it works, takes it over only from a row that stayed
// exactly as it saw it, and deletes it at stop. Its select answers (holder, expiry text, fence,
// renewals).
class CServiceLease : public CRecordBinding {
public:
    enum Template { SelectHolder, InsertHolder, RenewLease, TakeOver, DeleteHolder, TemplateCount };
    using Row = CFiscalStorage::LeaseRow;

    explicit CServiceLease(StatementRunner& storage);
    const BindingTable& GetBindingTable() const override;

    // See CFiscalStorage::HoldLease.
    CFiscalStorage::Lease Hold(const std::string& property, const std::string& holder, int seconds,
                               const Row* expired, Row& row);
    void Give(const std::string& property, const std::string& holder);
    // The property's row; false when it cannot be read (no row: an empty holder).
    bool ReadRow(const std::string& property, Row& row);

private:
    StatementRunner& storage;
};
