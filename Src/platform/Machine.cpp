#include "platform/Machine.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sys/utsname.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace {
std::atomic<Machine*> g_installed{nullptr};
}

Machine& Machine::instance() {
    static SystemMachine real;
    Machine* installed = g_installed.load(std::memory_order_acquire);
    return installed ? *installed : real;
}

void Machine::setInstance(Machine* machine) { g_installed.store(machine, std::memory_order_release); }

OsInfo SystemMachine::osInfo() {
    struct utsname u {};
    if (uname(&u) != 0) return {};
    return {u.sysname, u.release, u.version, u.machine};
}

MemoryStatus SystemMachine::parseMeminfo(const std::string& text) {
    std::uint64_t memTotal = 0, memAvailable = 0, memFree = 0, swapTotal = 0, swapFree = 0;
    bool haveAvailable = false;
    std::istringstream in(text);
    std::string key;
    std::uint64_t value = 0;
    std::string unit;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        if (!(fields >> key >> value)) continue;
        std::uint64_t bytes = value * 1024;  // the file counts kB
        if (key == "MemTotal:") memTotal = bytes;
        else if (key == "MemAvailable:") { memAvailable = bytes; haveAvailable = true; }
        else if (key == "MemFree:") memFree = bytes;
        else if (key == "SwapTotal:") swapTotal = bytes;
        else if (key == "SwapFree:") swapFree = bytes;
    }
    MemoryStatus s;
    s.totalPhys = memTotal;
    s.availPhys = haveAvailable ? memAvailable : memFree;
    if (s.availPhys > s.totalPhys) s.availPhys = s.totalPhys;
    // The page file figures count physical memory plus swap, as the commit limit does.
    s.totalPageFile = memTotal + swapTotal;
    s.availPageFile = s.availPhys + swapFree;
    // A 64-bit process's user address space (47 bits).
    s.totalVirtual = std::uint64_t{1} << 47;
    s.availVirtual = s.totalVirtual;
    s.memoryLoad = memTotal ? static_cast<std::uint32_t>((memTotal - s.availPhys) * 100 / memTotal) : 0;
    return s;
}

MemoryStatus SystemMachine::memoryStatus() {
    std::ifstream in("/proc/meminfo");
    std::stringstream text;
    text << in.rdbuf();
    return parseMeminfo(text.str());
}

std::uint64_t SystemMachine::readTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    // No time-stamp counter: count nanoseconds (a 1 GHz counter).
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch()).count());
#endif
}

std::optional<HardwareAddress> SystemMachine::firstAdapterAddress() {
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::optional<HardwareAddress> found;
    for (struct ifaddrs* it = list; it && !found; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_PACKET) continue;
        if (it->ifa_flags & IFF_LOOPBACK) continue;
        const auto* link = reinterpret_cast<const struct sockaddr_ll*>(it->ifa_addr);
        if (link->sll_halen != 6) continue;
        HardwareAddress address{};
        for (int i = 0; i < 6; ++i) address[i] = link->sll_addr[i];
        found = address;
    }
    freeifaddrs(list);
    return found;
}
