// An in-memory peer standing in for the socket calls in tests. It records what
// the client sent and plays a script: which addresses accept, the bytes it
// delivers (in the given chunks), would-block pauses, a close or an error, and
// how much of each send it takes. Every wait sleeps 20 ms on Clock::instance(),
// so with a FakeClock nothing really waits.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Net.h"

namespace net {

class ScriptedNet : public Net {
public:
    // How an address answers a connection attempt.
    enum class Answer { kRefuse, kAccept, kSilent };

    // One step of what the peer delivers to recv.
    struct Delivery {
        enum Kind { kBytes, kWouldBlock, kClose, kFail };
        Kind kind = kBytes;
        std::vector<std::uint8_t> bytes;
        int error = 0;
    };
    // One step of how the peer takes a send: at most `limit` bytes, or
    // would-block, or an error. Without steps every send is taken whole.
    struct SendStep {
        enum Kind { kTake, kWouldBlock, kFail };
        Kind kind = kTake;
        std::size_t limit = 0;
        int error = 0;
    };

    // Names and their addresses for resolve; a dotted address resolves to itself.
    void addName(const std::string& host, std::vector<std::uint32_t> addresses);
    void setAnswer(std::uint32_t address, Answer answer);  // default: refuse
    void failSocketCreation(int times);

    void deliver(const std::vector<std::uint8_t>& bytes);
    void deliverChunks(const std::vector<std::uint8_t>& bytes, std::size_t chunk);
    void deliverWouldBlock();
    void deliverClose();
    void deliverFailure(int error);
    void addSendStep(SendStep step);

    // What the client sent over every connection so far, in order.
    std::vector<std::uint8_t> sent() const;
    std::vector<std::uint32_t> attempts() const;
    int connections() const;
    int closes() const;
    int shutdowns() const;

    std::vector<std::uint32_t> resolve(const std::string& host) override;
    ConnectResult connect(std::uint32_t address, std::uint16_t port,
                          const std::atomic<std::uint32_t>& stop) override;
    IoResult send(Socket socket, const void* data, std::size_t size) override;
    IoResult recv(Socket socket, void* data, std::size_t size) override;
    void waitWritable(Socket socket) override;
    void shutdownSend(Socket socket) override;
    void close(Socket socket) override;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::vector<std::uint32_t>> names_;
    std::map<std::uint32_t, Answer> answers_;
    int socketFailures_ = 0;
    std::deque<Delivery> deliveries_;
    std::deque<SendStep> sendSteps_;
    std::vector<std::uint8_t> sent_;
    std::vector<std::uint32_t> attempts_;
    int connections_ = 0;
    int closes_ = 0;
    int shutdowns_ = 0;
    Socket nextSocket_ = 100;
};

}  // namespace net
