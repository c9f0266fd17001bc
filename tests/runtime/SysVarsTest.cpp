// The built-in variables: the registry, one value test per family, the
// random sequence and its reseed.
#include <cmath>

#include "RuntimeTestSupport.h"
#include "input/ReplayFileBuilder.h"
#include "input/ReplayManager.h"
#include "records/ScoreEntry.h"
#include "script/BuiltinVariableTable.h"
#include "services/FrameCounter.h"

namespace {

// Ids 1..243, in registration order.
const char* const kExpectedNames[] = {
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
    "_bomb", "_maxbomb", "_ecrystal1", "_ecrystal2", "_ecrystal1_figure", "_ecrystal2_figure", "_rand",
    "_rank", "_tension", "_tension_figure", "_revenge_state", "_playermovex", "_prate", "_prate_figure",
    "_ttc_frame", "_counter", "_ttc_item_frame", "_player_distance", "_vorlyrate", "_vorlyrate_figure",
    "_self_vital", "_parent_vital", "_difficulty", "_nextstage", "_stageflag", "_stagemisscount", "_vorlytype",
    "_replay_practice_mode", "_screen_mode", "_waitkeynum", "_keyassign", "_playerswitchable", "_replayspeed",
    "_hiscore_yyyy", "_hiscore_mmdd", "_hiscore_hhmm", "_hiscore_eachstage", "_hiscore_subscore",
    "_hiscore_subscore_figure", "_hiscore_subscore_numfignum", "_online_hiscore_yyyy", "_online_hiscore_mmdd",
    "_online_hiscore_hhmm", "_online_hiscore_eachstage", "_online_hiscore_subscore",
    "_online_hiscore_subscore_figure", "_online_hiscore_subscore_numfignum", "_online_hiscore",
    "_online_hiscore_figure", "_online_hiscore_numfignum", "_online_hiscore_name", "_myname", "_mynamelength",
    "_isonline", "_reachstage", "_myscoreupdated", "_online_rank", "_online_rank_figure",
    "_online_rank_numfignum", "_majorversion", "_minorversion", "_parent_vx", "_parent_vy", "_ending",
    "_reachstageall", "_player_vital", "_hiscore2", "_hiscore2_figure", "_hiscore2_numfignum",
    "_ecrystal1_numfignum", "_ecrystal2_numfignum", "_mpoint", "_weapontype", "_aimdirection",
    "_maxcontinuenum", "_targetecrystal", "_targetecrystal_numfignum", "_volvoice", "_gameover",
    "_rank_figure", "_rank_numfignum", "_ring", "_spirit", "_spirit_figure", "_spirit_numfignum",
    "_magic_rate", "_vorlymagic_spirit", "_automagic_spirit", "_magicinterval", "_playermovey",
    "_isd3dsupported", "_stageplayframe", "_replay_weapon", "_ring_figure", "_ring_numfignum",
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
    "_score_majorversion", "_score_minorversion1", "_score_minorversion2", "_score_dframe",
    "_score_dframe_figure", "_score_dframe_numfignum", "_online_score_dframe", "_online_score_dframe_figure",
    "_online_score_dframe_numfignum", "_replay_dframe", "_replay_dframe_figure", "_replay_dframe_numfignum",
    "_online_replay_dframe", "_online_replay_dframe_figure", "_online_replay_dframe_numfignum", "_allgameflag",
};

class SysVars : public RuntimeBench {
protected:
    static double value(const char* name) { return ExBulletML_Runtime::getSysVarValue(getSysVarId(name)); }
    static void setVar(const char* name, float v) { g_gameInfo->setVar(internName(name), v); }
};

TEST_F(SysVars, RegistryBindsEveryNameToItsId) {
    static_assert(sizeof(kExpectedNames) / sizeof(kExpectedNames[0]) == 243);
    for (std::uint32_t id = 1; id <= 243; ++id) {
        EXPECT_EQ(getSysVarId(kExpectedNames[id - 1]), id) << kExpectedNames[id - 1];
        EXPECT_EQ(sysVarName(id), kExpectedNames[id - 1]);
    }
    EXPECT_EQ(getSysVarId("_score"), 34u);
    EXPECT_EQ(getSysVarId("_allgameflag"), 243u);
    EXPECT_EQ(getSysVarId("score"), 0u);
    EXPECT_EQ(getSysVarValueByVar(internName("score")), 0.0);
    // The expression compiler's hook is installed.
    EXPECT_EQ(builtinVariableId("_framenum"), 3u);
    EXPECT_EQ(ExBulletML_Runtime::getSysVarValue(0), 0.0);
    EXPECT_EQ(ExBulletML_Runtime::getSysVarValue(244), 0.0);
}

TEST_F(SysVars, RandomSequenceStartsFromOneAndReseeds) {
    const double expected[] = {41, 18467, 6334, 26500, 19169};
    for (double e : expected) EXPECT_EQ(value("_rand"), e / 32768.0);
    ExBulletML_Runtime::reseed();
    EXPECT_EQ(value("_rand"), 41 / 32768.0);
    // Through a script: every read draws.
    load(R"(<action label="top"><eval name="a">$_rand</eval><eval name="b">$_rand</eval><wait>-1</wait></action>)");
    BulletObject* object = spawn();
    frames(1);
    EXPECT_EQ(object->getMainRuntime()->getObjectVariables()[internName("a")], 18467 / 32768.0f);
    EXPECT_EQ(object->getMainRuntime()->getObjectVariables()[internName("b")], 6334 / 32768.0f);
}

TEST_F(SysVars, FrameStateCountsEverySerialRead) {
    FrameCounter counter;
    g_frameCounter = &counter;
    double first = value("_gen_counter");
    EXPECT_EQ(value("_gen_counter"), first + 1);
    EXPECT_EQ(value("_framenum"), counter.getFrameNumber());
    g_frameCounter = nullptr;
}

TEST_F(SysVars, PlayerAndAim) {
    EXPECT_EQ(value("_pldx"), 0.0);
    EXPECT_EQ(value("_player_x"), 0.0);
    EXPECT_EQ(value("_player_vital"), 0.0);
    EXPECT_EQ(value("_aimdirection"), 0.0);  // no current object
    BulletObject* self = manager().createPlainObject();
    self->setX(100.0f);
    self->setY(100.0f);
    manager().setCurrent(self);
    BulletObject* player = manager().createPlainObject();
    manager().setPlayer(player);
    player->addFlags(4);
    player->setVital(3.5f);
    EXPECT_EQ(value("_pldx"), 1.0);
    player->addFlags(8);
    EXPECT_EQ(value("_pldx"), -1.0);
    EXPECT_EQ(value("_player_vital"), 3.5);
    struct Aim {
        float x, y;
        double expected;
    } aims[] = {{100, 200, 180.0}, {200, 100, 90.0}, {0, 100, 270.0}};
    for (const Aim& a : aims) {
        player->setX(a.x);
        player->setY(a.y);
        EXPECT_EQ(value("_aimdirection"), a.expected) << a.x << "," << a.y;
    }
    player->setX(100);
    player->setY(0);
    double above = value("_aimdirection");
    EXPECT_NE(above, 0.0);
    EXPECT_NEAR(above, 0.0000049, 0.0000005);
    EXPECT_EQ(value("_player_cx"), 100.0);
    EXPECT_EQ(value("_player_distance"), 100.0);
}

TEST_F(SysVars, CurrentObjectReadsZeroWithoutOneAndFollowsSharedVitals) {
    for (const char* name : {"_self_cx", "_self_x", "_self_speed", "_self_vital", "_parent_vx", "_counter"})
        EXPECT_EQ(value(name), 0.0) << name;
    BulletObject* self = manager().createPlainObject();
    manager().setCurrent(self);
    self->setScore(4567);
    self->setVital(8.0f);
    self->addFlags(0x300);
    EXPECT_EQ(value("_self_score_figure"), 4.0);
    EXPECT_EQ(value("_self_score_hidigit"), 1000.0);
    EXPECT_EQ(value("_revenge_state"), 3.0);
    EXPECT_EQ(value("_self_vital"), 8.0);
    self->setSharedVitalKey(5);
    EXPECT_EQ(value("_self_vital"), 0.0);  // nothing stored under the key
    manager().setSharedVital(5, 42.0f);
    EXPECT_EQ(value("_self_vital"), 42.0);
    EXPECT_EQ(value("_parent_vital"), 0.0);

    // A linked child (a life bar made with "child" 1) reads its parent's
    // vital by the same rule: the parent's shared vital, then its own.
    BulletObject* child = manager().createPlainObject();
    child->setVital(1.0f);
    child->setParent(self);
    manager().setCurrent(child);
    EXPECT_EQ(value("_self_vital"), 1.0);
    EXPECT_EQ(value("_parent_vital"), 42.0);
    self->setSharedVitalKey(0);
    EXPECT_EQ(value("_parent_vital"), 8.0);
}

TEST_F(SysVars, GameRecordsWithDigitFormsAndArguments) {
    g_gameInfo->setScore(4567);
    EXPECT_EQ(value("_score"), 4567.0);
    EXPECT_EQ(value("_score_figure"), 4.0);
    struct Digit {
        float position;
        double digit;
    } digits[] = {{0, 7}, {3, 4}, {4, 0}, {2.9f, 5}, {-0.5f, 7}};
    for (const Digit& d : digits) {
        setVar("_arg0", d.position);
        EXPECT_EQ(value("_score_numfignum"), d.digit) << d.position;
    }
    // Unsigned sources stay positive at 2^31 and above, digits included.
    g_gameInfo->setScore(3000000000u);
    EXPECT_EQ(value("_score"), 3000000000.0);
    setVar("_arg0", 9);
    EXPECT_EQ(value("_score_numfignum"), 3.0);
    EXPECT_EQ(value("_score_figure"), 10.0);
    // Flags read by argument.
    g_gameInfo->setGameFlag(4, 1);
    setVar("_arg0", 4.9f);
    EXPECT_EQ(value("_gameflag"), 1.0);
    // Always 0.
    for (const char* name : {"_qtime_high", "_qtime_low", "_qtime_rate_256"}) EXPECT_EQ(value(name), 0.0) << name;
}

TEST_F(SysVars, GameVariablesByName) {
    setVar("life", 2.5f);
    EXPECT_EQ(value("_life"), 2.5);
    setVar("groupnum", 250.0f);
    EXPECT_EQ(value("_var_groupnum"), 3.0);
    setVar("qbonus_score", 4567.0f);
    EXPECT_EQ(value("_qbonus_score_hidigit"), 1000.0);
    EXPECT_EQ(value("_qbonus_score_figure"), 4.0);
    setVar("ring", 321.0f);
    setVar("_arg0", 1.0f);
    EXPECT_EQ(value("_ring_numfignum"), 2.0);
    EXPECT_EQ(value("_player_type"), 0.0);
}

TEST_F(SysVars, ReplaysAnswerFromTheReplayManager) {
    struct Read {
        const char* name;
        float arg0, arg1, arg2;
        double expected;
    };
    auto check = [](std::initializer_list<Read> reads) {
        for (const Read& r : reads) {
            setVar("_arg0", r.arg0);
            setVar("_arg1", r.arg1);
            setVar("_arg2", r.arg2);
            EXPECT_EQ(value(r.name), r.expected) << r.name << " " << r.arg0 << " " << r.arg1 << " " << r.arg2;
        }
    };
    // No replay manager: empty slots, no selected replay, no online entry.
    check({{"_valid_replay", 2, 0, 0, 0}, {"_replay_score", 2, 0, 0, 0}, {"_replay_majorversion", 2, 0, 0, 1},
           {"_replay_name", 2, 0, 0, 32}, {"_replay_dframe_figure", 2, 0, 0, 0}, {"_replay_stagescore_figure", 3, 0, 0, 0},
           {"_online_replay_majorversion", 0, 0, 0, 1}, {"_online_replay_score_figure", 0, 0, 0, 0},
           {"_replayspeed", 0, 0, 0, 1}});

    TempRoot root;
    root.writeFile("replay/replay2.rpy",
                   buildReplayFile({{1, 1, {{254, 0x10}, {254, 0x10}, {92, 0x10}}, 500, 0, 600},
                                    {3, 3, {{1, 1}, {1, 2}, {1, 1}}, 900, 4, 3}}));
    ReplayManager replays;
    g_replayManager = &replays;
    replays.loadAllReplays();
    // Slot 2 (by "_arg0" truncated), before any replay is selected.
    check({{"_valid_replay", 2.9f, 0, 0, 1}, {"_valid_replay", 1, 0, 0, 0}, {"_replay_majorversion", 1, 0, 0, 1},
           {"_replay_name", 1, 0, 0, 32}, {"_replay_dframe_figure", 1, 0, 0, 0},
           {"_replay_score", 2, 0, 0, 1234}, {"_replay_score_figure", 2, 0, 0, 4},
           {"_replay_score_numfignum", 2, 2, 0, 2}, {"_replay_maxstage", 2, 0, 0, 3},
           {"_replay_year", 2, 0, 0, 2026}, {"_replay_month", 2, 0, 0, 12}, {"_replay_min", 2, 0, 0, 5},
           {"_replay_majorversion", 2, 0, 0, 1}, {"_replay_minorversion1", 2, 0, 0, 1},
           {"_replay_dframe", 2, 0, 0, 603}, {"_replay_dframe_figure", 2, 0, 0, 3},
           {"_replay_dframe_numfignum", 2, 2, 0, 6}, {"_replay_name", 2, 0, 0, 'T'}, {"_replay_name", 2, 8, 0, 32},
           {"_replay_stage_flag", 0, 0, 0, 0}, {"_replay_stagescore_figure", 3, 0, 0, 0}});
    // The selected replay, by stage.
    ASSERT_EQ(replays.selectReplay(2), S_OK);
    check({{"_replay_stage_flag", 0, 0, 0, 0x31}, {"_replay_eachstage", 3, 0, 0, 3}, {"_replay_eachstage", 2, 0, 0, 0},
           {"_replay_stagescore", 3, 0, 0, 900}, {"_replay_stagescore_figure", 3, 0, 0, 3},
           {"_replay_stagescore_figure", 2, 0, 0, 1}, {"_replay_stagescore_numfignum", 3, 2, 0, 9}});
    replays.speedUp();
    replays.speedUp();
    check({{"_replayspeed", 0, 0, 0, 3}});

    // The online entry chosen by the stored keys: row 2, t 1, no practice key.
    ScoreEntry entry;
    entry[ScoreEntry::kMode] = 0x021;
    entry[ScoreEntry::kScore] = 4567;
    entry[ScoreEntry::kStageMask] = (3u << 4) | 1u;
    entry[ScoreEntry::kReplayId] = 42;
    entry[ScoreEntry::kMachineId0] = 0xAB;
    entry[ScoreEntry::kStageScore0 + 2] = 77;
    g_gameInfo->fillRanking(&entry, 1);
    g_gameInfo->fillOnlineReplayList();
    replays.setOnlineReplay(2, 1, 0);
    check({{"_valid_online_replay", 0, 0, 0, 1}, {"_online_replay_score", 0, 0, 0, 4567},
           {"_online_replay_score_figure", 0, 0, 0, 4}, {"_online_replay_score_numfignum", 0, 1, 0, 6},
           {"_online_replay_maxstage", 0, 0, 0, 3}, {"_online_replay_eachstage", 0, 3, 0, 3},
           {"_online_replay_eachstage", 0, 1, 0, 1}, {"_online_replay_eachstage", 0, 2, 0, 0},
           {"_online_replay_stagescore", 0, 2, 0, 77}, {"_online_replay_stagescore_figure", 0, 2, 0, 2},
           {"_online_replay_stagescore_numfignum", 0, 2, 1, 7}, {"_online_replay_id", 0, 0, 0, 42},
           {"_online_replay_id_figure", 0, 0, 0, 2}, {"_online_replay_id_numfignum", 0, 1, 0, 4},
           {"_online_replay_difficulty", 0, 0, 0, 2}});
    // Another entry is not valid: every fact 0, the major version 1.
    check({{"_valid_online_replay", 1, 0, 0, 0}, {"_online_replay_score_figure", 1, 0, 0, 0},
           {"_online_replay_id_figure", 1, 0, 0, 0}, {"_online_replay_stagescore_figure", 1, 2, 0, 0},
           {"_online_replay_dframe_figure", 1, 0, 0, 0}, {"_online_replay_name", 1, 0, 0, 0},
           {"_online_replay_majorversion", 1, 0, 0, 1}});

    replays.setMode(ReplayManager::kPlayBack);
    replays.setReplayStarted(1);
    EXPECT_EQ(value("_replay_mode"), 1.0);
    EXPECT_EQ(value("_ending_disable"), 1.0);
    g_replayManager = nullptr;
}

TEST_F(SysVars, DevicesAnswerThroughThePeers) {
    peers.volumes[0] = 3;
    peers.volumes[1] = 5;
    peers.volumes[2] = 1;
    EXPECT_EQ(value("_volse"), 3.0);
    EXPECT_EQ(value("_volbgm"), 5.0);
    EXPECT_EQ(value("_volvoice"), 1.0);
    peers.assignments[11] = 7;
    setVar("_arg0", 11.0f);
    EXPECT_EQ(value("_keyassign"), 7.0);
    // Outside 0..11 the input object is never asked.
    for (float button : {12.0f, -1.0f, 1e9f}) {
        setVar("_arg0", button);
        EXPECT_EQ(value("_keyassign"), 0.0);
    }
    EXPECT_EQ(peers.assignAsked, std::vector<std::int32_t>{11});
    peers.busy = true;
    EXPECT_EQ(value("_pendingonline"), 1.0);
    EXPECT_EQ(value("_networkerror"), 0.0);
    peers.offline = true;
    EXPECT_EQ(value("_networkerror"), 1.0);
    EXPECT_EQ(value("_isonline"), 0.0);
    peers.slowMode = -4;
    EXPECT_EQ(value("_slowmode"), -4.0);
    EXPECT_EQ(value("_isd3dsupported"), 0.0);  // no device object
}

}  // namespace
