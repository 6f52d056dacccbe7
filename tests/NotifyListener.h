#pragma once

#include <string>
#include <vector>

// The systemd side of sd_notify for the end-to-end tests: a datagram socket whose path the
// service is given as NOTIFY_SOCKET, collecting every message it sends ("READY=1", "STATUS=...").
class NotifyListener {
public:
    // Binds a socket at path (which must not exist yet).
    explicit NotifyListener(std::string path);
    ~NotifyListener();
    NotifyListener(const NotifyListener&) = delete;
    NotifyListener& operator=(const NotifyListener&) = delete;

    bool Bound() const { return fd >= 0; }
    const std::string& Path() const { return path; }
    // Every assignment received so far ("READY=1", "STATUS=Running", ...), one entry each.
    std::vector<std::string> Received();
    bool Has(const std::string& assignment);
    // Waits until an assignment starting with prefix arrives; false when the time ran out.
    bool WaitFor(const std::string& prefix, int timeoutMs);
    // The last STATUS= text received, empty when none.
    std::string LastStatus();

private:
    std::string path;
    int fd = -1;
    std::vector<std::string> received;
};
