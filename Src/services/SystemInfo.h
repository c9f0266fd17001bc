// The engine's one configuration record: screen mode, the switches that
// "init.xml" sets, the player's settings kept in "data\\gameconfig.dat", and a
// survey of the machine written to the debug log at start-up. Every subsystem
// reads its settings from here through g_systemInfo; the record decides
// nothing beyond its defaults and the settings file.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Machine.h"

// The operating system's version record as the survey fills it.
struct OsVersionRecord {
    std::uint32_t recordSize = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::string systemName;
};

class SystemInfo {
public:
    SystemInfo() = default;
    SystemInfo(const SystemInfo&) = delete;
    SystemInfo& operator=(const SystemInfo&) = delete;
    // Writes "data\\gameconfig.dat" back.
    virtual ~SystemInfo();

    // Operating system, memory, processor clock, then the settings file.
    // The clock measurement busy-waits one second of the tick count.
    int surveyMachine();
    void probeOs();
    void probeMemory();
    void measureCpuClock();
    // The survey block of the debug log.
    void logMachineSurvey() const;
    // Available physical memory in units of 1,000,000 bytes.
    std::uint64_t getAvailableMemory() const { return memoryStatus.availPhys / 1000000; }

    const OsVersionRecord& getOsVersion() const { return osVersion; }
    const std::string& getOsName() const { return osName; }
    const std::string& getOsVersionText() const { return osVersionText; }
    const std::string& getOsBuild() const { return osBuild; }
    const MemoryStatus& getMemoryStatus() const { return memoryStatus; }
    std::uint32_t getCpuClockMhz() const { return cpuClockMhz; }

    void setTitle(const std::string& text) { title = text; }
    std::string getTitle() const { return title; }
    void setScriptVersion(const std::string& text) { scriptVersion = text; }
    std::string getScriptVersion() const { return scriptVersion; }

    void setWidth(std::uint32_t v) { width = v; }
    std::uint32_t getWidth() const { return width; }
    void setHeight(std::uint32_t v) { height = v; }
    std::uint32_t getHeight() const { return height; }
    void setBpp(std::uint32_t v) { bpp = v; }
    std::uint32_t getBpp() const { return bpp; }
    void setVsync(std::uint32_t v) { vsync = v; }
    std::uint32_t getVsync() const { return vsync; }
    void setDialog(std::uint32_t v) { dialog = v; }
    std::uint32_t isDialogEnabled() const { return dialog; }
    void setScroll(std::uint32_t v) { scroll = v; }
    std::uint32_t getScroll() const { return scroll; }
    void setWindowed(std::uint32_t v) { windowed = v; }
    std::uint32_t isWindowed() const { return windowed; }
    void setCollisionDisplay(std::uint32_t v) { collisionDisplay = v; }
    std::uint32_t getCollisionDisplay() const { return collisionDisplay; }
    void setDebugDisplay(std::uint32_t v) { debugDisplay = v; }
    std::uint32_t getDebugDisplay() const { return debugDisplay; }
    void setSystemType(std::uint32_t v) { systemType = v; }
    std::uint32_t getSystemType() const { return systemType; }
    void setReplayEnable(std::uint32_t v) { replayEnable = v; }
    std::uint32_t getReplayEnable() const { return replayEnable; }
    void setScreenChange(std::uint32_t v) { screenChange = v; }
    std::uint32_t getScreenChange() const { return screenChange; }
    void setEffectTarget(std::uint32_t v) { effectTarget = v; }
    void setEffectTargetEnabled(std::uint32_t v) { effectTarget = v; }
    std::uint32_t isEffectTargetEnabled() const { return effectTarget; }
    void setDrawBg(std::uint32_t v) { drawBg = v; }
    std::uint32_t getDrawBg() const { return drawBg; }
    void setForce60fps(std::uint32_t v) { force60fps = v; }
    std::uint32_t getForce60fps() const { return force60fps; }
    std::uint32_t isForce60fps() const { return force60fps; }
    void setImgArchive(std::uint32_t v) { imgArchive = v; }
    std::uint32_t getImgArchive() const { return imgArchive; }
    void setNoDamage(std::uint32_t v) { noDamage = v; }
    std::uint32_t getNoDamage() const { return noDamage; }
    void setFlagDebug(std::uint32_t v) { flagDebug = v; }
    std::uint32_t getFlagDebug() const { return flagDebug; }
    void setNoGameOver(std::uint32_t v) { noGameOver = v; }
    std::uint32_t getNoGameOver() const { return noGameOver; }
    // Takes no argument: every stage counts as reached from now on.
    void setAllStage() { allStage = 1; }
    std::uint32_t getAllStage() const { return allStage; }
    void setOnline(std::uint32_t v) { online = v; }
    std::uint32_t getOnline() const { return online; }
    void setReadSkipEnable(std::uint32_t v) { readSkipEnable = v; }
    std::uint32_t getReadSkipEnable() const { return readSkipEnable; }
    // Settings-file word 9 (the read-skip switch), as the replay code names it.
    std::uint32_t getConfigWord9() const { return readSkipEnable; }
    void setWideCompress(std::uint32_t v) { wideCompress = v; }
    std::uint32_t isWideCompress() const { return wideCompress; }
    void setForceNoPractice(std::uint32_t v) { forceNoPractice = v; }
    std::uint32_t getForceNoPractice() const { return forceNoPractice; }
    void setRuntimeSwitch(std::uint32_t v) { runtimeSwitch = v; }
    std::uint32_t getRuntimeSwitch() const { return runtimeSwitch; }
    void setReplay(std::int32_t v) { replay = v; }
    std::int32_t getReplay() const { return replay; }
    void setVolume0(std::uint32_t v) { volume0 = v; }
    std::uint32_t getVolume0() const { return volume0; }
    void setVolume1(std::uint32_t v) { volume1 = v; }
    std::uint32_t getVolume1() const { return volume1; }
    void setVolume2(std::uint32_t v) { volume2 = v; }
    std::uint32_t getVolume2() const { return volume2; }
    void setMaxContinue(std::uint32_t v) { maxContinue = v; }
    std::uint32_t getMaxContinue() const { return maxContinue; }
    void setVersion(std::uint32_t major, std::uint32_t minor) {
        versionMajor = major;
        versionMinor = minor;
    }
    std::uint32_t getVersionMajor() const { return versionMajor; }
    std::uint32_t getVersionMinor() const { return versionMinor; }

private:
    std::string title = "VorlyEngine";
    std::string scriptVersion;
    OsVersionRecord osVersion;
    std::string osName;
    std::string osVersionText;
    std::string osBuild;
    MemoryStatus memoryStatus;
    std::uint32_t cpuClockMhz = 0;
    std::uint32_t width = 640;
    std::uint32_t height = 480;
    std::uint32_t bpp = 32;
    std::uint32_t vsync = 1;
    std::uint32_t dialog = 0;
    std::uint32_t scroll = 1;
    std::uint32_t windowed = 1;
    std::uint32_t collisionDisplay = 0;
    std::uint32_t debugDisplay = 0;
    std::uint32_t systemType = 0;
    std::uint32_t replayEnable = 1;
    std::uint32_t screenChange = 1;
    std::uint32_t effectTarget = 1;
    std::uint32_t drawBg = 1;
    std::uint32_t force60fps = 0;
    std::uint32_t imgArchive = 0;
    std::uint32_t noDamage = 0;
    std::uint32_t flagDebug = 0;
    std::uint32_t noGameOver = 0;
    std::uint32_t allStage = 0;
    std::uint32_t online = 1;
    std::uint32_t readSkipEnable = 1;
    std::uint32_t wideCompress = 0;
    std::uint32_t forceNoPractice = 0;
    std::uint32_t runtimeSwitch = 1;
    std::int32_t replay = 0;
    std::uint32_t volume0 = 5;
    std::uint32_t volume1 = 5;
    std::uint32_t volume2 = 5;
    std::uint32_t maxContinue = 3;
    std::uint32_t versionMajor = 1;
    std::uint32_t versionMinor = 0;
};

// The flag file whose presence suppresses the start-up configuration dialog.
inline constexpr const char* kNoDialogFile = "nodialog.txt";
// Creates "nodialog.txt" (an existing one is left as it is); false when it
// cannot be made (the caller says so in the log).
bool createNoDialogFile();
// True when "nodialog.txt" can be opened for reading.
bool noDialogFileExists();
