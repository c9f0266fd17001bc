// Where the ranking server is: 127.0.0.1 port 6545 unless the environment
// variable VORLY_RANKING_SERVER names "host" or "host:port". A game never
// sends anything anywhere but the address its player chose.
#pragma once
#include <cstdint>
#include <string>

struct RankingServer {
    std::string host = "127.0.0.1";
    std::uint16_t port = 6545;
};

inline constexpr const char* kRankingServerVariable = "VORLY_RANKING_SERVER";

// Parses the variable's value (null: not set). A bad value is refused with a
// log line and the default is used.
RankingServer parseRankingServer(const char* value);
RankingServer configuredRankingServer();
