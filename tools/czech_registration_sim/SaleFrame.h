#pragma once

#include <string>
#include <utility>
#include <vector>

// A request of the Czech sales registration as the registration service receives it: a frame of
// the POS interface (start byte, source, "PMS Fiscal", sequence, command, fields, end of text,
// checksum, end byte) whose one field is a flat JSON object of text members. Read strictly, so
// that the simulator notices whatever a real service would refuse. Written independently of the
// service's own frame builder, so that the two check each other.
struct SaleFrame {
    static constexpr char kStart = 0x01;
    static constexpr char kStartOfText = 0x02;
    static constexpr char kEndOfText = 0x03;
    static constexpr char kEnd = 0x04;
    static constexpr char kSeparator = 0x1C;

    std::string source;  // as framed, with its padding
    int sequence = 0;
    std::string command;
    std::vector<std::string> fields;
    // The members of the JSON object, unescaped, in order.
    std::vector<std::pair<std::string, std::string>> members;

    // Reads the frame (which ends with its end byte) and its JSON field; false with the reason
    // when the frame, its checksum or the JSON is not right.
    static bool Read(const std::string& frame, SaleFrame& sale, std::string& error);
    // Reads a flat JSON object of text members.
    static bool ReadJson(const std::string& json, std::vector<std::pair<std::string, std::string>>& members,
                         std::string& error);
    // Whether the members are those of a "Sale" request, in their order, with values of the
    // right form; false with the reason.
    bool CheckMembers(std::string& error) const;
    // The value of a member, empty when there is none.
    std::string Member(const std::string& name) const;
    bool Has(const std::string& name) const;

    // A frame in the same framing (used for the replies).
    static std::string Write(const std::string& source, int sequence, const std::string& command,
                             const std::vector<std::string>& fields);
    static unsigned Checksum(const std::string& frame);
};
