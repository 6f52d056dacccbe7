// Answers of the printer manager as the printer-manager interface reads them.
#include "FuzzSupport.h"
#include "devices/FiscMessage.h"
#include "platform/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer = fuzz::Text(data, size);
    FiscMessage reader;
    reader.SetAnswer(answer);
    // The fields are the answer cut at every separator; only an empty last piece is dropped.
    const std::string joined = text::Join(reader.answerFields, std::string(1, FiscMessage::FS));
    fuzz::Require(joined == answer || joined + FiscMessage::FS == answer, "the fields make up the answer");
    fuzz::Require(reader.AnswerField(reader.answerFields.size()).empty(), "a field past the end is empty");

    fuzz::Require(reader.AnswerShift(answer).size() <= 10, "a shift number has at most 10 characters");
    const std::string number = text::Trim(reader.AnswerCheckNumber(answer));
    (void)text::ToInt64(number);
    reader.AnswerPrinterId(answer);
    reader.AnswerPrinterType(answer);
    reader.AnswerConfigNumber(answer);
    const std::string error = reader.AnswerError(answer);
    fuzz::Require(error.size() < answer.size() || answer.empty(), "the error text comes from the answer");
    return 0;
}
