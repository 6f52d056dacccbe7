// The worker's outcome journal as a crash, a full disk or a hand may leave it: read back at start,
// rewritten with the pending keys, and read back from that once more with nothing changed.
#include "FuzzSupport.h"
#include "platform/FileSystem.h"
#include "service/COutcomeJournal.h"

namespace {

std::string folder;

// The file as Open rewrote it, and every pending check as its record keeps it.
std::string ReadBack(COutcomeJournal& journal) {
    std::string state;
    fuzz::Require(platform::ReadFile(platform::JoinPath(folder, COutcomeJournal::kFileName), state),
                  "the rewritten journal reads");
    for (auto kind : {COutcomeJournal::State::Sending, COutcomeJournal::State::InDoubt,
                      COutcomeJournal::State::Outcome}) {
        for (const std::string& key : journal.KeysIn(kind)) {
            const COutcomeJournal::Entry* entry = journal.Find(key, 0);
            fuzz::Require(entry != nullptr && entry->state == kind, "a pending key is found in its state");
            // The check made from the record writes the same record as the check made from that.
            const std::string fields = COutcomeJournal::CheckFields(entry->Check());
            fuzz::Require(COutcomeJournal::CheckFields(COutcomeJournal::CheckFrom(fields)) == fields,
                          "a check kept reads back as itself");
            state += "\n" + key + fields;
        }
    }
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // tmpfs where there is one: every input is written, read and replaced with a sync.
    folder = fuzz::ScratchFolder("outcomes");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = platform::JoinPath(folder, COutcomeJournal::kFileName);
    fuzz::Require(platform::ReplaceFile(path, fuzz::Text(data, size)), "the input is written");
    std::string error;
    COutcomeJournal first;
    fuzz::Require(first.Open(folder, error), "any journal opens");
    const std::string once = ReadBack(first);
    COutcomeJournal second;
    fuzz::Require(second.Open(folder, error), "a rewritten journal opens");
    fuzz::Require(ReadBack(second) == once, "a rewritten journal reads back as it was written");
    return 0;
}
