#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "config/CPrintLine.h"
#include "config/CPrinterControl.h"
#include "config/CRuleLists.h"
#include "config/CXMLParser.h"
#include "config/RuleSettings.h"

class CFiscalCheck;
class CLogFile;

// The model of the configuration file VuvovaZododAVU.xml. The operations the worker calls are
// virtual so that a test can stand in for the file.
//
// Reading conventions for every key: paths are absolute ("//..."), a flag is on only when its
// text is "1", an integer is the decimal value of the text (empty or not a number gives 0) and a
// missing element reads as empty text. The settings the rules read are its RuleSettings.
class CFiscalINI : public CXMLParser, public RuleSettings {
public:
    static constexpr const char* kFileName = "VuvovaZododAVU.xml";
    static constexpr int32_t kDefaultPause = 5000;
    // The Mongolian tax service's printer type.
    static constexpr int32_t kMongolianPrinter = 9;
    // Storage versions of //fidelio_ini/version; kNoStorage for anything unknown.
    enum Version : int { Opera = 0, Opera4 = 1, Fidelio8 = 2, Pos3700 = 3, Pos9700 = 4, kNoStorage = 6 };

    CFiscalINI() = default;
    virtual ~CFiscalINI() = default;

    // Loads VuvovaZododAVU.xml from the current folder, or else from the program folder, and
    // logs which file it loaded.
    virtual bool Load();
    // The same search over the given folders (each with a trailing "/"), in order.
    bool LoadFrom(const std::vector<std::string>& folders);
    // Where Load looks: only the named file when there is one, else the folders in order; with
    // neither, the current folder and the program folder.
    void SetLocation(const std::string& file, const std::vector<std::string>& folders);
    bool ReadFlag(const std::string& path);
    int32_t ReadInteger(const std::string& path);
    // 0 or 1 Opera, 2 Suite8, 3 and 4 POS systems, 6 none. Read once and kept; 6 is read again.
    virtual int ReadVersion();
    // Printer type, timing values, refund, minibar, currency, prepayment and hotel bill settings,
    // the payment and tax rule lists and the storage version. Always true.
    virtual bool LoadRules();
    // The payment and tax rules, composition included. True when the check may be registered;
    // otherwise the reason is the last error. The check's statusCode says what to do with a
    // check that must not be registered (8 close it, 16 a payment is not acceptable), and
    // ruleVerdict tells the worker more (6 a payment registered before, 5 an unknown payment
    // code, 4 a line of the wrong sign: a short check may do).
    virtual bool ApplyRules(CFiscalCheck& check);
    // ApplyRules for a refund that returns a sale registered with the Mongolian tax service: the
    // payment rules, then the sale the return names (CPaymentRules::AcceptReturn).
    bool ApplyReturnRules(CFiscalCheck& check);
    // The payment rules of ApplyRules; false after an ignored or wrong-currency payment.
    bool ApplyPaymentRules(CFiscalCheck& check);
    // The posting rules of ApplyRules: kind, taxes, descriptions and codes of every posting.
    void ApplyPostingRules(CFiscalCheck& check);
    // After printer selection: postings without a tax get the chosen printer's tax.
    virtual void ApplyPrinterRules(const CPrinterControl& printer, CFiscalCheck& check);
    virtual bool IsInterfaceCashier(const std::string& cashier);
    // The payment code is one of the pay, put, paid, rebate, cash-loan, cash-drop or
    // additional-deposit codes.
    bool IsPaymentRegistered(int code) const;
    // The adjustment code pairs (transaction code, its adjustment code) of the resort: a
    // negative posting of an adjustment code is registered under its transaction code.
    void SetAdjustmentCodes(const std::vector<std::pair<int, int>>& pairs);
    // Fills a storage back-end's template check from the configuration; the deposit flag comes
    // from the rule lists, so LoadRules goes first.
    virtual void FillCheckTemplate(CFiscalCheck& check);
    // The printers (tcpip_ini) and printer lines of the print lists, validated and logged;
    // listMode is the print-list mode (0 station, 1 cashier, 3 user-defined field, 4 station with
    // folio window, 5 POS identifier or code, 6 room). False leaves the reason as last error.
    // The printer registry (CFiscalPrinter) keeps them; the configuration only reads them.
    virtual bool LoadPrinters(std::vector<CPrinterControl>& printerList, std::vector<CPrintLine>& lines,
                              int32_t& listMode);
    // The print-list mode alone, read from the file (for a back-end that keys checks by it).
    virtual int32_t ReadListMode();

    void WriteLog(const std::string& text) const override { CXMLParser::WriteLog(text); }
    void SetLog(CLogFile* logFile) { log = logFile; }
    CLogFile* GetLog() const { return log; }

    std::string gtinFile;
    int storageVersion = kNoStorage;
    int32_t ruleVerdict = 7;
    int32_t waitAnswer = 0;
    int32_t waitNextCheck = kDefaultPause;
    int32_t baseMonitoring = kDefaultPause;
    // //fidelio_ini/only_payments: 1 when missing, 0 full checks, 2 full checks on type 11.
    int32_t onlyPayments = 1;
    std::string printRefund;
    int32_t prepaymentView = 0;
    std::string prepaymentPrinter;
    // The prepayment payment code of the last check the rules saw, 0 when it had none.
    int32_t prepaymentCode = 0;

private:
    // The check's text form as the rules log it.
    void LogCheckText(CFiscalCheck& check) const;
    int32_t ReadPrinterType();
    int32_t ReadOnlyPayments();
    void ReadPrinters(std::vector<CPrinterControl>& printerList);
    std::vector<std::string> ReadCodeList(const std::string& path, const std::string& title);

    int version = kNoStorage;
    std::string namedFile;
    std::vector<std::string> searchFolders;
};
