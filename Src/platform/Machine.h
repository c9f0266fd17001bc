// What the engine asks of the machine: operating system, memory status, the
// processor's time-stamp counter and the first network adapter's hardware
// address. Reached through Machine::instance() so tests can fix the answers.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

struct OsInfo {
    std::string sysname, release, version, machine;
};

// Byte counts in 64 bits (a 32-bit status wraps on large machines).
struct MemoryStatus {
    std::uint32_t memoryLoad = 0;  // percent of physical memory in use
    std::uint64_t totalPhys = 0, availPhys = 0;
    std::uint64_t totalPageFile = 0, availPageFile = 0;
    std::uint64_t totalVirtual = 0, availVirtual = 0;
};

using HardwareAddress = std::array<std::uint8_t, 6>;

class Machine {
public:
    virtual ~Machine() = default;
    virtual OsInfo osInfo() = 0;
    virtual MemoryStatus memoryStatus() = 0;
    virtual std::uint64_t readTimeStampCounter() = 0;
    // The first adapter that is not the loopback and has a hardware address.
    virtual std::optional<HardwareAddress> firstAdapterAddress() = 0;

    static Machine& instance();
    static void setInstance(Machine* machine);  // nullptr restores the real one
};

class SystemMachine : public Machine {
public:
    OsInfo osInfo() override;
    MemoryStatus memoryStatus() override;
    std::uint64_t readTimeStampCounter() override;
    std::optional<HardwareAddress> firstAdapterAddress() override;

    // Parses the text of /proc/meminfo (exposed for tests).
    static MemoryStatus parseMeminfo(const std::string& text);
};

class FixedMachine : public Machine {
public:
    OsInfo os{"Linux", "6.1.0", "#1 SMP", "x86_64"};
    MemoryStatus memory{};
    std::uint64_t tsc = 0;
    std::uint64_t tscStep = 0;  // added after each read
    std::optional<HardwareAddress> address;

    OsInfo osInfo() override { return os; }
    MemoryStatus memoryStatus() override { return memory; }
    std::uint64_t readTimeStampCounter() override {
        std::uint64_t v = tsc;
        tsc += tscStep;
        return v;
    }
    std::optional<HardwareAddress> firstAdapterAddress() override { return address; }
};
