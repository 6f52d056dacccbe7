#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ServiceFolder.h"

// One act of the demo: FiscoraService run over the demo PMS with the demo configuration and the
// act's changes until what the act waits for is done, its time runs out or the service ends by
// itself; then it is stopped with SIGTERM. While it runs, every status letter that the watched
// transactions go through is noted (a row seen without status is "-").
class DemoAct {
public:
    using Done = std::function<bool()>;
    // The letters each watched transaction went through, in order, over all acts.
    using Letters = std::map<int, std::vector<std::string>>;

    DemoAct(std::string title, ServiceFolder::Changes changes, Done done);

    // False when the service could not be started; the reasons of anything that went wrong are
    // in problems.
    bool Run(ServiceFolder& run, int pollMs, int timeLimitSeconds, const std::vector<int>& watched, Letters& letters);

    std::string title;
    std::vector<std::string> problems;
    double seconds = 0;
    // What the devices registered in the act: documents, and the amount they add up to.
    size_t registrations = 0;
    double amount = 0;

private:
    static void Note(ServiceFolder& run, const std::vector<int>& watched, Letters& letters);

    ServiceFolder::Changes changes;
    Done done;
};
