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
