#pragma once

#include <cstdint>
#include <map>
#include <string>

// The files behind the bill sequence numbers of the Mongolian tax service, in one folder:
// "seq.txt" holds the next number as decimal text, and "seq_sent.txt" the numbers that went out
// with a sale the service has not answered yet, one "<check key>\t<number>" line each. A
// number in the second file belongs to its check until an answer comes: the check sends it
// again, and no other check is given it. Both files are replaced whole, so that a crash leaves
// one version or the other, never a broken one. Every operation reads the files afresh: the
// interfaces of all printers share them. Runs on the worker thread only.
class CBillSequence {
public:
    static constexpr int32_t kLast = 999999;
    static constexpr const char* kFileName = "seq.txt";
    static constexpr const char* kSentFileName = "seq_sent.txt";

    // folder: with a trailing "/".
    explicit CBillSequence(std::string folder);

    std::string Path() const { return folder + kFileName; }
    std::string SentPath() const { return folder + kSentFileName; }

    // The next number as stored (0 for a file that holds no number). False when the file cannot
    // be opened; error is then the system's code and missing tells whether it does not exist.
    bool Read(int32_t& next, int& error, bool& missing) const;
    bool Store(int32_t next, int& error) const;

    // The number sent for the check and not yet answered; 0 when there is none.
    int32_t SentFor(const std::string& key) const;
    bool IsSent(int32_t number) const;
    bool Remember(const std::string& key, int32_t number, int& error) const;
    // The check has its answer: its number is no longer held for it.
    bool Forget(const std::string& key, int& error) const;

private:
    std::map<std::string, int32_t> ReadSent() const;
    bool WriteSent(const std::map<std::string, int32_t>& sent, int& error) const;

    std::string folder;
};
