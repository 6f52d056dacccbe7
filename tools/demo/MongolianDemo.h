#pragma once

#include "ServiceFolder.h"

// The demo with printer type 9: the demo hotel's bills registered with the Mongolian tax-service
// simulator (demo/mongolia/VuvovaZododAVU.xml). The folder holds the generated PMS already; this
// starts the simulator and the service and waits until every bill of the day is sold (the first
// sale's answer is unreadable, so it goes again with its bill number). Then the PMS refunds half
// of the first bill and the whole of the second, and the demo waits until both are registered as
// returns of their sales. It stops the service and prints the registrations with the status rows
// that name them, the status rows by letter and what was left. 0 when every due bill was sold
// exactly once and every refund returned its sale once, 1 otherwise (or when the time limit
// passed first).
int RunMongolianDemo(ServiceFolder& run, int timeLimitSeconds);
