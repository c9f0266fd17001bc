#include "script/XMLManagerManager.h"

#include "platform/Text.h"
#include "platform/Thread.h"
#include "script/BoostXMLManager.h"
#include "services/ArchiveManager.h"
#include "services/FatalExit.h"
#include "services/Managers.h"

namespace {
constexpr const char* kScriptFolder = "script";
constexpr const char* kArchiveMutexName = "XMLManagerManager";
}  // namespace

XMLManagerManager::XMLManagerManager() {
    loaders_[0] = std::make_unique<BoostXMLManager>(*this);
    loaders_[1] = std::make_unique<BoostXMLManager>(*this);
    namedMutex(kArchiveMutexName);
}

XMLManagerManager::~XMLManagerManager() {
    // A worker may be loading through the cache: both end before anything goes.
    stopWorkers();
    loaders_[0].reset();
    loaders_[1].reset();
}

HRESULT XMLManagerManager::loadNow(std::u16string_view name, int useOther) {
    return getCurrent()->loadFile(name, useOther);
}

void XMLManagerManager::queueLoad(std::u16string_view name) { getOther()->queueSync(name); }

void XMLManagerManager::queueLoadAsync(std::u16string_view name) { getOther()->queueBackground(name); }

void XMLManagerManager::kickWorkers() {
    loaders_[0]->kick();
    loaders_[1]->kick();
}

VirtualXMLManager* XMLManagerManager::flip() {
    if (!hold_) getCurrent()->resetDocument();
    hold_ = false;
    current_ = (current_.load() + 1) % 2;
    return getCurrent();
}

bool XMLManagerManager::isLoading() const {
    return loaders_[0]->isWorkerThread() || loaders_[1]->isWorkerThread();
}

void XMLManagerManager::signalFinished() {
    loaders_[0]->signalFinished();
    loaders_[1]->signalFinished();
}

void XMLManagerManager::stopWorkers() {
    for (auto& loader : loaders_) {
        if (loader) loader->stopWorker();
    }
}

void XMLManagerManager::clearCache() {
    std::lock_guard<std::mutex> lock(cacheLock_);
    cache_.clear();
}

std::shared_ptr<const std::u16string> XMLManagerManager::getScriptText(std::u16string_view name) {
    const NameHandle key = internWideName(name);
    {
        std::lock_guard<std::mutex> lock(cacheLock_);
        auto it = cache_.find(key);
        if (it != cache_.end()) return it->second;
    }
    ArchiveManager* archive = g_archiveManager;
    if (!archive) return nullptr;
    const std::string fileName = text::narrow(name);
    std::optional<ArchiveBytes> read;
    {
        std::lock_guard<std::mutex> archiveLock(namedMutex(kArchiveMutexName));
        read = archive->tryRead(kScriptFolder, fileName, ArchiveForm::HuffmanScrambled);
    }
    // A missing script ends the program, but only once the archive mutex is
    // free again: the release path joins loader threads that may be waiting
    // for it.
    if (!read) fatalExit(text::cp932ToUtf8(fileName) + " が見つかりません");
    ArchiveBytes bytes = std::move(*read);
    auto text = std::make_shared<const std::u16string>(
        text::widen(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    std::lock_guard<std::mutex> lock(cacheLock_);
    // Two threads may have read the same file at once: the first text stays.
    auto [it, inserted] = cache_.emplace(key, std::move(text));
    if (inserted) cachedBytes_ += bytes.size();
    return it->second;
}

std::uint64_t XMLManagerManager::getCachedBytes() const {
    std::lock_guard<std::mutex> lock(cacheLock_);
    return cachedBytes_;
}
