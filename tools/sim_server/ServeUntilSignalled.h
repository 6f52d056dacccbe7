#pragma once

#include <functional>
#include <string>

#include "LoopbackServer.h"

// The main loop of a simulator program: starts the server on the port, writes the port it got to
// portFile (when one is given), says where it listens and with which fault (describe), and
// serves until SIGTERM or SIGINT. 0 once stopped; 1 (with the reason on standard error) when it
// could not start.
int ServeUntilSignalled(const std::string& program, LoopbackServer& server, int port, const std::string& portFile,
                        const std::function<std::string()>& describe);
