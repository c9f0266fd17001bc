// The ranking server's TCP client: the connection state, the request queue and
// the tables received, with one worker thread that runs the requests. The main
// thread wakes the worker at most once a frame while requests wait; one
// wake-up runs one pass of the connection state machine.
//
// Shared between the threads: the queue and the identity words under the
// mutex, the state and current request atomic, the game records' tables under
// their own locks, a downloaded replay handed over under the mutex and written
// by the main thread's next poll.
#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "network/NetworkRequest.h"
#include "network/RankingProtocol.h"
#include "platform/Net.h"
#include "platform/Thread.h"
#include "records/ScoreEntry.h"

class GameInfo;

// The identity words and the stop flag; the codec lives in RankingProtocol.
class WindowsSocketHelper {
public:
    virtual ~WindowsSocketHelper() = default;

protected:
    std::uint32_t machineId_[2] = {0, 0};
    std::atomic<std::uint32_t> stop_{0};
};

class WindowsSocket : public WindowsSocketHelper {
public:
    enum State : std::int32_t {
        kNotConnected = 0,
        kConnectFailed = 1,
        kConnected = 2,
        kIdle = 3,
        kClosing = 4,
        kClosed = 5,
        kAwaitingRanking = 7,
        kScoresSent = 9,
        kReceiveFailed = 10,
        kAwaitingCommit = 11,
        kAwaitingReplay = 14,
        kAwaitingReplayList = 15,
        kAwaitingRank = 16,
    };
    static bool isAwaiting(std::int32_t state);

    // A receive gives up after this many calls, 20 ms apart.
    static constexpr int kReceiveTries = 2000;
    static constexpr int kSendWaits = 2000;
    static constexpr std::uint32_t kPauseMs = 20;
    // An unasked payload is read past in pieces of this size.
    static constexpr std::size_t kSkipPieceBytes = 16 * 1024;
    // Buffers larger than the largest table answer are freed after use.
    static constexpr std::size_t kKeptBufferBytes = ranking::kMaxReplayListRecords * RankingRecord::kSize;

    // The records receive the answers and give the scores to upload.
    WindowsSocket(GameInfo* records, std::uint32_t versionWord);
    ~WindowsSocket() override;
    WindowsSocket(const WindowsSocket&) = delete;
    WindowsSocket& operator=(const WindowsSocket&) = delete;

    // Keeps the server and the identity words, then starts the worker.
    void start(const std::string& host, std::uint16_t port);
    // start without the worker: passes are then run by runPass (tests).
    void configure(const std::string& host, std::uint16_t port);

    void enqueue(const NetworkRequest& request);
    void enqueueFront(const NetworkRequest& request);
    // The per-frame wake-up (main thread).
    void poll();
    // Ends the worker: the stop flag cuts every wait short, then the thread is joined.
    void stopWorker();
    // Sends bye when connected and closes the connection (after stopWorker).
    void close();

    std::int32_t getState() const { return state_.load(); }
    std::int32_t currentRequest() const { return current_.load(); }
    std::size_t queueSize() const;
    // The identity and name words the worker sends (copied by every poll).
    void setIdentity(std::uint32_t machine0, std::uint32_t machine1, std::uint32_t name0, std::uint32_t name1);
    // Takes a downloaded replay waiting for the main thread; false when none.
    bool takeDownloadedReplay(std::vector<std::uint8_t>& bytes);

    // One pass of the state machine (the worker's body; tests call it directly).
    int runPass();

private:

    void workerLoop();
    int connect();
    int dispatchNext();
    int runQueued();
    void reconnect();
    int readReply();
    int readDataReply(const RankingHeader& header);
    // Reads past a payload nobody asked for, one small piece at a time.
    int skipPayload(std::uint32_t subtype, std::size_t length);
    int payloadFailed(int received, const std::string& why);
    // Gives a buffer's memory back once it outgrew the largest table answer.
    static void releaseLargeBuffer(std::vector<std::uint8_t>& buffer);
    int sendAll(const void* data, std::size_t size, std::uint32_t code);
    int sendMessage(const RankingMessage& message, std::uint32_t code);
    int sendScores();
    int sendReplay(std::uint32_t slot);
    // 0 when all n bytes came, -1 on failure or stop, -2 after kReceiveTries calls.
    int receiveExact(std::uint8_t* buffer, std::size_t n, std::string& why);
    std::size_t dropQueue();
    void closeSocket();
    bool stopping() const { return stop_.load() != 0; }

    GameInfo* records_;
    std::uint32_t version_;
    net::Socket socket_ = net::kNoSocket;
    std::string host_;
    std::uint16_t port_ = 0;
    std::atomic<std::int32_t> state_{kNotConnected};
    std::atomic<std::int32_t> current_{0};
    std::int32_t reconnectCount_ = 0;
    // The code of the last request sent that waits for an answer.
    std::uint32_t lastAwaitingCode_ = 0;
    bool unknownLogged_ = false;
    std::uint8_t requestHeader_[RankingHeader::kSize] = {};
    std::uint8_t replyHeader_[RankingHeader::kSize] = {};
    std::uint32_t rankingCount_ = 0;
    std::vector<ScoreEntry> ranking_;
    std::uint32_t replayListCount_ = 0;
    std::vector<ScoreEntry> replayList_;
    // Set while a replay download waits for its answer.
    bool replayAsked_ = false;
    // The payload being read; a replay's buffer goes back once handed over.
    std::vector<std::uint8_t> payload_;
    std::vector<std::uint8_t> replayFile_;

    mutable std::mutex mutex_;
    std::deque<NetworkRequest> queue_;
    std::uint32_t identity_[2] = {0, 0};
    std::uint32_t name_[2] = {0, 0};
    std::vector<std::uint8_t> downloaded_;
    std::atomic<bool> downloadWaiting_{false};

    Event work_, quit_, done_, finished_;
    WorkerThread worker_;
};
