// vorly-rankpeer: a ranking server for tests, on 127.0.0.1 only.
//
//   vorly-rankpeer [--port N] [--mode M] [--records N] [--replay FILE] [--timeout S] [--once]
//
// Prints "listening 127.0.0.1:<port>" first, then one line per message it
// receives. Serves one connection at a time; it queues its answers and writes
// them as the socket takes them, reading all the while. It reads and writes
// the bytes with its own big-endian code and zlib's crc32, never through the
// engine's codec, so a layout mistake cannot hide on both sides.
//
// Modes: normal; and, from the first answer on, badcrc (CRC word + 1), huge
// (a header announcing 0xFFFFFFF0 bytes, then nothing), truncated (840 bytes
// announced, 100 sent, then silence), silent (no answer), close (8 bytes of a
// header, then the connection is closed), garbage (4096 seeded bytes, closed);
// and unsolicited: before its first answer, a replay of 64 MiB (type 16,
// subtype 2, a good CRC) that no request asked for, then as normal.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kMaxReceivedPayload = 64u << 20;
constexpr std::uint32_t kKeys[16] = {10, 20, 21, 30, 31, 40, 41, 42, 50, 51, 52, 60, 61, 62, 70, 71};

struct Options {
    int port = 0;
    std::string mode = "normal";
    int records = 10;
    std::string replay;
    int timeout = 120;
    bool once = false;
};

std::uint32_t getWord(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void putWord(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t checksum(const Bytes& bytes) {
    return static_cast<std::uint32_t>(::crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
}

void say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// An 84-byte record: score, mode, stage mask; name "PEER" and four digits,
// a non-zero machine identity.
void putRecord(Bytes& out, std::uint32_t score, std::uint32_t mode, std::uint32_t stageMask, int k) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04d", k % 10000);
    putWord(out, 0x50454552);  // "PEER"
    putWord(out, getWord(reinterpret_cast<const std::uint8_t*>(digits)));
    putWord(out, score);
    putWord(out, mode);
    putWord(out, stageMask);
    putWord(out, 20081224);
    putWord(out, 1200);
    putWord(out, 0x200);
    putWord(out, static_cast<std::uint32_t>(k + 1));  // replay id
    putWord(out, 0);                                  // dropped frames
    putWord(out, 0x50454552);                         // machine identity
    putWord(out, static_cast<std::uint32_t>(k + 1));
    for (int stage = 0; stage < 9; ++stage) putWord(out, score / 10);
}

class Connection {
public:
    Connection(int fd, const Options& options) : fd_(fd), options_(options) {}

    // Reads what there is; false when the client closed or failed.
    bool readSome() {
        std::uint8_t chunk[65536];
        for (;;) {
            ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
            if (got > 0) {
                in_.insert(in_.end(), chunk, chunk + got);
                lastReceived_ = std::chrono::steady_clock::now();
                continue;
            }
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            if (got < 0 && errno == EINTR) continue;
            parse();  // what came before the end still counts
            return false;
        }
        parse();
        return !dropped_;
    }

    // Writes what the socket takes; false when the connection is to end.
    bool writeSome() {
        while (sent_ < out_.size()) {
            ssize_t put = ::send(fd_, out_.data() + sent_, out_.size() - sent_, MSG_NOSIGNAL);
            if (put > 0) {
                sent_ += static_cast<std::size_t>(put);
                continue;
            }
            if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
            return false;
        }
        out_.clear();
        sent_ = 0;
        // The close comes once the client has stopped sending, so that it
        // meets the close while it reads the answer, not in the middle of
        // its own requests.
        return !closeAfterWrite_ || std::chrono::steady_clock::now() - lastReceived_ < kQuietBeforeClose;
    }

    bool wantsWrite() const { return hasOutput() || closeAfterWrite_; }
    bool hasOutput() const { return sent_ < out_.size(); }
    int fd() const { return fd_; }

private:
    void parse() {
        std::size_t at = 0;
        while (in_.size() - at >= 16 && !dropped_) {
            const std::uint8_t* h = in_.data() + at;
            std::uint32_t code = getWord(h), w1 = getWord(h + 4), w2 = getWord(h + 8), w3 = getWord(h + 12);
            std::size_t size = 16;
            if (code == 16) {
                if (w1 > kMaxReceivedPayload) {
                    say("unknown " + std::to_string(code) + " " + std::to_string(w1) + " " + std::to_string(w2) +
                        " " + std::to_string(w3));
                    dropped_ = true;
                    break;
                }
                size += w1;
            }
            if (code == 32 && w3 == 2) size += 16;
            if (in_.size() - at < size) break;
            handle(h, code, w1, w2, w3);
            at += size;
        }
        in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(at));
    }

    void handle(const std::uint8_t* h, std::uint32_t code, std::uint32_t w1, std::uint32_t w2, std::uint32_t w3) {
        switch (code) {
            case 0: say("hello " + std::to_string(w2)); return;
            case 1: say("bye " + std::to_string(w2)); return;
            case 2: say("identity " + hex(w1) + " " + hex(w2)); return;
            case 3: say("name " + hex(w1) + " " + hex(w2)); return;
            case 16: {
                Bytes payload(h + 16, h + 16 + w1);
                std::string crc = checksum(payload) == w2 ? "ok" : "bad";
                if (w3 == 1 && w1 >= 16) {
                    say("score crc=" + crc + " " + std::to_string(getWord(h + 24)) + " " + hex(getWord(h + 28)));
                    return;
                }
                if (w3 == 2) {
                    say("replay crc=" + crc + " " + std::to_string(w1));
                    answer(80, 0, {});
                    return;
                }
                break;
            }
            case 32: {
                std::uint32_t b = w1 >> 24, a = (w1 >> 16) & 0xFF, c = (w1 >> 8) & 0xFF, d = w1 & 0xFF;
                if (w3 == 1) {
                    say("ranking " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c));
                    answerRanking(a, b);
                    return;
                }
                if (w3 == 2) {
                    say("download " + std::to_string(w1) + " " + std::to_string(w2) + " " +
                        std::to_string(getWord(h + 16)) + " " + std::to_string(getWord(h + 20)) + " " +
                        std::to_string(getWord(h + 24)));
                    answerReplay();
                    return;
                }
                if (w3 == 4) {
                    say("rank");
                    Bytes words;
                    for (std::uint32_t i = 0; i < 12; ++i) putWord(words, i + 1);
                    answer(16, 4, words);
                    return;
                }
                if (w3 == 8) {
                    say("replaylist " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
                        std::to_string(d));
                    answerList(a, b, c, d);
                    return;
                }
                break;
            }
            case 48:
                say("commit " + std::to_string(w3));
                answer(64, w3, {});
                return;
            default:
                break;
        }
        say("unknown " + std::to_string(code) + " " + std::to_string(w1) + " " + std::to_string(w2) + " " +
            std::to_string(w3));
    }

    void answerRanking(std::uint32_t a, std::uint32_t b) {
        Bytes payload;
        for (int k = 0; k < options_.records; ++k) {
            putRecord(payload, 1000000u * (3 * a + b + 1) - static_cast<std::uint32_t>(k), (a << 4) | b, 0, k);
        }
        answer(16, 1, payload);
    }

    // Records the client files into the table asked for: the difficulty row,
    // or for practice (c = 1) the keyed table of stage key d.
    void answerList(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
        Bytes payload;
        std::uint32_t mode = (a << 4) | b, stageMask = 0;
        if (c == 1) {
            mode = 0x100 | b;
            stageMask = ((d % 10) + 1) << (2 * (d / 10 - 1));
        }
        for (int k = 0; k < options_.records; ++k) {
            putRecord(payload, 500000u - static_cast<std::uint32_t>(k), mode, stageMask, k);
        }
        answer(16, 8, payload);
    }

    void answerReplay() {
        Bytes payload;
        if (!options_.replay.empty()) {
            std::ifstream file(options_.replay, std::ios::binary);
            payload.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        answer(16, 2, payload);
    }

    void answer(std::uint32_t type, std::uint32_t subtype, const Bytes& payload) {
        if (hostileDone_) return;
        const std::string& mode = options_.mode;
        Bytes message;
        if (mode == "unsolicited" && !unsolicitedSent_) {
            unsolicitedSent_ = true;
            Bytes replay(kUnsolicitedBytes, 0x5A);
            putWord(message, 16);
            putWord(message, static_cast<std::uint32_t>(replay.size()));
            putWord(message, checksum(replay));
            putWord(message, 2);
            message.insert(message.end(), replay.begin(), replay.end());
        }
        if (mode == "normal" || mode == "badcrc" || mode == "unsolicited") {
            putWord(message, type);
            putWord(message, static_cast<std::uint32_t>(payload.size()));
            putWord(message, checksum(payload) + (mode == "badcrc" ? 1 : 0));
            putWord(message, subtype);
            message.insert(message.end(), payload.begin(), payload.end());
        } else {
            hostileDone_ = true;
            if (mode == "huge") {
                for (std::uint32_t w : {16u, 0xFFFFFFF0u, 0u, 1u}) putWord(message, w);
            } else if (mode == "truncated") {
                for (std::uint32_t w : {16u, 840u, 0u, 1u}) putWord(message, w);
                message.resize(16 + 100, 0x5A);
            } else if (mode == "close") {
                for (std::uint32_t w : {16u, 840u}) putWord(message, w);
                closeAfterWrite_ = true;
            } else if (mode == "garbage") {
                std::mt19937 random(20081003);
                for (int i = 0; i < 4096; ++i) message.push_back(static_cast<std::uint8_t>(random()));
                closeAfterWrite_ = true;
            }
        }
        out_.insert(out_.end(), message.begin(), message.end());
    }

    int fd_;
    const Options& options_;
    Bytes in_;
    Bytes out_;
    std::size_t sent_ = 0;
    bool hostileDone_ = false;
    bool unsolicitedSent_ = false;
    static constexpr std::size_t kUnsolicitedBytes = 64u << 20;
    bool closeAfterWrite_ = false;
    bool dropped_ = false;
    std::chrono::steady_clock::time_point lastReceived_ = std::chrono::steady_clock::now();
    static constexpr std::chrono::milliseconds kQuietBeforeClose{300};
};

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--once") {
            options.once = true;
        } else if (arg == "--port" && value(text)) {
            options.port = std::atoi(text.c_str());
        } else if (arg == "--mode" && value(options.mode)) {
        } else if (arg == "--records" && value(text)) {
            options.records = std::atoi(text.c_str());
        } else if (arg == "--replay" && value(options.replay)) {
        } else if (arg == "--timeout" && value(text)) {
            options.timeout = std::atoi(text.c_str());
        } else {
            return false;
        }
    }
    const char* modes[] = {"normal", "badcrc", "huge", "truncated", "silent", "close", "garbage", "unsolicited"};
    bool known = false;
    for (const char* mode : modes) known = known || options.mode == mode;
    return known && options.port >= 0 && options.port <= 65535 && options.records >= 0 &&
           options.records <= 1500 && options.timeout > 0;
}
}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: vorly-rankpeer [--port N] [--mode normal|badcrc|huge|truncated|silent|close|garbage|unsolicited]"
                     " [--records N] [--replay FILE] [--timeout S] [--once]\n");
        return 2;
    }
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(options.port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0) {
        std::fprintf(stderr, "vorly-rankpeer: cannot listen: %s\n", std::strerror(errno));
        return 1;
    }
    socklen_t size = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    say("listening 127.0.0.1:" + std::to_string(ntohs(address.sin_port)));

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout);
    Connection* client = nullptr;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd fds[2] = {{listener, POLLIN, 0}, {-1, 0, 0}};
        if (client) fds[1] = {client->fd(), static_cast<short>(POLLIN | (client->hasOutput() ? POLLOUT : 0)), 0};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        int ready = ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 50) + 1));
        if (ready < 0 && errno != EINTR) break;
        if (!client && (fds[0].revents & POLLIN)) {
            int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd >= 0) client = new Connection(fd, options);
        }
        if (client && fds[1].fd >= 0) {
            bool open = true;
            if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) open = client->readSome();
            if (open && client->wantsWrite()) open = client->writeSome();
            if (!open) {
                ::close(client->fd());
                delete client;
                client = nullptr;
                say("closed");
                if (options.once) break;
            }
        }
    }
    if (client) {
        ::close(client->fd());
        delete client;
    }
    ::close(listener);
    return 0;
}
