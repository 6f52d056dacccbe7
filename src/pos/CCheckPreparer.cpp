#include "pos/CCheckPreparer.h"

#include <cmath>
#include <cstddef>
#include <set>
#include <vector>

#include "check/CCurrency.h"
#include "log/CLogFile.h"
#include "platform/CodePage.h"
#include "platform/Text.h"
#include "pos/CMicrosCheck.h"

namespace {

double RoundToCents(double amount) { return static_cast<double>(CCurrency::Of(amount).AsDouble()); }

}  // namespace

bool CCheckPreparer::Prepare(CFiscalCheck& check, bool rulesOk) {
    ExpandInterfaceChecks(check);
    if (rulesOk && check.CheckSigns()) {
        return true;
    }
    log.WriteText(check.errorText);
    return false;
}

void CCheckPreparer::WriteCheckText(CFiscalCheck& check, int detail, const std::string& title) {
    log.WriteList(check.BuildText(detail, title));
}

void CCheckPreparer::ExpandInterfaceChecks(CFiscalCheck& check) {
    std::set<std::string> handled;
    size_t i = 0;
    while (i < check.postings.size()) {
        const struct_posting& posting = check.postings[i];
        if (posting.line_type != 14 || posting.cheque_number.empty() || handled.count(posting.cheque_number)) {
            ++i;
            continue;
        }
        std::string number = posting.cheque_number;
        handled.insert(number);
        log.WriteText("Interface Check " + number);
        CMicrosCheck pos(check);
        pos.postings.clear();
        pos.payments.clear();
        for (const struct_posting& p : check.postings) {
            if (p.cheque_number == number) {
                pos.postings.push_back(p);
            }
        }
        log.WriteList(pos.DumpText(""));
        if (!pos.PrepareCheck()) {
            ++i;
            continue;
        }
        log.WriteText("Interface check:");
        log.WriteList(pos.DumpText(""));
        // The POS items take the place of the postings of that number, where the first one stood.
        std::vector<struct_posting> replaced;
        bool inserted = false;
        for (const struct_posting& p : check.postings) {
            if (p.cheque_number != number) {
                replaced.push_back(p);
            } else if (!inserted) {
                replaced.insert(replaced.end(), pos.postings.begin(), pos.postings.end());
                inserted = true;
            }
        }
        check.postings = std::move(replaced);
        // The list changed under the scan: start it again; handled numbers are passed over.
        i = 0;
    }
    WriteCheckText(check, 2);
    check.MergePostings();
    WriteCheckText(check, 2);
}

bool CCheckPreparer::ApplyAgentData(CFiscalCheck& check) {
    if (agentRequisites.empty()) {
        return false;
    }
    bool changed = false;
    size_t i = 0;
    while (i < check.postings.size()) {
        struct_posting& posting = check.postings[i];
        auto found = agentRequisites.find(posting.trx_code);
        if (!posting.agent.empty() || found == agentRequisites.end()) {
            ++i;
            continue;
        }
        std::vector<std::string> partsOfText;
        for (const std::string& part : text::Split(found->second, '=')) {
            if (!part.empty()) {
                partsOfText.push_back(part);
                log.WriteText(part);
            }
        }
        if (partsOfText.empty()) {
            // Nothing to set: the posting stays as it is and the scan goes on past it.
            ++i;
            continue;
        }
        struct_posting updated = posting;
        updated.agent = partsOfText[0];
        int percentage = partsOfText.size() > 1 ? text::ToInt(text::ReplaceAll(partsOfText[1], "%", "")) : 0;
        std::string agentName = partsOfText.size() > 2 ? partsOfText[2] : "";
        if (percentage != 0) {
            double former = posting.trx_amount;
            struct_posting agentPosting = posting;
            agentPosting.trx_amount = RoundToCents(former / 100.0 * percentage);
            agentPosting.quantity = 1.0;
            agentPosting.tax_group = agentTax;
            agentPosting.description = platform::Cp1251("Агентское вознаграждение ") + agentName;
            agentPosting.agent = "XXX";
            updated.trx_amount = RoundToCents(former - agentPosting.trx_amount);
            double difference = former - (updated.trx_amount + agentPosting.trx_amount);
            if (std::fabs(difference) >= 0.005) {
                agentPosting.trx_amount += std::fabs(difference);
            }
            check.postings[i] = updated;
            check.postings.insert(check.postings.begin() + static_cast<std::ptrdiff_t>(i) + 1, agentPosting);
        } else {
            check.postings[i] = updated;
        }
        changed = true;
        i = 0;
    }
    WriteCheckText(check, 4, "Agent");
    return changed;
}

