#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "check/CFiscalCheck.h"
#include "devices/CPrintInterface.h"

// The worker's record, on disk beside the check journal, of every check it has sent to a device
// and not yet settled, so that neither a crash nor a database that refuses a write makes it
// register a check twice or lose one.
//
// The file is "fisc_outcomes.log" in the check journal's base folder (the program folder, or the
// state folder of the installed service). One
// record per line; fields are separated by TAB, each "name=value", with TAB, LF, CR and "\"
// inside a value written as "\t", "\n", "\r" and "\\". The first field is the kind:
//   sending  the check is about to go to its printer: until a later record of its key says
//            otherwise it is in doubt there (written before the device is called)
//   doubt    the answer did not come whole: answer=timed out or answer=cut
//   outcome  registered: fiscal=, printerId=, shift= and what the status writes need; the status
//            table does not hold it yet (written before the status writes start)
//   settled  in the status table, or proven not registered: nothing is pending for the key
// A record is in the file, and so survives the end of the process, as soon as it is written; it
// is synced to the disk, to survive the end of the machine too, when it must outlive the moment:
// a registration the database refused (Sync), and the file rewritten at start.
// Every record has key= (the ExchangeKey: the check file name, or "bill/first transaction"),
// time= (dd.mm.yyyy hh:mm:ss), printer=, trx= (first transaction) and answer=, then the check's
// own fields: check= (bill number), fiscal=, file= (check file name) and what the status writes
// need. The last record of a key is its state. One exchange keeps one key from its sending record
// to its settled one, whatever the answer puts into the check. The file is compacted (rewritten
// with only the keys still pending) at every start and whenever it has grown beyond 64 KiB and
// twice what is pending. A record is on disk before the state in memory changes: a record that
// cannot be written leaves the key as it was. A reader of the state (the operator's status
// command) takes the last record per key: sending or doubt = in doubt on that printer, outcome =
// registered, waiting for the database.
class COutcomeJournal {
public:
    static constexpr const char* kFileName = "fisc_outcomes.log";
    static constexpr int64_t kLongestFile = 64 * 1024;

    enum class State { Sending, InDoubt, Outcome };
    struct Entry {
        std::string key;
        State state = State::Sending;
        std::string printer;
        AnswerKind answer = AnswerKind::None;
        std::string time;
        int firstTransaction = 0;
        // The check as the record keeps it (CheckFields).
        std::string checkFields;
        // What the status writes, the journal and the refund's check number need of the check.
        CFiscalCheck Check() const;
    };

    // Reads the file of the folder back and rewrites it with the pending keys only. False (with
    // the reason) when it cannot be read or written: the worker then registers nothing.
    bool Open(const std::string& folder, std::string& error);
    // Reads the file of the folder without changing it: for a reader beside a running service
    // (the status command). False (with the reason) when it exists but cannot be read.
    bool Read(const std::string& folder, std::string& error);
    const std::string& Path() const { return path; }

    // Each returns false when the record could not be written; the key's state is then as it was.
    [[nodiscard]] bool Sending(const std::string& key, const std::string& printer, const CFiscalCheck& check);
    [[nodiscard]] bool InDoubt(const std::string& key, AnswerKind answer);
    [[nodiscard]] bool Outcome(const std::string& key, const std::string& printer, const CFiscalCheck& check);
    [[nodiscard]] bool Settled(const std::string& key);
    // Rewrites the file with the pending keys only; false when it could not be replaced.
    bool Compact();
    // Syncs the file to the disk: the registrations it holds outlive a power failure.
    bool Sync();

    // The entry of a key, or of a check whose first transaction is trxNo; nullptr when none.
    const Entry* Find(const std::string& key, int trxNo) const;
    const std::map<std::string, Entry>& Entries() const { return entries; }
    std::vector<std::string> KeysIn(State state) const;

    // The parts of a check a record keeps ("\tname=value" each), and the check made back from them.
    static std::string CheckFields(const CFiscalCheck& check);
    static CFiscalCheck CheckFrom(const std::string& checkFields);

private:
    // A sending or outcome record, in the file before it counts.
    bool Keep(State state, const std::string& key, const std::string& printer, const CFiscalCheck& check);
    bool Append(const std::string& kind, const std::string& key, const Entry& entry);
    void Apply(const std::string& line);
    static Entry EntryOf(State state, const std::string& printer, const CFiscalCheck& check);
    std::string RecordOf(const std::string& kind, const std::string& key, const Entry& entry) const;

    // Applies a record to the state in memory.
    void Enter(const std::string& kind, const std::string& key, const Entry& entry);
    // The compaction after a settled record, once the file has grown.
    bool CompactWhenGrown();

    std::string path;
    std::map<std::string, Entry> entries;
    // The size of the file when it was last compacted.
    int64_t compactedSize = 0;
};
