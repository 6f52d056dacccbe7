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
#include "SaleFrame.h"

// A stand-in for the Czech sales-registration service: listens on 127.0.0.1, reads every "Sale"
// request strictly (frame, checksum, JSON, members and their order), registers the sale and
// answers with its codes: FIK (fiscal identification code), BKP (security code) and PKP
// (signature code). PKP and BKP follow from the sale's data, so a repeated sending of the same
// sale gets the same ones. Every registration is recorded; a sale registered twice without being
// marked as a repeated sending ("FirstSending":"false") is recorded as a duplicate, so tests can
// count double registrations. A sale is known by its taxpayer, premises, receipt number and data.
//
// Faults (FaultSetting lines; kind "Sale" meets first sendings, "Repeat" repeated ones):
// refuse, delay ms=N (registered, answered late), close (cut before answering, nothing
// registered), cut bytes=N (registered, the answer cut), error code=C text=T (refused without
// PKP), offline code=C text=T (an error that carries PKP and BKP: registered offline),
// garbage bytes=N (registered, the answer is junk).
class CzechRegistrationSim : public LoopbackServer {
public:
    struct Options {
        int port = 0;             // 0: any free port (see Port())
        std::string recordsPath;  // one JSON line per registration; empty: none
        std::string controlPath;  // a file holding a fault line, re-read while running
        FaultSetting fault;
        bool verbose = false;
        // Told "check" when a sale arrives (before anything is registered) and "registered"
        // once it is registered (before the answer goes), on the connection's thread: the answer
        // waits until it returns. For crash tests.
        std::function<void(const std::string& event)> observer;
    };

    // One sale the service registered, as written to the records.
    struct Registration {
        std::string printer;        // the frame's source
        std::string receiptNumber;
        std::string saleDateTime;
        std::string totalAmount;
        bool firstSending = true;
        // "registered", "offline", "repeat" (a repeated sending of a known sale) or "duplicate"
        // (a known sale sent again as a first sending).
        std::string outcome;
        std::string fik, bkp, pkp;
        std::string json;  // the request's JSON object as received
        std::string ToJson() const;
    };

    explicit CzechRegistrationSim(Options options);
    ~CzechRegistrationSim() override;

    bool Start(std::string& error) { return StartServer(options.port, error); }
    void Stop() { StopServer(); }

    void SetFault(const FaultSetting& setting);
    FaultSetting Fault() const;

    std::vector<Registration> Registrations() const;
    // Requests that were refused as malformed, with the reason.
    std::vector<std::string> Rejections() const;

    // The answer to one request (the reply frame; empty: none), and whether to cut the connection
    // after it. Public so that the protocol can be exercised without a socket.
    // endless: the reply is sent again and again, with no end.
    std::string Reply(const std::string& request, bool& closeNow, bool* endless = nullptr);

    // The codes of a sale, from its data.
    static std::string SignatureCode(const std::string& saleData);
    static std::string SecurityCode(const std::string& signatureCode);

protected:
    std::string Answer(const std::string& message, Session& session, bool& closeNow) override {
        return Reply(message, closeNow, &session.endless);
    }
    bool Refusing() override { return Fault().mode == FaultSetting::Mode::Refuse; }
    void Poll() override;

private:
    struct Known {
        std::string fik;
        std::string bkp;
    };

    std::string ErrorReply(const SaleFrame& sale, const std::string& code, const std::string& text,
                           const Registration* offline) const;
    Registration Register(const SaleFrame& sale, bool offline);
    std::string NewFik();
    void Record(const Registration& registration);
    void Note(const std::string& text) const;

    Options options;
    mutable std::mutex mutex;
    FaultSwitch faults;
    uint64_t issued = 0;
    std::map<std::string, Known> known;
    std::vector<Registration> registrations;
    std::vector<std::string> rejections;
};
