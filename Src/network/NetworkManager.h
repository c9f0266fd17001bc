// The game's front to the ranking server. Start-up creates it and, when the
// online switch is on, initialises it and queues the opening requests; scripts
// and the replay manager queue more; the frame step polls it once a frame.
// Every operation does nothing (or answers false) until init made the socket,
// so a game with networking off runs the same calls harmlessly.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "network/WindowsSocket.h"

class GameInfo;

class NetworkManager {
public:
    static constexpr std::uint16_t kDefaultPort = 6545;

    NetworkManager(GameInfo* records, std::uint32_t versionWord);
    // Stops the worker, says goodbye when connected, frees the socket.
    virtual ~NetworkManager();
    NetworkManager(const NetworkManager&) = delete;
    NetworkManager& operator=(const NetworkManager&) = delete;

    void init(const std::string& host, std::uint16_t port);
    void request(std::uint32_t code, std::uint32_t a, std::uint32_t b, std::uint32_t c);
    void requestEx(std::uint32_t code, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                   std::uint32_t e, std::uint32_t f, std::uint32_t g, std::uint32_t h);
    // Once a frame: hands the player's identity to the worker, writes a
    // downloaded replay, and wakes the worker when requests wait.
    void poll();

    bool isConnected() const;
    bool isBusy() const;
    bool isOffline() const;

    WindowsSocket* socket() { return socket_.get(); }

private:
    GameInfo* records_;
    std::uint32_t version_;
    std::unique_ptr<WindowsSocket> socket_;
    std::vector<std::uint8_t> replay_;
};

// Queues the opening requests (after init): hello, identity, scores, reset,
// the twelve ranking tables, commit, the sixty replay lists, commit, rank.
void queueNetworkOpening(NetworkManager& manager);

// The network opening of start-up: init with the configured ranking server,
// the player's name on this machine's scores, the opening requests, one poll
// and half a second for the worker to get going.
void runNetworkOpening(NetworkManager& manager, GameInfo* records);
