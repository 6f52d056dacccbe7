#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The builder of the printer-manager messages of one registration (print, check, tender test,
// config, command and file messages) and the reader of the manager's answers.
class FiscMessage {
public:
    static constexpr char FS = 0x1C;
    static constexpr char LF = 0x0A;
    static constexpr char FF = 0x0C;
    static constexpr char EOT = 0x04;
    static constexpr int kTaxGroups = 8;

    // A text from the PMS or the configuration as it may stand in a field of a message: control
    // bytes (line end, separators, the message end) and "|" become blanks, so that no text can
    // end its field, record or message early or add fields of its own.
    static std::string RecordText(const std::string& text);

    void SetHeaderId(const std::string& text) { headerId = text; }
    void SetOperatorId(const std::string& text) { operatorId = RecordText(text); }
    void SetOperatorName(const std::string& text) { operatorName = RecordText(text); }
    void SetDocumentNumber(const std::string& text) { documentNumber = RecordText(text); }
    void SetRoomText(const std::string& text) { roomText = RecordText(text); }
    void PrependOperatorName(const std::string& text) { operatorName = RecordText(text) + " " + operatorName; }

    // The texts of the records below go through RecordText; codes, tax groups and the sub-code
    // are the program's own.
    void AddTextLine(const std::string& text);
    void AddRequisite(const std::string& tag, const std::string& value);
    // utf8: the description is UTF-8, so it is cut between characters, never inside one.
    void AddItem(const std::string& kind, const std::string& code, const std::string& description, double quantity,
                 double amount, const std::string& taxGroup, int decimals, bool groupCode,
                 const std::string& category, const std::string& subCode, bool utf8 = false);
    void AddPayment(const std::string& code, const std::string& description, const std::string& reference,
                    double amount, const std::string& noReference);

    const std::string& BuildCheck(int documentType, const std::string& taxSystem);
    const std::string& BuildPrint(const std::string& text, int count);
    std::string BuildTest(int paymentCode, double amount, int index, const std::string& flags, double change);
    std::string BuildConfig(int number);
    std::string BuildCommand(const std::string& command, double amount);
    // name empty: a new name from the printer, the document, the number (when not 0) and now.
    const std::string& BuildFileLine(const std::string& name, bool ofCheck, int number);
    std::string NewFileName(const std::string& name, int number) const;

    void SetAnswer(const std::string& answer);
    std::string AnswerCheckNumber(const std::string& answer);
    std::string AnswerPrinterId(const std::string& answer);
    std::string AnswerPrinterType(const std::string& answer);
    std::string AnswerShift(const std::string& answer);
    std::string AnswerConfigNumber(const std::string& answer);
    std::string AnswerError(const std::string& answer);
    // Field n of the last answer (field 0 is the result code); empty beyond its end.
    std::string AnswerField(size_t n) const;
    // The kind of a message built here: header field 3 ("Check", "Config", "Test", ...), or
    // "File" for a file message.
    static std::string MessageKind(const std::string& message);

    std::string documentNumber;
    std::string roomText = "0";
    double postingsAmount = 0;
    double paymentsAmount = 0;
    std::string headerId;
    std::string operatorId;
    std::string operatorName;
    std::string docFlag = "F";
    int32_t headerInt1 = 0;
    int32_t headerInt2 = 1;
    int32_t headerInt3 = 1;
    int32_t headerInt4 = 0;
    int32_t headerInt5 = 1;
    int32_t headerInt6 = 1;
    int32_t headerInt7 = 1;
    std::string subject;
    std::vector<std::string> items;
    std::vector<std::string> payments;
    std::vector<std::string> textLines;
    std::vector<std::string> requisites;
    std::string checkMessage;
    std::string printMessage;
    std::string fileLine;
    int32_t amountDecimals = 2;
    std::string fileName;
    std::string timestamp;
    std::vector<std::string> answerFields;
    double groupTotals[kTaxGroups] = {};

private:
    // Header fields 1 to 16, each followed by FS; the message's own tail follows.
    std::string HeaderStart(const std::string& kind, const std::string& operatorField,
                            const std::string& nameField) const;
    // Header of the test, config and command messages: "1" as operator, the subject, FS.
    std::string ServiceHeader(const std::string& kind) const;
    std::string Amount(double value) const;
    void StampNow();
};
