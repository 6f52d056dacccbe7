#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace db {

// Statements a connection has prepared, by their text, so that running the same text again
// prepares nothing: a polling cycle runs the same discovery statements every time. Holds at most
// `capacity` of them; adding one more releases the one used longest ago (the detail statements
// carry the numbers of one bill and seldom come back, the discovery statements come back every
// cycle). The connection clears it before it closes, since a handle lives no longer than its
// connection. Not thread-safe, like the connection that owns it.
template <typename Handle>
class StatementCache {
public:
    using Release = std::function<void(Handle)>;

    StatementCache(size_t capacity, Release release) : capacity(capacity), release(std::move(release)) {}
    ~StatementCache() { Clear(); }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // The handle kept for the text, now the one used last; nullptr when none is kept.
    Handle* Find(const std::string& text) {
        auto found = index.find(text);
        if (found == index.end()) {
            return nullptr;
        }
        entries.splice(entries.begin(), entries, found->second);
        return &found->second->second;
    }

    // Keeps the handle for a text that has none kept yet; the cache owns it from now on.
    void Add(const std::string& text, Handle handle) {
        entries.emplace_front(text, handle);
        index.emplace(std::string_view(entries.front().first), entries.begin());
        while (entries.size() > capacity) {
            auto& last = entries.back();
            index.erase(std::string_view(last.first));
            release(last.second);
            entries.pop_back();
        }
    }

    // Releases every handle.
    void Clear() {
        index.clear();
        for (auto& entry : entries) {
            release(entry.second);
        }
        entries.clear();
    }

    size_t Size() const { return entries.size(); }

private:
    using Entries = std::list<std::pair<std::string, Handle>>;

    size_t capacity;
    Release release;
    // The one used last first; the index's keys are the texts held in the entries.
    Entries entries;
    std::unordered_map<std::string_view, typename Entries::iterator> index;
};

}  // namespace db
