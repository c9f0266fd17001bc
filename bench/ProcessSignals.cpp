// The benchmark program reads no quit message: SIGINT and SIGTERM (timeout,
// Ctrl-C) are to end it at once rather than become an SDL event nobody takes.
#include "platform/Window.h"

namespace {
const bool signalsLeftAlone = [] {
    SdlWindow::leaveSignalsToProcess();
    return true;
}();
}  // namespace
