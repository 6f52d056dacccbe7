#include "devices/CUnansweredSales.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

bool CUnansweredSales::Open(const std::string& file) {
    path = file;
    if (!platform::FileExists(path)) {
        return true;
    }
    std::string content;
    if (!platform::ReadFile(path, content)) {
        return false;
    }
    for (const std::string& line : text::Split(content, '\n')) {
        if (!line.empty()) {
            sales.insert(line);
        }
    }
    return true;
}

bool CUnansweredSales::Add(const std::string& sale) {
    return !sales.insert(sale).second || Save();
}

bool CUnansweredSales::Remove(const std::string& sale) {
    return sales.erase(sale) == 0 || Save();
}

bool CUnansweredSales::Save() const {
    if (path.empty()) {
        return true;
    }
    std::string content;
    for (const std::string& sale : sales) {
        content += sale + "\n";
    }
    // Written beside and moved over the list, so that a crash leaves the old list or the new one.
    std::string next = path + ".new";
    return platform::WriteFile(next, content) && platform::RenameFile(next, path);
}
