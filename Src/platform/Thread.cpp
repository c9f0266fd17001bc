#include "platform/Thread.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>

namespace {
// All events share one lock and one condition variable, which makes waiting on
// several at once simple; the engine has only a handful of events. Both are
// never destroyed: a process that exits while some thread still waits must not
// block in the condition variable's destructor.
std::mutex& eventMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}
std::condition_variable& eventSignal() {
    static std::condition_variable* cv = new std::condition_variable;
    return *cv;
}

template <typename Ready>
bool waitFor(std::unique_lock<std::mutex>& lock, std::uint32_t timeoutMs, Ready ready) {
    if (timeoutMs == Event::kInfinite) {
        eventSignal().wait(lock, ready);
        return true;
    }
    return eventSignal().wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

std::atomic<std::thread::id> g_mainThread{};
}  // namespace

void Event::set() {
    {
        std::lock_guard<std::mutex> lock(eventMutex());
        signalled_ = true;
    }
    eventSignal().notify_all();
}

void Event::reset() {
    std::lock_guard<std::mutex> lock(eventMutex());
    signalled_ = false;
}

bool Event::peek() const {
    std::lock_guard<std::mutex> lock(eventMutex());
    return signalled_;
}

bool Event::wait(std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(eventMutex());
    if (!waitFor(lock, timeoutMs, [this] { return signalled_; })) return false;
    signalled_ = false;
    return true;
}

int Event::waitAny(std::initializer_list<Event*> events, std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(eventMutex());
    int found = -1;
    auto ready = [&] {
        int i = 0;
        for (Event* e : events) {
            if (e->signalled_) {
                found = i;
                return true;
            }
            ++i;
        }
        return false;
    };
    if (!waitFor(lock, timeoutMs, ready)) return -1;
    (*(events.begin() + found))->signalled_ = false;
    return found;
}

WorkerThread::~WorkerThread() { join(); }

void WorkerThread::start(std::function<void()> body) {
    join();
    running_ = true;
    thread_ = std::thread([this, body = std::move(body)] {
        id_ = std::this_thread::get_id();
        try {
            body();
        } catch (const ThreadEndRequest&) {
        } catch (...) {
        }
        running_ = false;
    });
}

void WorkerThread::join() {
    if (!thread_.joinable() || isCurrent()) return;
    thread_.join();
    // A joined thread's id may be given to a new thread.
    id_ = std::thread::id();
}

void endThisThread() { throw ThreadEndRequest{}; }

void markMainThread() { g_mainThread = std::this_thread::get_id(); }

bool isMainThread() { return g_mainThread.load() == std::this_thread::get_id(); }

std::mutex& namedMutex(const std::string& name) {
    static std::mutex registryLock;
    static std::map<std::string, std::unique_ptr<std::mutex>> registry;
    std::lock_guard<std::mutex> lock(registryLock);
    std::unique_ptr<std::mutex>& slot = registry[name];
    if (!slot) slot = std::make_unique<std::mutex>();
    return *slot;
}
