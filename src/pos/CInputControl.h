#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/Event.h"
#include "pos/ConnectionSettings.h"

class CLogFile;

// A device channel: one connection with a receive buffer, the event a background receiver sets
// when data is waiting, the channel's settings and its last error. The device interfaces send,
// wait for dataEvent with their own time-out and read, all on their own thread.
class CInputControl {
public:
    static constexpr int kBufferSize = 15000;

    CInputControl();
    virtual ~CInputControl() = default;
    CInputControl(const CInputControl&) = delete;
    CInputControl& operator=(const CInputControl&) = delete;

    virtual bool StartReceiver() = 0;
    virtual void ReceiverLoop() = 0;
    virtual bool Send(const char* bytes, int length) = 0;
    virtual bool Configure(const ConnectionSettings& connection) = 0;
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual void ResetEvents() {}
    virtual bool Read() { return false; }
    virtual int Pending() { return 0; }
    virtual bool EnsureOpen() { return true; }
    virtual bool AcceptClient() { return false; }
    virtual int Notify(int code, int value) { return 0; }

    void SetLog(CLogFile* logFile) { log = logFile; }
    void Log(const std::string& text) const;
    // Device traffic: the bytes as they are, without a direction mark.
    void LogRaw(const std::string& text) const;
    // "Client: host : port extra" (or "Server: ..."); also kept in the settings' text.
    std::string Describe();
    // lastError = "<operation> failed:" with the code and the system's text for it.
    void FormatError(const std::string& operation, int code);
    // Ends the receive thread (when it runs) and waits for it.
    void StopReceiver();

    bool Send(const std::string& bytes) { return Send(bytes.data(), static_cast<int>(bytes.size())); }
    // What the last Read stored.
    std::string Received() const { return std::string(buffer, static_cast<size_t>(received)); }
    bool IsClosed() const { return closed; }
    const std::string& GetLastError() const { return lastError; }
    const std::string& GetStatusText() const { return statusText; }
    const ConnectionSettings& GetSettings() const { return settings; }

    platform::Event dataEvent;
    platform::Event stopEvent;

protected:
    // Makes a receive thread that waits in a system call return from it; called by StopReceiver.
    virtual void WakeReceiver() {}
    // Waits for the receive thread to end; called by StopReceiver.
    virtual void JoinReceiver() {}

    std::atomic<int32_t> threadRunning{0};
    // Written by the receive thread when the peer goes away, read by the interface's thread.
    std::atomic<bool> closed{true};
    char buffer[kBufferSize + 1];
    int32_t received = 0;
    std::string lastError;
    ConnectionSettings settings;
    std::string statusText;
    CLogFile* log = nullptr;
};
