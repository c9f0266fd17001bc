#include "runtime/RuntimePeers.h"

#include <atomic>

namespace {
std::atomic<RuntimePeers*> g_installed{nullptr};
}  // namespace

RuntimePeers& RuntimePeers::current() {
    RuntimePeers* installed = g_installed.load();
    return installed ? *installed : managers();
}

void RuntimePeers::install(RuntimePeers* peers) { g_installed.store(peers); }

bool RuntimePeers::soundSetVolumeLevel(std::int32_t level, std::int32_t, std::int32_t& inForce) {
    inForce = level < 0 ? 0 : level > 5 ? 5 : level;
    return false;
}
