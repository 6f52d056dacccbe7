#pragma once

#include "ServiceFolder.h"

// The Suite8 demo hotel (demo/suite8/VuvovaZododAVU.xml) in one pass: the folder holds its
// generated PMS and the printer-manager simulator runs; this starts the service, waits until every
// due payment is done and every deposit registered (or the time limit passes), stops it and prints
// the registered checks, the status rows by letter and what was left. 0 when every due document
// was registered exactly once, 1 otherwise.
int RunSuite8Demo(ServiceFolder& run, int timeLimitSeconds);
