#include "devices/CPrintInterface.h"

#include "config/CFiscalINI.h"
#include "log/CLogFile.h"
#include "platform/Text.h"

std::string ExchangeKey(const CFiscalCheck& check) {
    if (!check.printedFileName.empty()) {
        return check.printedFileName;
    }
    int firstTransaction = check.payments.empty() ? 0 : check.payments.front().trx_no;
    return text::Format("%s/%d", check.checkNumber.c_str(), firstTransaction);
}

std::string CPrintInterface::NewCheckFileName(const CFiscalCheck&) { return ""; }

std::string CPrintInterface::TakeExchangeKey(const CFiscalCheck& check) {
    std::string key = exchangeKey.empty() ? ExchangeKey(check) : exchangeKey;
    exchangeKey.clear();
    return key;
}

// A device without a channel of its own to listen on cannot collect anything: the check stays
// in doubt and is sent again under its check file name.
AnswerKind CPrintInterface::Register(CFiscalCheck& check) {
    bool registered = PrintCheck(check, false);
    if (lastAnswer == AnswerKind::None) {
        return registered ? AnswerKind::Success : AnswerKind::NotDelivered;
    }
    return lastAnswer;
}

AnswerKind CPrintInterface::CollectLateAnswer(CFiscalCheck&) {
    if (!AnswerOwed()) {
        return AnswerKind::None;
    }
    owedKey.clear();
    lastAnswer = AnswerKind::TimedOut;
    return lastAnswer;
}

int64_t CPrintInterface::ExchangeBoundMs() const {
    return static_cast<int64_t>(channel.ConnectTimeoutSeconds()) * 1000 + answerTimeout;
}

bool CPrintInterface::Configure(CFiscalINI& configuration) {
    std::string decimalPoint = configuration.ReadParameter("//printer_ini/decimal_point");
    if (!decimalPoint.empty()) {
        decimals = text::ToInt(decimalPoint);
    }
    printCopy = configuration.ReadParameter("//printer_ini/print_copy") == "1";
    cashDrawer = configuration.ReadParameter("//printer_ini/cash_drawer") == "1";
    account = configuration.ReadParameter("//display/account");
    roomNumber = configuration.ReadParameter("//display/room_number");
    room = configuration.ReadParameter("//display/room");
    cashierName = configuration.ReadParameter("//display/cashier_name");
    reservation = configuration.ReadParameter("//display/reservation");
    cashier = configuration.ReadParameter("//display/cashier");
    company = configuration.ReadParameter("//display/company");
    guest = configuration.ReadParameter("//display/guest");
    tin = configuration.ReadParameter("//display/tin");
    vat = configuration.ReadParameter("//display/vat");
    checkRefund = configuration.ReadParameter("//printer_ini/check_refund") == "1";
    saveShiftNumber = configuration.ReadParameter("//printer_ini/save_shift_number") == "1";
    interfaceCashier = text::ToInt(configuration.ReadParameter("//interface_cashier"));
    if (configuration.waitAnswer != 0) {
        answerTimeout = configuration.waitAnswer;
    }
    return true;
}

void CPrintInterface::SetLog(CLogFile* logFile) {
    log = logFile;
    channel.SetLog(logFile);
    checkLogger.SetLog(logFile);
}

// The socket opens on first use (EnsureConnection), so an unreachable device does not stop the
// service from starting.
bool CPrintInterface::Connect(const CPrinterControl& printer) {
    control = printer;
    if (channel.Configure(control.deviceSettings)) {
        return true;
    }
    lastError = channel.GetLastError();
    Log(lastError);
    return false;
}

void CPrintInterface::Disconnect() { channel.Close(); }

bool CPrintInterface::EnsureConnection() { return channel.EnsureOpen(); }

void CPrintInterface::Log(const std::string& line) const {
    if (log) {
        log->WriteText(line);
    }
}

void CPrintInterface::LogRaw(const std::string& bytes, int length, int direction) const {
    if (log) {
        log->WriteLine(bytes, length, direction, false);
    }
}

void CPrintInterface::LogList(const std::vector<std::string>& lines) const {
    if (log && !lines.empty()) {
        log->WriteList(lines);
    }
}
