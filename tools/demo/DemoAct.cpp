#include "DemoAct.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "Reconciliation.h"
#include "platform/Text.h"

DemoAct::DemoAct(std::string title, ServiceFolder::Changes changes, Done done)
    : title(std::move(title)), changes(std::move(changes)), done(std::move(done)) {}

void DemoAct::Note(ServiceFolder& run, const std::vector<int>& watched, Letters& letters) {
    std::map<int, ServiceFolder::StatusRow> rows = run.StatusRows();
    for (int trxNo : watched) {
        auto row = rows.find(trxNo);
        std::string letter = row == rows.end() || row->second.status.empty() ? "-" : row->second.status;
        std::vector<std::string>& seen = letters[trxNo];
        if (seen.empty() || seen.back() != letter) {
            seen.push_back(letter);
        }
    }
}

bool DemoAct::Run(ServiceFolder& run, int pollMs, int timeLimitSeconds, const std::vector<int>& watched,
                  Letters& letters) {
    std::printf("\n-- %s --\n", title.c_str());
    std::fflush(stdout);
    Note(run, watched, letters);
    if (!run.Configure(changes, pollMs) || !run.StartService()) {
        problems.push_back("FiscoraService could not be started for: " + title);
        return false;
    }
    // The documents the devices hold before: the act adds to them.
    Reconciliation atStart(run, {});
    auto start = std::chrono::steady_clock::now();
    size_t before = run.Records().size();
    size_t reported = before;
    bool finished = false;
    bool ended = false;
    while (!finished && !ended &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(timeLimitSeconds)) {
        // Often enough to see a row's short N between its take-up and its registration.
        ServiceFolder::WaitUntil([] { return false; }, 50);
        Note(run, watched, letters);
        finished = done();
        ended = !run.ServiceRunning();
        size_t registered = run.Records().size();
        if (registered >= reported + 5 || (finished && registered != reported)) {
            std::printf("  %zu checks registered in this act\n", registered - before);
            std::fflush(stdout);
            reported = registered;
        }
    }
    int exitCode = run.StopService(15000);
    Note(run, watched, letters);
    Reconciliation atEnd(run, {});
    registrations = atEnd.documents.size() - atStart.documents.size();
    amount = atEnd.registeredAmount - atStart.registeredAmount;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  FiscoraService stopped with SIGTERM after %.0f s, exit code %d\n", seconds, exitCode);
    if (ended) {
        problems.push_back(title + ": FiscoraService ended by itself (see service.out and qelfiscal.log)");
    } else if (!finished) {
        problems.push_back(text::Format("%s: the time limit of %d s passed first", title.c_str(), timeLimitSeconds));
    }
    if (exitCode != 0) {
        problems.push_back(title + ": FiscoraService did not stop cleanly on SIGTERM");
    }
    return true;
}
