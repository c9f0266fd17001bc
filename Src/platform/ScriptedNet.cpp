#include "platform/ScriptedNet.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Clock.h"

namespace net {

void ScriptedNet::addName(const std::string& host, std::vector<std::uint32_t> addresses) {
    std::lock_guard<std::mutex> lock(mutex_);
    names_[host] = std::move(addresses);
}

void ScriptedNet::setAnswer(std::uint32_t address, Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[address] = answer;
}

void ScriptedNet::failSocketCreation(int times) {
    std::lock_guard<std::mutex> lock(mutex_);
    socketFailures_ = times;
}

void ScriptedNet::deliver(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    deliveries_.push_back({Delivery::kBytes, bytes, 0});
}

void ScriptedNet::deliverChunks(const std::vector<std::uint8_t>& bytes, std::size_t chunk) {
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        std::size_t end = std::min(bytes.size(), at + chunk);
        deliver(std::vector<std::uint8_t>(bytes.begin() + at, bytes.begin() + end));
    }
}

void ScriptedNet::deliverWouldBlock() {
    std::lock_guard<std::mutex> lock(mutex_);
    deliveries_.push_back({Delivery::kWouldBlock, {}, 0});
}

void ScriptedNet::deliverClose() {
    std::lock_guard<std::mutex> lock(mutex_);
    deliveries_.push_back({Delivery::kClose, {}, 0});
}

void ScriptedNet::deliverFailure(int error) {
    std::lock_guard<std::mutex> lock(mutex_);
    deliveries_.push_back({Delivery::kFail, {}, error});
}

void ScriptedNet::addSendStep(SendStep step) {
    std::lock_guard<std::mutex> lock(mutex_);
    sendSteps_.push_back(step);
}

std::vector<std::uint8_t> ScriptedNet::sent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}
std::vector<std::uint32_t> ScriptedNet::attempts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return attempts_;
}
int ScriptedNet::connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}
int ScriptedNet::closes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closes_;
}
int ScriptedNet::shutdowns() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shutdowns_;
}

std::vector<std::uint32_t> ScriptedNet::resolve(const std::string& host) {
    std::uint32_t address = 0;
    if (parseDottedAddress(host, address)) return {address};
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = names_.find(host);
    return found == names_.end() ? std::vector<std::uint32_t>{} : found->second;
}

ConnectResult ScriptedNet::connect(std::uint32_t address, std::uint16_t,
                                   const std::atomic<std::uint32_t>& stop) {
    ConnectResult result;
    Answer answer = Answer::kRefuse;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (socketFailures_ > 0) {
            --socketFailures_;
            result.socketFailed = true;
            result.reason = "EMFILE";
            return result;
        }
        attempts_.push_back(address);
        auto found = answers_.find(address);
        if (found != answers_.end()) answer = found->second;
    }
    if (answer == Answer::kAccept) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++connections_;
        result.socket = nextSocket_++;
        return result;
    }
    if (answer == Answer::kRefuse) {
        result.reason = "ECONNREFUSED";
        return result;
    }
    // An address that drops packets: the bounded wait, on the clock.
    for (std::uint32_t waited = 0; waited < kConnectTimeoutMs; waited += kWaitStepMs) {
        if (stop.load() != 0) {
            result.stopped = true;
            result.reason = "Stopped";
            return result;
        }
        Clock::instance().sleep(kWaitStepMs);
    }
    result.reason = "ETIMEDOUT";
    return result;
}

IoResult ScriptedNet::send(Socket, const void* data, std::size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t taken = size;
    if (!sendSteps_.empty()) {
        SendStep step = sendSteps_.front();
        sendSteps_.pop_front();
        if (step.kind == SendStep::kWouldBlock) return {IoResult::kWouldBlock, 0, 0};
        if (step.kind == SendStep::kFail) return {IoResult::kError, 0, step.error};
        taken = std::min(size, step.limit);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    sent_.insert(sent_.end(), bytes, bytes + taken);
    return {IoResult::kDone, taken, 0};
}

IoResult ScriptedNet::recv(Socket, void* data, std::size_t size) {
    if (size == 0) return {IoResult::kDone, 0, 0};  // as the real socket: nothing asked, nothing taken
    std::lock_guard<std::mutex> lock(mutex_);
    if (deliveries_.empty()) return {IoResult::kWouldBlock, 0, 0};  // silence
    Delivery& next = deliveries_.front();
    switch (next.kind) {
        case Delivery::kWouldBlock:
            deliveries_.pop_front();
            return {IoResult::kWouldBlock, 0, 0};
        case Delivery::kClose:
            return {IoResult::kClosed, 0, 0};  // stays closed
        case Delivery::kFail:
            deliveries_.pop_front();
            return {IoResult::kError, 0, next.error};
        case Delivery::kBytes:
            break;
    }
    std::size_t count = std::min(size, next.bytes.size());
    std::memcpy(data, next.bytes.data(), count);
    next.bytes.erase(next.bytes.begin(), next.bytes.begin() + static_cast<std::ptrdiff_t>(count));
    if (next.bytes.empty()) deliveries_.pop_front();
    return {IoResult::kDone, count, 0};
}

void ScriptedNet::waitWritable(Socket) { Clock::instance().sleep(kWaitStepMs); }

void ScriptedNet::shutdownSend(Socket) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++shutdowns_;
}

void ScriptedNet::close(Socket) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++closes_;
}

}  // namespace net
