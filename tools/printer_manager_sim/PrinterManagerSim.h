#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FaultSetting.h"
#include "FaultSwitch.h"
#include "LoopbackServer.h"

// A stand-in for the printer manager in front of the fiscal printers: listens on 127.0.0.1,
// answers every message of the printer-manager protocol, hands out fiscal check numbers, printer
// identity and shift numbers per printer, records every registered document, and misbehaves on
// request (see FaultSetting). Whatever arrives, it answers or drops the connection; it never
// stops on bad input.
class PrinterManagerSim : public LoopbackServer {
public:
    struct Options {
        int port = 0;                    // 0: any free port (see Port())
        std::string recordsPath;         // one JSON line per registered document; empty: none
        std::string controlPath;         // a file holding a fault line, re-read while running
        std::string printerIdPrefix = "SIM";
        std::string printerType = "FISCORA SIM";  // as the manager reports it (site code page)
        int firstCheckNumber = 1;
        int shiftNumber = 1;
        FaultSetting fault;
        bool verbose = false;
        // Keep the check file name of every registered check and answer a check sent again under
        // a known name with its original fiscal number, registering nothing (a manager that keeps
        // its check files). Off: every check message registers anew.
        bool recogniseRepeats = false;
        // Every answer as the protocol gives it is "0" (or an error code), FS and the fields, with
        // no end byte. On: FS and EOT follow every answer (a manager that marks the end).
        bool endByte = false;
        // More than 0: every answer goes in two pieces with this pause (ms) between them.
        int splitPauseMs = 0;
        // Told "check" when a check message arrives (before anything is registered) and
        // "registered" once it is registered (before the answer goes), on the connection's
        // thread: the answer waits until it returns. For crash tests.
        std::function<void(const std::string& event)> observer;
    };

    explicit PrinterManagerSim(Options options);
    ~PrinterManagerSim() override;
    PrinterManagerSim(const PrinterManagerSim&) = delete;
    PrinterManagerSim& operator=(const PrinterManagerSim&) = delete;

    bool Start(std::string& error) { return StartServer(options.port, error); }
    void Stop() { StopServer(); }

    void SetFault(const FaultSetting& setting);
    FaultSetting Fault() const;
    void SetRecogniseRepeats(bool on);
    // Check messages answered as repeats of an earlier registration.
    size_t Repeats() const { return repeats; }

    // Everything received (whole messages, in order) and every record written, for tests.
    std::vector<std::string> Messages() const;
    std::vector<std::string> Records() const;

    // The answer to one message; closeNow when the connection is to be cut after sending it
    // (an empty answer: nothing is sent); endless (when given) when it is to be sent again and
    // again. Public so that the protocol can be exercised without a socket.
    std::string Answer(const std::string& message, std::string& pendingFile, size_t& pendingLength,
                       bool& closeNow, bool* endless = nullptr);

protected:
    // The check file announced by the last File message of the connection.
    struct FileSession : Session {
        std::string file;
        size_t length = 0;
    };

    std::unique_ptr<Session> OpenSession() override { return std::make_unique<FileSession>(); }
    std::string Answer(const std::string& message, Session& session, bool& closeNow) override;
    std::string TooLong() override;
    bool SendAnswer(platform::Socket& socket, const std::string& answer) override;
    bool Refusing() override { return Fault().mode == FaultSetting::Mode::Refuse; }
    void Poll() override;
    void OnStopping() override;

private:
    struct PrinterState {
        int nextCheck = 1;
        int shift = 1;
    };

    // The answer to one message without the end the options give it; cutAfter: how many bytes
    // of it go before the connection is cut (npos: all).
    std::string Reply(const std::string& message, std::string& pendingFile, size_t& pendingLength, bool& closeNow,
                      size_t& cutAfter, bool& endless);
    // The answer with the end the options give it.
    std::string Framed(const std::string& answer) const;
    std::string SuccessAnswer(const std::vector<std::string>& header, const std::string& checkNumber,
                              const std::string& field5) const;
    void Record(const std::string& json);
    // With recognition on: the fiscal number of a check file registered before (waiting while
    // its first registration is still under way), or empty when the name is new, which is then
    // taken for this registration.
    std::string KnownRegistration(const std::string& file);
    void FinishRegistration(const std::string& file, const std::string& number);
    void Note(const std::string& text) const;

    Options options;
    std::atomic<size_t> repeats{0};
    std::atomic<bool> recogniseRepeats{false};

    mutable std::mutex mutex;
    FaultSwitch faults;
    std::map<std::string, PrinterState> printers;
    std::vector<std::string> messages;
    std::vector<std::string> records;
    // Check file name -> fiscal number; empty while its registration is under way.
    std::map<std::string, std::string> registeredFiles;
    std::condition_variable registrationDone;
};
