// Replies of the Mongolian tax service as the interface reads them and logs them, commands as the
// tax-service simulator reads them, and the sale and return the interface builds around PMS texts.
#include "FuzzSupport.h"
#include "TaxBill.h"
#include "check/CFiscalCheck.h"
#include "devices/CMAPICommand.h"
#include "platform/Text.h"

namespace {

bool Holds(const std::string& text, const char* characters) {
    return text.find_first_of(characters) != std::string::npos;
}

std::string Without(std::string text, const char* characters) {
    for (const char* c = characters; *c; ++c) {
        text = text::ReplaceAll(text, std::string(1, *c), "");
    }
    return text;
}

void ReadReply(const std::string& input) {
    CMAPICommand reply("01", "1", 1);
    reply.ParseReply(input);
    fuzz::Require(reply.replyOk == (input == "0" || text::StartsWith(input, "0#")),
                  "success is a first field of exactly 0");
    fuzz::Require(!(reply.replyOk && reply.IsRefusal()), "a success is no refusal");
    for (const std::string* value : {&reply.replyValue1, &reply.replyValue2, &reply.replyValue3, &reply.replyValue4,
                                     &reply.replyErrorCode, &reply.replyErrorMessage}) {
        fuzz::Require(!Holds(*value, "#&"), "a value holds no separator and no end mark");
    }
    if (!reply.replyOk) {
        fuzz::Require(reply.ErrorText() == reply.replyErrorCode + " " + reply.replyErrorMessage,
                      "the error text is the code, a blank and the message");
        return;
    }
    // A value made of the mask letters could be found in the masks themselves.
    const std::string logged = reply.MaskedReply(input);
    for (const std::string* secret : {&reply.replyValue2, &reply.replyValue3}) {
        fuzz::Require(secret->empty() || Holds(*secret, "XY") || logged.find(*secret) == std::string::npos,
                      "no occurrence of a secret value reaches the log");
    }
}

void ReadCommand(const std::string& input) {
    TaxBill bill;
    std::string error;
    fuzz::Require(TaxBill::CommandLength(input) <= input.size(), "a command ends inside the bytes read");
    if (!TaxBill::Parse(input, bill, error)) {
        fuzz::Require(!error.empty(), "a refused command says why");
    } else if (!bill.isReturn) {
        fuzz::Require(bill.sequence.size() == 6, "an accepted sale has a six-digit bill number");
    }
}

// PMS texts in a sale and a return: every field stays in its place and the command ends at its
// own end mark.
void BuildCommands(const std::string& input) {
    std::vector<std::string> texts = fuzz::Parts(input, 4);
    CFiscalCheck check;
    struct_posting posting;
    posting.trx_code = 1000;
    posting.description = texts[0];
    posting.quantity = 1;
    posting.price_per_unit = posting.trx_amount = 100;
    check.postings = {posting, posting};
    check.postings[1].description = "Breakfast";
    check.paymentsTotal = check.cashTotal = 200;
    check.companyTaxId = texts[1];
    check.groupName = texts[2];
    CMAPICommand command("01", "1", 42);
    const std::string sale = command.BuildSale(check);
    fuzz::Require(TaxBill::CommandLength(sale) == sale.size(), "a sale ends at its own end mark");
    TaxBill bill;
    std::string error;
    fuzz::Require(TaxBill::Parse(sale, bill, error), "the sale is read");
    fuzz::Require(bill.stocks.size() == 2 && bill.stocks[0].name == Without(texts[0], "#=@") &&
                      bill.stocks[1].name == "Breakfast",
                  "a description loses only the separators");
    fuzz::Require(bill.taxpayer == Without(texts[1], "#=@") && bill.group == Without(texts[2], "#=@") &&
                      bill.sequence == "000042",
                  "the header fields stay in their places");

    check.statusCode = kBillRefund;
    // The last part may hold zero bytes: the command is a C text up to the first.
    texts[3] = texts[3].substr(0, texts[3].find('\0'));
    check.printedFileName = texts[3];
    const std::string named = command.BuildReturn(check);
    fuzz::Require(TaxBill::CommandLength(named) == named.size(), "a return ends at its own end mark");
    if (TaxBill::Parse(named, bill, error)) {
        fuzz::Require(bill.isReturn && bill.saleFiscalNumber == Without(texts[2], "#&") &&
                          bill.saleTitle == Without(texts[3], "#&"),
                      "a return names the sale it was given");
    } else {
        fuzz::Require(Without(texts[2], "#&").empty(), "only a return that names no sale is refused");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = fuzz::Text(data, size);
    ReadReply(input);
    ReadCommand(input);
    BuildCommands(input);
    return 0;
}
