#include "devices/CBillSequence.h"

#include <cerrno>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

// The number is read from the first characters of the file only.
constexpr size_t kReadLength = 10;

}  // namespace

CBillSequence::CBillSequence(std::string path) : folder(std::move(path)) {}

bool CBillSequence::Read(int32_t& next, int& error, bool& missing) const {
    std::string content;
    errno = 0;
    if (!platform::ReadFile(Path(), content)) {
        error = errno;
        missing = error == ENOENT;
        return false;
    }
    next = text::ToInt(content.substr(0, kReadLength));
    return true;
}

bool CBillSequence::Store(int32_t next, int& error) const {
    if (platform::ReplaceFile(Path(), text::Format("%d", next))) {
        return true;
    }
    error = errno;
    return false;
}

std::map<std::string, int32_t> CBillSequence::ReadSent() const {
    std::map<std::string, int32_t> sent;
    std::string content;
    platform::ReadFile(SentPath(), content);
    for (const std::string& line : text::Split(content, '\n')) {
        size_t tab = line.rfind('\t');
        if (tab != std::string::npos && tab > 0) {
            sent[line.substr(0, tab)] = text::ToInt(line.substr(tab + 1));
        }
    }
    return sent;
}

bool CBillSequence::WriteSent(const std::map<std::string, int32_t>& sent, int& error) const {
    std::string content;
    for (const auto& [key, number] : sent) {
        content += text::Format("%s\t%d\n", key.c_str(), number);
    }
    if (platform::ReplaceFile(SentPath(), content)) {
        return true;
    }
    error = errno;
    return false;
}

int32_t CBillSequence::SentFor(const std::string& key) const {
    std::map<std::string, int32_t> sent = ReadSent();
    auto found = sent.find(key);
    return found == sent.end() ? 0 : found->second;
}

bool CBillSequence::IsSent(int32_t number) const {
    for (const auto& [key, held] : ReadSent()) {
        if (held == number) {
            return true;
        }
    }
    return false;
}

bool CBillSequence::Remember(const std::string& key, int32_t number, int& error) const {
    std::map<std::string, int32_t> sent = ReadSent();
    sent[key] = number;
    return WriteSent(sent, error);
}

bool CBillSequence::Forget(const std::string& key, int& error) const {
    std::map<std::string, int32_t> sent = ReadSent();
    if (sent.erase(key) == 0) {
        return true;
    }
    return WriteSent(sent, error);
}
