#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "FaultSetting.h"
#include "FaultSwitch.h"
#include "LoopbackServer.h"
#include "TaxBill.h"

// A stand-in for the Mongolian tax-registration service: listens on 127.0.0.1, takes text
// commands (a sale or a return, see TaxBill), registers them and answers
//   "0#<fiscal number>#<lottery number>#<QR data>#<printed file name>&"
// or "1#<code>#<message>&" when it refuses.
//
// A bill is known by its district, register and bill number: the same sale sent again (a repeat
// of one left in doubt) gets the answer it had, a different sale under a number already taken is
// refused. A return names a registered sale; returning it again gets the first return's answer.
// Faults (FaultSetting, kinds "Sale" and "Return"): refuse, delay (answer late, registered all the
// same), close (no answer, nothing registered), cut (registered, the answer broken off), error
// (refused), garbage (registered, the answer unreadable).
class MapiSim : public LoopbackServer {
public:
    struct Options {
        int port = 0;               // 0: any free port (see Port())
        std::string recordsPath;    // one JSON line per registration; empty: none
        std::string controlPath;    // a file holding a fault line, re-read while running
        long long firstFiscalNumber = 100000001;
        FaultSetting fault;
        bool verbose = false;
        // Told "check" when a sale arrives (before anything is registered) and "registered"
        // once it is registered (before the answer goes), on the connection's thread: the answer
        // waits until it returns. For crash tests.
        std::function<void(const std::string& event)> observer;
    };
    // What the service holds of one registration.
    struct Registration {
        TaxBill bill;
        std::string command;
        std::string fiscalNumber, lottery, qrData, title;
        std::string Reply() const;
    };

    explicit MapiSim(Options options);
    ~MapiSim() override;

    bool Start(std::string& error) { return StartServer(options.port, error); }
    void Stop() { StopServer(); }

    void SetFault(const FaultSetting& setting);
    FaultSetting Fault() const { return faults.Get(); }

    // Every command received (whole, in order), every registration (sales and returns, in
    // order) and how many commands were repeats of a registration.
    std::vector<std::string> Commands() const;
    std::vector<Registration> Registrations() const;
    size_t Repeats() const;

    // The answer to one command; an empty answer: nothing is sent, the connection is dropped.
    // cut: send the answer, then drop the connection. Public so the protocol can be exercised
    // without a socket.
    // endless (when given): the reply is to be sent again and again, with no end.
    std::string Reply(const std::string& command, bool& cut, bool* endless = nullptr);

protected:
    size_t MessageLength(const std::string& pending) const override { return TaxBill::CommandLength(pending); }
    std::string Answer(const std::string& message, Session&, bool& closeNow) override;
    std::string TooLong() override;
    bool Refusing() override { return Fault().mode == FaultSetting::Mode::Refuse; }
    void Poll() override;

private:
    // Under the lock: the reply to a valid command, registering it when it is new.
    std::string Register(const TaxBill& bill, const std::string& command);
    Registration NewRegistration(const TaxBill& bill, const std::string& command);
    void Note(const std::string& text) const;

    Options options;
    FaultSwitch faults;
    mutable std::mutex mutex;
    long long nextFiscalNumber;
    std::vector<std::string> commands;
    std::vector<Registration> registrations;
    // Sale by district/register/bill number, sale by fiscal number, return by the sale's number.
    std::map<std::string, size_t> salesBySequence;
    std::map<std::string, size_t> salesByFiscalNumber;
    std::map<std::string, size_t> returnsBySale;
    size_t repeats = 0;
};
