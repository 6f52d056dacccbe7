#pragma once

#include <string>
#include <vector>

#include "pos/CMicrosMessage.h"

// One "Sale" request to the Czech sales-registration service and what its reply said. Made fresh
// for every check and dropped after the reply.
class CzechSaleRequest {
public:
    // Nested objects of a reply deeper than this are not read (every level is read twice).
    static constexpr int kMaxReplyDepth = 8;

    // Appends "name":"value". The value is escaped the JSON way (quote, backslash, control
    // bytes), so that a PMS text can neither end the string early nor add members of its own;
    // any other byte goes as it is.
    void AddMember(const std::string& name, const std::string& value);
    // The members as one JSON object without blanks.
    std::string JsonObject() const;
    // The POS-interface frame of the request: the source, command "Sale" and the JSON object as
    // its one field.
    std::string BuildFrame(const std::string& source);
    // Fills the reply fields from a reply: the third 0x1C-separated part is a JSON object.
    void ParseReply(const std::string& reply);

    static std::string Escape(const std::string& value);

    std::vector<std::string> members;
    CMicrosMessage frames;

    bool success = false;
    std::string fik;
    std::string pkp;
    std::string bkp;
    std::string replyErrorCode;
    std::string replyErrorText;
    std::string errorMessage;

private:
    void ReadObject(const std::string& object, int depth);
    void ReadPair(const std::string& pair);
};
