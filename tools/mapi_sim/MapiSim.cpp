#include "MapiSim.h"

#include <cstdio>
#include <fstream>
#include <utility>

#include "platform/Clock.h"
#include "platform/Text.h"

namespace {

constexpr size_t kKept = 100000;

std::string Refusal(const std::string& code, const std::string& message) {
    return "1#" + code + "#" + message + "&";
}

// A pseudo-random but repeatable text for a registration's secret values.
uint64_t Mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    return x ^ (x >> 33);
}

// Bytes that are no reply: no leading result, separators and end marks in odd places.
std::string Unreadable(int bytes) {
    std::string out = "\xfe#";
    for (uint64_t x = 7; static_cast<int>(out.size()) < bytes; x = Mix(x)) {
        out += static_cast<char>(x % 2 ? '#' : 0x80 + x % 64);
    }
    return out.substr(0, static_cast<size_t>(bytes > 2 ? bytes : 2));
}

}  // namespace

std::string MapiSim::Registration::Reply() const {
    return "0#" + fiscalNumber + "#" + lottery + "#" + qrData + "#" + title + "&";
}

MapiSim::MapiSim(Options opts)
    : LoopbackServer('&', "mapi-sim"),
      options(std::move(opts)),
      faults(options.fault),
      nextFiscalNumber(options.firstFiscalNumber) {}

MapiSim::~MapiSim() { StopServer(); }

void MapiSim::Note(const std::string& text) const {
    if (options.verbose) {
        std::fprintf(stderr, "mapi_sim: %s\n", text.c_str());
    }
}

void MapiSim::SetFault(const FaultSetting& setting) {
    faults.Set(setting);
    Note("fault: " + setting.Describe());
}

void MapiSim::Poll() {
    if (faults.Poll(options.controlPath, "mapi_sim")) {
        Note("fault: " + faults.Get().Describe());
    }
}

std::vector<std::string> MapiSim::Commands() const {
    std::lock_guard<std::mutex> guard(mutex);
    return commands;
}

std::vector<MapiSim::Registration> MapiSim::Registrations() const {
    std::lock_guard<std::mutex> guard(mutex);
    return registrations;
}

size_t MapiSim::Repeats() const {
    std::lock_guard<std::mutex> guard(mutex);
    return repeats;
}

std::string MapiSim::Answer(const std::string& message, Session& session, bool& closeNow) {
    std::string answer = Reply(message, closeNow, &session.endless);
    // No answer at all: the connection is dropped instead.
    closeNow = closeNow || answer.empty();
    return answer;
}

std::string MapiSim::TooLong() { return Refusal("2", "Command too long"); }

std::string MapiSim::Reply(const std::string& command, bool& cut, bool* endless) {
    {
        std::lock_guard<std::mutex> guard(mutex);
        commands.push_back(command);
        if (commands.size() > kKept) {
            commands.erase(commands.begin());
        }
    }
    TaxBill bill;
    std::string error;
    bool valid = TaxBill::Parse(command, bill, error);
    FaultSetting taken = faults.Take(bill.isReturn ? "Return" : "Sale");
    switch (taken.mode) {
        case FaultSetting::Mode::Close:
            Note("dropping the connection instead of answering");
            return "";
        case FaultSetting::Mode::Error:
            return Refusal(taken.errorCode, taken.errorText);
        case FaultSetting::Mode::Endless:
            Note("an endless reply");
            if (endless) {
                *endless = true;
            }
            return std::string(4096, 'x');
        case FaultSetting::Mode::Delay:
            if (WaitForStop(taken.delayMs)) {
                return "";
            }
            break;
        default:
            break;
    }
    if (!valid) {
        Note("bad command: " + error);
        return Refusal("2", "Bad command: " + error);
    }
    if (options.observer) {
        options.observer("check");
    }
    std::string answer;
    {
        std::lock_guard<std::mutex> guard(mutex);
        answer = Register(bill, command);
    }
    if (options.observer) {
        options.observer("registered");
    }
    if (taken.mode == FaultSetting::Mode::Garbage) {
        return Unreadable(taken.bytes);
    }
    if (taken.mode == FaultSetting::Mode::Cut) {
        cut = true;
        return answer.substr(0, static_cast<size_t>(taken.bytes));
    }
    return answer;
}

std::string MapiSim::Register(const TaxBill& bill, const std::string& command) {
    if (bill.isReturn) {
        auto sale = salesByFiscalNumber.find(bill.saleFiscalNumber);
        if (sale == salesByFiscalNumber.end()) {
            return Refusal("4", "Bill " + bill.saleFiscalNumber + " not found");
        }
        if (registrations[sale->second].title != bill.saleTitle) {
            return Refusal("5", "Bill " + bill.saleFiscalNumber + " was not registered at " + bill.saleTitle);
        }
        auto returned = returnsBySale.find(bill.saleFiscalNumber);
        if (returned != returnsBySale.end()) {
            ++repeats;
            return registrations[returned->second].Reply();
        }
        returnsBySale[bill.saleFiscalNumber] = registrations.size();
    } else {
        auto taken = salesBySequence.find(bill.SequenceKey());
        if (taken != salesBySequence.end()) {
            if (registrations[taken->second].command != command) {
                return Refusal("3", "Bill number " + bill.sequence + " of register " + bill.printer + " is taken");
            }
            ++repeats;
            return registrations[taken->second].Reply();
        }
        salesBySequence[bill.SequenceKey()] = registrations.size();
    }
    Registration registration = NewRegistration(bill, command);
    if (!bill.isReturn) {
        salesByFiscalNumber[registration.fiscalNumber] = registrations.size();
    }
    registrations.push_back(registration);
    std::string json = bill.ToJson(registration.fiscalNumber, registration.title);
    if (!options.recordsPath.empty()) {
        std::ofstream(options.recordsPath, std::ios::app) << json << '\n';
    }
    Note("registered " + json);
    return registration.Reply();
}

MapiSim::Registration MapiSim::NewRegistration(const TaxBill& bill, const std::string& command) {
    Registration r;
    r.bill = bill;
    r.command = command;
    long long number = nextFiscalNumber++;
    r.fiscalNumber = text::Format("%lld", number);
    uint64_t secret = Mix(static_cast<uint64_t>(number));
    r.lottery = text::Format("LT %08llu", static_cast<unsigned long long>(secret % 100000000ULL));
    r.qrData = text::Format("%016llx%016llx", static_cast<unsigned long long>(secret),
                            static_cast<unsigned long long>(Mix(secret)));
    platform::LocalTime now = platform::Clock::Current().Now();
    r.title = text::Format("%04d%02d%02d%02d%02d%02d-%lld", now.year, now.month, now.day, now.hour, now.minute,
                           now.second, number % 1000000000LL);
    return r;
}
