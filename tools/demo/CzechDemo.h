#pragma once

#include "ServiceFolder.h"

// The demo with printer type 10: the demo hotel's bills registered with the Czech
// sales-registration simulator. The folder holds the generated PMS already; this starts the
// simulator and the service, waits until every bill of the day and the bill marked for
// registering again are done (or the time limit passes), stops the service and prints the sales
// the service registered, the status rows and what was left. 0 when every due bill was registered
// exactly once, 1 otherwise.
int RunCzechDemo(ServiceFolder& run, int timeLimitSeconds);
