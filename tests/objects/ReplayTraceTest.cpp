// The replay trace's frame hash: which parts of the play it covers, and the
// line it writes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "input/ReplayManager.h"
#include "objects/ObjectFixture.h"
#include "objects/PlayStateTrace.h"
#include "services/DebugInfo.h"
#include "services/Fnv1a.h"

namespace {

// Published FNV-1a 64-bit test vectors: the offset basis and the prime.
TEST(ReplayTraceHash, Fnv1aTestVectors) {
    const struct {
        const char* text;
        std::uint64_t expected;
    } cases[] = {
        {"", 0xcbf29ce484222325ull},
        {"a", 0xaf63dc4c8601ec8cull},
        {"foobar", 0x85944171f73967e8ull},
    };
    for (const auto& c : cases) {
        Fnv1a hash;
        hash.addBytes(c.text, std::strlen(c.text));
        EXPECT_EQ(hash.value(), c.expected) << '"' << c.text << '"';
    }
}

class ReplayTraceTest : public ObjectTest {
protected:
    ReplayTraceTest() {
        ExBulletML_Runtime::reseed();
        first_ = manager().createBullet();
        first_->setX(100.0f);
        first_->setDirection(90.0f);
        first_->setSpeed(2.0f);
        manager().createEnemy()->setX(50.0f);
    }
    ~ReplayTraceTest() override { ExBulletML_Runtime::reseed(); }
    std::uint64_t hash() { return hashPlayState(manager(), game()); }

    BulletObject* first_ = nullptr;
};

// Each part of the play the hash covers changes it; asking twice without a
// change gives the same value (asking draws no random number).
TEST_F(ReplayTraceTest, EveryCoveredPartChangesTheHash) {
    const std::uint64_t base = hash();
    EXPECT_EQ(hash(), base);
    const struct {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"object x", [this] { first_->setX(101.0f); }},
        {"object direction", [this] { first_->setDirection(91.0f); }},
        {"object speed", [this] { first_->setSpeed(2.5f); }},
        {"object state", [this] { first_->setState(3); }},
        {"one more object", [this] { manager().createShot(); }},
        {"score", [this] { game().setScore(10); }},
        {"graze", [this] { game().setBuzz(1); }},
        {"prate", [this] { game().setPrate(7); }},
        {"spirit", [this] { game().setSpirit(5); }},
        {"rank", [this] { game().setRank(2); }},
        {"mpoint", [this] { game().setMpoint(0.5f); }},
        {"item count", [this] { game().setItemCount(6, 1); }},
        {"random draw", [] { ExBulletML_Runtime::nextRandom(); }},
    };
    for (const auto& c : cases) {
        const std::uint64_t before = hash();
        c.change();
        EXPECT_NE(hash(), before) << c.what;
    }
}

// The same objects in other lists are another play.
TEST_F(ReplayTraceTest, ListMembershipCounts) {
    const std::uint64_t bulletThenEnemy = hash();
    manager().clearAll();
    manager().createEnemy()->setX(100.0f);
    BulletObject* bullet = manager().createBullet();
    bullet->setX(50.0f);
    EXPECT_NE(hash(), bulletThenEnemy);
}

void collect(void* context, std::string_view line) { static_cast<std::vector<std::string>*>(context)->emplace_back(line); }

TEST_F(ReplayTraceTest, TraceLineOnlyWithASink) {
    tracePlayState(2, 17);  // no sink: nothing to see, nothing fails

    std::vector<std::string> lines;
    g_replayDebugInfo->setSink(collect, &lines);
    tracePlayState(2, 17);
    g_replayDebugInfo->setSink(nullptr, nullptr);
    tracePlayState(2, 18);

    ASSERT_EQ(lines.size(), 1u);
    char expected[64];
    std::snprintf(expected, sizeof expected, "2 17 %016llx", static_cast<unsigned long long>(hash()));
    EXPECT_EQ(lines[0], expected);
    EXPECT_EQ(lines[0].size(), 5u + 16u);
}

}  // namespace

namespace {

void setPaused(GameInfo& game, std::int32_t paused) {
    game.requestPauseState(paused);
    game.applyPauseToggle();
}

// While a stage is recorded, each unpaused frame writes one line; frames are
// counted from the replay start without the paused ones, so a pause inserted
// during play back leaves the numbering of the recorded frames unchanged.
TEST_F(ReplayTraceTest, RecordedStageTracesUnpausedFramesOnly) {
    std::vector<std::string> lines;
    g_replayDebugInfo->setSink(collect, &lines);
    ReplayManager replays;
    traceReplayFrame(replays);  // not active yet: nothing
    replays.setMode(ReplayManager::kRecord);
    replays.startReplay();
    lines.clear();  // the start's own trace line

    for (int frame = 0; frame < 4; ++frame) {
        setPaused(game(), frame == 2 ? 1 : 0);
        this->frames(1);
        traceReplayFrame(replays);
        g_frameCounter->onPresent();
    }
    replays.endReplay();
    traceReplayFrame(replays);
    g_replayDebugInfo->setSink(nullptr, nullptr);

    ASSERT_EQ(lines.size(), 3u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].substr(0, 4), "0 " + std::to_string(i) + " ") << lines[i];
    }
}

}  // namespace
