#include "runtime/SysVars.h"

#include <array>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <string>

#include "graphics/D3DObject.h"
#include "input/ReplayManager.h"
#include "objects/BulletObjectManager.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "runtime/RuntimePeers.h"
#include "script/BuiltinVariableTable.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "services/Truncate.h"

namespace {

// Ids 1..243 in registration order.
constexpr std::array<std::string_view, kSysVarCount> kNames = {
    "_pldx", "_fps", "_framenum", "_hiscore", "_hiscore_figure", "_reconfig_count", "_replay_vorly",
    "_replay_difficulty", "_buzz_frame", "_table_dx", "_table_dy", "_replay_eachstage", "_replay_stagescore",
    "_replay_stagescore_figure", "_gameflag", "_maxcrystal", "_tbchain", "_slowmode", "_prate_numfignum",
    "_replay_score_numfignum", "_replay_stagescore_numfignum", "_score_numfignum", "_hiscore_numfignum",
    "_player_cx", "_player_cy", "_player_x", "_player_y", "_qtime_high", "_qtime_low", "_qbonus_num",
    "_qbonus_score", "_qbonus_score_figure", "_qbonus_score_hidigit", "_score", "_score_figure", "_self_cx",
    "_self_cy", "_self_vx", "_self_vy", "_self_x", "_self_y", "_self_speed", "_self_direction", "_self_inv",
    "_self_score", "_self_score_figure", "_self_score_hidigit", "_var_targetscore", "_var_targetscore_figure",
    "_stagenum", "_var_groupnum", "_volbgm", "_volse", "_var_diffscore", "_var_diffscore_figure",
    "_qtime_rate_256", "_retrynum", "_qtime_frame", "_last_enemy_cx", "_last_enemy_cy", "_misscount",
    "_replay_stage_flag", "_cursor_x", "_cursor_y", "_valid_replay", "_replay_maxstage", "_replay_score",
    "_replay_score_figure", "_replay_year", "_replay_month", "_replay_day", "_replay_hour", "_replay_min",
    "_replay_mode", "_total_retrynum", "_continuenum", "_practice_mode", "_max_score_stage", "_gen_counter",
    "_replay_enable", "_player_type", "_power", "_power_figure", "_buzz", "_buzz_figure", "_life", "_maxlife",
    "_bomb", "_maxbomb", "_ecrystal1", "_ecrystal2", "_ecrystal1_figure", "_ecrystal2_figure", "_rand", "_rank",
    "_tension", "_tension_figure", "_revenge_state", "_playermovex", "_prate", "_prate_figure", "_ttc_frame",
    "_counter", "_ttc_item_frame", "_player_distance", "_vorlyrate", "_vorlyrate_figure", "_self_vital",
    "_parent_vital", "_difficulty", "_nextstage", "_stageflag", "_stagemisscount", "_vorlytype",
    "_replay_practice_mode", "_screen_mode", "_waitkeynum", "_keyassign", "_playerswitchable", "_replayspeed",
    "_hiscore_yyyy", "_hiscore_mmdd", "_hiscore_hhmm", "_hiscore_eachstage", "_hiscore_subscore",
    "_hiscore_subscore_figure", "_hiscore_subscore_numfignum", "_online_hiscore_yyyy", "_online_hiscore_mmdd",
    "_online_hiscore_hhmm", "_online_hiscore_eachstage", "_online_hiscore_subscore",
    "_online_hiscore_subscore_figure", "_online_hiscore_subscore_numfignum", "_online_hiscore",
    "_online_hiscore_figure", "_online_hiscore_numfignum", "_online_hiscore_name", "_myname", "_mynamelength",
    "_isonline", "_reachstage", "_myscoreupdated", "_online_rank", "_online_rank_figure", "_online_rank_numfignum",
    "_majorversion", "_minorversion", "_parent_vx", "_parent_vy", "_ending", "_reachstageall", "_player_vital",
    "_hiscore2", "_hiscore2_figure", "_hiscore2_numfignum", "_ecrystal1_numfignum", "_ecrystal2_numfignum",
    "_mpoint", "_weapontype", "_aimdirection", "_maxcontinuenum", "_targetecrystal", "_targetecrystal_numfignum",
    "_volvoice", "_gameover", "_rank_figure", "_rank_numfignum", "_ring", "_spirit", "_spirit_figure",
    "_spirit_numfignum", "_magic_rate", "_vorlymagic_spirit", "_automagic_spirit", "_magicinterval",
    "_playermovey", "_isd3dsupported", "_stageplayframe", "_replay_weapon", "_ring_figure", "_ring_numfignum",
    "_savedgameflag", "_cancelselectcnt", "_readskipenable", "_pspirit", "_pprate", "_restartstage", "_secret",
    "_avgprate", "_hiscore_weapon", "_online_hiscore_weapon", "_replay_name", "_pendingonline",
    "_online_replay_eachstage", "_online_replay_stagescore", "_online_replay_stagescore_figure",
    "_online_replay_score_numfignum", "_online_replay_stagescore_numfignum", "_online_replay_maxstage",
    "_online_replay_score", "_online_replay_score_figure", "_online_replay_year", "_online_replay_month",
    "_online_replay_day", "_online_replay_hour", "_online_replay_min", "_online_replay_weapon",
    "_online_replay_name", "_valid_online_replay", "_online_replay_difficulty", "_online_replay_vorly",
    "_networkerror", "_online_replay_real_difficulty", "_online_replay_id", "_online_replay_id_figure",
    "_online_replay_id_numfignum", "_ending_disable", "_replay_majorversion", "_replay_minorversion1",
    "_replay_minorversion2", "_online_replay_majorversion", "_online_replay_minorversion1",
    "_online_replay_minorversion2", "_online_majorversion", "_online_minorversion1", "_online_minorversion2",
    "_score_majorversion", "_score_minorversion1", "_score_minorversion2", "_score_dframe", "_score_dframe_figure",
    "_score_dframe_numfignum", "_online_score_dframe", "_online_score_dframe_figure",
    "_online_score_dframe_numfignum", "_replay_dframe", "_replay_dframe_figure", "_replay_dframe_numfignum",
    "_online_replay_dframe", "_online_replay_dframe_figure", "_online_replay_dframe_numfignum", "_allgameflag",
};

// Handle -> id, filled once by registerSysVars before any loader thread
// exists and only read afterwards.
std::map<NameHandle, std::uint32_t> g_registry;
std::once_flag g_registered;

std::uint32_t idOfName(std::string_view name) { return getSysVarId(name); }

const BuiltinVariableTable kHook{&idOfName, &ExBulletML_Runtime::getSysVarValue};

// The shared random generator of "_rand".
std::uint32_t g_randomState = 1;

// ---- value helpers ----

double asFloat(double value) { return static_cast<float>(value); }
double truth(bool value) { return value ? 1.0 : 0.0; }

NameHandle nameOf(std::string_view name) { return NamePool::instance().intern(name); }

// A game variable by name, as stored (0 when never set or without records).
float gameVar(std::string_view name) { return g_gameInfo ? g_gameInfo->getVar(nameOf(name)) : 0.0f; }

// Argument n ("_arg0".."_arg4"), truncated toward zero.
std::int32_t arg(int n) {
    static const std::array<NameHandle, 5> handles = {nameOf("_arg0"), nameOf("_arg1"), nameOf("_arg2"),
                                                      nameOf("_arg3"), nameOf("_arg4")};
    return g_gameInfo ? truncateToInt32(g_gameInfo->getVar(handles[static_cast<std::size_t>(n)])) : 0;
}

// Digit forms over the signed or the unsigned value of a source.
std::int32_t figure(std::int32_t value) { return GameInfo::countDigits(value); }
std::int32_t figureUnsigned(std::uint32_t value) {
    std::int32_t digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}
std::int32_t digitAt(std::int32_t value, std::int32_t n) { return GameInfo::digitAt(value, n); }
std::int32_t digitAtUnsigned(std::uint32_t value, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) value /= 10;
    return static_cast<std::int32_t>(value % 10);
}

BulletObjectManager* manager() { return g_bulletObjectManager; }
BulletObject* current() { return g_bulletObjectManager ? g_bulletObjectManager->getCurrentObject() : nullptr; }
BulletObject* player() { return g_bulletObjectManager ? g_bulletObjectManager->getPlayer() : nullptr; }

// The vital of an object under the shared-vital rule.
double vitalOf(const BulletObject* object) {
    if (!object) return 0.0;
    std::uint32_t key = object->getSharedVitalKey();
    if (key != 0) return manager() ? manager()->getSharedVital(key) : 0.0;
    return object->getVital();
}

// ---- families ----

double frameState(std::uint32_t id, bool& found) {
    found = true;
    FrameCounter* frames = g_frameCounter;
    switch (id) {
        case 2: return frames ? frames->getFps() : 0;
        case 3: return frames ? frames->getFrameNumber() : 0u;
        case 9: return frames ? frames->getGrazeFrames() : 0u;
        case 102: return frames ? frames->getMagicFrames() : 0u;
        case 179: return frames ? frames->getPlayerFrames() : 0u;
        // Every read counts: never cache or fold this value.
        case 79: return frames ? frames->nextSerial() : 0u;
        default: found = false; return 0.0;
    }
}

double playerState(std::uint32_t id, bool& found) {
    found = true;
    BulletObject* p = player();
    switch (id) {
        case 24: return p ? p->getX() : 0.0f;
        case 25: return p ? p->getY() : 0.0f;
        case 26: return p ? p->getLeft() : 0.0f;
        case 27: return p ? p->getTop() : 0.0f;
        case 153: return p ? p->getVital() : 0.0f;
        case 1:
            if (!p) return 0.0;
            if (p->getFlags() & 8) return -1.0;
            return (p->getFlags() & 4) ? 1.0 : 0.0;
        case 105: return manager() ? manager()->getDistanceToPlayer() : 0.0f;
        case 161: {
            BulletObject* self = current();
            if (!self) return 0.0;
            float px = manager()->getPlayerHitX();
            float py = manager()->getPlayerHitY();
            return asFloat(aimAngle(self->getX(), self->getY(), px, py));
        }
        case 18: return RuntimePeers::current().slowModeCounter();
        default: found = false; return 0.0;
    }
}

// Without a current object every one of these reads 0.0.
double currentObject(std::uint32_t id, bool& found) {
    found = true;
    BulletObject* self = current();
    switch (id) {
        case 36: return self ? self->getX() : 0.0f;
        case 37: return self ? self->getY() : 0.0f;
        case 40: return self ? self->getLeft() : 0.0f;
        case 41: return self ? self->getTop() : 0.0f;
        case 38: return self ? self->getVelocityX() : 0.0f;
        case 39: return self ? self->getVelocityY() : 0.0f;
        case 42: return self ? self->getSpeed() : 0.0f;
        case 43: return self ? self->getDirection() : 0.0f;
        case 44: return self ? self->getInvincibleFrames() : 0;
        case 45: return self ? self->getScore() : 0;
        case 46: return self ? self->getScoreDigits() : 0;
        case 47: return self ? self->getScoreMagnitude() : 0;
        case 98: return self ? (self->getFlags() >> 8) & 15u : 0u;
        case 103: return self ? self->getAge() : 0u;
        case 108: return vitalOf(self);
        case 109: return self ? vitalOf(self->getParent()) : 0.0;
        case 149: return self && self->getParent() ? self->getParent()->getVelocityX() : 0.0f;
        case 150: return self && self->getParent() ? self->getParent()->getVelocityY() : 0.0f;
        default: found = false; return 0.0;
    }
}

// The selection managers: the game menu's table and cursor, the last move
// (of the pause menu while paused) and the decide request of the active one.
double selection(std::uint32_t id, bool& found) {
    found = id == 63 || id == 64 || id == 10 || id == 11 || id == 184;
    BulletObjectManager* objects = manager();
    if (!found || !objects) return 0.0;
    SelectableObjectManager* menu = objects->getSelectableManager();
    SelectableObjectManager* moved =
        g_gameInfo && g_gameInfo->isPaused() ? objects->getPauseSelectableManager() : menu;
    switch (id) {
        case 63: return menu->getTable();
        case 64: return menu->getCursor();
        case 10: return moved->getMoveX();
        case 11: return moved->getMoveY();
        default: {
            SelectableObjectManager* active = objects->getSelectManager();
            return active ? active->takeDecideRequest() : 0.0;
        }
    }
}

double records(std::uint32_t id, bool& found) {
    found = true;
    GameInfo* g = g_gameInfo;
    if (!g) {
        found = id == 6 || id == 16 || id == 34 || id == 35 || id == 54 || id == 55 || id == 78 || id == 82 ||
                id == 83 || id == 84 || id == 85 || (id >= 90 && id <= 93) || id == 95 || id == 167 || id == 100 ||
                id == 101 || id == 106 || id == 107 || id == 119 || id == 140 || id == 143 || id == 154 ||
                id == 155 || id == 159 || id == 166 || id == 170 || id == 171 || id == 19 || id == 22 ||
                id == 157 || id == 158 || id == 168 || id == 172 || id == 156 || id == 15 || id == 183 ||
                id == 243 || id == 142 || id == 152 || id == 151 || id == 139;
        // Truth values and digit counts of nothing: 0.
        return 0.0;
    }
    switch (id) {
        case 6: return g->getReconfigCount();
        case 16: return g->getMaxCrystal();
        case 34: return g->getScore();
        case 35: return figureUnsigned(g->getScore());
        case 54: return g->getDiffScore();
        case 55: return figureUnsigned(g->getDiffScore());
        case 78: return g->getMaxScoreStage();
        case 82: return g->getItemCount(2);
        case 83: return figure(g->getItemCount(2));
        case 84: return static_cast<std::uint32_t>(g->getBuzz());
        case 85: return figureUnsigned(static_cast<std::uint32_t>(g->getBuzz()));
        case 90: return g->getECrystal1();
        case 91: return g->getECrystal2();
        case 92: return figure(g->getECrystal1());
        case 93: return figure(g->getECrystal2());
        case 95: return g->getRank();
        case 167: return figure(g->getRank());
        case 100: return g->getPrate();
        case 101: return figure(g->getPrate());
        case 106: return g->getVorlyRate();
        case 107: return figure(g->getVorlyRate());
        case 119: return truth(g->isPlayerSwitchable() != 0);
        case 140: return g->getMyNameLength();
        case 143: return g->isMyScoreUpdated();
        case 154: return g->getHiscore2();
        case 155: return figureUnsigned(g->getHiscore2());
        case 159: return g->getMpoint();
        case 166: return truth(g->isGameOver() != 0);
        case 170: return g->getSpiritNonNegative();
        case 171: return figure(g->getSpiritNonNegative());
        // Digit positions, "_arg0" = n.
        case 19: return asFloat(digitAt(g->getPrate(), arg(0)));
        case 22: return asFloat(digitAtUnsigned(g->getScore(), arg(0)));
        case 157: return asFloat(digitAt(g->getECrystal1(), arg(0)));
        case 158: return asFloat(digitAt(g->getECrystal2(), arg(0)));
        case 168: return asFloat(digitAt(g->getRank(), arg(0)));
        case 172: return asFloat(digitAt(g->getSpiritNonNegative(), arg(0)));
        case 156: return asFloat(digitAtUnsigned(g->getHiscore2(), arg(0)));
        // Flags and progress.
        case 15: return asFloat(g->getGameFlag(arg(0)));
        case 183: return asFloat(g->getSavedGameFlag(arg(0)));
        case 243: return asFloat(g->getAllGameFlag(arg(0)));
        case 142: return truth(g->hasReachedStage(arg(0), arg(1), arg(2), arg(3)) != 0);
        case 152: return truth(g->hasReachedStageAll(arg(0), arg(1)) != 0);
        case 151: return truth(g->isEndingSeen(arg(0)) != 0);
        case 139: return asFloat(g->getMyNameChar(arg(0)));
        default: found = false; return 0.0;
    }
}

double scoreTables(std::uint32_t id, bool& found) {
    found = true;
    GameInfo* g = g_gameInfo;
    bool known = (id == 4 || id == 5 || (id >= 121 && id <= 127) || id == 191 || (id >= 228 && id <= 233) ||
                  id == 23 || (id >= 128 && id <= 138) || id == 192 || (id >= 225 && id <= 227) ||
                  (id >= 234 && id <= 236) || (id >= 144 && id <= 146));
    if (!known) {
        found = false;
        return 0.0;
    }
    if (!g) return 0.0;
    int r = arg(0), d = arg(1), t = arg(2), a3 = arg(3);
    double v = 0.0;
    switch (id) {
        case 4: v = g->getHiscore(r, d, t); break;
        case 5: v = g->getHiscoreDigits(r, d, t); break;
        case 121: v = g->getHiscoreYear(r, d, t); break;
        case 122: v = g->getHiscoreMonthDay(r, d, t); break;
        case 123: v = g->getHiscoreTime(r, d, t); break;
        case 191: v = g->getHiscoreWeapon(r, d, t); break;
        case 228: v = g->getHiscoreMajorVersion(r, d, t); break;
        case 229: v = g->getHiscoreMinorVersion1(r, d, t); break;
        case 230: v = g->getHiscoreMinorVersion2(r, d, t); break;
        case 231: v = g->getHiscoreDroppedFrames(r, d, t); break;
        case 232: v = figureUnsigned(g->getHiscoreDroppedFrames(r, d, t)); break;
        case 124: v = g->getHiscoreEachStage(r, d, t, a3); break;
        case 125: v = g->getHiscoreStageScore(r, d, t, a3); break;
        case 126: v = g->getHiscoreStageScoreDigits(r, d, t, a3); break;
        case 23: v = digitAtUnsigned(g->getHiscore(r, d, t), a3); break;
        case 233: v = digitAtUnsigned(g->getHiscoreDroppedFrames(r, d, t), a3); break;
        case 127: v = digitAtUnsigned(g->getHiscoreStageScore(r, d, t, a3), arg(4)); break;
        case 135: v = g->getOnlineHiscore(r, d, t); break;
        case 136: v = g->getOnlineHiscoreDigits(r, d, t); break;
        case 128: v = g->getOnlineHiscoreYear(r, d, t); break;
        case 129: v = g->getOnlineHiscoreMonthDay(r, d, t); break;
        case 130: v = g->getOnlineHiscoreTime(r, d, t); break;
        case 192: v = g->getOnlineHiscoreWeapon(r, d, t); break;
        case 225: v = g->getOnlineMajorVersion(r, d, t); break;
        case 226: v = g->getOnlineMinorVersion1(r, d, t); break;
        case 227: v = g->getOnlineMinorVersion2(r, d, t); break;
        case 234: v = g->getOnlineHiscoreDroppedFrames(r, d, t); break;
        case 235: v = figureUnsigned(g->getOnlineHiscoreDroppedFrames(r, d, t)); break;
        case 131: v = g->getOnlineHiscoreEachStage(r, d, t, a3); break;
        case 132: v = g->getOnlineHiscoreStageScore(r, d, t, a3); break;
        case 133: v = g->getOnlineHiscoreStageScoreDigits(r, d, t, a3); break;
        case 137: v = digitAtUnsigned(g->getOnlineHiscore(r, d, t), a3); break;
        case 236: v = digitAtUnsigned(g->getOnlineHiscoreDroppedFrames(r, d, t), a3); break;
        case 138: v = r < 0 ? 0u : g->getOnlineHiscoreName(r, d, t, a3); break;
        case 134: v = digitAtUnsigned(g->getOnlineHiscoreStageScore(r, d, t, a3), arg(4)); break;
        // The player's own online rank: "_arg0" difficulty, "_arg1" type.
        case 144: v = g->getOnlineRank(r, d); break;
        case 145: v = g->getOnlineRankDigits(r, d); break;
        case 146: v = digitAtUnsigned(g->getOnlineRank(r, d), t); break;
    }
    return asFloat(v);
}

double gameVariables(std::uint32_t id, bool& found) {
    found = true;
    std::string_view name;
    switch (id) {
        case 17: name = "tbchain"; break;
        case 30: name = "qbonus_num"; break;
        case 31: name = "qbonus_score"; break;
        case 48: name = "targetscore"; break;
        case 50: name = "stagenum"; break;
        case 57: name = "retrynum"; break;
        case 58: name = "qtime_frame"; break;
        case 59: name = "last_enemy_cx"; break;
        case 60: name = "last_enemy_cy"; break;
        case 61: name = "misscount"; break;
        case 75: name = "total_retrynum"; break;
        case 76: name = "continuenum"; break;
        case 77: name = "practice_mode"; break;
        case 81: name = "_player_type"; break;
        case 86: name = "life"; break;
        case 87: name = "maxlife"; break;
        case 88: name = "bomb"; break;
        case 89: name = "maxbomb"; break;
        case 96: name = "tension"; break;
        case 99: name = "playermovex"; break;
        case 104: name = "ttcitemframe"; break;
        case 110: name = "difficulty"; break;
        case 111: name = "nextstage"; break;
        case 112: name = "stageflag"; break;
        case 113: name = "stagemisscount"; break;
        case 114: name = "vorlytype"; break;
        case 117: name = "waitkeynum"; break;
        case 160: name = "weapontype"; break;
        case 162: name = "maxcontinuenum"; break;
        case 163: name = "targetecrystal"; break;
        case 169: name = "ring"; break;
        case 173: name = "magic_rate"; break;
        case 174: name = "vorlymagic_spirit"; break;
        case 175: name = "automagic_spirit"; break;
        case 176: name = "magicinterval"; break;
        case 177: name = "playermovey"; break;
        case 186: name = "pspirit"; break;
        case 187: name = "pprate"; break;
        case 188: name = "restartstage"; break;
        case 189: name = "secret"; break;
        case 190: name = "avgprate"; break;
        default: break;
    }
    if (!name.empty()) return gameVar(name);
    GameInfo* g = g_gameInfo;
    auto digitsOf = [g](std::string_view var) { return g ? g->getVarDigits(nameOf(var)) : 0.0f; };
    auto leadOf = [g](std::string_view var) { return g ? g->getVarLeadingDigit(nameOf(var)) : 0.0f; };
    auto digitOf = [](std::string_view var) {
        return static_cast<float>(digitAt(truncateToInt32(gameVar(var)), arg(0)));
    };
    switch (id) {
        case 32: return digitsOf("qbonus_score");
        case 33: return leadOf("qbonus_score");
        case 49: return digitsOf("targetscore");
        case 51: return digitsOf("groupnum");
        case 97: return digitsOf("tension");
        case 181: return digitsOf("ring");
        case 164: return digitOf("targetecrystal");
        case 182: return digitOf("ring");
        default: found = false; return 0.0;
    }
}

// Replays: a local slot ("_arg0"), the selected replay (stage "_arg0"), and
// the online entry ("_arg0") of the table the stored keys choose, all from
// the replay manager. Without one, and for an empty slot or an entry that is
// not valid, everything reads 0 except the major version (1) and a local
// name character (a blank).
double replays(std::uint32_t id, bool& found) {
    found = true;
    using F = ReplayManager::Fact;
    const ReplayManager* r = g_replayManager;
    const std::int32_t a0 = arg(0);
    auto empty = [](F fact) { return fact == F::MajorVersion ? 1 : 0; };
    auto slot = [&](F fact) { return r ? r->replayFact(fact, a0) : empty(fact); };
    const bool onlineValid = r && r->onlineFact(F::Valid, a0) != 0;
    auto online = [&](F fact) { return onlineValid ? r->onlineFact(fact, a0) : empty(fact); };
    auto u = [](std::int32_t value) { return static_cast<std::uint32_t>(value); };
    // A stage's 2-bit state in a stage mask, stages 1..9.
    auto stageState = [](std::int32_t mask, std::int32_t stage) {
        return stage >= 1 && stage <= 9 ? (static_cast<std::uint32_t>(mask) >> (2 * stage - 2)) & 3u : 0u;
    };
    switch (id) {
        // A local slot.
        case 65: return asFloat(slot(F::Valid));
        case 7: return asFloat(slot(F::Vorly));
        case 8: return asFloat(slot(F::Difficulty));
        case 66: return asFloat(slot(F::MaxStage));
        case 67: return asFloat(u(slot(F::Score)));
        case 68: return asFloat(u(slot(F::ScoreFigure)));
        case 69: return asFloat(slot(F::Year));
        case 70: return asFloat(slot(F::Month));
        case 71: return asFloat(slot(F::Day));
        case 72: return asFloat(slot(F::Hour));
        case 73: return asFloat(slot(F::Minute));
        case 115: return asFloat(slot(F::PracticeMode));
        case 180: return asFloat(slot(F::Weapon));
        case 219: return asFloat(slot(F::MajorVersion));
        case 220: return asFloat(slot(F::MinorVersion1));
        case 221: return asFloat(slot(F::MinorVersion2));
        case 237: return asFloat(slot(F::DroppedFrames));
        case 238: return asFloat(slot(F::Valid) ? figure(slot(F::DroppedFrames)) : 0);
        case 20: return asFloat(digitAtUnsigned(u(slot(F::Score)), arg(1)));
        case 239: return asFloat(digitAt(slot(F::DroppedFrames), arg(1)));
        case 193: return asFloat(r ? r->replayName(a0, arg(1)) : 32);
        // The selected replay.
        case 62: return r ? r->selectedStageFlag() : 0;
        case 12: return asFloat(r ? r->selectedEachStage(a0) : 0);
        case 13: return asFloat(r ? u(r->selectedStageScore(a0)) : 0u);
        case 14: return asFloat(r && r->getSelectedReplay() ? figureUnsigned(u(r->selectedStageScore(a0))) : 0);
        case 21: return asFloat(r ? digitAtUnsigned(u(r->selectedStageScore(a0)), arg(1)) : 0);
        // The online entry.
        case 210: return asFloat(online(F::Valid));
        case 200: return asFloat(online(F::MaxStage));
        case 201: return asFloat(u(online(F::Score)));
        case 202: return asFloat(u(online(F::ScoreFigure)));
        case 203: return asFloat(online(F::Year));
        case 204: return asFloat(online(F::Month));
        case 205: return asFloat(online(F::Day));
        case 206: return asFloat(online(F::Hour));
        case 207: return asFloat(online(F::Minute));
        case 208: return asFloat(online(F::Weapon));
        case 211: return asFloat(online(F::Difficulty));
        case 212: return asFloat(online(F::Vorly));
        case 214: return asFloat(online(F::RealDifficulty));
        case 215: return asFloat(online(F::Id));
        case 216: return asFloat(onlineValid ? figure(online(F::Id)) : 0);
        case 222: return asFloat(online(F::MajorVersion));
        case 223: return asFloat(online(F::MinorVersion1));
        case 224: return asFloat(online(F::MinorVersion2));
        case 240: return asFloat(online(F::DroppedFrames));
        case 241: return asFloat(onlineValid ? figure(online(F::DroppedFrames)) : 0);
        case 195: return asFloat(stageState(online(F::EachStage), arg(1)));
        case 196: return asFloat(onlineValid ? u(r->onlineStageScore(a0, arg(1))) : 0u);
        case 197: return asFloat(onlineValid ? figureUnsigned(u(r->onlineStageScore(a0, arg(1)))) : 0);
        case 198: return asFloat(digitAtUnsigned(u(online(F::Score)), arg(1)));
        case 217: return asFloat(digitAt(online(F::Id), arg(1)));
        case 242: return asFloat(digitAt(online(F::DroppedFrames), arg(1)));
        case 209: return asFloat(onlineValid ? r->onlineReplayName(a0, arg(1)) : 0);
        case 199: return asFloat(onlineValid ? digitAtUnsigned(u(r->onlineStageScore(a0, arg(1))), arg(2)) : 0);
        // The manager's state.
        case 74: return r ? static_cast<std::uint32_t>(r->getMode()) : 0u;
        case 120: return r ? r->getReplaySpeed() : 1;
        case 218: return r ? r->isReplayStarted() : 0;
        default: found = false; return 0.0;
    }
}

double configuration(std::uint32_t id, bool& found) {
    found = true;
    SystemInfo* s = g_systemInfo;
    switch (id) {
        case 80: return truth(s && s->getReplayEnable() != 0);
        case 116: return truth(s && s->isWindowed() != 0);
        case 147: return s ? s->getVersionMajor() : 0u;
        case 148: return s ? s->getVersionMinor() : 0u;
        case 185: return truth(s && s->getReadSkipEnable() != 0);
        default: found = false; return 0.0;
    }
}

double devices(std::uint32_t id, bool& found) {
    found = true;
    RuntimePeers& peers = RuntimePeers::current();
    switch (id) {
        case 52: return peers.volumeLevel(1);
        case 53: return peers.volumeLevel(0);
        case 165: return peers.volumeLevel(2);
        case 118: {
            // Only buttons 0..11 reach the input object.
            std::int32_t button = arg(0);
            return button >= 0 && button <= 11 ? asFloat(peers.keyAssign(button)) : 0.0;
        }
        case 178: return truth(g_d3dObject && g_d3dObject->isTextureFormatSupported(arg(0)) != 0);
        case 141: return truth(peers.networkConnected());
        case 194: return truth(peers.networkBusy());
        case 213: return truth(peers.networkOffline());
        default: found = false; return 0.0;
    }
}

}  // namespace

void registerSysVars() {
    std::call_once(g_registered, [] {
        for (std::uint32_t id = 1; id <= kSysVarCount; ++id) g_registry[nameOf(kNames[id - 1])] = id;
    });
    setBuiltinVariableTable(&kHook);
}

std::uint32_t getSysVarId(std::string_view name) {
    auto it = g_registry.find(nameOf(name));
    return it != g_registry.end() ? it->second : 0;
}

double getSysVarValueByVar(NameHandle handle) {
    auto it = g_registry.find(handle);
    return it != g_registry.end() ? ExBulletML_Runtime::getSysVarValue(it->second) : 0.0;
}

std::string_view sysVarName(std::uint32_t id) { return id >= 1 && id <= kSysVarCount ? kNames[id - 1] : ""; }

void ExBulletML_Runtime::reseed() { g_randomState = 1; }

std::uint32_t ExBulletML_Runtime::randomState() { return g_randomState; }

std::uint32_t ExBulletML_Runtime::nextRandom() {
    g_randomState = g_randomState * 214013u + 2531011u;
    return (g_randomState >> 16) & 32767u;
}

double ExBulletML_Runtime::getSysVarValue(std::uint32_t id) {
    if (id < 1 || id > kSysVarCount) return 0.0;
    // _qtime_high, _qtime_low, _qtime_rate_256.
    if (id == 28 || id == 29 || id == 56) return 0.0;
    if (id == 94) return asFloat(nextRandom() * 3.0517578125e-05);
    bool found = false;
    double value;
    for (auto family : {&frameState, &playerState, &currentObject, &selection, &records, &scoreTables,
                        &gameVariables, &replays, &configuration, &devices}) {
        value = family(id, found);
        if (found) return value;
    }
    return 0.0;
}
