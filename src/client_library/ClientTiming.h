#pragma once

#include <cstdint>

// The waits and pauses of the library. The library runs with these values; tests shorten them
// so that no test sits through a real pause.
struct ClientTiming {
    int64_t replyWaitMs = 1000;       // GetCheck's wait for the server's reply
    int64_t connectWaitMs = 1000;     // the wait for the first connection of a started channel
    int64_t reconnectPauseMs = 5000;  // between failed connection attempts
    int64_t idleMs = 300000;          // silence after which the channel sends a keep-alive
    int64_t connectTimeoutMs = 10000; // one connection attempt
    int64_t announcePauseMs = 100;    // before and after the discovery announcement
};
