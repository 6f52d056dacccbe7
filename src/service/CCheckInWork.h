#pragma once

#include <string>

#include "check/CFiscalCheck.h"
#include "config/CCheckRouter.h"
#include "devices/CPrintInterface.h"

// Where a check in the worker's hands stands; CBaseMonitoring::Advance takes it one stage on.
enum class CheckStage {
    Due,           // taken up from the storage
    Routed,        // its rows written N, rules applied, expanded, print line and printer chosen
    FileNamed,     // validated, its check file name kept with its status rows, its key fixed
    Sent,          // the attempt made (or its own late answer collected): answer tells how it ended
    Answered,      // a whole success answer: registered
    InDoubt,       // sent, no whole answer: may be registered, goes to no other printer
    Failed,        // proven not registered: due again, perhaps on the reserve printer
    LetterWritten  // the end: its letter and outcome record written, or left for a later cycle
};

// One check in the worker's hands, from the moment it is taken up to its fate: the working copy
// of the check, its route (the rules' verdict and the printer chosen) with that printer's
// interface, whether it is bound to that printer because an earlier attempt there left it in
// doubt, and how its last attempt ended. It lives for one check of one polling cycle; nothing of
// it outlives the check.
struct CCheckInWork {
    explicit CCheckInWork(const CFiscalCheck& due) : check(due) {}

    CFiscalCheck check;
    // What the rules said and the printer chosen (route.printer: the reserve after a failure).
    CheckRoute route;
    CPrintInterface* device = nullptr;  // owned by the worker's interface map
    CheckStage stage = CheckStage::Due;
    // Facts of an earlier exchange rather than stages of this one: left in doubt on route.printer
    // before (no reserve printer, the same check file name), and still in doubt from it until a
    // late answer settles it.
    bool pinned = false;
    bool inDoubt = false;
    // The check's key in the outcome journal: that of its entry when it is in doubt from before,
    // else fixed before its first attempt. Every record of the exchange goes under it, whatever
    // the answer puts into the check (a Czech FIK, a Mongolian printed file name).
    std::string key;
    // Nothing was sent: the outcome journal could not take the sending record.
    bool journalRefused = false;
    // The database refused the check's first status write.
    bool statusRefused = false;
    AnswerKind answer = AnswerKind::None;
    // What the operator is told about the check.
    std::string message;
};
