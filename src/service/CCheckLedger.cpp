#include "service/CCheckLedger.h"

#include "devices/CPrintInterface.h"
#include "journal/CCheckLogger.h"
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

bool CCheckLedger::Registered(CFiscalCheck& check, const CPrinterControl& printer, const std::string& key) {
    if (!Outcome(key, printer.name, check)) {
        Tell(Event::JournalRefused);
    }
    Tell(Event::Recorded);
    return WriteRegistration(check, printer, key);
}

bool CCheckLedger::WriteRegistration(CFiscalCheck& check, const CPrinterControl& printer, const std::string& key) {
    bool written = storage->SaveFiscalData(check);
    if (written && saveFiscalResult) {
        written = storage->SaveFiscalResult(check);
    }
    if (!written || !WriteLetter(check, CheckStatusLetter::Registered)) {
        // The outcome journal is now the only record of the registration besides the device; a
        // sync it refused is logged, and the record is in the file all the same.
        static_cast<void>(Sync());
        log.WriteRepeating(text::Format(
            "Registration of check %s (fiscal number %s, printer %s) kept in %s until the database "
            "takes it: %s",
            check.checkNumber.c_str(), check.fiscalNumber.c_str(), printer.name.c_str(), outcomes.Path().c_str(),
            storage->GetLastError().c_str()));
        Tell(Event::DatabaseRefused);
        return false;
    }
    if (journal) {
        journal->JournalCheck(printer, check);
    }
    if (saveRefundNumber && !check.payments.empty() && check.payments[0].pay_kind == 0 && check.paymentsTotal > 0 &&
        !storage->SaveCheckNumber(check.payments[0].trx_no, check.receiptNumber)) {
        log.WriteRepeating("Check number of the refund reference not written: " + storage->GetLastError());
    }
    if (!Settle(key)) {
        Tell(Event::JournalRefused);
    }
    return true;
}

void CCheckLedger::KeptInDoubt(CFiscalCheck& check, const std::string& key, AnswerKind answer) {
    if (!InDoubt(key, answer)) {
        Tell(Event::JournalRefused);
    }
    SaveFiscalData(check);
}

void CCheckLedger::Failed(CFiscalCheck& check, const std::string& key, bool settle) {
    SaveFiscalData(check);
    if (settle && !Settle(key)) {
        Tell(Event::JournalRefused);
    }
    log.WriteText("Unsuccessful");
    // A letter the database refuses leaves the row N all the same.
    static_cast<void>(WriteLetter(check, CheckStatusLetter::NotRegistered));
}

bool CCheckLedger::Close(CFiscalCheck& check, ClosedChecks::Why why, const std::string& remark) {
    if (!remark.empty()) {
        storage->SetCheckRemark(check, remark);
    }
    if (!WriteLetter(check, CheckStatusLetter::Registered)) {
        return false;
    }
    storage->closedToday.Add(why);
    return true;
}

bool CCheckLedger::KeepCheckFileName(CFiscalCheck& check, const std::string& name) {
    check.SetPrintedFileName(name);
    if (check.printedFileName.empty() || storage->SaveCheckFileName(check)) {
        return true;
    }
    log.WriteRepeating(text::Format("Check file name %s of check %s not kept: %s. The check waits for a later cycle",
                                    name.c_str(), check.checkNumber.c_str(), storage->GetLastError().c_str()));
    check.printedFileName.clear();
    return false;
}

void CCheckLedger::SaveFiscalData(CFiscalCheck& check) {
    if (!storage->SaveFiscalData(check)) {
        log.WriteRepeating("Fiscal data of check " + check.checkNumber + " not written: " + storage->GetLastError());
    }
}

const COutcomeJournal::Entry* CCheckLedger::EntryOf(const CFiscalCheck& check) const {
    return outcomes.Find(ExchangeKey(check), check.payments.empty() ? 0 : check.payments.front().trx_no);
}

bool CCheckLedger::ValidateCheck(CFiscalCheck& check, const std::string& printerName) {
    return storage->ValidateCheck(check, printerName);
}
