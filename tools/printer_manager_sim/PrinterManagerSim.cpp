#include "PrinterManagerSim.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "CheckRecord.h"
#include "platform/Text.h"

namespace {

constexpr char FS = 0x1C;
constexpr char LF = 0x0A;
constexpr char EOT = 0x04;
constexpr size_t kKeptMessages = 2000;
constexpr int kAnswerFields = 17;

std::string ErrorAnswer(const std::string& code, const std::string& text) {
    // The manager ends its error text with a CR, which the interface drops.
    return code + FS + text + "\r";
}

std::string MessageKindOf(const std::vector<std::string>& header) {
    if (!header.empty() && header[0] == "File") {
        return "File";
    }
    if (header.size() < 3 || header[1] != "FISC") {
        return "";
    }
    const std::string& kind = header[2];
    return kind == "Cash Loan" || kind == "Cash Pickup" ? "Command" : kind;
}

std::string Garbage(int bytes) {
    // Deterministic junk that does not start like a success answer and holds separators.
    std::string out = "\xff\xfe";
    uint32_t seed = 2463534242u;
    while (static_cast<int>(out.size()) < bytes) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        char c = static_cast<char>(seed & 0xff);
        out += c == EOT ? FS : c;
    }
    return out.substr(0, static_cast<size_t>(bytes > 0 ? bytes : 1));
}

}  // namespace

PrinterManagerSim::PrinterManagerSim(Options opts)
    : LoopbackServer(EOT, "pm-sim"), options(std::move(opts)), faults(options.fault) {
    recogniseRepeats = options.recogniseRepeats;
}

PrinterManagerSim::~PrinterManagerSim() { Stop(); }

void PrinterManagerSim::Note(const std::string& text) const {
    if (options.verbose) {
        std::fprintf(stderr, "printer_manager_sim: %s\n", text.c_str());
    }
}

void PrinterManagerSim::OnStopping() {
    // A connection waiting for another's registration of the same check gives up.
    std::lock_guard<std::mutex> guard(mutex);
    registrationDone.notify_all();
}

void PrinterManagerSim::SetFault(const FaultSetting& setting) {
    faults.Set(setting);
    Note("fault: " + setting.Describe());
}

void PrinterManagerSim::SetRecogniseRepeats(bool on) {
    recogniseRepeats = on;
    Note(on ? "repeated check files are recognised" : "every check message registers");
}

std::string PrinterManagerSim::KnownRegistration(const std::string& file) {
    std::unique_lock<std::mutex> guard(mutex);
    auto found = registeredFiles.find(file);
    if (found == registeredFiles.end()) {
        registeredFiles.emplace(file, "");
        return "";
    }
    // The same check on another connection while its first registration is still under way:
    // its answer is that registration's.
    registrationDone.wait(guard, [&] { return Stopping() || !registeredFiles[file].empty(); });
    return registeredFiles[file];
}

void PrinterManagerSim::FinishRegistration(const std::string& file, const std::string& number) {
    std::lock_guard<std::mutex> guard(mutex);
    if (number.empty()) {
        registeredFiles.erase(file);
    } else {
        registeredFiles[file] = number;
    }
    registrationDone.notify_all();
}

FaultSetting PrinterManagerSim::Fault() const { return faults.Get(); }

std::vector<std::string> PrinterManagerSim::Messages() const {
    std::lock_guard<std::mutex> guard(mutex);
    return messages;
}

std::vector<std::string> PrinterManagerSim::Records() const {
    std::lock_guard<std::mutex> guard(mutex);
    return records;
}

void PrinterManagerSim::Poll() {
    if (faults.Poll(options.controlPath, "printer_manager_sim")) {
        Note("fault: " + faults.Get().Describe());
    }
}

std::string PrinterManagerSim::TooLong() { return Framed(ErrorAnswer("1", "Message too long")); }

std::string PrinterManagerSim::Framed(const std::string& answer) const {
    return options.endByte && !answer.empty() ? answer + FS + EOT : answer;
}

bool PrinterManagerSim::SendAnswer(platform::Socket& socket, const std::string& answer) {
    if (options.splitPauseMs <= 0 || answer.size() < 2) {
        return socket.SendAll(answer.data(), answer.size());
    }
    // Two pieces with a pause between, as a manager on a busy line may send them.
    size_t half = answer.size() / 2;
    if (!socket.SendAll(answer.data(), half)) {
        return false;
    }
    WaitForStop(options.splitPauseMs);
    return socket.SendAll(answer.data() + half, answer.size() - half);
}

std::string PrinterManagerSim::Answer(const std::string& message, Session& session, bool& closeNow) {
    FileSession& file = static_cast<FileSession&>(session);
    return Answer(message, file.file, file.length, closeNow, &file.endless);
}

std::string PrinterManagerSim::SuccessAnswer(const std::vector<std::string>& header, const std::string& checkNumber,
                                             const std::string& field5) const {
    // 0 result, 1 text, 2 check number, 3 document, 4 printer id, 5 type or shift, 16 subject.
    std::vector<std::string> fields(kAnswerFields);
    fields[0] = "0";
    fields[1] = "OK";
    fields[2] = checkNumber.empty() ? "0" : checkNumber;
    std::string printer = header.empty() ? "" : header[0];
    fields[4] = options.printerIdPrefix + printer;
    fields[5] = field5;
    fields[16] = header.size() > 16 ? header[16] : "";
    return text::Join(fields, std::string(1, FS));
}

std::string PrinterManagerSim::Answer(const std::string& message, std::string& pendingFile, size_t& pendingLength,
                                      bool& closeNow, bool* endless) {
    size_t cutAfter = std::string::npos;
    bool noEnd = false;
    std::string answer = Reply(message, pendingFile, pendingLength, closeNow, cutAfter, noEnd);
    if (noEnd) {
        // Bytes without any end: not even an end byte comes.
        if (endless) {
            *endless = true;
        }
        return answer;
    }
    answer = Framed(answer);
    // Registered, but the connection breaks in the middle of the answer.
    return cutAfter == std::string::npos ? answer : answer.substr(0, cutAfter);
}

std::string PrinterManagerSim::Reply(const std::string& message, std::string& pendingFile, size_t& pendingLength,
                                     bool& closeNow, size_t& cutAfter, bool& endless) {
    {
        std::lock_guard<std::mutex> guard(mutex);
        messages.push_back(message);
        if (messages.size() > kKeptMessages) {
            messages.erase(messages.begin());
        }
    }
    std::string firstLine = message.substr(0, message.find(LF));
    if (!firstLine.empty() && firstLine.back() == EOT) {
        firstLine.pop_back();
    }
    std::vector<std::string> header = text::Split(firstLine, FS);
    std::string kind = MessageKindOf(header);

    FaultSetting taken = faults.Take(kind);
    if (kind == "Check" && options.observer) {
        options.observer("check");
    }
    // A manager that keeps its check files knows a repeat as soon as the check arrives.
    std::string checkFile = kind == "Check" && recogniseRepeats && !pendingFile.empty() ? pendingFile : "";
    if (!checkFile.empty() && taken.mode != FaultSetting::Mode::Close && taken.mode != FaultSetting::Mode::Error &&
        taken.mode != FaultSetting::Mode::Offline && taken.mode != FaultSetting::Mode::Garbage &&
        taken.mode != FaultSetting::Mode::Endless) {
        std::string known = KnownRegistration(checkFile);
        if (!known.empty()) {
            ++repeats;
            pendingFile.clear();
            pendingLength = 0;
            Note("repeat of " + checkFile + ": fiscal number " + known);
            return SuccessAnswer(header, known, "");
        }
    } else {
        checkFile.clear();
    }
    switch (taken.mode) {
        case FaultSetting::Mode::Close:
            Note("closing before the answer to " + kind);
            closeNow = true;
            return "";
        case FaultSetting::Mode::Error:
        case FaultSetting::Mode::Offline:
            return ErrorAnswer(taken.errorCode, taken.errorText);
        case FaultSetting::Mode::Garbage:
            return Garbage(taken.bytes);
        case FaultSetting::Mode::Endless:
            Note("endless answer to " + kind);
            endless = true;
            return std::string(4096, 'x');
        case FaultSetting::Mode::Delay:
            // A late answer: the document is registered all the same.
            if (WaitForStop(taken.delayMs)) {
                if (!checkFile.empty()) {
                    FinishRegistration(checkFile, "");
                }
                closeNow = true;
                return "";
            }
            break;
        default:
            break;
    }

    std::string answer;
    if (kind == "File") {
        pendingFile = header.size() > 1 ? header[1] : "";
        if (text::EndsWith(pendingFile, ".ck2")) {
            pendingFile.resize(pendingFile.size() - 4);
        }
        pendingLength = header.size() > 2 ? static_cast<size_t>(std::max(0LL, text::ToInt64(header[2]))) : 0;
        answer = SuccessAnswer(header, "", "");
    } else if (kind == "Check") {
        CheckRecord record;
        std::string error;
        if (!CheckRecord::ParseCheck(message, record, error)) {
            if (!checkFile.empty()) {
                FinishRegistration(checkFile, "");
            }
            return ErrorAnswer("2", "Bad check message: " + error);
        }
        std::string number;
        {
            std::lock_guard<std::mutex> guard(mutex);
            PrinterState& state = printers.try_emplace(record.printer, PrinterState{options.firstCheckNumber,
                                                                                     options.shiftNumber})
                                      .first->second;
            number = std::to_string(state.nextCheck++);
        }
        record.fiscalNumber = number;
        record.file = pendingFile;
        record.announcedLength = pendingLength;
        pendingFile.clear();
        pendingLength = 0;
        Record(record.ToJson());
        if (!checkFile.empty()) {
            FinishRegistration(checkFile, number);
        }
        if (options.observer) {
            options.observer("registered");
        }
        answer = SuccessAnswer(header, number, "");
    } else if (kind == "Config") {
        std::string number = header.size() > 16 ? header[16] : "";
        std::string field5;
        if (number == "2") {
            field5 = options.printerType;
        } else if (number == "5") {
            std::lock_guard<std::mutex> guard(mutex);
            field5 = std::to_string(
                printers.try_emplace(header[0], PrinterState{options.firstCheckNumber, options.shiftNumber})
                    .first->second.shift);
        }
        answer = SuccessAnswer(header, "", field5);
    } else if (kind == "Command") {
        CheckRecord record;
        record.command = header[2];
        record.printer = header[0];
        record.total = header.size() > 16 ? header[16] : "";
        record.length = message.size();
        Record(record.ToJson());
        answer = SuccessAnswer(header, "", "");
    } else if (kind == "Test" || kind == "Print") {
        answer = SuccessAnswer(header, "", "");
    } else {
        return ErrorAnswer("3", "Unknown message");
    }
    if (taken.mode == FaultSetting::Mode::Cut) {
        Note("cutting the answer to " + kind);
        closeNow = true;
        cutAfter = static_cast<size_t>(taken.bytes);
    }
    if (taken.mode == FaultSetting::Mode::Long && static_cast<int>(answer.size()) < taken.bytes) {
        // Padding at the end of field 15, so the fields before it keep their places.
        answer.insert(answer.rfind(FS), static_cast<size_t>(taken.bytes) - answer.size(), 'X');
    }
    return answer;
}

void PrinterManagerSim::Record(const std::string& json) {
    std::lock_guard<std::mutex> guard(mutex);
    records.push_back(json);
    if (records.size() > kKeptMessages * 50) {
        records.erase(records.begin());
    }
    if (!options.recordsPath.empty()) {
        std::ofstream out(options.recordsPath, std::ios::app);
        out << json << '\n';
    }
    Note("registered " + json);
}
