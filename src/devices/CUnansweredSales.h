#pragma once

#include <set>
#include <string>

// The sales sent to the Czech registration service whose answer never came whole (late, cut,
// unreadable), by receipt number. Such a sale may be registered already, so its next sending,
// on whichever printer, is marked as a repeated one. Shared by the interfaces of one service
// and kept for the life of the process; used on the worker thread only.
class CUnansweredSales {
public:
    void Add(const std::string& receipt) { receipts.insert(receipt); }
    void Remove(const std::string& receipt) { receipts.erase(receipt); }
    bool Has(const std::string& receipt) const { return receipts.count(receipt) != 0; }

private:
    std::set<std::string> receipts;
};
