#include "platform/Net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace net {
namespace {
std::atomic<Net*> g_installed{nullptr};

PosixNet& posixNet() {
    static PosixNet backend;
    return backend;
}

// Connect failures report the socket's pending error.
int pendingError(Socket socket) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}
}  // namespace

std::string errorName(int error) {
    const char* name = ::strerrorname_np(error);
    return name ? std::string(name) : "errno " + std::to_string(error);
}

Net& Net::instance() {
    Net* installed = g_installed.load();
    return installed ? *installed : posixNet();
}

void Net::setInstance(Net* backend) { g_installed.store(backend); }

bool parseDottedAddress(const std::string& text, std::uint32_t& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
    address = ntohl(parsed.s_addr);
    return true;
}

std::string formatAddress(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::vector<std::uint32_t> PosixNet::resolve(const std::string& host) {
    std::uint32_t address = 0;
    if (parseDottedAddress(host, address)) return {address};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::vector<std::uint32_t> addresses;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return addresses;
    for (addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || !entry->ai_addr) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        addresses.push_back(ntohl(in->sin_addr.s_addr));
    }
    ::freeaddrinfo(found);
    return addresses;
}

ConnectResult PosixNet::connect(std::uint32_t address, std::uint16_t port,
                                const std::atomic<std::uint32_t>& stop) {
    ConnectResult result;
    Socket socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        result.socketFailed = true;
        result.reason = errorName(errno);
        return result;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(address);
    int error = 0;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) error = errno;
    if (error == EINPROGRESS) {
        error = ETIMEDOUT;
        for (std::uint32_t waited = 0; waited < kConnectTimeoutMs; waited += kWaitStepMs) {
            if (stop.load() != 0) {
                result.stopped = true;
                break;
            }
            pollfd entry{socket, POLLOUT, 0};
            int ready = ::poll(&entry, 1, static_cast<int>(kWaitStepMs));
            if (ready < 0 && errno != EINTR) {
                error = errno;
                break;
            }
            if (ready > 0) {
                error = pendingError(socket);
                break;
            }
        }
    }
    if (error == 0 && !result.stopped) {
        result.socket = socket;
        return result;
    }
    ::close(socket);
    result.reason = result.stopped ? "Stopped" : errorName(error);
    return result;
}

IoResult PosixNet::send(Socket socket, const void* data, std::size_t size) {
    ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL);
    if (sent >= 0) return {IoResult::kDone, static_cast<std::size_t>(sent), 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return {IoResult::kWouldBlock, 0, 0};
    return {IoResult::kError, 0, errno};
}

IoResult PosixNet::recv(Socket socket, void* data, std::size_t size) {
    // recv of no bytes answers 0, the same as a peer that closed: a read of
    // nothing is done at once instead.
    if (size == 0) return {IoResult::kDone, 0, 0};
    ssize_t received = ::recv(socket, data, size, 0);
    if (received > 0) return {IoResult::kDone, static_cast<std::size_t>(received), 0};
    if (received == 0) return {IoResult::kClosed, 0, 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return {IoResult::kWouldBlock, 0, 0};
    return {IoResult::kError, 0, errno};
}

void PosixNet::waitWritable(Socket socket) {
    pollfd entry{socket, POLLOUT, 0};
    ::poll(&entry, 1, static_cast<int>(kWaitStepMs));
}

void PosixNet::shutdownSend(Socket socket) {
    if (socket >= 0) ::shutdown(socket, SHUT_WR);
}

void PosixNet::close(Socket socket) {
    if (socket >= 0) ::close(socket);
}

}  // namespace net
