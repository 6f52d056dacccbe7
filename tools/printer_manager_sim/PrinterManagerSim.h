#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FaultSetting.h"
#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/Thread.h"

// A stand-in for the printer manager in front of the fiscal printers: listens on 127.0.0.1,
// answers every message of the printer-manager protocol, hands out fiscal check numbers, printer
// identity and shift numbers per printer, records every registered document, and misbehaves on
// request (see FaultSetting). Whatever arrives, it answers or drops the connection; it never
// stops on bad input.
class PrinterManagerSim {
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
    };

    explicit PrinterManagerSim(Options options);
    ~PrinterManagerSim();
    PrinterManagerSim(const PrinterManagerSim&) = delete;
    PrinterManagerSim& operator=(const PrinterManagerSim&) = delete;

    bool Start(std::string& error);
    void Stop();
    uint16_t Port() const { return port; }

    void SetFault(const FaultSetting& setting);
    FaultSetting Fault() const;
    void SetRecogniseRepeats(bool on);
    // Check messages answered as repeats of an earlier registration.
    size_t Repeats() const { return repeats; }

    // Everything received (whole messages, in order) and every record written, for tests.
    std::vector<std::string> Messages() const;
    std::vector<std::string> Records() const;
    size_t ConnectionsAccepted() const { return accepted; }

    // The answer to one message; closeNow when the connection is to be cut after sending it
    // (an empty answer: nothing is sent). Public so that the protocol can be exercised without
    // a socket.
    std::string Answer(const std::string& message, std::string& pendingFile, size_t& pendingLength,
                       bool& closeNow);

private:
    struct Connection {
        platform::Socket socket;
        platform::Thread thread;
        std::atomic<bool> done{false};
    };
    struct PrinterState {
        int nextCheck = 1;
        int shift = 1;
    };

    void AcceptLoop();
    void Serve(Connection& connection);
    bool Listen(std::string& error);
    void ReadControlFile();
    void ReapConnections(bool all);
    // The fault for a message of this kind, counted down when it is limited.
    FaultSetting TakeFault(const std::string& kind);
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
    uint16_t port = 0;
    platform::Socket listener;
    platform::Thread acceptThread;
    platform::Event stopEvent{true};
    platform::Waker stopWaker;
    std::atomic<bool> stopping{false};
    std::atomic<size_t> accepted{0};
    std::atomic<size_t> repeats{0};
    std::atomic<bool> recogniseRepeats{false};

    mutable std::mutex mutex;
    FaultSetting fault;
    std::string controlText;
    std::map<std::string, PrinterState> printers;
    std::vector<std::string> messages;
    std::vector<std::string> records;
    std::vector<std::unique_ptr<Connection>> connections;
    // Check file name -> fiscal number; empty while its registration is under way.
    std::map<std::string, std::string> registeredFiles;
    std::condition_variable registrationDone;
};
