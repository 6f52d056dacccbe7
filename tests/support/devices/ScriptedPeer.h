#pragma once

// A device peer on 127.0.0.1 for the answers the simulators do not give: it accepts connections
// one after the other and plays its script on each, byte for byte as the test writes it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/Event.h"
#include "platform/Socket.h"

namespace device_test {

class ScriptedPeer {
public:
    using Script = std::function<void(platform::Socket& client, const platform::Event& stopping)>;

    explicit ScriptedPeer(Script script) : script(std::move(script)) {
        uint32_t loopback = 0;
        platform::Socket::Resolve("127.0.0.1", loopback);
        listening = server.Create(platform::Socket::Kind::Tcp) && server.Bind(loopback, 0) && server.Listen(4);
        if (listening) {
            peer = std::thread([this] { Serve(); });
        }
    }
    ~ScriptedPeer() {
        stopping.Set();
        if (peer.joinable()) {
            peer.join();
        }
    }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    bool Listening() const { return listening; }
    int Port() const { return server.LocalPort(); }

    // The next message up to and with its end byte, kept in pending between calls; false when
    // the connection ended or the peer stops first.
    static bool ReadMessage(platform::Socket& client, const platform::Event& stopping, char end,
                            std::string& pending, std::string& message) {
        char buffer[4096];
        while (pending.find(end) == std::string::npos) {
            if (stopping.IsSet()) {
                return false;
            }
            platform::Socket::WaitResult ready = client.WaitReadable(50);
            if (ready == platform::Socket::WaitResult::Timeout) {
                continue;
            }
            long n = ready == platform::Socket::WaitResult::Ready ? client.Receive(buffer, sizeof buffer) : -1;
            if (n <= 0) {
                return false;
            }
            pending.append(buffer, static_cast<size_t>(n));
        }
        size_t length = pending.find(end) + 1;
        message = pending.substr(0, length);
        pending.erase(0, length);
        return true;
    }

    // Every message (up to its end byte) answered with the bytes answer gives for it; an empty
    // answer sends nothing.
    static Script Answering(char end, std::function<std::string(const std::string& message)> answer) {
        return [end, answer](platform::Socket& client, const platform::Event& stopping) {
            std::string pending, message;
            while (ReadMessage(client, stopping, end, pending, message)) {
                std::string bytes = answer(message);
                if (!bytes.empty() && !client.SendAll(bytes.data(), bytes.size())) {
                    return;
                }
            }
        };
    }
    // One request, then its reply in two pieces with a pause between them; the connection stays
    // open until the interface closes it.
    static Script InTwoPieces(char end, const std::string& reply, int pauseMs = 50) {
        return [end, reply, pauseMs](platform::Socket& client, const platform::Event& stopping) {
            std::string pending, message;
            if (!ReadMessage(client, stopping, end, pending, message)) {
                return;
            }
            size_t half = reply.size() / 2;
            client.SendAll(reply.data(), half);
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            client.SendAll(reply.data() + half, reply.size() - half);
            client.WaitReadable(2000);
        };
    }
    // One request, then bytes and bytes without any end, until the interface drops the
    // connection (or the peer stops).
    static Script Endless(char end) {
        return [end](platform::Socket& client, const platform::Event& stopping) {
            std::string pending, message;
            if (!ReadMessage(client, stopping, end, pending, message)) {
                return;
            }
            const std::string junk(4096, 'x');
            // A send that waits on a full line gives up now and then, so that a stop is seen.
            client.SetTimeouts(100, 0);
            while (!stopping.IsSet()) {
                if (!client.SendAll(junk.data(), junk.size()) && !client.PeerConnected()) {
                    return;
                }
            }
        };
    }

private:
    void Serve() {
        while (!stopping.IsSet()) {
            platform::Socket client;
            if (server.Accept(client, nullptr, 50)) {
                script(client, stopping);
            }
        }
    }

    Script script;
    platform::Socket server;
    platform::Event stopping{true};
    bool listening = false;
    std::thread peer;
};

}  // namespace device_test
