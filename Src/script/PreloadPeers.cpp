#include "script/PreloadPeers.h"

#include <atomic>

namespace {
std::atomic<PreloadPeers*> g_installed{nullptr};
}  // namespace

PreloadPeers& PreloadPeers::current() {
    PreloadPeers* installed = g_installed.load();
    return installed ? *installed : managers();
}

void PreloadPeers::install(PreloadPeers* peers) { g_installed.store(peers); }
