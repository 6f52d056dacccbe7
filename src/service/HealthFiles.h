#pragma once

#include <string>

struct ServicePaths;
struct WorkerHealth;

// The health the running service keeps for the status command: fiscora.health while it holds
// the property, fiscora.waiting while another service holds it (a second copy started by hand,
// a standby). The health file is the holder's alone: each process removes only a file that names
// it, so a copy that waits never overwrites or removes it. A folder the files cannot be written
// to costs only the report.
class HealthFiles {
public:
    explicit HealthFiles(const ServicePaths& paths);

    // Writes the health with this process, the time and the working folder.
    void Write(const WorkerHealth& health);
    // At stop: whichever of the two files this process wrote goes.
    void RemoveOwn();

private:
    std::string healthFile;
    std::string waitingFile;
};
