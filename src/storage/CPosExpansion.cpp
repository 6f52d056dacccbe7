#include "storage/CPosExpansion.h"

#include <cmath>

#include "check/CCurrencyArray.h"

double CPosExpansion::ReferenceSum(const CFiscalCheck& check, const std::string& reference) {
    double sum = 0;
    for (const struct_posting& p : check.postings) {
        if (p.cheque_number == reference) {
            sum += p.trx_amount;
        }
    }
    return sum;
}

double CPosExpansion::Sum(const std::vector<struct_posting>& lines) {
    double sum = 0;
    for (const struct_posting& p : lines) {
        sum += p.trx_amount;
    }
    return sum;
}

bool CPosExpansion::SumsAgree(double pmsSum, double posSum) {
    // Binary fractions put 10.005 - 10.00 a hair below 0.005: a difference of half a cent
    // written in cents must not pass for less. Not-a-number never agrees.
    constexpr double kTolerance = 0.005 - 1e-9;
    return std::fabs(pmsSum - posSum) < kTolerance;
}

std::string CPosExpansion::CompletePrintText(const std::string& lineText, const std::string& postingText) {
    if (lineText.find('x') == std::string::npos) {
        return postingText;
    }
    const char mark = postingText.empty() ? '4' : postingText[0];
    std::string out = lineText;
    for (char& c : out) {
        if (c == 'x') {
            c = mark;
        }
    }
    return out;
}

void CPosExpansion::InsertLines(CFiscalCheck& check, const std::string& reference,
                                const std::vector<struct_posting>& lines) {
    double replacedNet = 0;
    for (const struct_posting& p : check.postings) {
        if (p.cheque_number == reference) {
            replacedNet += p.net_amount;
        }
    }
    const std::vector<double> nets = NetShares(lines, replacedNet);
    std::vector<struct_posting> result;
    result.reserve(check.postings.size() + lines.size());
    bool inserted = false;
    for (const struct_posting& p : check.postings) {
        if (p.cheque_number != reference) {
            result.push_back(p);
        } else if (!inserted) {
            for (size_t i = 0; i < lines.size(); ++i) {
                struct_posting line = lines[i];
                line.print_text = CompletePrintText(line.print_text, p.print_text);
                line.net_amount = nets[i];
                result.push_back(line);
            }
            inserted = true;
        }
    }
    if (inserted) {
        // A device that registers net amounts checks their sum against the check's.
        check.netTotal += Sum(nets) - replacedNet;
    }
    check.postings = std::move(result);
}

std::vector<double> CPosExpansion::NetShares(const std::vector<struct_posting>& lines, double net) {
    std::vector<double> shares;
    for (const struct_posting& line : lines) {
        shares.push_back(line.trx_amount);
    }
    double gross = Sum(lines);
    if (shares.empty() || net == 0 || SumsAgree(gross, net) || SumsAgree(gross, 0)) {
        // The PMS gave no net amount (or none apart from the amount): the POS amounts are net.
        return shares;
    }
    CCurrencyArray parts(static_cast<uint32_t>(shares.size()));
    for (size_t i = 0; i < shares.size(); ++i) {
        parts.Item(static_cast<uint32_t>(i)) = CCurrency::Of(shares[i]);
    }
    // Each line its share of the POS posting's net amount, the cents adding up to it exactly.
    parts.Prorate(CCurrency::Of(gross), CCurrency::Of(net), CCurrency::Of(net), true);
    for (size_t i = 0; i < shares.size(); ++i) {
        shares[i] = static_cast<double>(parts.Item(static_cast<uint32_t>(i)).AsDouble());
    }
    return shares;
}

double CPosExpansion::Sum(const std::vector<double>& amounts) {
    double sum = 0;
    for (double amount : amounts) {
        sum += amount;
    }
    return sum;
}

void CPosExpansion::ClearReference(CFiscalCheck& check, const std::string& reference) {
    for (struct_posting& p : check.postings) {
        if (p.cheque_number == reference) {
            p.cheque_number.clear();
        }
    }
}

void CPosExpansion::ConvertCodes(CFiscalCheck& check, const CRuleLists& rules,
                                 const PrinterCode& printerCode) {
    for (struct_posting& p : check.postings) {
        // A second POS check of the same hotel check converts again: a printer code taken for a
        // PMS code would name another article.
        if (p.code_converted) {
            continue;
        }
        if (CRuleLists::Has(rules.discounts, p.trx_code) ||
            CRuleLists::Has(rules.serviceCharges, p.trx_code)) {
            p.code_converted = true;
        } else if (p.pos_number != 0) {
            p.trx_code = p.pos_number;
            p.code_converted = true;
        } else if (const int code = printerCode(p.trx_code, p.description); code != 0) {
            p.trx_code = code;
            p.code_converted = true;
        }
        // Without a printer code (the code table out of reach) the posting keeps its PMS code,
        // which a later conversion may still take up.
    }
}
