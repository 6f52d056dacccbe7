#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/Thread.h"

// The TCP side shared by the peer simulators: listens on 127.0.0.1 only, serves every accepted
// connection on a thread of its own, cuts what arrives into messages at an end byte and sends
// back what Answer returns. A simulator derives from it and says how it answers and when it
// refuses connections; the server never stops on bad input.
class LoopbackServer {
public:
    // How often the accept loop and idle connections look at the simulator's settings.
    static constexpr int kPollMs = 200;
    // A message that grows beyond this without its end byte is dropped.
    static constexpr size_t kMaxMessage = 4 * 1024 * 1024;

    LoopbackServer(char endByte, std::string threadName);
    virtual ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Listens on the port (0: any free one, see Port()) and starts accepting.
    bool StartServer(int portNumber, std::string& error);
    // Ends the accept loop and every connection; the derived destructor must call it first.
    void StopServer();
    uint16_t Port() const { return port; }
    size_t ConnectionsAccepted() const { return accepted; }

protected:
    // What a simulator remembers about one connection between its messages.
    struct Session {
        virtual ~Session() = default;
        // Set by Answer: its bytes are sent again and again, with no end, until the peer leaves
        // (or the server stops); the connection then ends.
        bool endless = false;
    };

    virtual std::unique_ptr<Session> OpenSession() { return std::make_unique<Session>(); }
    // The length of the first whole message at the start of what arrived, 0 while it is not
    // whole: by default up to and with the first end byte.
    virtual size_t MessageLength(const std::string& pending) const;
    // The answer to one message (ending with the end byte); an empty answer sends nothing;
    // closeNow cuts the connection after the answer. Runs on the connection's thread.
    virtual std::string Answer(const std::string& message, Session& session, bool& closeNow) = 0;
    // Sends one answer; false when the connection failed. By default all of it at once.
    virtual bool SendAnswer(platform::Socket& socket, const std::string& answer) {
        return socket.SendAll(answer.data(), answer.size());
    }
    // The answer to a message that grew too long without its end byte (empty: cut).
    virtual std::string TooLong() { return ""; }
    // While true the port is closed and open connections end.
    virtual bool Refusing() = 0;
    // Called by the accept loop about every kPollMs (a control file to re-read).
    virtual void Poll() {}
    // Called by StopServer once Stopping() is true, before it waits for the connections: wakes
    // what a connection may wait for.
    virtual void OnStopping() {}
    // Waits up to ms for the server to stop; true when it is stopping (a late answer gives up).
    bool WaitForStop(int ms) { return stopEvent.Wait(ms); }
    bool Stopping() const { return stopping; }

private:
    struct Connection {
        platform::Socket socket;
        platform::Thread thread;
        std::atomic<bool> done{false};
    };

    bool Listen(std::string& error);
    void AcceptLoop();
    void Serve(Connection& connection);
    void ReapConnections(bool all);
    void SendEndlessly(platform::Socket& socket, const std::string& bytes);

    const char endByte;
    const std::string threadName;
    uint16_t port = 0;
    platform::Socket listener;
    platform::Thread acceptThread;
    platform::Event stopEvent{true};
    platform::Waker stopWaker;
    std::atomic<bool> stopping{false};
    std::atomic<size_t> accepted{0};
    std::mutex connectionsLock;
    std::vector<std::unique_ptr<Connection>> connections;
};
