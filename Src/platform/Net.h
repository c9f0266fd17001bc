// TCP client sockets in the shape of the Winsock calls the ranking client was
// written against. Every call goes through Net::instance(), so tests can
// install a scripted peer (ScriptedNet) that runs on the fake clock.
//
// A connection attempt always uses a fresh non-blocking socket and gives up
// after a bounded wait; the waits test the caller's stop flag every 20 ms.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace net {

using Socket = int;
inline constexpr Socket kNoSocket = -1;
// One wait step of connect and of the writability wait.
inline constexpr std::uint32_t kWaitStepMs = 20;
// The longest wait for one address to accept a connection.
inline constexpr std::uint32_t kConnectTimeoutMs = 10000;

// What a send or receive call did.
struct IoResult {
    enum Kind { kDone, kWouldBlock, kClosed, kError };
    Kind kind = kError;
    std::size_t bytes = 0;  // bytes moved when kDone
    int error = 0;          // errno when kError
};

// The outcome of one connection attempt: a connected socket, or the reason.
struct ConnectResult {
    Socket socket = kNoSocket;
    bool socketFailed = false;  // the socket itself could not be made
    bool stopped = false;       // the stop flag ended the wait
    std::string reason;         // for the log when it failed
};

// The errno's symbolic name ("ECONNREFUSED"), or "errno <n>".
std::string errorName(int error);

class Net {
public:
    virtual ~Net() = default;

    // IPv4 addresses (host byte order) of a dotted address or a host name, in
    // the resolver's order; empty when there is none.
    virtual std::vector<std::uint32_t> resolve(const std::string& host) = 0;
    virtual ConnectResult connect(std::uint32_t address, std::uint16_t port,
                                  const std::atomic<std::uint32_t>& stop) = 0;
    virtual IoResult send(Socket socket, const void* data, std::size_t size) = 0;
    virtual IoResult recv(Socket socket, void* data, std::size_t size) = 0;
    // Waits up to one step for the socket to take more bytes.
    virtual void waitWritable(Socket socket) = 0;
    virtual void shutdownSend(Socket socket) = 0;
    virtual void close(Socket socket) = 0;

    static Net& instance();
    // Installs a backend for the whole process (tests); nullptr restores the real one.
    static void setInstance(Net* backend);
};

// The POSIX socket backend.
class PosixNet : public Net {
public:
    std::vector<std::uint32_t> resolve(const std::string& host) override;
    ConnectResult connect(std::uint32_t address, std::uint16_t port,
                          const std::atomic<std::uint32_t>& stop) override;
    IoResult send(Socket socket, const void* data, std::size_t size) override;
    IoResult recv(Socket socket, void* data, std::size_t size) override;
    void waitWritable(Socket socket) override;
    void shutdownSend(Socket socket) override;
    void close(Socket socket) override;
};

// Parses a dotted IPv4 address ("127.0.0.1") into host byte order.
bool parseDottedAddress(const std::string& text, std::uint32_t& address);
std::string formatAddress(std::uint32_t address);

}  // namespace net
