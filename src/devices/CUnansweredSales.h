#pragma once

#include <set>
#include <string>

// The sales sent to the Czech registration service without a definite answer (late, cut,
// unreadable), each by its key (CCzechInterface::SaleKey). Such a sale may be registered already, so its next sending, on
// whichever printer and also after a restart, is marked as a repeated one. A sale is entered
// before it is sent and taken out once the service answered; with a file the list is kept on
// disk at every change. Shared by the interfaces of one service; used on the worker thread only.
class CUnansweredSales {
public:
    // Keeps the list in the file from now on, taking up what it holds; false when the file
    // exists but cannot be read.
    bool Open(const std::string& path);
    bool IsOpen() const { return !path.empty(); }
    // False when the list could not be written to its file (it is kept in memory all the same).
    bool Add(const std::string& sale);
    bool Remove(const std::string& sale);
    bool Has(const std::string& sale) const { return sales.count(sale) != 0; }
    const std::string& Path() const { return path; }

private:
    bool Save() const;

    std::string path;
    std::set<std::string> sales;
};
