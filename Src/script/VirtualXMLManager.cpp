#include "script/VirtualXMLManager.h"

#include "platform/Clock.h"
#include "script/XMLHandler_ii.h"
#include "services/FatalExit.h"

VirtualXMLManager::VirtualXMLManager(XMLManagerManager& owner) : owner_(owner) {}

VirtualXMLManager::~VirtualXMLManager() { stopWorker(); }

BoostContentHandler* VirtualXMLManager::getContentHandler() { return nullptr; }

XMLHandler_ii* VirtualXMLManager::getHandler() { return nullptr; }

void VirtualXMLManager::resetDocument() {}

BulletML_Node_Manager* VirtualXMLManager::getDocument() {
    XMLHandler_ii* handler = getHandler();
    return handler ? handler->getDocument() : nullptr;
}

void VirtualXMLManager::queueSync(std::u16string_view name) {
    std::lock_guard<std::mutex> lock(queueLock_);
    syncQueue_.emplace_back(name);
}

void VirtualXMLManager::queueBackground(std::u16string_view name) {
    std::lock_guard<std::mutex> lock(queueLock_);
    backgroundQueue_.emplace_back(name);
}

size_t VirtualXMLManager::getSyncCount() const {
    std::lock_guard<std::mutex> lock(queueLock_);
    return syncQueue_.size();
}

size_t VirtualXMLManager::getBusyCount() const {
    std::lock_guard<std::mutex> lock(queueLock_);
    return backgroundQueue_.size();
}

std::vector<std::u16string> VirtualXMLManager::getSyncNames() const {
    std::lock_guard<std::mutex> lock(queueLock_);
    return {syncQueue_.begin(), syncQueue_.end()};
}

void VirtualXMLManager::startWorker() {
    worker_.start([this] { runWorker(); });
}

void VirtualXMLManager::runWorker() {
    // However the worker ends (quit, or a fatal error that ends the thread
    // from inside a load), finished is set on the way out.
    struct SetOnExit {
        Event& event;
        ~SetOnExit() { event.set(); }
    } finished{finished_};
    for (;;) {
        if (Event::waitAny({&request_, &quit_}) != 0) return;
        if (FAILED(processQueue())) return;
        done_.set();
    }
}

HRESULT VirtualXMLManager::processQueue() {
    for (;;) {
        std::u16string name;
        {
            std::lock_guard<std::mutex> lock(queueLock_);
            if (backgroundQueue_.empty()) return S_OK;
            name = backgroundQueue_.front();
        }
        if (quit_.test()) return E_FAIL;
        // A failed load has written its line; the main thread ends the
        // program and this thread ends here.
        if (FAILED(loadOwn(name))) fatalExit();
        // Only this worker takes names, and only once they are loaded, so the
        // front is still the name just loaded.
        std::lock_guard<std::mutex> lock(queueLock_);
        backgroundQueue_.pop_front();
    }
}

void VirtualXMLManager::kick() {
    if (getBusyCount() == 0) return;
    // Looked at without consuming: a pending request is the worker's to take.
    if (!request_.peek()) request_.set();
}

bool VirtualXMLManager::isReadyToSwitch() {
    ready_ = getSyncCount() > 0 && !request_.peek() && getBusyCount() == 0;
    return ready_;
}

HRESULT VirtualXMLManager::loadQueuedNow() {
    // One parse at a time: the worker parses until its queue is empty.
    while (getBusyCount() > 0) {
        // A worker that ended (stopped, or failed on a name) never empties it.
        if (!worker_.running()) return E_FAIL;
        Clock::instance().sleep(1);
    }
    std::deque<std::u16string> names;
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        names.swap(syncQueue_);
    }
    for (const std::u16string& name : names) {
        HRESULT result = loadOwn(name);
        if (FAILED(result)) return result;
    }
    return S_OK;
}

void VirtualXMLManager::stopWorker() {
    request_.reset();
    quit_.set();
    worker_.join();
}
