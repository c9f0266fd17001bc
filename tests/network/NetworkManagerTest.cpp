#include <gtest/gtest.h>

#include <cstdlib>

#include "network/NetworkManager.h"
#include "network/RankingServer.h"
#include "support/TestSupport.h"

TEST(NetworkManager, WithoutASocketEveryCallIsHarmless) {
    NetworkManager manager(nullptr, 512);
    manager.request(4, 1, 2, 0);
    manager.requestEx(11, 0, 1, 1, 10, 0, 0, 0, 0);
    manager.poll();
    EXPECT_FALSE(manager.isConnected());
    EXPECT_FALSE(manager.isBusy());
    EXPECT_FALSE(manager.isOffline());
    EXPECT_EQ(manager.socket(), nullptr);
}

TEST(NetworkManager, RankingServerFromTheEnvironment) {
    struct Case {
        const char* value;
        const char* host;
        std::uint16_t port;
        bool refused;
    };
    const Case cases[] = {
        {nullptr, "127.0.0.1", 6545, false},
        {"127.0.0.1", "127.0.0.1", 6545, false},
        {"127.0.0.1:7000", "127.0.0.1", 7000, false},
        {"ranking.example:1", "ranking.example", 1, false},
        {"localhost:65535", "localhost", 65535, false},
        {"", "127.0.0.1", 6545, true},
        {":7000", "127.0.0.1", 6545, true},
        {"127.0.0.1:0", "127.0.0.1", 6545, true},
        {"127.0.0.1:65536", "127.0.0.1", 6545, true},
        {"127.0.0.1:70a", "127.0.0.1", 6545, true},
        {"127.0.0.1:", "127.0.0.1", 6545, true},
        {"127.0.0.1:7000:8", "127.0.0.1", 6545, true},
        {"host name", "127.0.0.1", 6545, true},
        {"[::1]:7000", "127.0.0.1", 6545, true},
    };
    for (const Case& c : cases) {
        LoggedTest log;
        RankingServer server = parseRankingServer(c.value);
        EXPECT_EQ(server.host, c.host) << (c.value ? c.value : "(unset)");
        EXPECT_EQ(server.port, c.port) << (c.value ? c.value : "(unset)");
        std::string line = std::string("ランキングサーバの指定が正しくありません: ") + (c.value ? c.value : "");
        EXPECT_EQ(log.logContains(line), c.refused) << (c.value ? c.value : "(unset)");
    }
}
