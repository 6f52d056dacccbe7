// Replies of the Czech sales-registration service in the POS-interface framing, and the frames
// the interface builds around PMS texts.
#include "FuzzSupport.h"
#include "devices/CzechSaleRequest.h"
#include "pos/CPMSMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = fuzz::Text(data, size);
    CzechSaleRequest reply;
    reply.ParseReply(input);
    fuzz::Require(reply.success || !reply.errorMessage.empty(), "a reply that is no success says why");

    // A PMS text as a member value: the frame around it stays one frame whose checksum counts
    // the bytes after the start byte up to the first end-of-text byte.
    CzechSaleRequest request;
    request.AddMember("ReceiptNumber", input);
    const std::string frame = request.BuildFrame("1");
    fuzz::Require(frame.size() > 6 && frame.front() == 0x01 && frame.back() == CPMSMessage::kEnd,
                  "a frame starts and ends with its bytes");
    const size_t endOfText = frame.find(CPMSMessage::kEndOfText);
    fuzz::Require(endOfText == frame.size() - 6, "the member value holds no end-of-text byte of its own");
    unsigned sum = 0;
    for (size_t i = 1; i <= endOfText; ++i) {
        sum = (sum + static_cast<unsigned char>(frame[i])) & 0xFFFF;
    }
    char checksum[5];
    std::snprintf(checksum, sizeof checksum, "%04X", sum);
    fuzz::Require(frame.compare(endOfText + 1, 4, checksum) == 0, "the checksum counts the frame's bytes");
    return 0;
}
