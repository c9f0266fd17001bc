#include "input/ReplayManager.h"

#include <cmath>
#include <cstring>

#include "input/DInputObject.h"
#include "input/ReplayFormat.h"
#include "network/NetworkManager.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "records/GameInfo.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"

namespace {
// The replay's dropped-frame total: the stages' 32-bit counts summed in
// 32 bits, wrapping as the stored words do; a file from elsewhere may hold
// counts whose sum does not fit.
std::int32_t addDroppedFrames(std::int32_t total, std::uint32_t frames) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(total) + frames);
}


constexpr std::string_view kSource = "ReplayManager";

std::int32_t wholeVar(const char* name) {
    if (!g_gameInfo) return 0;
    const double v = g_gameInfo->getVar(internName(name));
    if (!std::isfinite(v) || v >= 2147483648.0 || v < -2147483648.0) return 0;
    return static_cast<std::int32_t>(v);
}

void setVar(const char* name, std::int32_t value) {
    if (g_gameInfo) g_gameInfo->setVar(internName(name), static_cast<float>(value));
}

std::int32_t digits(std::uint32_t value) {
    std::int32_t n = 1;
    while (value >= 10) {
        value /= 10;
        ++n;
    }
    return n;
}

std::int32_t maxStage(std::uint32_t mask) {
    std::int32_t highest = 0;
    for (int s = 1; s <= 9; ++s)
        if ((mask >> (2 * s - 2)) & 3) highest = s;
    return highest;
}

bool validSlot(std::int32_t slot) { return slot >= 1 && slot <= ReplayManager::kSlotCount; }

void logBrokenHeader(const std::string& path, const std::string& problem) {
    logLine("リプレイファイル " + path + " のヘッダが壊れています");
    if (!problem.empty()) logLine("  不正な値: " + problem);
}

// A replay file's bytes. Its size is asked first: a file larger than any
// replay is refused unread, as a broken header; a file that cannot be read is
// logged as a failure of the caller's line.
std::optional<std::vector<std::uint8_t>> readReplayBytes(const std::string& path, int callerLine) {
    const std::int64_t size = File::sizeOf(path);
    if (size > static_cast<std::int64_t>(kMaxReplayFileSize)) {
        logBrokenHeader(path, "size " + std::to_string(size));
        return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> bytes = File::readAll(path, kMaxReplayFileSize);
    if (!bytes) logFailure(kSource, callerLine, E_FAIL, path);
    return bytes;
}

}  // namespace

ReplayManager::ReplayManager() = default;
ReplayManager::~ReplayManager() = default;

std::string ReplayManager::slotPath(std::int32_t slot) { return "replay\\replay" + std::to_string(slot) + ".rpy"; }

void ReplayManager::setup() {
    recording_ = std::make_shared<ReplayData>();
    selected_ = std::make_shared<ReplayData>();
    loadAllReplays();
    const std::int32_t configured = g_systemInfo ? g_systemInfo->getReplay() : 0;
    // The configured slot plays at start; an empty slot would play back
    // nothing with the live input locked out, so the program then records.
    if (configured > 0) {
        if (SUCCEEDED(selectReplay(configured)))
            mode_ = kPlayBack;
        else
            logFailure(kSource, __LINE__, E_FAIL, slotPath(configured));
    }
    speed_ = 1;
}

// ---- slots and files ----

void ReplayManager::loadAllReplays() {
    for (std::int32_t slot = 1; slot <= kSlotCount; ++slot) {
        const std::string path = slotPath(slot);
        if (!File::exists(path)) continue;
        auto replay = std::make_shared<ReplayData>();
        // A file that does not load leaves its slot empty (and untouched on disk).
        if (SUCCEEDED(LoadReplayFile(*replay, path)))
            slots_[slot] = std::move(replay);
        else
            slots_.erase(slot);
    }
}

std::int32_t ReplayManager::firstFreeSlot() {
    for (std::int32_t slot = 1; slot <= kSlotCount; ++slot)
        if (!File::exists(slotPath(slot))) return slot;
    logFailure(kSource, __LINE__, E_FAIL);
    return -1;
}

std::int32_t ReplayManager::hasReplay(std::int32_t slot) const { return slots_.count(slot) ? 1 : 0; }

const ReplayData* ReplayManager::getSlot(std::int32_t slot) const {
    auto it = slots_.find(slot);
    return it == slots_.end() ? nullptr : it->second.get();
}

HRESULT ReplayManager::selectReplay(std::int32_t slot) {
    auto it = slots_.find(slot);
    if (it == slots_.end()) return E_FAIL;
    selected_ = it->second;
    carriedSet_ = false;
    carriedFlags_ = 0;
    return S_OK;
}

HRESULT ReplayManager::saveReplay(std::int32_t slot) {
    if (!validSlot(slot)) {
        logFailure(kSource, __LINE__, E_FAIL, std::to_string(slot));
        return E_FAIL;
    }
    if (!recording_) recording_ = std::make_shared<ReplayData>();
    return SaveReplayFile(*recording_, slotPath(slot));
}

HRESULT ReplayManager::saveReplayAuto() {
    if (!g_systemInfo || g_systemInfo->getReplay() == 0 || mode_ == kPlayBack) return S_OK;
    endReplay();
    // With every slot taken nothing is written (saveReplay refuses slot -1).
    return saveReplay(firstFreeSlot());
}

void ReplayManager::clearReplay() {
    otherMachine_ = 0;
    replayStarted_ = 0;
    if (recording_) recording_->clear();
    if (g_dinputObject) {
        g_dinputObject->takeRecordedWords();  // resets the writer; its words are dropped
        g_dinputObject->resetReplayReader();
    }
}

bool ReplayManager::readReplayFile(std::uint32_t slot, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (!validSlot(static_cast<std::int32_t>(slot))) return false;
    const std::string path = slotPath(static_cast<std::int32_t>(slot));
    if (!File::exists(path)) return false;
    auto all = readReplayBytes(path, __LINE__);
    if (!all) return false;
    bytes = std::move(*all);
    return true;
}

bool ReplayManager::writeReplayFile(const std::uint8_t* bytes, std::size_t size) {
    const std::string path = slotPath(downloadSlot_);
    std::string problem;
    if (!validSlot(downloadSlot_) || !CheckReplayBytes(bytes, size, problem)) {
        logBrokenHeader(path, problem);
        return false;
    }
    if (!File::writeReplacing(path, bytes, size)) {
        logFailure(kSource, __LINE__, E_FAIL, path);
        return false;
    }
    return true;
}

void ReplayManager::saveOnlineReplay(std::int32_t slot, std::int32_t entry) {
    downloadSlot_ = slot;
    if (!g_gameInfo) return;
    const auto [d, t, kind, key] = onlineKeys_;
    const std::uint32_t id0 = g_gameInfo->getOnlineReplayMachineId0(entry, d, t, kind, key);
    const std::uint32_t id1 = g_gameInfo->getOnlineReplayMachineId1(entry, d, t, kind, key);
    const std::uint32_t date = g_gameInfo->getOnlineReplayYear(entry, d, t, kind, key) * 10000 +
                               g_gameInfo->getOnlineReplayDate(entry, d, t, kind, key);
    const std::uint32_t time = g_gameInfo->getOnlineReplayTime(entry, d, t, kind, key);
    const std::uint32_t score = g_gameInfo->getOnlineReplayScore(entry, d, t, kind, key);
    // Request 5 (id0, id1, date, time, score, 0, 0, 0) goes to the network
    // manager's queue; while no network manager exists nothing is queued.
    if (NetworkManager* network = g_networkManager) network->requestEx(5, id0, id1, date, time, score, 0, 0, 0);
}

HRESULT ReplayManager::LoadReplayFile(ReplayData& replay, const std::string& path) {
    replay.fileName = path;
    replay.flagByte = 0;
    auto bytes = readReplayBytes(path, __LINE__);
    if (!bytes) return E_FAIL;
    std::string problem;
    if (!CheckReplayBytes(bytes->data(), bytes->size(), problem)) {
        logBrokenHeader(path, problem);
        replay.clear();
        return E_FAIL;
    }
    HRESULT result = ParseReplayHeader(replay, bytes->data(), bytes->size());
    if (FAILED(result)) {
        logBrokenHeader(path, {});
        return result;
    }
    size_t at = kReplayHeaderSize + 4 * size_t{replay.readTextCount};
    for (int s : StagesInMask(replay.stageMask)) {
        result = ParseStageRecord(replay, s, bytes->data() + at, bytes->data(), bytes->size());
        if (FAILED(result)) {
            logBrokenHeader(path, {});
            replay.clear();
            return result;
        }
        at += kStageRecordSize;
    }
    replay.totalPlayFrames = 0;
    for (const auto& [s, stage] : replay.stages)
        if (s >= 1 && s <= 9) replay.totalPlayFrames = addDroppedFrames(replay.totalPlayFrames, stage->field(14));
    return result;
}

HRESULT ReplayManager::SaveReplayFile(ReplayData& replay, const std::string& path) {
    replay.readTexts.clear();
    if (g_systemInfo && g_systemInfo->getConfigWord9() != 0 && g_gameInfo)
        replay.readTexts = g_gameInfo->getPlayReadTextSet();
    replay.readTextCount = static_cast<std::uint32_t>(replay.readTexts.size());
    // Only stages 1..9 with a state in their flags are listed by the stage
    // mask, so only those are written: a reader finds exactly these records.
    std::vector<int> written;
    replay.totalPlayFrames = 0;
    for (const auto& [s, stage] : replay.stages) {
        if (s < 1 || s > 9 || (stage->field(4) & 3) == 0) {
            logLine("リプレイのステージ " + std::to_string(s) + " は書き込みません");
            continue;
        }
        written.push_back(s);
        replay.totalPlayFrames = addDroppedFrames(replay.totalPlayFrames, stage->field(14));
    }
    if (written.empty()) return S_OK;

    std::uint64_t offset = kReplayHeaderSize + 4 * std::uint64_t{replay.readTextCount} + kStageRecordSize * written.size();
    const std::uint64_t recordsAt = kReplayHeaderSize + 4 * std::uint64_t{replay.readTextCount};
    for (int s : written) {
        auto& stage = *replay.stages[s];
        stage.field(1) = static_cast<std::uint32_t>(offset);
        stage.field(15) = static_cast<std::uint32_t>(stage.block.size());
        offset += stage.block.size();
    }
    std::vector<std::uint8_t> buffer(static_cast<size_t>(offset), 0);
    BuildReplayHeader(replay, buffer.data());
    // BuildReplayHeader computes the mask from every stage; keep only the written ones.
    std::uint32_t mask = 0;
    for (int s : written) mask |= (replay.stages[s]->field(4) & 3u) << (2 * s - 2);
    replay.stageMask = mask;
    WriteU32BE(buffer.data() + 16, mask);
    size_t at = static_cast<size_t>(recordsAt);
    for (int s : written) {
        WriteStageRecord(replay, s, buffer.data() + at);
        at += kStageRecordSize;
    }
    for (int s : written) {
        const auto& block = replay.stages[s]->block;
        if (!block.empty()) std::memcpy(buffer.data() + replay.stages[s]->field(1), block.data(), block.size());
    }
    // Written through a temporary file renamed over the old one: a shorter
    // replay leaves no old tail, a failed write leaves the old file whole.
    if (!File::writeReplacing(path, buffer.data(), buffer.size())) {
        logFailure(kSource, __LINE__, E_FAIL, path);
        return E_FAIL;
    }
    return S_OK;
}

// ---- recording and play back ----

std::int32_t ReplayManager::stageNumber() const { return wholeVar("stagenum"); }

std::optional<ReplayManager::TracePoint> ReplayManager::tracePoint() const {
    if (!active_ || !g_replayDebugInfo || !g_replayDebugInfo->hasSink()) return std::nullopt;
    if (!g_gameInfo || g_gameInfo->isPaused() || !g_frameCounter) return std::nullopt;
    const FrameCounter& frames = *g_frameCounter;
    return TracePoint{stageNumber(), frames.getFramesSinceMark() - frames.getPausedFramesSinceReplayStart()};
}

void ReplayManager::takeStageStartValues() {
    if (!g_gameInfo) return;
    GameInfo& g = *g_gameInfo;
    startValues_ = {static_cast<std::uint32_t>(g.getECrystal1()),
                    static_cast<std::uint32_t>(wholeVar("maxlife") * 256 + wholeVar("life")),
                    static_cast<std::uint32_t>(g.getBuzz()),
                    static_cast<std::uint32_t>(wholeVar("tension")),
                    static_cast<std::uint32_t>(g.getVorlyCount1()),
                    static_cast<std::uint32_t>(g.getVorlyCount2()),
                    static_cast<std::uint32_t>(g.getPrate()),
                    static_cast<std::uint32_t>(g.getItemCount(3)),
                    static_cast<std::uint32_t>(wholeVar("tbchain")),
                    static_cast<std::uint32_t>(g.getPlayFrameCount()),
                    static_cast<std::uint32_t>(g.getRank()),
                    static_cast<std::uint32_t>(wholeVar("ring")),
                    static_cast<std::uint32_t>(g.getSpirit()),
                    static_cast<std::uint32_t>(wholeVar("secret")),
                    static_cast<std::uint32_t>(wholeVar("avgprate")),
                    static_cast<std::uint32_t>(wholeVar("misscount"))};
}

void ReplayManager::startReplayCommand() {
    // Replays store no seed: every stage run starts the shared generator anew.
    if (hooks_.reseedRandom) hooks_.reseedRandom();
    startReplay();
}

void ReplayManager::startReplay() {
    if (g_replayDebugInfo) g_replayDebugInfo->writeLine("startReplay");
    startTime_ = Clock::instance().timeGetTime();
    const std::int32_t s = stageNumber();
    if (!recording_) recording_ = std::make_shared<ReplayData>();
    if (!selected_) selected_ = std::make_shared<ReplayData>();

    if (mode_ == kRecord) {
        takeStageStartValues();
        carriedSet_ = false;
        carriedFlags_ = 0;
        if (g_dinputObject) g_dinputObject->clearKeyState();
    } else {
        if (g_dinputObject) {
            g_dinputObject->clearLockMask(DInputObject::kLockStageEnded);
            g_dinputObject->setLockMask(DInputObject::kLockReplayStage);
            g_dinputObject->resetReplayReader();
            g_dinputObject->clearKeyState();
        }
        const bool otherId = g_gameInfo && (g_gameInfo->getMachineId0() != selected_->machineId0 ||
                                            g_gameInfo->getMachineId1() != selected_->machineId1);
        if (otherId || selected_->flagByte != 0) {
            recording_->flagByte |= 1;
            selected_->flagByte |= 1;
            otherMachine_ = 1;
        }
        playStage(s);
        if (mode_ == kRestart)
            prepareRestart(s);
        else {
            carriedSet_ = false;
            carriedFlags_ = 0;
        }
    }
    if (hooks_.stopTopScripts) hooks_.stopTopScripts();
    if (hooks_.resetSlowCounter) hooks_.resetSlowCounter();
    if (g_frameCounter) g_frameCounter->markReplayStart();
    active_ = 1;
    replayStarted_ = 1;
}

HRESULT ReplayManager::playStage(std::int32_t s) {
    if (!selected_) return E_FAIL;
    auto it = selected_->stages.find(s);
    if (it == selected_->stages.end()) {
        // A stage the replay does not hold plays nothing: the reader stays empty.
        logFailure(kSource, __LINE__, E_FAIL, std::to_string(s));
        if (g_dinputObject && g_dinputObject->getReplayReader()) g_dinputObject->getReplayReader()->clearState();
        return E_FAIL;
    }
    const StageReplayData& stage = *it->second;
    const auto words = ExpandInputWords(stage.block.data(), stage.block.size(), stage.field(2));
    if (g_dinputObject) {
        if (auto* reader = g_dinputObject->getReplayReader()) reader->clearState();
        g_dinputObject->loadRecordedWords(words.data(), words.size());
    }
    if (!g_gameInfo) return S_OK;
    GameInfo& g = *g_gameInfo;
    auto i32 = [&stage](int n) { return static_cast<std::int32_t>(stage.field(n)); };
    g.setECrystal1(i32(5));
    setVar("maxlife", i32(6) / 256);
    setVar("life", i32(6) % 256);
    g.setBuzz(i32(7));
    setVar("tension", i32(8));
    g.setPrate(i32(11));
    g.setItemCount(3, i32(12));
    g.setVorlyCounts(i32(9), i32(10));
    setVar("tbchain", i32(13));
    g.setSpirit(i32(18));
    g.setRank(i32(16));
    setVar("ring", i32(17));
    setVar("secret", i32(19));
    setVar("avgprate", i32(20));
    setVar("misscount", i32(22));
    const std::uint32_t flags = stage.field(4);
    setVar("weapontype", (flags & 0x1000) ? 1 : (flags & 0x2000) ? 2 : 0);
    for (int i = 0; i < 100; ++i) {
        g.setStageGameFlag(i, selected_->gameFlags[static_cast<size_t>(i)]);
        g.setGameFlag(i, selected_->gameFlags[static_cast<size_t>(i)]);
    }
    g.getPlayReadTextSet() = selected_->readTexts;
    auto previous = selected_->stages.find(s - 1);
    std::uint32_t carried;
    if (previous != selected_->stages.end()) {
        g.setScore(previous->second->field(3));
        carried = previous->second->field(4);
    } else {
        g.setScore(0);
        carried = stage.field(21);
    }
    setVar("_player_type", (carried >> 2) & 1);
    if (carried & 8) g.setPlayerSwitchable(0);
    return S_OK;
}

HRESULT ReplayManager::prepareRestart(std::int32_t s) {
    if (!selected_) return E_FAIL;
    auto it = selected_->stages.find(s);
    if (it == selected_->stages.end()) {
        logFailure(kSource, __LINE__, E_FAIL, std::to_string(s));
        return E_FAIL;
    }
    const StageReplayData& stage = *it->second;
    const int fieldOf[16] = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 18, 19, 20, 22};
    for (size_t i = 0; i < 16; ++i)
        if (fieldOf[i] != 14) startValues_[i] = stage.field(fieldOf[i]);
    setVar("misscount", static_cast<std::int32_t>(stage.field(22)));
    const std::uint32_t carried = stage.field(21);
    setVar("_player_type", (carried >> 2) & 1);
    if (g_gameInfo) {
        if (carried & 8) g_gameInfo->setPlayerSwitchable(0);
        g_gameInfo->setScore(0);
    }
    carriedSet_ = true;
    carriedFlags_ = carried;
    return S_OK;
}

void ReplayManager::endReplay() {
    if (!active_) return;
    active_ = 0;
    if (mode_ == kPlayBack) {
        if (g_dinputObject) g_dinputObject->setLockMask(DInputObject::kLockStageEnded);
    } else {
        captureStage();
    }
    if (mode_ == kRestart) mode_ = kRecord;
}

void ReplayManager::captureStage() {
    if (mode_ == kPlayBack || !g_dinputObject || !g_dinputObject->getReplayWriter()) return;
    const std::int32_t s = stageNumber();
    DInputDeviceReplayWriter* writer = g_dinputObject->getReplayWriter();
    // The frame that ends the stage already moved the player by its word,
    // which the writer has not queued yet: it is added so play back ends alike.
    const InputWord last = writer->getCurrentWord();
    std::vector<std::uint8_t> bytes = g_dinputObject->takeRecordedWords();
    bytes.push_back(static_cast<std::uint8_t>(last >> 8));
    bytes.push_back(static_cast<std::uint8_t>(last));
    if (s < 1 || s > 9) {
        // A record outside 1..9 could not be listed by the stage mask.
        logLine("リプレイのステージ番号が不正です: " + std::to_string(s));
        return;
    }
    if (!g_gameInfo) return;
    GameInfo& g = *g_gameInfo;
    if (!recording_) recording_ = std::make_shared<ReplayData>();
    auto stage = std::make_shared<StageReplayData>();
    stage->field(2) = static_cast<std::uint32_t>(bytes.size());
    stage->field(3) = g.getScore();
    std::uint32_t flags = static_cast<std::uint32_t>(wholeVar("stageflag") + 1);
    if (wholeVar("_player_type") != 0) flags += 4;
    if (g.isPlayerSwitchable() == 0) flags += 8;
    const std::int32_t weapon = wholeVar("weapontype");
    if (weapon == 1) flags += 0x1000;
    if (weapon == 2) flags += 0x2000;
    stage->field(4) = flags;
    const int fieldOf[16] = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 18, 19, 20, 22};
    startValues_[9] = static_cast<std::uint32_t>(g.getPlayFrameCount());
    for (size_t i = 0; i < 16; ++i) stage->field(fieldOf[i]) = startValues_[i];
    size_t coded = 0;
    stage->block = CompressInputWords(bytes.data(), bytes.size(), coded);
    stage->field(15) = static_cast<std::uint32_t>(coded);
    auto previous = recording_->stages.find(s - 1);
    if (previous != recording_->stages.end()) {
        stage->field(21) = previous->second->field(4);
    } else if (carriedSet_) {
        stage->field(21) = carriedFlags_;
        carriedSet_ = false;
        carriedFlags_ = 0;
    }
    recording_->stages[s] = std::move(stage);
    recording_->score = recording_->stages[s]->field(3);
}

// ---- queries ----

std::int32_t ReplayManager::replayFact(Fact fact, std::int32_t slot) const {
    const ReplayData* r = validSlot(slot) ? getSlot(slot) : nullptr;
    if (!r) return fact == Fact::MajorVersion ? 1 : 0;
    const std::uint32_t difficulty = (r->modeFlags >> 4) & 15;
    switch (fact) {
    case Fact::Valid: return 1;
    case Fact::MajorVersion: return static_cast<std::int32_t>((r->version >> 8) & 15);
    case Fact::MinorVersion1: return static_cast<std::int32_t>((r->version >> 4) & 15);
    case Fact::MinorVersion2: return static_cast<std::int32_t>(r->version & 15);
    case Fact::DroppedFrames: return r->totalPlayFrames;
    case Fact::Score: return static_cast<std::int32_t>(r->score);
    case Fact::ScoreFigure: return digits(r->score);
    case Fact::MaxStage: return maxStage(r->stageMask);
    case Fact::Year: return r->year;
    case Fact::Month: return r->month;
    case Fact::Day: return r->day;
    case Fact::Hour: return r->hour;
    case Fact::Minute: return r->minute;
    case Fact::Vorly: return static_cast<std::int32_t>(r->modeFlags & 15);
    case Fact::Weapon: return static_cast<std::int32_t>((r->modeFlags >> 12) & 15);
    case Fact::Difficulty: return difficulty <= 6 ? static_cast<std::int32_t>(difficulty) : 0;
    case Fact::RealDifficulty: return static_cast<std::int32_t>(DifficultyCode(static_cast<std::int32_t>(difficulty)));
    case Fact::PracticeMode: return (r->modeFlags & 0xF00) ? 1 : 0;
    case Fact::Id: return 0;
    case Fact::EachStage: return static_cast<std::int32_t>(r->stageMask);
    }
    return 0;
}

std::int32_t ReplayManager::replayName(std::int32_t slot, std::int32_t position) const {
    const ReplayData* r = validSlot(slot) ? getSlot(slot) : nullptr;
    if (!r || position < 0 || static_cast<size_t>(position) >= r->name.size()) return 32;
    return static_cast<std::uint8_t>(r->name[static_cast<size_t>(position)]);
}

std::int32_t ReplayManager::selectedStageFlag() const {
    return selected_ ? static_cast<std::int32_t>(selected_->stageMask) : 0;
}

std::int32_t ReplayManager::selectedEachStage(std::int32_t s) const {
    if (!selected_ || s < 1 || s > 9) return 0;
    return static_cast<std::int32_t>((selected_->stageMask >> (2 * s - 2)) & 3);
}

std::int32_t ReplayManager::selectedStageScore(std::int32_t s) const {
    if (!selected_ || s < 1 || s > 9) return 0;
    auto it = selected_->stages.find(s);
    return it == selected_->stages.end() ? 0 : static_cast<std::int32_t>(it->second->field(3));
}

void ReplayManager::setOnlineReplay(std::int32_t a, std::int32_t b, std::int32_t c) {
    onlineKeys_[0] = a;
    onlineKeys_[1] = b;
    onlineKeys_[2] = c;
}

std::int32_t ReplayManager::onlineFact(Fact fact, std::int32_t rank) const {
    if (!g_gameInfo) return fact == Fact::MajorVersion ? 1 : 0;
    const GameInfo& g = *g_gameInfo;
    const auto [d, t, kind, key] = onlineKeys_;
    auto i32 = [](std::uint32_t v) { return static_cast<std::int32_t>(v); };
    switch (fact) {
    case Fact::Valid: return g.isOnlineReplayValid(rank, d, t, kind, key);
    case Fact::MajorVersion: return i32(g.getOnlineReplayMajorVersion(rank, d, t));
    case Fact::MinorVersion1: return i32(g.getOnlineReplayMinorVersion1(rank, d, t));
    case Fact::MinorVersion2: return i32(g.getOnlineReplayMinorVersion2(rank, d, t));
    case Fact::DroppedFrames: return i32(g.getOnlineReplayDroppedFrames(rank, d, t));
    case Fact::Score: return i32(g.getOnlineReplayScore(rank, d, t, kind, key));
    case Fact::ScoreFigure: return digits(g.getOnlineReplayScore(rank, d, t, kind, key));
    case Fact::MaxStage: return maxStage(g.getOnlineReplayEachStage(rank, d, t, kind, key));
    case Fact::Year: return i32(g.getOnlineReplayYear(rank, d, t, kind, key));
    case Fact::Month: return i32(g.getOnlineReplayDate(rank, d, t, kind, key) / 100);
    case Fact::Day: return i32(g.getOnlineReplayDate(rank, d, t, kind, key) % 100);
    case Fact::Hour: return i32(g.getOnlineReplayTime(rank, d, t, kind, key) / 100);
    case Fact::Minute: return i32(g.getOnlineReplayTime(rank, d, t, kind, key) % 100);
    case Fact::Vorly: return 0;  // the online entries carry no vorly type
    case Fact::Weapon: return i32(g.getOnlineReplayWeapon(rank, d, t, kind, key));
    case Fact::Difficulty: return i32(g.getOnlineReplayDifficulty(rank, d, t, kind, key));
    // The entry holds the stored code (3 and 4 swapped); this undoes the swap.
    case Fact::RealDifficulty:
        return i32(DifficultyCode(i32(g.getOnlineReplayDifficulty(rank, d, t, kind, key))));
    case Fact::PracticeMode: return 0;
    case Fact::Id: return i32(g.getOnlineReplayId(rank, d, t, kind, key));
    case Fact::EachStage: return i32(g.getOnlineReplayEachStage(rank, d, t, kind, key));
    }
    return 0;
}

std::int32_t ReplayManager::onlineReplayName(std::int32_t rank, std::int32_t position) const {
    if (!g_gameInfo) return 32;
    const auto [d, t, kind, key] = onlineKeys_;
    return static_cast<std::int32_t>(g_gameInfo->getOnlineReplayName(rank, d, t, kind, key, position));
}

std::int32_t ReplayManager::onlineStageScore(std::int32_t rank, std::int32_t stage) const {
    if (!g_gameInfo) return 0;
    const auto [d, t, kind, key] = onlineKeys_;
    return static_cast<std::int32_t>(g_gameInfo->getOnlineReplayStageScore(rank, d, t, stage, kind, key));
}
