// Sale frames as the Czech registration simulator reads them, and the service's request built
// from PMS texts: whatever the texts hold, the service's JSON reads back as those texts.
#include "FuzzSupport.h"
#include "SaleFrame.h"
#include "devices/CzechSaleRequest.h"
#include "pos/CPMSMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = fuzz::Text(data, size);

    // Any bytes: read or refused, never more.
    SaleFrame sale;
    std::string error;
    if (SaleFrame::Read(input, sale, error)) {
        fuzz::Require(!sale.fields.empty() && sale.command == "Sale", "an accepted frame is a Sale with a field");
        fuzz::Require(sale.sequence >= 1 && sale.sequence <= 99, "an accepted sequence is 1 to 99");
        std::string checkMembers;
        sale.CheckMembers(checkMembers);
    } else {
        fuzz::Require(!error.empty(), "a refused frame says why");
    }

    // The input cut into values of a request: escaped, framed, read back unchanged.
    std::vector<std::string> values = fuzz::Parts(input, 4);
    CzechSaleRequest request;
    const char* names[] = {"TaxPayerID", "ReceiptNumber", "CertFile", "SaleDateTime"};
    for (size_t i = 0; i < values.size(); ++i) {
        request.AddMember(names[i], values[i]);
    }
    std::string frame = request.BuildFrame("1");
    fuzz::Require(CPMSMessage::Checksum(frame) == SaleFrame::Checksum(frame), "both checksums agree");
    fuzz::Require(SaleFrame::Read(frame, sale, error), "the service's frame is read");
    fuzz::Require(sale.members.size() == values.size(), "no value adds or loses a member");
    for (size_t i = 0; i < values.size(); ++i) {
        fuzz::Require(sale.members[i].first == names[i] && sale.members[i].second == values[i],
                      "a value reads back as it was");
    }
    return 0;
}
