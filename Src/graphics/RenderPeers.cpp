#include "graphics/RenderPeers.h"

#include <atomic>

namespace {
std::atomic<RenderPeers*> g_installed{nullptr};
}  // namespace

RenderPeers& RenderPeers::current() {
    RenderPeers* installed = g_installed.load();
    return installed ? *installed : managers();
}

void RenderPeers::install(RenderPeers* peers) { g_installed.store(peers); }
