#include "network/RankingServer.h"

#include <cctype>
#include <cstdlib>

#include "services/DebugInfo.h"

namespace {
// A host name or dotted address: letters, digits, dots and hyphens.
bool isHostName(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    for (char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') return false;
    }
    return true;
}

bool parsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}
}  // namespace

RankingServer parseRankingServer(const char* value) {
    RankingServer server;
    if (!value) return server;
    std::string text(value);
    std::size_t colon = text.find(':');
    RankingServer parsed;
    parsed.host = text.substr(0, colon);
    bool valid = isHostName(parsed.host);
    if (valid && colon != std::string::npos) valid = parsePort(text.substr(colon + 1), parsed.port);
    if (!valid) {
        logLine("ランキングサーバの指定が正しくありません: " + text);
        return server;
    }
    return parsed;
}

RankingServer configuredRankingServer() { return parseRankingServer(std::getenv(kRankingServerVariable)); }
