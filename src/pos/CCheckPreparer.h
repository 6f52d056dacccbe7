#pragma once

#include <map>
#include <string>

#include "check/CFiscalCheck.h"

class CLogFile;

// Makes a due check's postings ready for its device, writing each step to the log: the items of
// the restaurant (interface) checks in place of their postings, repeated postings merged and the
// signs checked; in check mode 7 the agent requisites of the posting codes that have them.
class CCheckPreparer {
public:
    explicit CCheckPreparer(CLogFile& log) : log(log) {}

    // From AgentDetails.txt and the configuration's agent tax group.
    void SetAgentRequisites(std::map<int, std::string> requisites, std::string tax) {
        agentRequisites = std::move(requisites);
        agentTax = std::move(tax);
    }
    const std::map<int, std::string>& AgentRequisites() const { return agentRequisites; }

    // Interface checks expanded and the postings merged; true when the rules passed (rulesOk)
    // and the signs agree, otherwise the check's error text goes to the log.
    bool Prepare(CFiscalCheck& check, bool rulesOk);
    // Every posting whose code has agent requisites carries them, its agent's share split off as
    // a posting of its own; true when a posting changed.
    bool ApplyAgentData(CFiscalCheck& check);
    // The check as text, at that detail, into the log.
    void WriteCheckText(CFiscalCheck& check, int detail, const std::string& title = "");

private:
    void ExpandInterfaceChecks(CFiscalCheck& check);

    CLogFile& log;
    std::map<int, std::string> agentRequisites;
    std::string agentTax;
};
