#include "service/CCheckLedger.h"

#include "log/CLogFile.h"
#include "platform/Text.h"
#include "storage/CFiscalStorage.h"

bool CCheckLedger::WriteLetter(CFiscalCheck& check, CheckStatusLetter letter) {
    if (storage->SetCheckStatus(check, letter)) {
        return true;
    }
    // A lasting fault of the database writes this at every cycle: counted, not repeated.
    log.WriteRepeating(text::Format("Status %s of check %s not written: %s", LetterText(letter).c_str(),
                                    check.checkNumber.c_str(), storage->GetLastError().c_str()));
    return false;
}

bool CCheckLedger::Sending(const std::string& key, const std::string& printer, const CFiscalCheck& check) {
    if (outcomes.Sending(key, printer, check)) {
        return true;
    }
    Refused("sending " + key);
    return false;
}

bool CCheckLedger::InDoubt(const std::string& key, AnswerKind answer) {
    if (outcomes.InDoubt(key, answer)) {
        return true;
    }
    // Its sending record says in doubt as well.
    Refused("doubt " + key);
    return false;
}

bool CCheckLedger::Outcome(const std::string& key, const std::string& printer, const CFiscalCheck& check) {
    if (outcomes.Outcome(key, printer, check)) {
        return true;
    }
    log.WriteText("The outcome journal " + outcomes.Path() + " cannot be written: the registration of check " +
                  check.checkNumber + " goes to the database only");
    Refused("outcome " + key);
    return false;
}

bool CCheckLedger::Settle(const std::string& key) {
    if (SettleNow(key)) {
        return true;
    }
    settleLater.insert(key);
    Refused("settled " + key);
    return false;
}

bool CCheckLedger::Sync() {
    if (outcomes.Sync()) {
        return true;
    }
    log.WriteRepeating("The outcome journal " + outcomes.Path() + " cannot be synced to the disk");
    return false;
}

bool CCheckLedger::Mend() {
    if (!broken) {
        return true;
    }
    // What memory holds is the state, records that missed the file included: written whole it
    // is on disk again.
    if (!outcomes.Compact()) {
        log.WriteRepeating("The outcome journal " + outcomes.Path() + " still cannot be rewritten");
        return false;
    }
    for (auto key = settleLater.begin(); key != settleLater.end(); key = settleLater.erase(key)) {
        if (!SettleNow(*key)) {
            log.WriteRepeating("The outcome journal " + outcomes.Path() + " still refuses the record settled " +
                               *key);
            return false;
        }
    }
    broken = false;
    log.WriteText("The outcome journal " + outcomes.Path() + " can be written again");
    return true;
}

bool CCheckLedger::SettleNow(const std::string& key) {
    const COutcomeJournal::Entry* entry = outcomes.Find(key, 0);
    if (!entry) {
        return true;
    }
    const std::string printer = entry->printer;
    const CFiscalCheck check = entry->Check();
    if (!outcomes.Settled(key)) {
        return false;
    }
    if (settledHandler) {
        settledHandler(printer, key, check);
    }
    return true;
}

void CCheckLedger::Refused(const std::string& record) {
    if (!broken) {
        log.WriteText(
            text::Format("The outcome journal %s refused the record %s: nothing is sent and payments are "
                         "blocked until it can be written again",
                         outcomes.Path().c_str(), record.c_str()));
    }
    broken = true;
}
