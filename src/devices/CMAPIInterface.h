#pragma once

#include <cstdint>
#include <string>

#include "devices/CAnswerReader.h"
#include "devices/CBillSequence.h"
#include "devices/CMAPICommand.h"
#include "devices/CPrintInterface.h"

// The Mongolian tax-API interface (printer type 9): one text command per check over a fresh
// connection to the tax service, a sale with its bill header and stock lines or a return that
// names the sale, and one '#'-separated reply to it.
//
// Every sale carries a bill sequence number from "seq.txt" in the check journal's folder. A
// number that went out is never given to another check: a sale left without an answer (late,
// cut, unreadable) is in doubt, and when the check comes again it goes with the same number, so
// the service can tell it is the same bill. The connection is closed after every check, so a
// late answer is never waited for: the check is sent again instead.
class CMAPIInterface : public CPrintInterface {
public:
    // Adds the district code of the tax service to the shared settings.
    bool Configure(CFiscalINI& configuration) override;
    bool PrintCheck(CFiscalCheck& check, bool saveDescriptionOnly) override;
    // A sale in doubt goes again with the bill number held for it (a sale in doubt without one
    // never went out: it goes with a new number); a return names its sale, and the service
    // answers a second return of a sale with the first one's registration. So a check in doubt is
    // never closed by hand.
    bool CanRepeat(const CFiscalCheck&) const override { return true; }
    // The bill number held for the sale is let go only now that its end is journalled.
    void ExchangeSettled(const std::string& key, const CFiscalCheck& check) override;
    bool PrintSlip(CPrinterControl& printer) override { return false; }
    bool ShowMessage(CPrinterControl& printer, const std::string& message) override { return false; }

    // The bill sequence number for the check with that key, stored as sent before it is
    // returned, and the following one stored as the next; 0 when they could not be stored (the
    // check must not go out then).
    int32_t NextSequence(const std::string& key);
    // Sends the command and reads the reply; on success the reply's values go into the check.
    // A refusal is a DeviceError; a reply that is late, broken off or unreadable leaves the check
    // in doubt (TimedOut, Cut).
    AnswerKind SendAndWait(CMAPICommand& command, const std::string& text, CFiscalCheck& target);

    // The key under which the sequence number of a check is held until its end is journalled:
    // the printer's name and the exchange's key.
    std::string CheckKey(const std::string& exchange) const { return control.name + "/" + exchange; }
    CBillSequence Sequence() const { return CBillSequence(checkLogger.GetBaseFolder()); }

private:
    AnswerKind Register(CFiscalCheck& check);
    // Before a number held for a check goes out again: the next number is stored past it.
    bool KeepNextAfter(int32_t sent);
    // The reply is whole at its end mark; what came by the end of the answer time without it is
    // taken as the reply too.
    static CAnswerReader::Rule ReplyRule();
    void Fail(const std::string& text);

    std::string districtCode;
    CAnswerReader reader{channel, ReplyRule()};
};
