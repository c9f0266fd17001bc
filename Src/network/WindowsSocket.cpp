#include "network/WindowsSocket.h"

#include <algorithm>

#include "network/OnlineReplayFiles.h"
#include "platform/Clock.h"
#include "records/Crc32.h"
#include "records/GameInfo.h"
#include "services/DebugInfo.h"

namespace {
bool isOneOf(std::int32_t state, std::initializer_list<std::int32_t> states) {
    return std::find(states.begin(), states.end(), state) != states.end();
}

// States in which nothing may be sent or reset on the server's behalf.
bool isDown(std::int32_t state) { return isOneOf(state, {0, 1, 5, 10}); }

std::string ioReason(const net::IoResult& result) {
    if (result.kind == net::IoResult::kClosed) return "Closed";
    if (result.kind == net::IoResult::kWouldBlock) return "Timeout";
    return net::errorName(result.error);
}
}  // namespace

bool WindowsSocket::isAwaiting(std::int32_t state) { return isOneOf(state, {7, 11, 14, 15, 16}); }

WindowsSocket::WindowsSocket(GameInfo* records, std::uint32_t versionWord)
    : records_(records),
      version_(versionWord),
      ranking_(ranking::kMaxRankingRecords),
      replayList_(ranking::kMaxReplayListRecords) {}

WindowsSocket::~WindowsSocket() {
    if (worker_.started()) stopWorker();
    closeSocket();
}

void WindowsSocket::configure(const std::string& host, std::uint16_t port) {
    host_ = host;
    port_ = port;
    if (records_) {
        machineId_[0] = records_->getMachineId0();
        machineId_[1] = records_->getMachineId1();
        setIdentity(machineId_[0], machineId_[1], records_->getPlayerName0(), records_->getPlayerName1());
    }
}

void WindowsSocket::start(const std::string& host, std::uint16_t port) {
    logLine("WinSock を初期化しています");
    configure(host, port);
    // Sockets need no start-up here; each connection attempt makes its own.
    worker_.start([this] { workerLoop(); });
    logLine("WinSock の初期化が完了しました");
}

void WindowsSocket::workerLoop() {
    for (;;) {
        int woken = Event::waitAny({&work_, &quit_});
        if (woken == 0 && !stopping()) {
            runPass();
            done_.set();
            continue;
        }
        if (woken == 1 || stopping()) {
            finished_.set();
            return;
        }
    }
}

void WindowsSocket::enqueue(const NetworkRequest& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(request);
}

void WindowsSocket::enqueueFront(const NetworkRequest& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_front(request);
}

std::size_t WindowsSocket::queueSize() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

std::size_t WindowsSocket::dropQueue() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t count = queue_.size();
    queue_.clear();
    return count;
}

void WindowsSocket::setIdentity(std::uint32_t machine0, std::uint32_t machine1, std::uint32_t name0,
                                std::uint32_t name1) {
    std::lock_guard<std::mutex> lock(mutex_);
    identity_[0] = machine0;
    identity_[1] = machine1;
    name_[0] = name0;
    name_[1] = name1;
}

bool WindowsSocket::takeDownloadedReplay(std::vector<std::uint8_t>& bytes) {
    if (!downloadWaiting_.load()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    bytes.swap(downloaded_);
    downloaded_.clear();
    releaseLargeBuffer(downloaded_);
    downloadWaiting_.store(false);
    return true;
}

void WindowsSocket::poll() {
    if (queueSize() == 0) return;
    if (!work_.test()) {
        quit_.reset();
        work_.set();
        return;
    }
    // A wake-up the worker has not taken yet was consumed by the test.
    if (quit_.test()) {
        work_.reset();
        quit_.reset();
    }
}

void WindowsSocket::stopWorker() {
    stop_.store(1);
    work_.reset();
    quit_.set();
    worker_.join();
}

void WindowsSocket::closeSocket() {
    if (socket_ == net::kNoSocket) return;
    net::Net::instance().close(socket_);
    socket_ = net::kNoSocket;
}

void WindowsSocket::close() {
    std::int32_t state = getState();
    if (state == kClosing || state == kClosed) return;
    if (socket_ == net::kNoSocket) return;  // never connected: nothing to say goodbye on
    if (state == kConnectFailed || state == kReceiveFailed || state == kNotConnected) {
        state_ = kClosing;
        net::Net::instance().shutdownSend(socket_);
        closeSocket();
        state_ = kClosed;
        return;
    }
    state_ = kClosed;
    sendMessage(buildBye(version_), 6);
    state_ = kClosing;
    net::Net::instance().shutdownSend(socket_);
    closeSocket();
    state_ = kClosed;
}

// ---- one pass ----

int WindowsSocket::runQueued() {
    while (queueSize() > 0) {
        int result = dispatchNext();
        if (result != 0) return result;
    }
    return 0;
}

int WindowsSocket::runPass() {
    unknownLogged_ = false;
    int result = 0;
    bool failed = false;
    while (!stopping()) {
        std::int32_t state = getState();
        if (state == kNotConnected || state == kConnectFailed) {
            result = connect();
        } else if (state == kClosed) {
            // Nothing can be sent after bye: the requests are dropped and the
            // pass ends (it would otherwise repeat for ever).
            std::size_t dropped = dropQueue();
            if (dropped > 0) logLine("ネットワーク要求を破棄しました  Count:" + std::to_string(dropped));
            break;
        } else if (state == kReceiveFailed) {
            result = -1;
        } else if (isAwaiting(state)) {
            // A failed send leaves the stream broken: reading would only wait.
            result = runQueued();
            if (result == 0) result = readReply();
        } else {
            result = dispatchNext();
        }
        if (stopping()) break;

        if (isAwaiting(getState()) && result == 0) {
            // A send that fails here ends the pass like any other failure.
            result = runQueued();
            if (result == 0) {
                Clock::instance().sleep(kPauseMs);
                continue;
            }
        }
        if (result == -1 || result == -2) {
            state_ = kConnectFailed;
            failed = true;
            break;
        }
        if (getState() == kConnectFailed) {
            failed = true;
            break;
        }
        if (queueSize() == 0) break;
    }
    if (getState() == kConnectFailed) {
        replayAsked_ = false;  // its answer can no longer come
        std::size_t dropped = dropQueue();
        work_.reset();
        if (failed && dropped > 0 && !stopping()) {
            logLine("ネットワーク要求を破棄しました  Count:" + std::to_string(dropped));
        }
    }
    return result;
}

int WindowsSocket::connect() {
    closeSocket();  // a fresh socket for every attempt
    net::Net& backend = net::Net::instance();
    std::string reason = "Unresolved";
    for (std::uint32_t address : backend.resolve(host_)) {
        net::ConnectResult attempt = backend.connect(address, port_, stop_);
        if (attempt.socket != net::kNoSocket) {
            socket_ = attempt.socket;
            logLine("サーバに接続しました");
            state_ = kConnected;
            enqueueFront(NetworkRequest(1));
            return 0;
        }
        if (attempt.stopped) {
            state_ = kConnectFailed;
            return -1;
        }
        if (attempt.socketFailed) {
            logLine("socket の作成に失敗しました");
            state_ = kConnectFailed;
            return -1;
        }
        reason = attempt.reason;
    }
    logLine("サーバに接続できませんでした  Host:" + host_ + " Port:" + std::to_string(port_) + "  " + reason);
    state_ = kConnectFailed;
    return -1;
}

void WindowsSocket::reconnect() {
    state_ = kClosing;
    net::Net::instance().shutdownSend(socket_);
    closeSocket();
    state_ = kClosed;
    dropQueue();
    replayAsked_ = false;  // a new connection owes no answer
    state_ = kNotConnected;
    enqueueFront(NetworkRequest(9));
    ++reconnectCount_;
}

int WindowsSocket::dispatchNext() {
    NetworkRequest request;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty()) return 0;
        request = queue_.front();
        queue_.pop_front();
    }
    const std::uint32_t code = request.code;
    const auto& a = request.args;
    // A commit does not replace the request whose answer is awaited.
    if (code != 8) current_ = static_cast<std::int32_t>(code);
    std::int32_t state = getState();
    switch (code) {
        case 1:
            state_ = kIdle;
            return sendMessage(buildHello(version_), code);
        case 2:
            return sendScores();
        case 3:
            return sendReplay(a[0]);
        case 4:
            state_ = kAwaitingRanking;
            lastAwaitingCode_ = code;
            return sendMessage(buildRankingQuery(a[0], a[1], a[2]), code);
        case 5:
            state_ = kAwaitingReplay;
            lastAwaitingCode_ = code;
            replayAsked_ = true;
            return sendMessage(buildReplayDownload(a[0], a[1], a[2], a[3], a[4]), code);
        case 6:
            state_ = kClosed;
            return sendMessage(buildBye(version_), code);
        case 7:
            if (!isDown(state) && records_) records_->resetOnlineTables();
            return 0;
        case 8:
        case 12:
            if (isDown(state)) return 0;
            state_ = kAwaitingCommit;
            lastAwaitingCode_ = code;
            return sendMessage(buildCommit(code == 8 ? 0 : 1), code);
        case 9: {
            if (state == kNotConnected || state == kConnectFailed) return 0;
            std::uint32_t words[4];
            {
                std::lock_guard<std::mutex> lock(mutex_);
                words[0] = identity_[0];
                words[1] = identity_[1];
                words[2] = name_[0];
                words[3] = name_[1];
            }
            int result = sendMessage(buildIdentity(words[0], words[1]), code);
            if (result == 0) result = sendMessage(buildName(words[2], words[3]), code);
            // The count starts again once the server took the identity, not at
            // every connection: a server that accepts and then fails every
            // identity would otherwise be reconnected to without end.
            if (result == 0) reconnectCount_ = 0;
            if (result != 0 && reconnectCount_ <= 2 && !stopping()) {
                // The pass goes on: its next loop connects again, hello first.
                reconnect();
                return 0;
            }
            return result;
        }
        case 10:
            state_ = kAwaitingRank;
            lastAwaitingCode_ = code;
            return sendMessage(buildRankTableQuery(), code);
        case 11:
            state_ = kAwaitingReplayList;
            lastAwaitingCode_ = code;
            return sendMessage(buildReplayListQuery(a[0], a[1], a[2], a[3]), code);
        default:
            return 0;
    }
}

int WindowsSocket::sendScores() {
    std::array<ScoreEntry, 12> records{};
    if (records_) records_->collectScoresForUpload(records);
    for (const ScoreEntry& entry : records) {
        state_ = kScoresSent;
        auto message = buildScoreUpload(entry);
        if (sendAll(message.data(), message.size(), 2) != 0) return -1;
    }
    return 0;
}

int WindowsSocket::sendReplay(std::uint32_t slot) {
    logLine("リプレイを送信します  Slot:" + std::to_string(slot));
    OnlineReplayFiles* files = onlineReplayFiles();
    replayFile_.clear();
    // No file (or no replay files at all): nothing is sent, the state stays.
    if (!files || !files->readReplayFile(slot, replayFile_) || replayFile_.empty()) {
        logLine("送信するリプレイファイルがありません  Slot:" + std::to_string(slot));
        return 0;
    }
    state_ = kAwaitingCommit;
    lastAwaitingCode_ = 3;
    std::uint32_t crc = crc32(replayFile_.data(), replayFile_.size());
    RankingMessage header = buildReplayUploadHeader(static_cast<std::uint32_t>(replayFile_.size()), crc);
    int result = sendMessage(header, 3);
    if (result == 0) result = sendAll(replayFile_.data(), replayFile_.size(), 3);
    releaseLargeBuffer(replayFile_);
    return result;
}

int WindowsSocket::sendMessage(const RankingMessage& message, std::uint32_t code) {
    std::copy_n(message.bytes.begin(), RankingHeader::kSize, requestHeader_);
    return sendAll(message.bytes.data(), message.size, code);
}

int WindowsSocket::sendAll(const void* data, std::size_t size, std::uint32_t code) {
    net::Net& backend = net::Net::instance();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    int waits = 0;
    net::IoResult last;
    while (done < size) {
        last = backend.send(socket_, bytes + done, size - done);
        if (last.kind == net::IoResult::kDone) {
            done += last.bytes;
            if (last.bytes > 0) continue;
        } else if (last.kind != net::IoResult::kWouldBlock) {
            break;
        }
        if (++waits > kSendWaits || stopping()) {
            last.kind = net::IoResult::kWouldBlock;
            break;
        }
        backend.waitWritable(socket_);
    }
    if (done == size) return 0;
    if (!stopping()) {
        logLine("サーバへの送信に失敗しました  Code:" + std::to_string(code) + "  " + ioReason(last));
    }
    return -1;
}

int WindowsSocket::receiveExact(std::uint8_t* buffer, std::size_t n, std::string& why) {
    if (stopping()) return -1;
    if (n == 0) return 0;  // an empty answer has nothing to wait for
    net::Net& backend = net::Net::instance();
    std::size_t got = 0;
    for (int tries = 0; tries < kReceiveTries; ++tries) {
        net::IoResult result = backend.recv(socket_, buffer + got, n - got);
        if (result.kind == net::IoResult::kDone) {
            got += result.bytes;
            if (got == n) return 0;
        } else if (result.kind != net::IoResult::kWouldBlock) {
            // A peer that closed will send nothing more: no use waiting.
            why = ioReason(result);
            return -1;
        }
        Clock::instance().sleep(kPauseMs);
        if (stopping()) return -1;
    }
    why = "Timeout";
    return -2;
}

// ---- replies ----

int WindowsSocket::readReply() {
    std::string why;
    int received = receiveExact(replyHeader_, RankingHeader::kSize, why);
    if (received != 0) {
        // A stop asked for by shut-down leaves the connection as it is (and
        // logs nothing): close still says goodbye.
        if (stopping()) return received;
        logLine("サーバからの応答を受信できませんでした  Header  " + why);
        state_ = kReceiveFailed;
        return received;
    }
    RankingHeader header = RankingHeader::load(replyHeader_);
    const std::int32_t current = currentRequest();
    switch (header.type()) {
        case ranking::kTypeData:
            return readDataReply(header);
        case ranking::kTypeCommit:
            if (records_) {
                if (header.subtype() == 0) records_->fillRankingCache();
                if (header.subtype() == 1) records_->fillOnlineReplayList();
            }
            // A lone commit (request 8) waits in the same state as 12.
            if (current == 12 || (header.subtype() == 0 && lastAwaitingCode_ == 8)) state_ = kIdle;
            return 0;
        case ranking::kTypeReplayStored:
            if (current == 3) state_ = kIdle;
            return 0;
        default:
            if (!unknownLogged_) {
                logLine("サーバから不明な応答を受け取りました  Type:" + std::to_string(header.type()) +
                        "  Subtype:" + std::to_string(header.subtype()));
                unknownLogged_ = true;
            }
            return 0;
    }
}

int WindowsSocket::readDataReply(const RankingHeader& header) {
    const std::uint32_t subtype = header.subtype();
    const std::size_t length = header.length();
    if (length > ranking::payloadLimit(subtype)) {
        logLine("サーバからのデータが大きすぎます  Subtype:" + std::to_string(subtype) +
                "  Length:" + std::to_string(length));
        state_ = kReceiveFailed;
        return -1;
    }
    // A replay is taken only as the answer to a download: any other is read
    // past in small pieces, so a server cannot make the client hold its size.
    if (subtype == ranking::kSubtypeReplay && !replayAsked_) return skipPayload(subtype, length);
    payload_.resize(length);
    std::string why;
    int received = receiveExact(payload_.data(), length, why);
    if (received != 0) return payloadFailed(received, why);
    if (crc32(payload_.data(), length) != header.crc()) {
        logLine("サーバからのデータが壊れています  Subtype:" + std::to_string(subtype) +
                "  Length:" + std::to_string(length));
        state_ = kIdle;
        releaseLargeBuffer(payload_);
        return 0;
    }
    const std::int32_t current = currentRequest();
    switch (subtype) {
        case ranking::kSubtypeRanking:
            rankingCount_ = static_cast<std::uint32_t>(length / RankingRecord::kSize);
            for (std::uint32_t i = 0; i < rankingCount_; ++i) {
                RankingRecord::decode(payload_.data() + i * RankingRecord::kSize, ranking_[i]);
            }
            if (records_) records_->fillOnlineScores(ranking_.data(), rankingCount_);
            if (current == 4) state_ = kIdle;
            break;
        case ranking::kSubtypeReplay: {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                downloaded_.swap(payload_);
            }
            replayAsked_ = false;
            downloadWaiting_.store(true);
            if (current == 5) state_ = kIdle;
            break;
        }
        case ranking::kSubtypeRank: {
            std::size_t words = ranking::rankWordCount(length);
            if (words == 0) break;  // too short: dropped, still waiting
            for (std::size_t i = 0; i < words && records_; ++i) {
                records_->setOnlineRank(static_cast<int>(i / 3), static_cast<int>(i % 3),
                                        ranking::readWordBE(payload_.data() + 4 * i));
            }
            if (current == 10) state_ = kIdle;
            break;
        }
        case ranking::kSubtypeReplayList:
            replayListCount_ = static_cast<std::uint32_t>(length / RankingRecord::kSize);
            for (std::uint32_t i = 0; i < replayListCount_; ++i) {
                RankingRecord::decode(payload_.data() + i * RankingRecord::kSize, replayList_[i]);
            }
            if (records_) records_->fillRanking(replayList_.data(), replayListCount_);
            if (current == 11) state_ = kIdle;
            break;
        default:
            break;
    }
    releaseLargeBuffer(payload_);
    return 0;
}

int WindowsSocket::skipPayload(std::uint32_t subtype, std::size_t length) {
    logLine("サーバから予期しない応答を受け取りました  Subtype:" + std::to_string(subtype) +
            "  Length:" + std::to_string(length));
    std::uint8_t piece[kSkipPieceBytes];
    for (std::size_t left = length; left > 0;) {
        std::size_t take = std::min(left, sizeof piece);
        std::string why;
        int received = receiveExact(piece, take, why);
        if (received != 0) return payloadFailed(received, why);
        left -= take;
    }
    return 0;
}

int WindowsSocket::payloadFailed(int received, const std::string& why) {
    releaseLargeBuffer(payload_);
    if (stopping()) return received;
    logLine("サーバからの応答を受信できませんでした  Payload  " + why);
    state_ = kReceiveFailed;
    return received;
}

void WindowsSocket::releaseLargeBuffer(std::vector<std::uint8_t>& buffer) {
    if (buffer.capacity() > kKeptBufferBytes) std::vector<std::uint8_t>().swap(buffer);
}
