#include "service/HealthFiles.h"

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "service/ServicePaths.h"
#include "service/WorkerHealth.h"

namespace {

// Removes a health file this process wrote; one another copy wrote since stays.
void RemoveIfOwn(const std::string& file) {
    std::string content;
    WorkerHealth health;
    int pid = 0;
    std::string updated;
    if (platform::ReadFile(file, content) && WorkerHealth::ParseFileText(content, health, pid, updated) &&
        pid == platform::ProcessId()) {
        platform::RemoveFile(file);
    }
}

std::string Now() {
    platform::LocalTime now = platform::Clock::Current().Now();
    return text::Format("%02d.%02d.%04d %02d:%02d:%02d", now.day, now.month, now.year, now.hour, now.minute,
                        now.second);
}

}  // namespace

HealthFiles::HealthFiles(const ServicePaths& paths) : healthFile(paths.HealthFile()), waitingFile(paths.WaitingFile()) {}

void HealthFiles::Write(const WorkerHealth& health) {
    WorkerHealth written = health;
    written.workingFolder = platform::CurrentFolder();
    std::string text = written.FileText(platform::ProcessId(), Now());
    if (health.waiting.empty()) {
        platform::ReplaceFile(healthFile, text);
        RemoveIfOwn(waitingFile);
    } else {
        RemoveIfOwn(healthFile);
        platform::ReplaceFile(waitingFile, text);
    }
}

void HealthFiles::RemoveOwn() {
    RemoveIfOwn(healthFile);
    RemoveIfOwn(waitingFile);
}
