#include "network/OnlineReplayFiles.h"

#include <atomic>

namespace {
std::atomic<OnlineReplayFiles*> g_files{nullptr};
}

OnlineReplayFiles* onlineReplayFiles() { return g_files.load(); }
void setOnlineReplayFiles(OnlineReplayFiles* files) { g_files.store(files); }
