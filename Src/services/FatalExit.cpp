#include "services/FatalExit.h"

#include <atomic>
#include <cstdlib>

#include "platform/Thread.h"
#include "platform/Window.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"

namespace {
std::atomic<bool> g_fatalRequested{false};
}

void fatalExit(std::string_view line, int status) {
    if (!line.empty()) logLine(line);
    if (!isMainThread()) {
        g_fatalRequested = true;
        endThisThread();
    }
    if (Window* window = Window::instance()) window->showCursor(true);
    releaseAll();
    std::exit(status);
}

bool fatalExitRequested() { return g_fatalRequested.load(); }
