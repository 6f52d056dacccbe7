#include "pos/CSockets.h"

#include <cstring>
#include <exception>
#include <system_error>

#include "platform/Environment.h"
#include "platform/Text.h"

namespace {

constexpr int kSendBufferBytes = 2048;
constexpr int kListenBacklog = 256;
// Read is called once dataEvent says bytes are there; this only bounds a misuse.
constexpr int kReadWaitMs = 1000;

bool IsDotted(const std::string& host) {
    return !host.empty() && host.find_first_not_of("0123456789.") == std::string::npos;
}

}  // namespace

CSockets::~CSockets() {
    StopReceiver();
}

bool CSockets::Configure(const ConnectionSettings& connection) {
    Close();
    settings = connection;
    port = settings.port;
    mode = settings.mode;
    address = 0;
    description = text::Format("%s. %s: %d.", settings.name.c_str(), settings.host.c_str(), settings.port);
    closed = true;
    // A server bound to a name listens on every local address; a client needs the peer's address.
    if (mode == 1 || IsDotted(settings.host)) {
        if (!platform::Socket::Resolve(settings.host, address)) {
            lastError = text::Format("Invalid address %s", settings.host.c_str());
            Log(lastError);
            return false;
        }
    }
    return true;
}

bool CSockets::Open() {
    statusText.clear();
    if (socket.IsOpen() || acceptedSocket.IsOpen()) {
        Close();
    }
    if (!socket.Create(platform::Socket::Kind::Tcp)) {
        FormatError("Open socket", socket.LastError());
        statusText = lastError;
        Log(lastError);
        return false;
    }
    if (mode == 1) {
        return OpenClient();
    }
    if (mode == 0) {
        return OpenServer();
    }
    socket.Close();
    statusText = text::Format("Unknown  control type %s : %d", settings.host.c_str(), port);
    lastError = statusText;
    Log(lastError);
    return false;
}

bool CSockets::OpenClient() {
    bool connected = socket.Connect(address, static_cast<uint16_t>(port), connectTimeout * 1000);
    if (!connected) {
        int error = socket.LastError();
        FormatError(error == static_cast<int>(std::errc::timed_out) ? "Connect to socket" : "Getsockopt", error);
        Log(lastError);
    } else {
        connected = SetConnectionOptions(socket);
    }
    if (!connected) {
        socket.Close();
        closed = true;
        statusText = text::Format("Can't connect to %s : %d", settings.host.c_str(), port);
        lastError = statusText;
        Log(lastError);
        return false;
    }
    statusText = text::Format("Connect to %s : %d", settings.host.c_str(), port);
    lastError = statusText;
    Log(lastError);
    closed = false;
    StartReceiver();
    return true;
}

bool CSockets::OpenServer() {
    bool ok = false;
    // Address reuse goes before bind so that a restarted listener gets its port back at once.
    if (!socket.SetNoLinger() || !socket.SetKeepAlive() || !socket.SetReuseAddress()) {
        FormatError("3 Setsockopt", platform::LastSystemError());
    } else if (!socket.Bind(address, static_cast<uint16_t>(port))) {
        lastError = text::Format("Error bind %d", socket.LastError());
    } else if (socket.LocalPort() == 0) {
        lastError = text::Format("bind() failed with error %d", platform::LastSystemError());
    } else if (!socket.Listen(kListenBacklog)) {
        lastError = text::Format("Error socket listen=%d", socket.LastError());
    } else {
        ok = true;
    }
    // Accepting never blocks: AcceptClient takes only a connection that is already waiting.
    if (!ok) {
        socket.Close();
        closed = true;
        Log(lastError);
        return false;
    }
    closed = false;
    StartReceiver();
    return true;
}

bool CSockets::SetConnectionOptions(platform::Socket& target) {
    if (!target.SetSendBuffer(kSendBufferBytes)) {
        FormatError("Setsockopt", platform::LastSystemError());
        Log(lastError);
        return false;
    }
    if (!target.SetNoLinger() || !target.SetKeepAlive() || !target.SetReuseAddress()) {
        FormatError("3 Setsockopt", platform::LastSystemError());
        Log(lastError);
        return false;
    }
    return true;
}

void CSockets::Close() {
    if (!socket.IsOpen() && !acceptedSocket.IsOpen()) {
        return;
    }
    StopReceiver();
    closed = true;
    acceptedSocket.Close();
    socket.Close();
    Log(text::Format("Close connection %s : %d", settings.host.c_str(), port));
}

bool CSockets::EnsureOpen() {
    if (closed) {
        Close();
        return Open();
    }
    statusText = text::Format("%s / %d", settings.host.c_str(), port);
    return true;
}

bool CSockets::Send(const char* bytes, int length) {
    if (!EnsureOpen()) {
        return false;
    }
    if (length <= 0) {
        lastError = "Message is empty";
        Log(lastError);
        return false;
    }
    ResetEvents();
    platform::Socket& target = Active();
    if (!target.SendAll(bytes, static_cast<size_t>(length))) {
        FormatError("Send to socket", target.LastError());
        Log(lastError);
        Close();
        return false;
    }
    return true;
}

bool CSockets::Read() {
    received = 0;
    buffer[0] = 0;
    lastError.clear();
    platform::Socket& source = Active();
    if (!source.IsOpen()) {
        lastError = "Read socket: no open connection";
        Log(lastError);
        return false;
    }
    if (source.WaitReadable(kReadWaitMs) != platform::Socket::WaitResult::Ready) {
        DataTaken();
        lastError = "Read socket: nothing to read";
        Log(lastError);
        return false;
    }
    bool peerClosed = false;
    int error = 0;
    // Takes what has already arrived, at most a full buffer: what does not fit stays in the
    // socket for the next Read, so nothing of a long answer is lost.
    while (received < kBufferSize) {
        long n = source.Receive(buffer + received, static_cast<size_t>(kBufferSize - received));
        DataTaken();
        if (n < 0) {
            error = source.LastError();
            break;
        }
        if (n == 0) {
            peerClosed = true;
            break;
        }
        received += static_cast<int32_t>(n);
        buffer[received] = 0;
        if (source.Pending() <= 0) {
            break;
        }
    }
    if (error != 0) {
        FormatError("Read socket", error);
        Log(lastError);
        Close();
        return false;
    }
    if (peerClosed) {
        Log("Remote socket closed connection");
        Close();
    }
    return received > 0;
}

void CSockets::Flush() {
    platform::Socket& source = Active();
    if (closed || !source.IsOpen()) {
        return;
    }
    // Only what is already there is thrown away: no answer is owed when a message is about to
    // go (an owed one is collected first), so there is nothing to wait for.
    while (source.WaitReadable(0) == platform::Socket::WaitResult::Ready) {
        long n = source.Receive(scratch, sizeof scratch);
        if (n <= 0) {
            // The peer went away while the channel was idle: reopen on the next send.
            if (n == 0) {
                Log("Remote socket closed connection");
            } else {
                FormatError("Read socket", source.LastError());
                Log(lastError);
            }
            Close();
            return;
        }
        Log(text::Format("%ld stale bytes dropped before the next message", n));
    }
    DataTaken();
}

void CSockets::ResetEvents() {
    dataEvent.Reset();
    stopEvent.Reset();
    rearm.Set();
}

void CSockets::DataTaken() {
    dataEvent.Reset();
    rearm.Set();
}

bool CSockets::AcceptClient() {
    lastError.clear();
    if (!socket.IsOpen() || !socket.IsListening()) {
        lastError = "Client2Server not CheckAccept";
        Log(lastError);
        return false;
    }
    platform::Socket client;
    uint32_t peer = 0;
    if (!socket.Accept(client, &peer, 0) || !SetConnectionOptions(client)) {
        lastError = "Client2Server not connect";
        Log(lastError);
        DataTaken();
        return false;
    }
    // The receive thread now watches the accepted peer instead of the listening socket.
    StopReceiver();
    acceptedSocket = std::move(client);
    peerAddress = platform::Socket::AddressText(peer);
    StartReceiver();
    return true;
}

bool CSockets::StartReceiver() {
    JoinReceiver();
    stopEvent.Reset();
    dataEvent.Reset();
    rearm.Reset();
    waker.Clear();
    watched = &Active();
    watchedListening = watched->IsListening();
    return receiver.Start(
        [this] {
            try {
                ReceiverLoop();
            } catch (const std::exception& e) {
                // The interface waiting for an answer is woken and finds the channel closed.
                Log(std::string("Receiver stopped: ") + e.what());
                threadRunning = 0;
                closed = true;
                dataEvent.Set();
            }
        },
        "fiscora-channel");
}

void CSockets::ReceiverLoop() {
    threadRunning = 1;
    while (!stopEvent.IsSet()) {
        if (dataEvent.IsSet()) {
            // Signalled and not yet read: sleep until the interface takes the data or we stop.
            rearm.Wait(-1);
            continue;
        }
        platform::Socket::WaitResult result = watched->WaitReadable(-1, waker.Fd());
        if (result == platform::Socket::WaitResult::Woken) {
            waker.Clear();
            continue;
        }
        // A failed wait is a broken socket, and a peek that finds the end of the stream a peer
        // that left: the channel is closed and a waiting interface is woken to find out. The
        // interface reads the same socket, so readable-then-empty only means it took the bytes.
        bool gone = result != platform::Socket::WaitResult::Ready;
        if (!gone && !watchedListening) {
            if (!watched->PeerConnected()) {
                gone = true;
            } else if (watched->Pending() <= 0) {
                continue;
            }
        }
        if (gone) {
            closed = true;
        }
        dataEvent.Set();
        if (gone) {
            break;
        }
    }
    threadRunning = 0;
}

void CSockets::WakeReceiver() {
    waker.Fire();
    rearm.Set();
}

void CSockets::JoinReceiver() { receiver.Join(); }
