#include "records/GameInfo.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/Text.h"
#include "records/PlayEnvironment.h"
#include "records/RecordFiles.h"
#include "script/BuiltinVariableTable.h"
#include "services/DebugInfo.h"
#include "services/Truncate.h"

namespace {
// Counters wrap as the 32-bit words they are instead of overflowing.
std::int32_t wrappingAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::int32_t clampToRange(std::int64_t value, std::int64_t low, std::int64_t high) {
    return static_cast<std::int32_t>(std::clamp(value, low, high));
}

constexpr std::int64_t kPrateMax = 1000000;
constexpr std::int64_t kRankMax = 1000000;
constexpr std::int64_t kSpiritMax = 20000;
constexpr float kMpointMax = 1200.0f;
constexpr std::int32_t kNameLength = 8;
constexpr std::int32_t kBlank = 32;
constexpr std::int32_t kEndingCount = GameInfo::kEndingWords * 32;
// Four bits per stage in a 32-bit reach word: stages 1..8.
constexpr std::int32_t kReachStages = 8;
constexpr std::int32_t kReachBitsPerStage = 4;

// Character `position` (0..7) of a name packed big-endian into two words.
std::int32_t nameChar(const std::array<std::uint32_t, 2>& name, std::int32_t position) {
    unsigned shift = 8u * static_cast<unsigned>(3 - position % 4);
    return static_cast<std::int32_t>((name[position / 4] >> shift) & 0xFFu);
}
}  // namespace

GameInfo::GameInfo() {
    static std::atomic<std::uint64_t> made{0};
    serial_ = ++made;
    names_.continueNum = internName("continuenum");
    names_.maxContinueNum = internName("maxcontinuenum");
    names_.difficulty = internName("difficulty");
    names_.vorlyType = internName("vorlytype");
    names_.weaponType = internName("weapontype");
    names_.practiceMode = internName("practice_mode");
    names_.stageNum = internName("stagenum");
    names_.stageFlag = internName("stageflag");
    names_.targetScore = internName("targetscore");
    names_.ignoreCollision = internName("ignorecollision");
}

GameInfo::~GameInfo() {
    if (initialised_) {
        saveRecordFiles(*this);
        playenv::storeMaxContinue(truncatedVar(names_.maxContinueNum));
        namedInts_[names_.ignoreCollision] = 0;
    }
}

void GameInfo::init() {
    initialised_ = 1;
    itemCounts_.fill(0);
    reachStage_.fill(0);
    online_.clearOnlineRanks();
    endingBits_.fill(0);
    playerName_ = packName("NONAME  ");
    zeroSavedFlagIds();
    for (std::int32_t id = 0; id < kSavedFlagIds; ++id) {
        currentFlags_[id] = 0;
        replayStageFlags_[id] = 0;
    }
    setVar(names_.maxContinueNum, static_cast<float>(playenv::maxContinue()));
    readTextReadFile(*this);
}

void GameInfo::load() {
    zeroSavedFlagIds();
    loadRecordFiles(*this);
    eCrystal1_ = 0;
    eCrystal2_ = 0;
    itemCounts_.fill(0);
    textBlockActive_ = 0;
}

void GameInfo::zeroSavedFlagIds() {
    for (GameFlagMap& saved : savedFlags_) {
        for (std::int32_t id = 0; id < kSavedFlagIds; ++id) saved[id] = 0;
    }
}

std::int32_t GameInfo::truncatedVar(NameHandle id) { return truncateToInt32(getVar(id)); }

// ---- variable store ----

float GameInfo::getVar(std::uint32_t id) { return scriptVars_[id]; }
void GameInfo::setVar(std::uint32_t id, float value) { scriptVars_[id] = value; }
void GameInfo::addVar(std::uint32_t id, float value) { scriptVars_[id] += value; }
void GameInfo::incVar(std::uint32_t id) { scriptVars_[id] += 1.0f; }
void GameInfo::decVar(std::uint32_t id) { scriptVars_[id] -= 1.0f; }

float GameInfo::getVarDigits(std::uint32_t id) {
    return static_cast<float>(countDigits(truncateToInt32(getVar(id))));
}

float GameInfo::getVarLeadingDigit(std::uint32_t id) {
    float place = 1.0f;
    for (std::int32_t digits = countDigits(truncateToInt32(getVar(id))); digits > 1; --digits) place *= 10.0f;
    return place;
}

void GameInfo::setGlobalVar(std::uint32_t id, float value) { globalVars_[id] = value; }
float GameInfo::getGlobalVar(std::uint32_t id) { return globalVars_[id]; }

void GameInfo::setDynamicVar(std::uint32_t id, const BulletML_Node_Number* expression) {
    dynamicVars_[id] = expression;
}

double GameInfo::resolveVar(std::uint32_t id) {
    auto found = dynamicVars_.find(id);
    if (found == dynamicVars_.end() || found->second == nullptr) return 0.0;
    // A variable bound to itself, directly or through others, would recurse
    // without end: past a fixed depth the chain reads 0.0 (logged once per name).
    if (resolveDepth_ >= kMaxDynamicDepth) {
        if (reportedCycles_.insert(id).second) {
            logLine("動的変数 @" + text::cp932ToUtf8(nameText(id)) +
                    " の参照が循環しているか深すぎるため、0 として読みます");
        }
        return 0.0;
    }
    struct DepthGuard {
        int& depth;
        explicit DepthGuard(int& d) : depth(d) { ++depth; }
        ~DepthGuard() { --depth; }
    } guard(resolveDepth_);
    // Literal and built-in numbers give their value, global and dynamic ones
    // are read from this record; any other is evaluated without a parameter
    // vector or object variables (parameters and object variables read 0.0).
    const BulletML_Node_Number& number = *found->second;
    switch (number.getKind()) {
        case BulletML_Node_Number::kLiteral:
            return number.getLiteral();
        case BulletML_Node_Number::kBuiltinVariable:
            return builtinVariableValue(static_cast<std::uint32_t>(number.getBuiltinId()));
        case BulletML_Node_Number::kGlobalVariable:
            return getGlobalVar(number.getVariable());
        case BulletML_Node_Number::kDynamicVariable:
            return resolveVar(number.getVariable());
        default:
            return number.evaluate(nullptr, nullptr);
    }
}

void GameInfo::setNamedVar(std::string_view name, std::int32_t value) { namedInts_[internName(name)] = value; }
std::int32_t GameInfo::getNamedVar(std::string_view name) { return namedInts_[internName(name)]; }

void GameInfo::setLock(std::uint32_t id) { locks_[id] = 1; }
void GameInfo::releaseLock(std::uint32_t id) { locks_[id] = 0; }

std::int32_t GameInfo::isLocked(std::uint32_t id) const {
    auto found = locks_.find(id);
    return found != locks_.end() && found->second != 0 ? 1 : 0;
}

void GameInfo::releaseAllLocks() { locks_.clear(); }

// ---- game flags ----

void GameInfo::setGameFlag(std::int32_t id, std::int32_t value) { currentFlags_[id] = value; }
void GameInfo::setStageGameFlag(std::int32_t id, std::int32_t value) { replayStageFlags_[id] = value; }

std::int32_t GameInfo::getGameFlag(std::int32_t id) const {
    const GameFlagMap& flags = playenv::replayStarted() ? replayStageFlags_ : currentFlags_;
    auto found = flags.find(id);
    return found != flags.end() ? found->second : 0;
}

void GameInfo::clearGameFlags() {
    currentFlags_.clear();
    for (std::int32_t id = 0; id < kSavedFlagIds; ++id) {
        currentFlags_[id] = 0;
        replayStageFlags_[id] = 0;
    }
}

GameFlagMap& GameInfo::savedGameFlags(std::int32_t pairingType) {
    return savedFlags_[pairingType == 2 ? 1 : pairingType == 3 ? 2 : 0];
}

const GameFlagMap& GameInfo::savedGameFlags(std::int32_t pairingType) const {
    return savedFlags_[pairingType == 2 ? 1 : pairingType == 3 ? 2 : 0];
}

void GameInfo::updateGameFlags() {
    GameFlagMap& saved = savedGameFlags(truncatedVar(names_.vorlyType));
    for (std::int32_t id = 0; id < kSavedFlagIds; ++id) {
        auto found = currentFlags_.find(id);
        if (found == currentFlags_.end() || found->second == 0) continue;
        // Flag value v is kept as bit v - 1; the shift count wraps at 32 as
        // the x86 shift instruction does.
        unsigned shift = (static_cast<std::uint32_t>(found->second) - 1u) & 31u;
        saved[id] = static_cast<std::int32_t>(static_cast<std::uint32_t>(saved[id]) | (1u << shift));
    }
}

std::int32_t GameInfo::getSavedGameFlag(std::int32_t id) {
    const std::int32_t pairing = truncatedVar(names_.vorlyType);
    // Maps tried in turn: second, third, first for vorlytype 2; third, first
    // for 3; the first otherwise.
    const GameFlagMap* order[3] = {};
    if (pairing == 2) {
        order[0] = &savedFlags_[1], order[1] = &savedFlags_[2], order[2] = &savedFlags_[0];
    } else if (pairing == 3) {
        order[0] = &savedFlags_[2], order[1] = &savedFlags_[0];
    } else {
        order[0] = &savedFlags_[0];
    }
    for (const GameFlagMap* map : order) {
        if (!map) break;
        // A map answers when it holds the id or a greater one; a map that
        // holds only greater ids answers 0 for this one (it is not the value
        // of its neighbour).
        if (map->lower_bound(id) == map->end()) continue;
        auto found = map->find(id);
        return found != map->end() ? found->second : 0;
    }
    return 0;
}

std::int32_t GameInfo::getAllGameFlag(std::int32_t id) const {
    std::uint32_t all = 0;
    for (const GameFlagMap& saved : savedFlags_) {
        auto found = saved.find(id);
        if (found != saved.end()) all |= static_cast<std::uint32_t>(found->second);
    }
    return static_cast<std::int32_t>(all);
}

// ---- numbers shown as digits ----

std::int32_t GameInfo::countDigits(std::int32_t n) {
    // The magnitude in 64 bits: INT32_MIN has no 32-bit negation.
    std::int64_t magnitude = n < 0 ? -static_cast<std::int64_t>(n) : n;
    std::int32_t digits = 1;
    while (magnitude >= 10) {
        magnitude /= 10;
        ++digits;
    }
    return digits;
}

std::int32_t GameInfo::digitAt(std::int32_t value, std::int32_t n) {
    for (std::int32_t i = 0; i < n && value != 0; ++i) value /= 10;
    return value % 10;
}

// ---- play state ----

std::uint32_t GameInfo::getScore() {
    if (playenv::systemType() == 3) return score_;
    // The shown score's last digits count the continues.
    return score_ + static_cast<std::uint32_t>(truncatedVar(names_.continueNum));
}

void GameInfo::addBuzz(std::int32_t amount) { buzz_ = wrappingAdd(buzz_, amount); }

void GameInfo::requestPauseState(std::int32_t paused) {
    if (paused_ != paused) pauseToggleRequest_ = 1;
}

void GameInfo::applyPauseToggle() {
    if (pauseToggleRequest_ != 1) return;
    paused_ = paused_ ? 0 : 1;
    pauseToggleRequest_ = 0;
}

void GameInfo::setItemCount(std::int32_t type, std::int32_t value) {
    if (type >= 0 && type < kItemTypes) itemCounts_[type] = value;
}

std::int32_t GameInfo::getItemCount(std::int32_t type) const {
    return type >= 0 && type < kItemTypes ? itemCounts_[type] : 0;
}

void GameInfo::incItemCount(std::int32_t type) {
    if (type >= 0 && type < kItemTypes) itemCounts_[type] = wrappingAdd(itemCounts_[type], 1);
}

void GameInfo::incECrystal1() { eCrystal1_ = wrappingAdd(eCrystal1_, 1); }
void GameInfo::incECrystal2() { eCrystal2_ = wrappingAdd(eCrystal2_, 1); }

void GameInfo::setPrate(std::int32_t v) { prate_ = clampToRange(v, 0, kPrateMax); }
void GameInfo::addPrate(std::int32_t amount) {
    prate_ = clampToRange(static_cast<std::int64_t>(prate_) + amount, 0, kPrateMax);
}

void GameInfo::setRank(std::int32_t v) { rank_ = clampToRange(v, 0, kRankMax); }
void GameInfo::addRank(std::int32_t amount) {
    rank_ = clampToRange(static_cast<std::int64_t>(rank_) + amount, 0, kRankMax);
}

void GameInfo::setSpirit(std::int32_t v) { spirit_ = std::min<std::int32_t>(v, kSpiritMax); }
void GameInfo::addSpirit(std::int32_t amount) {
    // Only the top is limited; the sum is kept within 32 bits at the bottom.
    spirit_ = clampToRange(static_cast<std::int64_t>(spirit_) + amount, INT32_MIN, kSpiritMax);
}

void GameInfo::incVorlyCount1() { vorlyCount1_ = wrappingAdd(vorlyCount1_, 1); }
void GameInfo::incVorlyCount2() { vorlyCount2_ = wrappingAdd(vorlyCount2_, 1); }

std::int32_t GameInfo::getVorlyRate() const {
    std::int64_t total = static_cast<std::int64_t>(vorlyCount1_) + vorlyCount2_;
    if (total == 0) return 100;
    return truncateToInt32(static_cast<double>(vorlyCount1_) * 100.0 / static_cast<double>(total));
}

void GameInfo::shiftVorlyRateUp() {
    if (vorlyCount2_ > 2) {
        vorlyCount1_ = wrappingAdd(vorlyCount1_, 2);
        vorlyCount2_ -= 2;
    }
}

void GameInfo::shiftVorlyRateDown() {
    if (vorlyCount1_ > 2) {
        vorlyCount1_ -= 2;
        vorlyCount2_ = wrappingAdd(vorlyCount2_, 2);
    }
}

void GameInfo::countDroppedFrame() {
    if (playerMoveEnabled_) droppedFrames_ = wrappingAdd(droppedFrames_, 1);
    if (playerMoveEnabled_) playFrames_ = wrappingAdd(playFrames_, 1);
}

std::array<std::uint32_t, 2> GameInfo::packName(std::string_view name) {
    std::array<std::uint32_t, 2> words{};
    for (std::int32_t i = 0; i < kNameLength; ++i) {
        std::uint32_t byte = i < static_cast<std::int32_t>(name.size()) ? static_cast<unsigned char>(name[i]) : ' ';
        words[i / 4] |= byte << (8u * static_cast<unsigned>(3 - i % 4));
    }
    return words;
}

void GameInfo::setMyNameChar(std::int32_t position, std::int32_t character) {
    if (position < 0 || position >= kNameLength) return;
    myScoreUpdated_ = 1;
    unsigned shift = 8u * static_cast<unsigned>(3 - position % 4);
    std::uint32_t& word = editedName_[position / 4];
    word = (word & ~(0xFFu << shift)) | ((static_cast<std::uint32_t>(character) & 0xFFu) << shift);
}

std::int32_t GameInfo::getMyNameLength() const {
    for (std::int32_t i = kNameLength - 1; i >= 0; --i) {
        std::int32_t c = nameChar(playerName_, i);
        if (c != 0 && c != kBlank) return i + 1;
    }
    return 0;
}

std::int32_t GameInfo::getMyNameChar(std::int32_t position) const {
    if (position < 0 || position >= getMyNameLength()) return kBlank;
    return nameChar(playerName_, position);
}

void GameInfo::setEndingSeen(std::int32_t n) {
    if (playenv::replayManagerExists() && playenv::replayPlayingBack()) return;
    if (n < 0 || n >= kEndingCount) return;
    endingBits_[n / 32] |= 1u << (n % 32);
}

std::int32_t GameInfo::isEndingSeen(std::int32_t n) const {
    if (playenv::allStage()) return 1;
    if (n < 0 || n >= kEndingCount) return 0;
    return static_cast<std::int32_t>((endingBits_[n / 32] >> (n % 32)) & 1u);
}

namespace {
// Position of bit `bit` of stage `stage`'s group in a reach word, or -1 when
// the stage or the bit lies outside the word.
int reachBitPosition(std::int32_t stage, std::int32_t bit) {
    if (stage < 1 || stage > kReachStages || bit < 0 || bit >= kReachBitsPerStage) return -1;
    return kReachBitsPerStage * (stage - 1) + bit;
}
}  // namespace

std::int32_t GameInfo::hasReachedStage(std::int32_t stage, std::int32_t bit, std::int32_t pairing,
                                       std::int32_t difficulty) const {
    if (playenv::allStage()) return 1;
    int position = reachBitPosition(stage, bit);
    if (position < 0 || pairing < 0 || difficulty < 0) return 0;
    std::uint32_t word = reachStage_[3 * std::min(difficulty, 2) + std::min(pairing, 2)];
    return static_cast<std::int32_t>((word >> position) & 1u);
}

std::int32_t GameInfo::hasReachedStageAll(std::int32_t stage, std::int32_t bit) const {
    if (playenv::allStage()) return 1;
    int position = reachBitPosition(stage, bit);
    if (position < 0) return 0;
    for (std::uint32_t word : reachStage_) {
        if ((word >> position) & 1u) return 1;
    }
    return 0;
}

void GameInfo::setMaxStageUpdate(std::int32_t v) {
    if (maxStageUpdate_ == 0 && v == 1) {
        setVar(names_.stageFlag, -1.0f);
        setVar(names_.stageNum, -1.0f);
    }
    maxStageUpdate_ = v;
}

std::uint32_t GameInfo::getDiffScore() {
    std::uint32_t target = static_cast<std::uint32_t>(truncatedVar(names_.targetScore));
    return score_ <= target ? target - score_ : 0;
}

std::int32_t GameInfo::getDiffScoreDigits() {
    std::int64_t difference = static_cast<std::int64_t>(truncatedVar(names_.targetScore)) - score_;
    return countDigits(static_cast<std::int32_t>(std::max<std::int64_t>(difference, 0)));
}

void GameInfo::setMpoint(float v) {
    // NaN fails both tests and becomes 0.0.
    mpoint_ = v >= 0.0f ? std::min(v, kMpointMax) : 0.0f;
}

void GameInfo::addMpoint(float amount) { setMpoint(mpoint_ + amount); }
