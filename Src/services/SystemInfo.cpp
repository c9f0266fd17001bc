#include "services/SystemInfo.h"

#include <string_view>

#include "platform/Clock.h"
#include "platform/File.h"
#include "services/DebugInfo.h"
#include "services/GameConfigFile.h"

namespace {
// The leading numbers of a kernel release such as "6.1.0-18-amd64": up to
// three dot-separated decimal numbers, missing ones 0, each kept in 32 bits.
void parseRelease(std::string_view release, std::uint32_t (&numbers)[3]) {
    size_t part = 0;
    bool inNumber = false;
    for (char c : release) {
        if (c >= '0' && c <= '9') {
            std::uint64_t next = std::uint64_t{numbers[part]} * 10 + static_cast<std::uint32_t>(c - '0');
            numbers[part] = next > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(next);
            inNumber = true;
        } else if (c == '.' && inNumber && part < 2) {
            ++part;
            inNumber = false;
        } else {
            break;
        }
    }
}
}  // namespace

SystemInfo::~SystemInfo() { saveGameConfig(*this); }

int SystemInfo::surveyMachine() {
    probeOs();
    probeMemory();
    measureCpuClock();
    loadGameConfig(*this);
    return 0;
}

void SystemInfo::probeOs() {
    // The version record here is the kernel's: the system name and the
    // major.minor.build numbers of its release. The name keeps the trailing
    // blank of the survey's name texts ("Linux ").
    OsInfo os = Machine::instance().osInfo();
    std::uint32_t numbers[3] = {0, 0, 0};
    parseRelease(os.release, numbers);
    osVersion = OsVersionRecord{};
    osVersion.recordSize = 148;
    osVersion.majorVersion = numbers[0];
    osVersion.minorVersion = numbers[1];
    osVersion.buildNumber = numbers[2];
    osVersion.systemName = os.sysname;

    osName = osVersion.systemName + " ";
    osVersionText = std::to_string(osVersion.majorVersion) + "." + std::to_string(osVersion.minorVersion);
    osBuild = std::to_string(osVersion.buildNumber & 0xFFFFu);
}

void SystemInfo::probeMemory() { memoryStatus = Machine::instance().memoryStatus(); }

void SystemInfo::measureCpuClock() {
    Clock& clock = Clock::instance();
    Machine& machine = Machine::instance();
    std::uint32_t t0 = clock.timeGetTime();
    std::uint64_t c0 = machine.readTimeStampCounter();
    std::uint32_t waitStart = clock.getTickCount();
    while (clock.getTickCount() - waitStart < 1000) {
    }
    std::uint32_t t1 = clock.timeGetTime();
    std::uint64_t c1 = machine.readTimeStampCounter();
    // Counts per millisecond / 1000 = MHz. A timer that did not move (a
    // tick count apart from the millisecond timer) gives 0, not a fault.
    std::uint64_t elapsedMs = static_cast<std::uint32_t>(t1 - t0);
    cpuClockMhz = elapsedMs ? static_cast<std::uint32_t>((c1 - c0) / (elapsedMs * 1000)) : 0;
}

void SystemInfo::logMachineSurvey() const {
    logLine(kAsterisks79);
    logLine("コンピュータの能力を調査中");
    logLine("");
    logLine("オペレーティングシステム   = " + osName + " " + osVersionText + " (Build " + osBuild + ")");
    logLine("CPU クロック数（実測値）   = " + std::to_string(cpuClockMhz) + " MHz");
    logLine("物理メモリの総量           = " + std::to_string(memoryStatus.totalPhys / 1000000) + " MB");
    logLine("利用可能な物理メモリ       = " + std::to_string(memoryStatus.availPhys / 1000000) + " MB");
    logLine("メモリ使用率               = " + std::to_string(memoryStatus.memoryLoad) + " %");
    logLine("");
}

bool createNoDialogFile() { return File::openAlways(kNoDialogFile, File::Access::ReadWrite).isOpen(); }

bool noDialogFileExists() { return File::openExisting(kNoDialogFile, File::Access::Read).isOpen(); }
