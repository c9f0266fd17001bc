// Events, worker threads and named mutexes in the shape of the Win32 kernel
// objects the engine was written against.
#pragma once
#include <atomic>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>

// An auto-reset event: set() wakes one waiter, and a successful wait or test
// consumes the signal.
class Event {
public:
    explicit Event(bool initiallySet = false) : signalled_(initiallySet) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    // Waits up to `timeoutMs` (kInfinite waits forever); true when signalled.
    bool wait(std::uint32_t timeoutMs = kInfinite);
    // A zero-timeout wait: true (and the signal consumed) when it was set.
    bool test() { return wait(0); }
    // Reads the state without consuming it.
    bool peek() const;

    static constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

    // Waits until one of the events is set; returns its index (its signal
    // consumed), or -1 on time-out.
    static int waitAny(std::initializer_list<Event*> events, std::uint32_t timeoutMs = kInfinite);

private:
    bool signalled_;
};

// Thrown by endThisThread() and caught by WorkerThread: ends the worker's body.
struct ThreadEndRequest {};

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    ~WorkerThread();

    // Runs `body` on a new thread. Nothing escapes the body: an exception ends
    // the thread (it is logged by whoever catches it first).
    void start(std::function<void()> body);
    // Waits for the thread to end; harmless when none runs or it already ended.
    void join();
    bool running() const { return running_.load(); }
    bool started() const { return thread_.joinable(); }
    // True on the worker's own thread, from its first instruction on.
    bool isCurrent() const { return id_.load() == std::this_thread::get_id(); }

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
    // Set by the worker itself: thread_ is only assigned after the thread has
    // started, and reading it from the worker would race with that.
    std::atomic<std::thread::id> id_{};
};

// Ends the calling worker thread (unwinds to WorkerThread's frame).
[[noreturn]] void endThisThread();

// The main thread is the one that called markMainThread() (the program entry).
void markMainThread();
bool isMainThread();

// A process-wide mutex found by name (the engine's named kernel mutexes).
std::mutex& namedMutex(const std::string& name);
