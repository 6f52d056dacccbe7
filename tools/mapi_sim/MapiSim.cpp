#include "MapiSim.h"

#include <cstdio>
#include <fstream>

#include "platform/Clock.h"
#include "platform/Text.h"

namespace {

// How often the loop looks at the control file, the fault and the stop request.
constexpr int kPollMs = 200;
// Bytes without a command end beyond this are thrown away with a refusal.
constexpr size_t kMaxCommand = 1024 * 1024;
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
    : options(std::move(opts)), fault(options.fault), nextFiscalNumber(options.firstFiscalNumber) {}

MapiSim::~MapiSim() { Stop(); }

void MapiSim::Note(const std::string& text) const {
    if (options.verbose) {
        std::fprintf(stderr, "mapi_sim: %s\n", text.c_str());
    }
}

bool MapiSim::Listen(std::string& error) {
    uint32_t loopback = 0;
    platform::Socket::Resolve("127.0.0.1", loopback);
    if (!listener.Create(platform::Socket::Kind::Tcp) || !listener.SetReuseAddress() ||
        !listener.Bind(loopback, port) || !listener.Listen(16)) {
        error = text::Format("cannot listen on 127.0.0.1:%d (system error %d)", port, listener.LastError());
        listener.Close();
        return false;
    }
    port = listener.LocalPort();
    return true;
}

bool MapiSim::Start(std::string& error) {
    if (options.port < 0 || options.port > 65535) {
        error = "port out of range";
        return false;
    }
    port = static_cast<uint16_t>(options.port);
    if (!Listen(error)) {
        return false;
    }
    ReadControlFile();
    stopping = false;
    stopEvent.Reset();
    return thread.Start([this] { Loop(); }, "mapi-sim");
}

void MapiSim::Stop() {
    if (stopping.exchange(true)) {
        return;
    }
    stopEvent.Set();
    waker.Fire();
    thread.Join();
    listener.Close();
}

void MapiSim::SetFault(const FaultSetting& setting) {
    std::lock_guard<std::mutex> guard(mutex);
    fault = setting;
    Note("fault: " + fault.Describe());
}

FaultSetting MapiSim::Fault() const {
    std::lock_guard<std::mutex> guard(mutex);
    return fault;
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

void MapiSim::ReadControlFile() {
    if (options.controlPath.empty()) {
        return;
    }
    std::ifstream file(options.controlPath);
    std::string line;
    if (file) {
        std::getline(file, line);
    }
    if (line == controlText) {
        return;
    }
    controlText = line;
    FaultSetting setting;
    std::string error;
    if (setting.Parse(line, error)) {
        SetFault(setting);
    } else {
        std::fprintf(stderr, "mapi_sim: control file: %s; fault unchanged\n", error.c_str());
    }
}

void MapiSim::Loop() {
    while (!stopping) {
        ReadControlFile();
        bool refusing = Fault().mode == FaultSetting::Mode::Refuse;
        if (refusing != !listener.IsOpen()) {
            // Closed, the port refuses connections; opened again when the fault is gone.
            std::string error;
            if (refusing) {
                listener.Close();
            } else if (!Listen(error)) {
                Note(error);
            }
        }
        if (!listener.IsOpen()) {
            stopEvent.Wait(kPollMs);
            continue;
        }
        if (listener.WaitReadable(kPollMs, waker.Fd()) != platform::Socket::WaitResult::Ready) {
            continue;
        }
        platform::Socket connection;
        if (listener.Accept(connection, nullptr, 0)) {
            Serve(connection);
        }
    }
}

void MapiSim::Serve(platform::Socket& connection) {
    std::string pending;
    char chunk[65536];
    for (;;) {
        platform::Socket::WaitResult ready = connection.WaitReadable(kPollMs, waker.Fd());
        if (stopping || Fault().mode == FaultSetting::Mode::Refuse) {
            return;
        }
        if (ready == platform::Socket::WaitResult::Timeout) {
            ReadControlFile();
            continue;
        }
        long n = ready == platform::Socket::WaitResult::Ready ? connection.Receive(chunk, sizeof chunk) : -1;
        if (n <= 0) {
            return;
        }
        pending.append(chunk, static_cast<size_t>(n));
        for (size_t length; (length = TaxBill::CommandLength(pending)) > 0;) {
            std::string command = pending.substr(0, length);
            pending.erase(0, length);
            bool cut = false;
            std::string answer = Answer(command, cut);
            if (stopping || answer.empty() || !connection.SendAll(answer.data(), answer.size()) || cut) {
                return;
            }
        }
        if (pending.size() > kMaxCommand) {
            pending.clear();
            std::string refusal = Refusal("2", "Command too long");
            if (!connection.SendAll(refusal.data(), refusal.size())) {
                return;
            }
        }
    }
}

FaultSetting MapiSim::TakeFault(const std::string& kind) {
    std::lock_guard<std::mutex> guard(mutex);
    if (!fault.Applies(kind)) {
        return FaultSetting();
    }
    FaultSetting taken = fault;
    if (fault.count > 0 && --fault.count == 0) {
        fault = FaultSetting();
    }
    return taken;
}

std::string MapiSim::Answer(const std::string& command, bool& cut) {
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
    FaultSetting taken = TakeFault(bill.isReturn ? "Return" : "Sale");
    switch (taken.mode) {
        case FaultSetting::Mode::Close:
            Note("dropping the connection instead of answering");
            return "";
        case FaultSetting::Mode::Error:
            return Refusal(taken.errorCode, taken.errorText);
        case FaultSetting::Mode::Delay:
            if (stopEvent.Wait(taken.delayMs)) {
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
    std::string answer;
    {
        std::lock_guard<std::mutex> guard(mutex);
        answer = Register(bill, command);
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
