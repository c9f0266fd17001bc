// The connection state machine on the scripted peer and the fake clock: one
// pass at a time, run directly, so virtual time shows every wait.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "network/NetTestSupport.h"
#include "network/NetworkManager.h"
#include "network/OnlineReplayFiles.h"
#include "network/WindowsSocket.h"
#include "platform/Clock.h"
#include "platform/ScriptedNet.h"
#include "records/GameInfo.h"
#include "support/TestSupport.h"

namespace {
constexpr std::uint32_t kLocal = 0x7F000001;
using net::ScriptedNet;

class SocketTest : public ::testing::Test {
protected:
    SocketTest() {
        Clock::setInstance(&clock);
        net::Net::setInstance(&peer);
        info.setPlayerName(0x50454552, 0x20202020);
        info.setMachineId(0x11, 0x22);
        socket = std::make_unique<WindowsSocket>(&info, 512);
        socket->configure("127.0.0.1", 6545);
    }
    ~SocketTest() override {
        socket.reset();
        net::Net::setInstance(nullptr);
        Clock::setInstance(nullptr);
    }
    void accept() { peer.setAnswer(kLocal, ScriptedNet::Answer::kAccept); }
    void queue(std::uint32_t code, std::array<std::uint32_t, 8> args = {}) {
        socket->enqueue(NetworkRequest(code, args));
    }
    int lines(const std::string& text) const {
        int count = 0;
        for (const std::string& line : log.logLines()) count += line == text;
        return count;
    }
    // The request codes of the messages sent (first header word, skipping
    // payloads and the download's second block).
    std::vector<std::uint32_t> sentCodes() const {
        std::vector<std::uint8_t> bytes = peer.sent();
        std::vector<std::uint32_t> codes;
        std::size_t at = 0;
        while (at + 16 <= bytes.size()) {
            auto word = [&](std::size_t i) { return ranking::readWordBE(bytes.data() + at + 4 * i); };
            codes.push_back(word(0));
            std::size_t size = 16;
            if (word(0) == 16) size += word(1);
            if (word(0) == 32 && word(3) == 2) size += 16;
            at += size;
        }
        return codes;
    }

    LoggedTest log;
    FakeClock clock;
    ScriptedNet peer;
    GameInfo info;
    std::unique_ptr<WindowsSocket> socket;
};
}  // namespace

TEST_F(SocketTest, UnreachableServerEndsThePassOfflineWithAnEmptyQueue) {
    for (std::uint32_t code : {1u, 9u, 2u, 4u}) queue(code);
    socket->runPass();
    EXPECT_EQ(socket->getState(), 1);
    EXPECT_EQ(socket->queueSize(), 0u);
    EXPECT_TRUE(peer.sent().empty());
    EXPECT_EQ(lines("サーバに接続できませんでした  Host:127.0.0.1 Port:6545  ECONNREFUSED"), 1);
    EXPECT_EQ(lines("ネットワーク要求を破棄しました  Count:4"), 1);

    // The next request starts a new attempt, on a fresh socket.
    accept();
    queue(10);
    socket->runPass();
    EXPECT_EQ(peer.attempts().size(), 2u);
    EXPECT_EQ(sentCodes(), (std::vector<std::uint32_t>{0, 32}));
}

TEST_F(SocketTest, NameWithThreeAddressesConnectsToTheFirstThatAccepts) {
    socket->configure("ranking.test", 6545);
    peer.addName("ranking.test", {0x0A000001, 0x0A000002, 0x0A000003});
    peer.setAnswer(0x0A000001, ScriptedNet::Answer::kRefuse);
    peer.setAnswer(0x0A000002, ScriptedNet::Answer::kSilent);
    peer.setAnswer(0x0A000003, ScriptedNet::Answer::kAccept);
    queue(9);
    socket->runPass();
    EXPECT_EQ(peer.attempts(), (std::vector<std::uint32_t>{0x0A000001, 0x0A000002, 0x0A000003}));
    EXPECT_EQ(clock.timeGetTime(), 10000u) << "the silent address is given 10 s in 20 ms steps";
    EXPECT_EQ(lines("サーバに接続しました"), 1);
    EXPECT_EQ(socket->getState(), 3);
    EXPECT_EQ(sentCodes(), (std::vector<std::uint32_t>{0, 2, 3}));

    // A name that resolves to nothing, and a failed socket, are failed connections.
    socket->configure("nowhere.test", 6545);
    socket->close();
    EXPECT_EQ(socket->getState(), 5);
    WindowsSocket other(&info, 512);
    other.configure("nowhere.test", 6545);
    other.enqueue(NetworkRequest(1));
    other.runPass();
    EXPECT_EQ(other.getState(), 1);
    EXPECT_EQ(lines("サーバに接続できませんでした  Host:nowhere.test Port:6545  Unresolved"), 1);
    peer.failSocketCreation(1);
    other.configure("127.0.0.1", 6545);
    other.enqueue(NetworkRequest(1));
    other.runPass();
    EXPECT_EQ(other.getState(), 1);
    EXPECT_EQ(lines("socket の作成に失敗しました"), 1);
}

TEST_F(SocketTest, CommitBetweenRankingQueriesKeepsTheRankingRequestCurrent) {
    accept();
    queue(4, {0, 0, 0});
    queue(8);
    queue(4, {0, 1, 0});
    peer.deliver(nettest::reply(16, 1, nettest::records(3, 0x00, 900)));
    socket->runPass();
    EXPECT_EQ(socket->currentRequest(), 4);
    EXPECT_EQ(socket->getState(), 3) << "a ranking answer ends the wait";
    EXPECT_LT(clock.timeGetTime(), 100u);
    EXPECT_EQ(sentCodes(), (std::vector<std::uint32_t>{0, 32, 48, 32}));
}

TEST_F(SocketTest, LoneCommitIsAnsweredWithoutWaitingOut) {
    accept();
    queue(8);
    peer.deliver(nettest::reply(64, 0));
    socket->runPass();
    EXPECT_EQ(socket->getState(), 3);
    EXPECT_LT(clock.timeGetTime(), 100u);
    EXPECT_EQ(socket->queueSize(), 0u);
}

TEST_F(SocketTest, SilenceWaitsTwoThousandStepsThenGoesOffline) {
    accept();
    queue(10);
    queue(4);
    socket->runPass();
    // One pause after the queries went out, then 2000 tries 20 ms apart.
    EXPECT_EQ(clock.timeGetTime(), 20u + 2000u * 20u);
    EXPECT_EQ(socket->getState(), 1);
    EXPECT_EQ(lines("サーバからの応答を受信できませんでした  Header  Timeout"), 1);
}

TEST_F(SocketTest, ServerClosingMidHeaderFailsAtOnce) {
    accept();
    queue(10);
    peer.deliver({0, 0, 0, 16, 0, 0, 0, 48});
    peer.deliverClose();
    socket->runPass();
    EXPECT_EQ(socket->getState(), 1);
    EXPECT_LT(clock.timeGetTime(), 100u);
    EXPECT_EQ(lines("サーバからの応答を受信できませんでした  Header  Closed"), 1);

    // An error other than would-block is named.
    queue(10);
    peer.deliverFailure(ECONNRESET);
    WindowsSocket other(&info, 512);
    other.configure("127.0.0.1", 6545);
    other.enqueue(NetworkRequest(10));
    other.runPass();
    EXPECT_EQ(lines("サーバからの応答を受信できませんでした  Header  Closed"), 2) << "the first peer stays closed";
}

TEST_F(SocketTest, IdentityFailuresReconnectAtMostWhileTheCountIsTwoOrLess) {
    accept();
    for (int i = 0; i < 6; ++i) {
        peer.addSendStep({ScriptedNet::SendStep::kTake, 1000, 0});  // hello
        peer.addSendStep({ScriptedNet::SendStep::kFail, 0, EPIPE});  // identity
    }
    queue(9);
    queue(10);
    socket->runPass();
    EXPECT_EQ(peer.connections(), 4) << "the first connection and three reconnections";
    EXPECT_EQ(lines("サーバへの送信に失敗しました  Code:9  EPIPE"), 4);
    EXPECT_EQ(socket->getState(), 1);
    EXPECT_EQ(socket->queueSize(), 0u);
}

TEST_F(SocketTest, RequestsAfterByeAreDroppedAndThePassEnds) {
    accept();
    queue(6);
    queue(4);
    queue(10);
    socket->runPass();
    EXPECT_EQ(socket->getState(), 5);
    EXPECT_EQ(sentCodes(), (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(lines("ネットワーク要求を破棄しました  Count:2"), 1);
    queue(4);
    socket->runPass();
    EXPECT_EQ(socket->queueSize(), 0u);
    EXPECT_EQ(lines("ネットワーク要求を破棄しました  Count:1"), 1);
}

TEST_F(SocketTest, ShortSendsAreContinuedAndABlockedSocketGivesUp) {
    accept();
    peer.addSendStep({ScriptedNet::SendStep::kTake, 5, 0});
    peer.addSendStep({ScriptedNet::SendStep::kWouldBlock, 0, 0});
    peer.addSendStep({ScriptedNet::SendStep::kTake, 7, 0});
    queue(9);
    socket->runPass();
    EXPECT_EQ(nettest::hex(peer.sent()),
              "00000000 00000001 00000200 00000000 "
              "00000002 00000011 00000022 00000000 "
              "00000003 50454552 20202020 00000000");
    EXPECT_EQ(clock.timeGetTime(), 20u);

    for (int i = 0; i < 2001; ++i) peer.addSendStep({ScriptedNet::SendStep::kWouldBlock, 0, 0});
    queue(10);
    socket->runPass();
    EXPECT_EQ(clock.timeGetTime(), 20u + 2000u * 20u);
    EXPECT_EQ(lines("サーバへの送信に失敗しました  Code:10  Timeout"), 1);
    EXPECT_EQ(socket->getState(), 1);
}

TEST_F(SocketTest, OversizedAndTruncatedPayloadsFailTheReceive) {
    struct Case {
        std::uint32_t subtype;
        std::uint32_t length;
        bool accepted;
    };
    const Case cases[] = {{1, 100800, true}, {1, 100884, false}, {8, 126000, true},  {8, 126084, false},
                          {4, 65536, true},  {4, 65537, false},  {1, 0xFFFFFFF0u, false}};
    accept();
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes;
        for (std::uint32_t word : {16u, c.length, 0u, c.subtype}) nettest::putWord(bytes, word);
        if (c.accepted) bytes.resize(16 + c.length);  // zero payload; its CRC is wrong on purpose
        queue(c.subtype == 8 ? 11 : c.subtype == 4 ? 10 : 4);
        peer.deliver(bytes);
        socket->runPass();
        std::string tooBig = "サーバからのデータが大きすぎます  Subtype:" + std::to_string(c.subtype) +
                             "  Length:" + std::to_string(c.length);
        std::string corrupt = "サーバからのデータが壊れています  Subtype:" + std::to_string(c.subtype) +
                              "  Length:" + std::to_string(c.length);
        EXPECT_EQ(lines(tooBig), c.accepted ? 0 : 1) << c.length;
        EXPECT_EQ(lines(corrupt), c.accepted ? 1 : 0) << c.length;
        EXPECT_EQ(socket->getState(), c.accepted ? 3 : 1) << c.length;
    }

    // 840 bytes announced, 100 delivered, then silence.
    std::vector<std::uint8_t> truncated = nettest::reply(16, 1, nettest::records(10, 0, 50));
    truncated.resize(16 + 100);
    peer.deliver(truncated);
    queue(4);
    std::uint32_t before = clock.timeGetTime();
    socket->runPass();
    EXPECT_EQ(lines("サーバからの応答を受信できませんでした  Payload  Timeout"), 1);
    EXPECT_EQ(socket->getState(), 1);
    EXPECT_GE(clock.timeGetTime() - before, 2000u * 20u - 20u);
    info.fillRankingCache();
    EXPECT_EQ(info.getOnlineHiscore(0, 0, 0), 0u) << "a part of a payload is never used";
}

TEST_F(SocketTest, RankTablesByLength) {
    struct Case {
        std::size_t length;
        int words;
    };
    const Case cases[] = {{36, 9}, {37, 9}, {47, 9}, {48, 12}, {35, 0}};  // the close last
    accept();
    std::uint32_t round = 0;
    for (const Case& c : cases) {
        ++round;
        info.onlineTables().clearOnlineRanks();
        std::vector<std::uint8_t> payload;
        for (std::uint32_t i = 0; i < 12; ++i) nettest::putWord(payload, 100 * round + i + 1);
        payload.resize(c.length);
        queue(10);
        peer.deliver(nettest::reply(16, 4, payload));
        if (c.words == 0) peer.deliverClose();
        socket->runPass();
        for (int i = 0; i < 12; ++i) {
            std::uint32_t expected = i < c.words ? 100 * round + static_cast<std::uint32_t>(i) + 1 : 0;
            EXPECT_EQ(info.getOnlineRank(i / 3, i % 3), expected) << c.length << " word " << i;
        }
        // A short table is dropped and the client keeps waiting (here, until the close).
        EXPECT_EQ(socket->getState(), c.words == 0 ? 1 : 3) << c.length;
    }
}

TEST_F(SocketTest, CorruptAndUnknownRepliesLeaveTheTablesAlone) {
    accept();
    std::vector<std::uint8_t> bad = nettest::reply(16, 1, nettest::records(2, 0x00, 700));
    bad[11] ^= 1;  // CRC word + 1
    peer.deliver(nettest::reply(5, 9));
    peer.deliver(nettest::reply(200, 1));
    peer.deliver(bad);
    queue(4);
    socket->runPass();
    EXPECT_EQ(lines("サーバから不明な応答を受け取りました  Type:5  Subtype:9"), 1);
    EXPECT_EQ(lines("サーバから不明な応答を受け取りました  Type:200  Subtype:1"), 0) << "once a pass";
    EXPECT_EQ(lines("サーバからのデータが壊れています  Subtype:1  Length:168"), 1);
    EXPECT_EQ(socket->getState(), 3);
    info.fillRankingCache();
    EXPECT_EQ(info.getOnlineHiscore(0, 0, 0), 0u);

    // A good answer after them is filed: ten records, rank k of table 3a + b.
    peer.deliver(nettest::reply(16, 1, nettest::records(10, 0x21, 5000)));
    queue(4, {2, 1, 0});
    socket->runPass();
    info.fillRankingCache();
    EXPECT_EQ(info.getOnlineHiscore(0, 2, 1), 5000u);
    EXPECT_EQ(info.getOnlineHiscore(9, 2, 1), 4991u);
    EXPECT_EQ(info.getOnlineHiscoreStageScore(0, 2, 1, 8), 0x15000000u);
    EXPECT_EQ(info.getOnlineHiscoreStageScore(0, 2, 1, 9), 0u);
}

namespace {
class RecordingReplayFiles : public OnlineReplayFiles {
public:
    bool readReplayFile(std::uint32_t slot, std::vector<std::uint8_t>& bytes) override {
        if (slot != 7) return false;
        bytes = {1, 2, 3, 4, 5};
        return true;
    }
    bool writeReplayFile(const std::uint8_t* bytes, std::size_t size) override {
        written.assign(bytes, bytes + size);
        onMainThread = isMainThread();
        return true;
    }
    std::vector<std::uint8_t> written;
    bool onMainThread = false;
};
}  // namespace

TEST_F(SocketTest, ReplayUploadAndDownloadGoThroughTheReplayFiles) {
    accept();
    // No replay files at all: nothing is sent, the state stays.
    queue(1);
    queue(3, {7});
    socket->runPass();
    EXPECT_EQ(sentCodes(), (std::vector<std::uint32_t>{0, 0}));
    EXPECT_EQ(socket->getState(), 3);
    EXPECT_EQ(lines("送信するリプレイファイルがありません  Slot:7"), 1);

    RecordingReplayFiles files;
    setOnlineReplayFiles(&files);
    queue(3, {8});  // a missing file
    queue(3, {7});
    peer.deliver(nettest::reply(80, 0));
    socket->runPass();
    std::vector<std::uint8_t> sent = peer.sent();
    ASSERT_GE(sent.size(), 21u);
    EXPECT_EQ(nettest::hex({sent.end() - 21, sent.end()}), "00000010 00000005 470b99f4 00000002 01020304 05");
    EXPECT_EQ(socket->getState(), 3);

    // A download is handed to the main thread and written by its next poll.
    std::vector<std::uint8_t> replay = {9, 8, 7, 6};
    peer.deliver(nettest::reply(16, 2, replay));
    queue(5, {0xA1, 0xB2, 20081224, 1530, 987654});
    socket->runPass();
    EXPECT_EQ(socket->getState(), 3);
    std::vector<std::uint8_t> taken;
    ASSERT_TRUE(socket->takeDownloadedReplay(taken));
    EXPECT_EQ(taken, replay);
    EXPECT_FALSE(socket->takeDownloadedReplay(taken));
    setOnlineReplayFiles(nullptr);
}

TEST_F(SocketTest, EmptyAnswersEndTheWaitAndUnaskedReplaysAreReadPast) {
    RecordingReplayFiles files;
    setOnlineReplayFiles(&files);
    accept();
    // An empty ranking table, with nothing after it: the wait ends at once.
    queue(4);
    peer.deliver(nettest::reply(16, 1));
    std::uint32_t before = clock.timeGetTime();
    socket->runPass();
    EXPECT_EQ(socket->getState(), 3);
    EXPECT_LT(clock.timeGetTime() - before, 100u);

    // A replay nobody asked for, then the answer awaited: the replay is read
    // past and the table filed.
    std::vector<std::uint8_t> unasked(200000, 0x5A);
    peer.deliver(nettest::reply(16, 2, unasked));
    peer.deliver(nettest::reply(16, 1, nettest::records(3, 0x10, 7000)));
    queue(4, {1, 0, 0});
    socket->runPass();
    EXPECT_EQ(lines("サーバから予期しない応答を受け取りました  Subtype:2  Length:200000"), 1);
    EXPECT_EQ(socket->getState(), 3);
    std::vector<std::uint8_t> taken;
    EXPECT_FALSE(socket->takeDownloadedReplay(taken));
    info.fillRankingCache();
    EXPECT_EQ(info.getOnlineHiscore(0, 1, 0), 7000u);

    // A download asked for before another query is still taken.
    std::vector<std::uint8_t> replay = {1, 2, 3};
    queue(5, {1, 2, 3, 4, 5});
    queue(4, {2, 0, 0});
    peer.deliver(nettest::reply(16, 2, replay));
    peer.deliver(nettest::reply(16, 1, nettest::records(1, 0x20, 9000)));
    socket->runPass();
    ASSERT_TRUE(socket->takeDownloadedReplay(taken));
    EXPECT_EQ(taken, replay);
    // Once taken, the next replay is unasked again.
    peer.deliver(nettest::reply(16, 2, replay));
    peer.deliver(nettest::reply(16, 1, nettest::records(1, 0x20, 9000)));
    queue(4, {2, 0, 0});
    socket->runPass();
    EXPECT_EQ(lines("サーバから予期しない応答を受け取りました  Subtype:2  Length:3"), 1);
    EXPECT_FALSE(socket->takeDownloadedReplay(taken));
    setOnlineReplayFiles(nullptr);
}
