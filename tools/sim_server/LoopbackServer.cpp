#include "LoopbackServer.h"

#include "platform/Text.h"

LoopbackServer::LoopbackServer(char endByte, std::string threadName)
    : endByte(endByte), threadName(std::move(threadName)) {}

LoopbackServer::~LoopbackServer() { StopServer(); }

bool LoopbackServer::Listen(std::string& error) {
    uint32_t loopback = 0;
    platform::Socket::Resolve("127.0.0.1", loopback);
    if (!listener.Create(platform::Socket::Kind::Tcp) || !listener.SetReuseAddress() ||
        !listener.Bind(loopback, port) || !listener.Listen(64)) {
        error = text::Format("cannot listen on 127.0.0.1:%d (system error %d)", port, listener.LastError());
        listener.Close();
        return false;
    }
    port = listener.LocalPort();
    return true;
}

bool LoopbackServer::StartServer(int portNumber, std::string& error) {
    if (portNumber < 0 || portNumber > 65535) {
        error = "port out of range";
        return false;
    }
    port = static_cast<uint16_t>(portNumber);
    // Listening first fixes the port even when the simulator starts refusing: the accept loop
    // lets it go at once then, and takes it back when the fault is switched off.
    if (!Listen(error)) {
        return false;
    }
    Poll();
    stopping = false;
    stopEvent.Reset();
    return acceptThread.Start([this] { AcceptLoop(); }, threadName + "-accept");
}

void LoopbackServer::StopServer() {
    if (stopping.exchange(true)) {
        return;
    }
    stopEvent.Set();
    stopWaker.Fire();
    OnStopping();
    acceptThread.Join();
    ReapConnections(true);
    listener.Close();
}

void LoopbackServer::ReapConnections(bool all) {
    std::vector<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> guard(connectionsLock);
        for (auto it = connections.begin(); it != connections.end();) {
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& connection : finished) {
        connection->thread.Join();
    }
}

void LoopbackServer::AcceptLoop() {
    while (!stopping) {
        Poll();
        ReapConnections(false);
        bool refusing = Refusing();
        if (refusing && listener.IsOpen()) {
            // Closed, the port refuses connections; the open ones end as well.
            listener.Close();
        } else if (!refusing && !listener.IsOpen()) {
            std::string ignored;
            Listen(ignored);
        }
        if (!listener.IsOpen()) {
            stopEvent.Wait(kPollMs);
            continue;
        }
        if (listener.WaitReadable(kPollMs, stopWaker.Fd()) != platform::Socket::WaitResult::Ready) {
            continue;
        }
        auto connection = std::make_unique<Connection>();
        if (!listener.Accept(connection->socket, nullptr, 0)) {
            continue;
        }
        ++accepted;
        Connection* raw = connection.get();
        {
            std::lock_guard<std::mutex> guard(connectionsLock);
            connections.push_back(std::move(connection));
        }
        raw->thread.Start([this, raw] { Serve(*raw); }, threadName + "-conn");
    }
}

size_t LoopbackServer::MessageLength(const std::string& pending) const {
    size_t end = pending.find(endByte);
    return end == std::string::npos ? 0 : end + 1;
}

void LoopbackServer::SendEndlessly(platform::Socket& socket, const std::string& bytes) {
    // A send that waits on a full line gives up now and then, so that a stop is seen.
    socket.SetTimeouts(kPollMs, 0);
    while (!stopping) {
        if (!socket.SendAll(bytes.data(), bytes.size()) && !socket.PeerConnected()) {
            return;
        }
    }
}

void LoopbackServer::Serve(Connection& connection) {
    std::unique_ptr<Session> session = OpenSession();
    std::string pending;
    std::vector<char> chunk(65536);
    bool open = true;
    while (open) {
        platform::Socket::WaitResult ready = connection.socket.WaitReadable(kPollMs, stopWaker.Fd());
        if (stopping || Refusing()) {
            break;
        }
        if (ready == platform::Socket::WaitResult::Timeout) {
            continue;
        }
        if (ready != platform::Socket::WaitResult::Ready) {
            break;
        }
        long n = connection.socket.Receive(chunk.data(), chunk.size());
        if (n <= 0) {
            break;
        }
        pending.append(chunk.data(), static_cast<size_t>(n));
        size_t length;
        while (open && (length = MessageLength(pending)) > 0) {
            std::string message = pending.substr(0, length);
            pending.erase(0, length);
            bool closeNow = false;
            std::string answer = Answer(message, *session, closeNow);
            if (stopping) {
                open = false;
            } else if (!answer.empty() && !SendAnswer(connection.socket, answer)) {
                open = false;
            }
            if (session->endless && open && !answer.empty()) {
                SendEndlessly(connection.socket, answer);
                open = false;
            }
            if (closeNow) {
                open = false;
            }
        }
        if (open && pending.size() > kMaxMessage) {
            pending.clear();
            std::string answer = TooLong();
            open = !answer.empty() && SendAnswer(connection.socket, answer);
        }
    }
    connection.socket.Close();
    connection.done = true;
}
