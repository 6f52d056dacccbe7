#pragma once

#include <functional>
#include <string>
#include <vector>

#include "check/CFiscalCheck.h"
#include "config/CRuleLists.h"

// How a hotel check's postings change when the POS posting of a reference is replaced by the
// lines of its POS check, whichever back-end fetched them: the sums that must agree, the lines
// put in the POS posting's place, the reference given up when the POS check cannot be read,
// and the small printer codes of the postings.
class CPosExpansion {
public:
    // Gives the printer code of a PMS code and its description, 0 when there is none.
    using PrinterCode = std::function<int(int pmsCode, const std::string& description)>;

    // The sum of the check's postings that carry the reference.
    static double ReferenceSum(const CFiscalCheck& check, const std::string& reference);
    static double Sum(const std::vector<struct_posting>& lines);
    static double Sum(const std::vector<double>& amounts);
    // The PMS and the POS agree when the sums differ by less than 0.005.
    static bool SumsAgree(double pmsSum, double posSum);
    // The POS lines take the place of the first posting of the reference, in their order, each
    // with its print text completed from that posting's; the other postings of the reference go.
    // Each line gets its share of the replaced postings' net amount (the check's net total
    // follows), so that a device that registers net amounts sends the items' own.
    static void InsertLines(CFiscalCheck& check, const std::string& reference,
                            const std::vector<struct_posting>& lines);
    // The lines' shares of a net amount, in proportion to their amounts and adding up to it to
    // the cent; the amounts themselves when there is no net amount apart from them.
    static std::vector<double> NetShares(const std::vector<struct_posting>& lines, double net);
    // A line's print text under the POS posting's: every "x" becomes the posting's first
    // character ("4" when it has none); a text without "x" is the posting's.
    static std::string CompletePrintText(const std::string& lineText, const std::string& postingText);
    // The postings of the reference lose it: they are fiscalised as booked and the reference is
    // not tried again for this check.
    static void ClearReference(CFiscalCheck& check, const std::string& reference);
    // Every posting not converted before takes a printer code: discount and service-charge
    // codes stay, a POS number replaces the code, else the printer code when there is one.
    static void ConvertCodes(CFiscalCheck& check, const CRuleLists& rules, const PrinterCode& printerCode);
};
