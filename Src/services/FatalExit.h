// The one way out after a fatal error. On the main thread it releases every
// manager and ends the process with the status (1 unless told). On a worker thread it only asks
// the main thread to do so (the message loop acts on the request) and ends the
// worker.
#pragma once
#include <string_view>

// Writes `line` to the debug log first when one is given. The script's
// "exit" leaves through here too, with status 0.
[[noreturn]] void fatalExit(std::string_view line = {}, int status = 1);

// Set by a worker's fatalExit; the main thread's message loop polls it.
bool fatalExitRequested();
