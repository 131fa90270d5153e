#pragma once

struct CommandLine;

// Exit codes of a command sent to a running keyer.
enum class ClientExit { Done = 0, Refused = 1, Usage = 2, NotRunning = 3, Stopped = 4 };

// Sends the command line's command to the keyer on the session bus and prints its state when
// asked. Needs an application object but no display.
ClientExit runClient(const CommandLine& line);
