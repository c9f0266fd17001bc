#include "network/NetworkManager.h"

#include <algorithm>
#include <initializer_list>

#include "network/OnlineReplayFiles.h"
#include "network/RankingServer.h"
#include "platform/Clock.h"
#include "records/GameInfo.h"
#include "records/OnlineTables.h"
#include "services/DebugInfo.h"

namespace {
bool stateIn(const std::unique_ptr<WindowsSocket>& socket, std::initializer_list<std::int32_t> states) {
    if (!socket) return false;
    std::int32_t state = socket->getState();
    return std::find(states.begin(), states.end(), state) != states.end();
}
}  // namespace

NetworkManager::NetworkManager(GameInfo* records, std::uint32_t versionWord)
    : records_(records), version_(versionWord) {}

NetworkManager::~NetworkManager() {
    if (!socket_) return;
    // The worker ends first (the stop flag cuts its waits short), so the bye
    // below never crosses a send of the worker's.
    socket_->stopWorker();
    socket_->close();
    socket_.reset();
}

void NetworkManager::init(const std::string& host, std::uint16_t port) {
    logLine("");
    logLine(std::string(79, '*'));
    logLine("ネットワーク接続を初期化します");
    logLine("");
    logLine("ランキングサーバ : " + host + ":" + std::to_string(port));
    socket_ = std::make_unique<WindowsSocket>(records_, version_);
    socket_->start(host, port);
}

void NetworkManager::request(std::uint32_t code, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    if (socket_) socket_->enqueue(NetworkRequest(code, {a, b, c, 0, 0, 0, 0, 0}));
}

void NetworkManager::requestEx(std::uint32_t code, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                               std::uint32_t d, std::uint32_t e, std::uint32_t f, std::uint32_t g,
                               std::uint32_t h) {
    if (socket_) socket_->enqueue(NetworkRequest(code, {a, b, c, d, e, f, g, h}));
}

void NetworkManager::poll() {
    if (!socket_) return;
    if (records_) {
        socket_->setIdentity(records_->getMachineId0(), records_->getMachineId1(), records_->getPlayerName0(),
                             records_->getPlayerName1());
    }
    if (socket_->takeDownloadedReplay(replay_)) {
        OnlineReplayFiles* files = onlineReplayFiles();
        if (!files) {
            logLine("受信したリプレイを保存できません  Size:" + std::to_string(replay_.size()));
        } else {
            files->writeReplayFile(replay_.data(), replay_.size());
        }
        std::vector<std::uint8_t>().swap(replay_);  // a replay can be 64 MiB: not kept
    }
    socket_->poll();
}

bool NetworkManager::isConnected() const { return stateIn(socket_, {2, 3, 7, 9, 11, 14, 15, 16}); }
bool NetworkManager::isBusy() const { return stateIn(socket_, {7, 9, 11, 14, 15, 16}); }
bool NetworkManager::isOffline() const { return stateIn(socket_, {0, 1, 5, 10}); }

void queueNetworkOpening(NetworkManager& manager) {
    for (std::uint32_t code : {1u, 9u, 2u, 7u}) manager.request(code, 0, 0, 0);
    for (std::uint32_t a = 0; a < 4; ++a) {
        for (std::uint32_t b = 0; b < 3; ++b) manager.request(4, a, b, 0);
    }
    manager.request(8, 0, 0, 0);
    for (std::uint32_t a = 0; a < 4; ++a) {
        for (std::uint32_t b = 0; b < 3; ++b) manager.requestEx(11, a, b, 0, 0, 0, 0, 0, 0);
    }
    for (std::uint32_t s = 0; s < 3; ++s) {
        for (int key : OnlineTables::kReplayKeys) {
            manager.requestEx(11, 0, s, 1, static_cast<std::uint32_t>(key), 0, 0, 0, 0);
        }
    }
    manager.request(12, 0, 0, 0);
    manager.request(10, 0, 0, 0);
}

void runNetworkOpening(NetworkManager& manager, GameInfo* records) {
    RankingServer server = configuredRankingServer();
    manager.init(server.host, server.port);
    if (records) records->updateScoreName();
    queueNetworkOpening(manager);
    manager.poll();
    Clock::instance().sleep(500);
}
