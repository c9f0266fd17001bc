// The game reset's top objects: made from their labels in a fixed order, in
// the states a scene starts from, and let go at the next reset.
#include "runtime/RuntimeTestSupport.h"
#include "script/ElementId.h"
#include "services/NamePool.h"
#include "shell/MainLoop.h"
#include "platform/Thread.h"
#include "services/SystemInfo.h"
#include "shell/TopObjectsSetup.h"

namespace {

class TopObjectsSetup : public RuntimeBench {
protected:
    ~TopObjectsSetup() override { g_currentDocument = nullptr; }
    void loadScene(const std::string& body) { g_currentDocument = &load(body); }
    BulletObject* top(TopObject which) { return manager().getTopObject(which); }
};

// Every label moves its object, so a script that ran shows.
const char* const kFullScene = R"(
    <action label="player_top"><setposition><x>7</x><y>8</y></setposition><wait>-1</wait></action>
    <action label="top"><wait>-1</wait></action>
    <action label="shot_1_top"><wait>-1</wait></action>
    <action label="shot_2_top"><wait>-1</wait></action>
    <action label="pause_top"><wait>-1</wait></action>
    <action label="gameover_top"><wait>-1</wait></action>
    <action label="option_top"><wait>-1</wait></action>
    <action label="bomb_top"><wait>-1</wait></action>
    <action label="bomb2_top"><wait>-1</wait></action>
    <action label="tensionup_top"><wait>-1</wait></action>)";

TEST_F(TopObjectsSetup, EachTopObjectStartsInItsState) {
    loadScene(kFullScene);
    createTopObjects();

    struct Row {
        TopObject which;
        std::int32_t level;  // -1: as the pool gave it
        std::int32_t active;
        std::uint8_t scriptRuns;
    };
    const Row rows[] = {
        {TopObject::kPlayer, 13, 0, 1},    {TopObject::kRoot, 18, 0, 1},  {TopObject::kShot1, 21, 0, 0},
        {TopObject::kShot2, 21, 0, 0},     {TopObject::kPause, -1, 0, 0}, {TopObject::kGameOver, -1, 0, 0},
        {TopObject::kOption, 12, 0, 0},    {TopObject::kBomb, 12, 0, 0},  {TopObject::kBomb2, 12, 0, 0},
        {TopObject::kTensionUp, -1, 0, 0},
    };
    const std::int32_t poolLevel = BulletObject().getDrawLevel();
    for (const Row& row : rows) {
        SCOPED_TRACE(text::narrow(TopObjects::label(row.which)));
        BulletObject* object = top(row.which);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->getDrawLevel(), row.level < 0 ? poolLevel : row.level);
        EXPECT_EQ(object->isActive(), row.active);
        EXPECT_EQ(object->isRuntimeActive(), row.scriptRuns);
        EXPECT_EQ(object->getSpeed(), row.which == TopObject::kPlayer ? 1.0f : 0.0f);
        ASSERT_NE(object->getMainRuntime(), nullptr);
        // Every object's runtime found its label.
        EXPECT_TRUE(object->getMainRuntime()->isActive());
        if (row.which != TopObject::kRoot) {
            EXPECT_EQ(object->getWideName(), internWideName(TopObjects::label(row.which)));
        }
    }
    // All live in the plain list, made in the table's order.
    EXPECT_EQ(manager().getPlainObjectManager()->size(), 10u);
    // The player's script ran once before the others were made.
    EXPECT_EQ(top(TopObject::kPlayer)->getX(), 7.0f);
    EXPECT_EQ(top(TopObject::kPlayer)->getY(), 8.0f);

    BulletObject* root = top(TopObject::kRoot);
    EXPECT_EQ(root->getX(), 320.0f);
    EXPECT_EQ(root->getY(), 100.0f);
    EXPECT_EQ(root->getEdgeMode(), 0);
    for (int side = 0; side < 4; ++side) EXPECT_EQ(root->getEdgeAction(side), 2);
    EXPECT_EQ(root->getRightBound(), 640.0f + 2000.0f);
    EXPECT_EQ(root->getBottomBound(), 480.0f + 2000.0f);
    EXPECT_EQ(root->getLeftBound(), -2000.0f);
    EXPECT_EQ(root->getTopBound(), -2000.0f);
    EXPECT_EQ(root->getMainRuntime()->getStartNode(),
              g_currentDocument->findLabel(kAction, internWideName(u"top")));
    for (TopObject shot : {TopObject::kShot1, TopObject::kShot2}) {
        EXPECT_EQ(top(shot)->getEdgeMode(), 2);
        EXPECT_EQ(top(shot)->getEdgeAction(0), 2);
    }
    // The manager runs the pause and game-over objects from the same set.
    EXPECT_EQ(manager().getPauseTop(), top(TopObject::kPause));
    EXPECT_EQ(manager().getGameOverTop(), top(TopObject::kGameOver));
}

TEST_F(TopObjectsSetup, HidingStopsMotionAndScript) {
    loadScene(kFullScene);
    BulletObject* object = createTopObject(u"pause_top");
    ASSERT_NE(object, nullptr);
    object->setActive(1);
    object->setSpeed(3.0f);
    object->setDirection(45.0f);
    hideTopObject(object);
    EXPECT_EQ(object->isActive(), 0);
    EXPECT_EQ(object->getSpeed(), 0.0f);
    EXPECT_EQ(object->getDirection(), 0.0f);
    EXPECT_EQ(object->getVelocityX(), 0.0f);
    EXPECT_EQ(object->isRuntimeActive(), 0);
    hideTopObject(nullptr);
}

TEST_F(TopObjectsSetup, MissingLabelsLeaveObjectsWithoutAScript) {
    loadScene(R"(<action label="top"><wait>-1</wait></action>)");
    createTopObjects();
    for (std::size_t i = 0; i < TopObjects::kCount; ++i) {
        const auto which = static_cast<TopObject>(i);
        ASSERT_NE(top(which), nullptr) << i;
        EXPECT_EQ(top(which)->getMainRuntime()->isActive(), which == TopObject::kRoot) << i;
    }
}

// The scene's item script comes with the top objects; a scene without one
// has none, quietly, and converts nothing.
TEST_F(TopObjectsSetup, TheItemScriptComesWithTheTopObjects) {
    loadScene(R"(<action label="top"><wait>-1</wait></action>
                 <item label="ttc_item_01"><wait>-1</wait></item>)");
    createTopObjects();
    ASSERT_NE(manager().getItemScript(), nullptr);
    EXPECT_EQ(manager().getItemScript()->getLabel(), internWideName(u"ttc_item_01"));
}

TEST_F(TopObjectsSetup, ASceneWithoutAnItemScriptHasNone) {
    loadScene(R"(<action label="top"><wait>-1</wait></action>)");
    // A script left from an earlier scene.
    manager().setItemScript(
        g_currentDocument->findLabel(ElementId::kAction, WideNamePool::instance().findOrInsert(u"top")));
    ASSERT_NE(manager().getItemScript(), nullptr);
    createTopObjects();
    EXPECT_EQ(manager().getItemScript(), nullptr);
}

TEST_F(TopObjectsSetup, AHorizontalGameStartsItsRootAtTheRight) {
    TempRoot root;
    g_systemInfo = new SystemInfo();
    g_systemInfo->setScroll(0);
    loadScene(kFullScene);
    createTopObjects();
    EXPECT_EQ(top(TopObject::kRoot)->getX(), 600.0f);
    EXPECT_EQ(top(TopObject::kRoot)->getY(), 240.0f);
    delete g_systemInfo;
    g_systemInfo = nullptr;
}

TEST_F(TopObjectsSetup, EmptyPoolsMakeNoTopObjects) {
    loadScene(kFullScene);
    std::vector<BulletObject*> held;
    while (BulletObject* object = manager().createPlainObject()) held.push_back(object);
    createTopObjects();
    for (std::size_t i = 0; i < TopObjects::kCount; ++i) EXPECT_EQ(top(static_cast<TopObject>(i)), nullptr) << i;
}

TEST_F(TopObjectsSetup, TheResetLetsGoOfTheOldSet) {
    loadScene(kFullScene);
    createTopObjects();
    g_currentDocument = nullptr;  // no loader: the reset makes no new set
    EXPECT_EQ(resetGame(), S_OK);
    for (std::size_t i = 0; i < TopObjects::kCount; ++i) EXPECT_EQ(top(static_cast<TopObject>(i)), nullptr) << i;
    EXPECT_EQ(manager().countObjects(), 0u);
}

using TopObjectsDeathTest = TopObjectsSetup;

TEST_F(TopObjectsDeathTest, AGameWithoutItsRootActionEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    loadScene(R"(<action label="player_top"/>)");
    EXPECT_EXIT(
        {
            markMainThread();
            createTopObjects();
        },
        ::testing::ExitedWithCode(1), "");
}

}  // namespace
