// "sysvar", "network", "targetrevenge", "targetvanish", "setreflect",
// "additem" and "textblock".
#include "GameCommandTestSupport.h"
#include "objects/GameObject.h"

namespace {

class GameCommand : public GameCommandBench {
protected:
    std::string logged(std::string_view needle) { return std::to_string(countLogLines(needle)); }
};

// Sets an object's size as its image would (the members are protected).
struct SizeAccess : GameObject {
    static void set(GameObject& object, float width, float height) {
        object.*(&SizeAccess::width_) = width;
        object.*(&SizeAccess::height_) = height;
    }
};

TEST_F(GameCommand, SysvarSetsTheVariableAndMirrorsEightSettings) {
    struct Case {
        const char* name;
        const char* value;
        std::function<std::int64_t()> engine;  // the mirrored setting
        std::int64_t expected;
        const char* calls;
    } cases[] = {
        // Music keeps the level in force; effects and voice the value as given.
        {"volbgm", "7.9", [] { return g_systemInfo->getVolume0(); }, 5, "sound.setVolumeLevel(7,1)"},
        {"volse", "7.9", [] { return g_systemInfo->getVolume1(); }, 7, "sound.setVolumeLevel(7,0)"},
        {"volvoice", "2", [] { return g_systemInfo->getVolume2(); }, 2, "sound.setVolumeLevel(2,2)"},
        {"volbgm", "-2", [] { return g_systemInfo->getVolume0(); }, 0, "sound.setVolumeLevel(-2,1)"},
        {"maxcrystal", "3.5", [] { return g_gameInfo->getMaxCrystal(); }, 3, ""},
        {"prate", "2000000", [] { return g_gameInfo->getPrate(); }, 1000000, ""},
        {"rank", "-4", [] { return g_gameInfo->getRank(); }, 0, ""},
        {"spirit", "30000", [] { return g_gameInfo->getSpirit(); }, 20000, ""},
        {"stagenum", "4", [] { return g_gameInfo->getPrate(); }, 500000, ""},
        {"rankx", "9", [] { return g_gameInfo->getRank(); }, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delete g_gameInfo;
        g_gameInfo = new GameInfo();
        calls.calls.clear();
        runTop(std::string("<sysvar name=\"") + c.name + "\">" + c.value + "</sysvar>");
        EXPECT_FLOAT_EQ(getVar(c.name), std::stof(c.value));
        EXPECT_EQ(c.engine(), c.expected);
        EXPECT_EQ(callText(), c.calls);
    }
    EXPECT_EQ(logged("がありません"), "0");
    // Without a sound manager the settings still take the clamped level.
    calls.sound = false;
    runTop(R"(<sysvar name="volbgm">9</sysvar><sysvar name="volbgm">9</sysvar>)");
    EXPECT_EQ(g_systemInfo->getVolume0(), 5u);
    EXPECT_EQ(logged("sysvar volbgm : DirectSound Manager がありません"), "1");
}

TEST_F(GameCommand, NetworkPostsEachSubCommandsRequestsInOrder) {
    auto post = [this](const std::string& command) {
        calls.calls.clear();
        runTop("<network><command>" + command + "</command></network>");
        return callText();
    };
    EXPECT_EQ(post("connect"), "net(1:0,0,0)");
    EXPECT_EQ(post("sendmescore"),
              "net(4:0,0,0) net(4:0,1,0) net(4:0,2,0) net(4:1,0,0) net(4:1,1,0) net(4:1,2,0) "
              "net(4:2,0,0) net(4:2,1,0) net(4:2,2,0) net(4:3,0,0) net(4:3,1,0) net(4:3,2,0)");
    EXPECT_EQ(post("willsendscore"), "net(2:0,0,0)");
    EXPECT_EQ(post("resetscore"), "net(7:0,0,0)");
    EXPECT_EQ(post("commitscore"), "net(8:0,0,0)");
    EXPECT_EQ(post("identify"), "net(9:0,0,0)");
    EXPECT_EQ(post("sendmerank"), "net(10:0,0,0)");
    for (const char* other : {"Connect", "connect ", "", "sendme"}) EXPECT_EQ(post(other), "") << other;

    setVar("_arg0", 3.7f);
    EXPECT_EQ(post("willsendreplay"), "net(3:3,0,0)");
    EXPECT_EQ(logged("willsendreplay"), "1");
    EXPECT_EQ(countLogLines("3 "), 1);

    post("sendmereplaylist");
    const std::vector<std::string>& r = calls.calls;
    ASSERT_EQ(r.size(), 61u);
    EXPECT_EQ(r[0], "netEx(11:0,0,0,0,0,0,0,0)");
    EXPECT_EQ(r[1], "netEx(11:0,1,0,0,0,0,0,0)");
    EXPECT_EQ(r[11], "netEx(11:3,2,0,0,0,0,0,0)");
    EXPECT_EQ(r[12], "netEx(11:0,0,1,10,0,0,0,0)");
    EXPECT_EQ(r[13], "netEx(11:0,0,1,20,0,0,0,0)");
    EXPECT_EQ(r[19], "netEx(11:0,0,1,42,0,0,0,0)");
    EXPECT_EQ(r[27], "netEx(11:0,0,1,71,0,0,0,0)");
    EXPECT_EQ(r[28], "netEx(11:0,1,1,10,0,0,0,0)");
    EXPECT_EQ(r[59], "netEx(11:0,2,1,71,0,0,0,0)");
    EXPECT_EQ(r[60], "net(12:0,0,0)");

    // Without a network manager: nothing posted, nothing logged but one line.
    calls.network = false;
    EXPECT_EQ(post("willsendreplay"), "");
    EXPECT_EQ(post("willsendreplay"), "");
    EXPECT_EQ(logged("willsendreplay"), "2");
    EXPECT_EQ(logged("network willsendreplay : Network Manager がありません"), "1");
}

TEST_F(GameCommand, AddItemGrantsAsIfPickedUp) {
    struct Case {
        const char* name;
        std::int32_t flag, num;
        std::function<void()> prepare;
        const char* expected;
    } cases[] = {
        {"crystals wrap at maxcrystal and raise tension", 1, 3,
         [this] { g_gameInfo->setMaxCrystal(2); setVar("maxtension", 5); }, "e1=1 e2=3 tension=1"},
        {"tension at its limit stays", 1, 2,
         [this] { g_gameInfo->setMaxCrystal(2); setVar("maxtension", 1); setVar("tension", 1); }, "e2=2 tension=1"},
        {"power", 2, 2, {}, "item2=2"},
        {"item 3", 3, 1, {}, "item3=1"},
        {"item 6", 6, 3, {}, "item6=3"},
        {"item 4 raises tension and clears the crystals at the limit", 4, 2,
         [this] { g_gameInfo->setECrystal1(5); setVar("maxtension", 1); }, "item4=2 tension=1"},
        {"item 4 below the limit keeps the crystals", 4, 1,
         [this] { g_gameInfo->setECrystal1(5); setVar("maxtension", 3); }, "e1=5 item4=1 tension=1"},
        {"life at maxlife 9 stays", 5, 1, [this] { setVar("maxlife", 9); setVar("life", 4); }, "life=4 maxlife=9"},
        {"full life raises maxlife", 5, 1, [this] { setVar("maxlife", 3); setVar("life", 3); }, "life=4 maxlife=4"},
        {"life below maxlife", 5, 2, [this] { setVar("maxlife", 3); setVar("life", 1); }, "life=3 maxlife=3"},
        {"other flag", 7, 5, {}, ""},
        {"no passes", 2, 0, {}, ""},
        {"negative passes", 2, -3, {}, ""},
    };
    auto describe = [this] {
        GameInfo& g = *g_gameInfo;
        std::string text;
        auto put = [&text](const std::string& key, std::int64_t value) {
            if (value != 0) text += (text.empty() ? "" : " ") + key + "=" + std::to_string(value);
        };
        put("e1", g.getECrystal1());
        put("e2", g.getECrystal2());
        for (int type = 2; type <= 6; ++type) put("item" + std::to_string(type), g.getItemCount(type));
        put("life", static_cast<std::int64_t>(getVar("life")));
        put("maxlife", static_cast<std::int64_t>(getVar("maxlife")));
        put("tension", static_cast<std::int64_t>(getVar("tension")));
        return text;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delete g_gameInfo;
        g_gameInfo = new GameInfo();
        if (c.prepare) c.prepare();
        runTop("<additem><flag>" + std::to_string(c.flag) + "</flag><num>" + std::to_string(c.num) +
               "</num></additem>");
        EXPECT_EQ(describe(), c.expected);
    }
    // A pass count that would hold the frame for minutes is capped, once said.
    runTop("<additem><flag>2</flag><num>5000000</num></additem>");
    EXPECT_EQ(g_gameInfo->getItemCount(2), 1000000);
    EXPECT_EQ(logged("additem の num 5000000 を 1000000 回に制限しました"), "1");
}

TEST_F(GameCommand, SetReflectMarginsCornersAndFieldLimits) {
    struct Case {
        std::int32_t flag;
        // left, top, right, bottom bounds; edge actions right, left, bottom, top.
        float left, top, right, bottom;
        const char* actions;
        std::int32_t option;
    } cases[] = {
        {1, 10, 12, 300, 400, "2 5 2 2", 1},
        {3, 10, 12, 284, 400, "5 5 2 2", 3},
        {12, -6, 20, 300, 392, "2 2 5 5", 12},
        {15, 10, 20, 284, 392, "5 5 5 5", 15},
        {0x10F, 10, 20, 284, 392, "5 5 5 5", 15},
    };
    setVar("_minrx", 10.9f);
    setVar("_maxrx", 300.0f);
    setVar("_minry", 20.0f);
    setVar("_maxry", 400.0f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flag);
        manager().clearAll();
        load(R"(<action label="top"><setreflect><flag>)" + std::to_string(c.flag) +
             "</flag><num>4</num></setreflect><wait>9</wait></action>");
        // Inside the field, so that no edge removes it.
        BulletObject* object = spawn("top", 150.0f, 200.0f);
        SizeAccess::set(*object, 16.0f, 8.0f);
        object->applyImageBounds(edge_action::kVanish);
        frames(1);
        EXPECT_EQ(object->getLeftBound(), c.left);
        EXPECT_EQ(object->getTopBound(), c.top);
        EXPECT_EQ(object->getRightBound(), c.right);
        EXPECT_EQ(object->getBottomBound(), c.bottom);
        std::string actions;
        for (int i = 0; i < 4; ++i) actions += (i ? " " : "") + std::to_string(object->getEdgeAction(i));
        EXPECT_EQ(actions, c.actions);
        EXPECT_EQ(object->getEdgeMode(), 3);
        EXPECT_EQ(object->getReflectCount(), 4);
        EXPECT_EQ(object->getReflectOption(), c.option);
        EXPECT_EQ(object->getFieldLeft(), 10);
        EXPECT_EQ(object->getFieldBottom(), 400);
    }
    // Flag 0 changes nothing, not even the count.
    runTop("<setreflect><flag>0</flag><num>4</num></setreflect><wait>9</wait>");
    BulletObject* object = manager().getPlainObjectManager()->front();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->getReflectCount(), -1);
    EXPECT_NE(object->getEdgeMode(), 3);
}

TEST_F(GameCommand, TextBlockOutsideAndDuringPlayBack) {
    GameInfo& g = *g_gameInfo;
    auto block = [this](const char* label) {
        runTop(std::string("<textblock label=\"") + label + "\"/>");
        return g_gameInfo->isTextBlockActive();
    };
    g_systemInfo->setReadSkipEnable(1);
    EXPECT_EQ(block("12"), 0);
    EXPECT_EQ(g.isTextRead(12), 1);
    EXPECT_EQ(block("12"), 1);
    EXPECT_EQ(block("0"), 0);
    g_systemInfo->setReadSkipEnable(0);
    EXPECT_EQ(block("12"), 0);

    // Play back: this play's set decides; nothing is added anywhere.
    g_replayManager->setMode(ReplayManager::kPlayBack);
    g.getPlayReadTextSet().insert(40);
    EXPECT_EQ(block("40"), 1);
    EXPECT_EQ(g.isTextRead(40), 0);
    EXPECT_EQ(block("41"), 0);
    EXPECT_EQ(g.isTextRead(41) + g.isTextReadThisPlay(41), 0);

    // Not a whole 32-bit decimal integer: one line naming it, nothing set.
    for (const char* bad : {"12a", " 12", "12 ", "4294967296", "1.5", "x"}) {
        SCOPED_TRACE(bad);
        g.setTextBlockActive(7);
        EXPECT_EQ(block(bad), 7);
        EXPECT_EQ(logged(std::string("textblock のラベル \"") + bad + "\" は整数ではありません"), "1");
    }
}

TEST_F(GameCommand, TargetRevengeAndVanishActOnTheNamedObjects) {
    auto named = [this](const char* name) {
        BulletObject* enemy = manager().createEnemy();
        enemy->setWideName(wide(name));
        enemy->setActive(1);
        return enemy;
    };
    load(R"(<action label="top"><targetrevenge label="boss"/><targetvanish label=""/><wait>1</wait>)"
         R"(<targetvanish label="boss"/><wait>5</wait></action>)");
    BulletObject* boss = named("boss");
    named("boss");
    BulletObject* other = named("other");
    spawn("top");
    frames(1);
    EXPECT_EQ(boss->getFlags() & 0x100u, 0x100u);
    EXPECT_EQ(other->getFlags() & 0x100u, 0u);
    EXPECT_EQ(manager().getEnemyManager()->size(), 3u);
    frames(2);
    EXPECT_EQ(manager().getEnemyManager()->size(), 1u);
    EXPECT_EQ(manager().getEnemyManager()->front(), other);
}

}  // namespace
