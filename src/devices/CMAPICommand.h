#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CFiscalCheck;
struct struct_posting;

// One stock line of a sale: a posting as the tax service takes it.
struct stocks_type {
    int32_t code = 0;
    std::string name;  // the posting's description without the separators '#', '=' and '@'
    double quantity = 0;
    double unitPrice = 0;
    double amount = 0;
    double extraAmount2 = 0;
    double extraAmount1 = 0;

    static stocks_type Of(const struct_posting& posting);
    // "code#name#unit#quantity#price#amount#extra2#extra1#".
    std::string Text() const;
};

// The text command of one check for the Mongolian tax service and the service's reply to it.
//
// A sale is the bill header, one stock line per posting and the end mark:
//   total#tax0#cash#noncash#tax1#district#printer#taxpayer#doctype#sequence#group#=
//   code#name#unit#qty#price#amount#extra2#extra1#@ ... &
// A return names the sale it reverses: "R#<sale's fiscal number>#<sale's printed file name>#&".
// The reply is '#'-separated and starts with "0" on success; the end mark '&' belongs to no value.
class CMAPICommand {
public:
    static constexpr char kField = '#';
    static constexpr char kSection = '=';
    static constexpr char kStock = '@';
    static constexpr char kEnd = '&';
    static constexpr const char* kMask2 = "XXXXXXXXXX";
    static constexpr const char* kMask3 = "YYYYYYYYYY";

    CMAPICommand(std::string districtCode, std::string printerName, int32_t billSequence);

    // The sale command of the check; stockLines and stocks hold its postings afterwards.
    std::string BuildSale(const CFiscalCheck& check);
    std::string BuildReturn(const CFiscalCheck& check) const;
    // Fills the reply fields from the service's answer (missing fields stay empty).
    void ParseReply(const std::string& reply);
    // The reply as the log may show it: every occurrence of the second and third values (and of
    // their fields as they arrived) masked.
    std::string MaskedReply(const std::string& reply) const;
    // The error text of a refused command: code, one blank, message.
    std::string ErrorText() const;
    // The reply refused the command: its first field is a number other than 0. Anything else
    // that is not a success says nothing about what the service did with the command.
    bool IsRefusal() const;

    std::string districtCode;
    std::string printerName;
    int32_t billSequence = 0;
    std::vector<std::string> stockLines;
    std::vector<stocks_type> stocks;

    bool replyOk = false;
    std::string replyValue1;
    std::string replyValue2;
    std::string replyValue3;
    std::string replyValue4;
    std::string replyErrorCode;
    std::string replyErrorMessage;

private:
    // The reply's first field and its raw second and third values, as they arrived.
    std::string replyStatus;
    std::string rawValue2;
    std::string rawValue3;
};
