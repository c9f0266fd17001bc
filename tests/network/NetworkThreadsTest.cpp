// The ranking client on real sockets against vorly-rankpeer (127.0.0.1 only),
// with its worker thread, while the main thread polls and reads the tables.
// Run under ThreadSanitizer by the test command.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <thread>

#include "network/NetworkManager.h"
#include "platform/Net.h"
#include "records/GameInfo.h"
#include "support/TestSupport.h"

namespace {
using namespace std::chrono_literals;

// The test server as a child process, its stdout in a file.
class Peer {
public:
    Peer(const std::string& mode, const std::string& outFile, const std::string& records = "10") : out_(outFile) {
        pid_ = ::fork();
        if (pid_ == 0) {
            int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, 1);
            std::string program = std::string(VORLY_BINARY_DIR) + "/tools/vorly-rankpeer";
            ::execl(program.c_str(), program.c_str(), "--port", "0", "--mode", mode.c_str(), "--records",
                    records.c_str(), "--timeout", "60", "--once", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 100 && port_ == 0; ++i) {
            std::this_thread::sleep_for(50ms);
            std::string first = lines().empty() ? "" : lines()[0];
            if (first.rfind("listening 127.0.0.1:", 0) == 0) port_ = std::stoi(first.substr(20));
        }
    }
    ~Peer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::uint16_t port() const { return static_cast<std::uint16_t>(port_); }
    std::vector<std::string> lines() const {
        std::ifstream file(out_);
        std::vector<std::string> result;
        for (std::string line; std::getline(file, line);) result.push_back(line);
        return result;
    }
    // Waits (bounded) for the peer to end by itself (--once).
    bool waitForEnd(std::chrono::milliseconds limit) {
        auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

private:
    std::string out_;
    pid_t pid_ = -1;
    int port_ = 0;
};

std::string hex8(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}
}  // namespace

TEST(NetworkThreads, FullOpeningWhileTheMainThreadPollsAndReads) {
    LoggedTest log;
    GameInfo info;
    info.setMachineId(0x12345678, 0x9ABC);
    info.setPlayerName(0x54455354, 0x45523120);  // "TESTER1 "
    Peer peer("normal", (log.root().path() / "peer.txt").string());
    ASSERT_NE(peer.port(), 0);
    {
        NetworkManager manager(&info, 512);
        manager.init("127.0.0.1", peer.port());
        queueNetworkOpening(manager);
        std::uint32_t seen = 0;
        auto until = std::chrono::steady_clock::now() + 20s;
        bool done = false;
        while (!done && std::chrono::steady_clock::now() < until) {
            manager.poll();
            // The tables are read while the worker fills them.
            seen |= info.getOnlineRank(3, 2);
            seen |= info.getOnlineReplayScore(0, 4, 2, 1, 71);
            std::this_thread::sleep_for(16ms);
            done = manager.socket()->queueSize() == 0 && manager.socket()->getState() == 3 &&
                   info.getOnlineRank(3, 2) == 12;
        }
        ASSERT_TRUE(done) << "state " << manager.socket()->getState();
        EXPECT_TRUE(manager.isConnected());
        EXPECT_FALSE(manager.isBusy());
        EXPECT_FALSE(manager.isOffline());
    }
    ASSERT_TRUE(peer.waitForEnd(5s));

    // Every table of the opening survived its neighbours' answers.
    for (int a = 0; a < 4; ++a) {
        for (int b = 0; b < 3; ++b) {
            EXPECT_EQ(info.getOnlineHiscore(0, a, b), 1000000u * static_cast<std::uint32_t>(3 * a + b + 1));
            EXPECT_EQ(info.getOnlineHiscore(9, a, b), 1000000u * static_cast<std::uint32_t>(3 * a + b + 1) - 9);
            EXPECT_EQ(info.getOnlineHiscoreName(0, a, b, 0), 'P');
            EXPECT_EQ(info.getOnlineRank(a, b), static_cast<std::uint32_t>(3 * a + b + 1));
        }
    }
    EXPECT_EQ(info.getOnlineReplayScore(0, 2, 1, 0, 0), 500000u);
    EXPECT_EQ(info.getOnlineReplayScore(3, 0, 2, 1, 71), 499997u);
    EXPECT_EQ(info.getOnlineReplayScore(0, 0, 0, 1, 10), 500000u);

    // The peer's transcript: the opening in order, byte for byte decoded by
    // the peer's own code.
    std::vector<std::string> expected = {"hello 512", "hello 512", "identity 12345678 00009abc",
                                         "name 54455354 45523120"};
    std::array<ScoreEntry, 12> best;
    info.collectScoresForUpload(best);
    for (const ScoreEntry& entry : best) {
        expected.push_back("score crc=ok " + std::to_string(entry.score()) + " " + hex8(entry[ScoreEntry::kMode]));
    }
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 3; ++b) expected.push_back("ranking " + std::to_string(a) + " " + std::to_string(b) + " 0");
    expected.push_back("commit 0");
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 3; ++b) expected.push_back("replaylist " + std::to_string(a) + " " + std::to_string(b) + " 0 0");
    for (int s = 0; s < 3; ++s)
        for (int key : OnlineTables::kReplayKeys)
            expected.push_back("replaylist 0 " + std::to_string(s) + " 1 " + std::to_string(key));
    expected.push_back("commit 1");
    expected.push_back("rank");
    expected.push_back("bye 512");
    expected.push_back("closed");
    std::vector<std::string> got = peer.lines();
    ASSERT_FALSE(got.empty());
    got.erase(got.begin());  // listening
    EXPECT_EQ(got, expected);
}

TEST(NetworkThreads, ShutDownInTheMiddleOfASilentPass) {
    LoggedTest log;
    GameInfo info;
    Peer peer("silent", (log.root().path() / "peer.txt").string());
    ASSERT_NE(peer.port(), 0);
    auto manager = std::make_unique<NetworkManager>(&info, 512);
    manager->init("127.0.0.1", peer.port());
    manager->request(4, 1, 1, 0);
    auto until = std::chrono::steady_clock::now() + 5s;
    while (!manager->isBusy() && std::chrono::steady_clock::now() < until) {
        manager->poll();
        std::this_thread::sleep_for(16ms);
    }
    ASSERT_TRUE(manager->isBusy());
    std::this_thread::sleep_for(200ms);  // well inside the 40 s read

    auto started = std::chrono::steady_clock::now();
    manager.reset();
    auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, 1s);
    ASSERT_TRUE(peer.waitForEnd(5s));
    std::vector<std::string> got = peer.lines();
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[got.size() - 2], "bye 512");
    EXPECT_FALSE(log.logContains("受信できませんでした")) << "a stop asked for by shut-down logs nothing";
}

TEST(NetworkThreads, RealSocketsRefusedAndAccepted) {
    std::atomic<std::uint32_t> stop{0};
    net::PosixNet backend;
    // Nothing listens on a port a peer just gave back.
    std::uint16_t port = 0;
    {
        LoggedTest log;
        Peer peer("normal", (log.root().path() / "peer.txt").string());
        port = peer.port();
    }
    net::ConnectResult refused = backend.connect(0x7F000001, port, stop);
    EXPECT_EQ(refused.socket, net::kNoSocket);
    EXPECT_EQ(refused.reason, "ECONNREFUSED");
    EXPECT_EQ(backend.resolve("127.0.0.1"), std::vector<std::uint32_t>{0x7F000001});
    EXPECT_TRUE(backend.resolve("").empty());
}

TEST(NetworkThreads, EmptyTablesOnRealSocketsCompleteTheOpening) {
    LoggedTest log;
    GameInfo info;
    Peer peer("normal", (log.root().path() / "peer.txt").string(), "0");
    ASSERT_NE(peer.port(), 0);
    {
        NetworkManager manager(&info, 512);
        manager.init("127.0.0.1", peer.port());
        queueNetworkOpening(manager);
        auto until = std::chrono::steady_clock::now() + 20s;
        bool done = false;
        while (!done && std::chrono::steady_clock::now() < until) {
            manager.poll();
            std::this_thread::sleep_for(16ms);
            done = manager.socket()->queueSize() == 0 && manager.socket()->getState() == 3 &&
                   info.getOnlineRank(3, 2) == 12;
        }
        EXPECT_TRUE(done) << "state " << manager.socket()->getState();
    }
    ASSERT_TRUE(peer.waitForEnd(5s));
    EXPECT_FALSE(log.logContains("受信できませんでした"));
    std::vector<std::string> got = peer.lines();
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[got.size() - 3], "rank") << "every request of the opening was sent";
    EXPECT_EQ(got[got.size() - 2], "bye 512");
}
