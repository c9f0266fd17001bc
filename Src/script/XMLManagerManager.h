// The script loaders' owner: two loaders, one of them current (its document is
// the running script), the other collecting the next scene's scripts; a game
// reset flips them. It also keeps the script text cache: each script file's
// text, read once from the "script" archive folder and kept until clearCache.
//
// Threads: each loader's worker reads texts through the cache while the main
// thread does; the cache is locked and archive reads are serialised by the
// named mutex "XMLManagerManager". Texts are shared, so a text in use by a
// parse outlives clearCache.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/HResult.h"
#include "script/VirtualXMLManager.h"
#include "services/NamePool.h"

class XMLManagerManager {
public:
    // Creates both loaders, each with its worker running.
    XMLManagerManager();
    XMLManagerManager(const XMLManagerManager&) = delete;
    XMLManagerManager& operator=(const XMLManagerManager&) = delete;
    // Joins both workers, then frees the loaders and the cache.
    virtual ~XMLManagerManager();

    VirtualXMLManager* getCurrent() const { return loaders_[current_.load()].get(); }
    VirtualXMLManager* getOther() const { return loaders_[(current_.load() + 1) % 2].get(); }

    // The current loader's loadFile on the calling thread (start-up loads
    // "init.xml" this way).
    HRESULT loadNow(std::u16string_view name, int useOther);
    // Queues a name on the other loader: loaded at the next game reset
    // ("exefile"), or by its worker at once ("exefileasync").
    void queueLoad(std::u16string_view name);
    void queueLoadAsync(std::u16string_view name);
    // Each frame: kick on both loaders.
    void kickWorkers();
    // The game reset's switch: the current document is emptied unless
    // holdNextFlip was called since the last flip; the other loader becomes
    // current and is returned.
    VirtualXMLManager* flip();
    void holdNextFlip() { hold_ = true; }
    // True on a loader's worker thread: the caller is loading in the
    // background. (Decided by thread identity, so nothing is consumed.)
    bool isLoading() const;
    // Sets the finished event of both loaders.
    void signalFinished();
    // Stops and joins both workers (shut-down).
    void stopWorkers();

    void clearCache();
    // The wide text of a script file (one unit per byte), from the cache or
    // read from the "script" archive folder. Null when there is no archive;
    // a file the archive lacks ends the program there.
    std::shared_ptr<const std::u16string> getScriptText(std::u16string_view name);
    // Bytes read into the cache since it was made.
    std::uint64_t getCachedBytes() const;

private:
    std::unique_ptr<VirtualXMLManager> loaders_[2];
    std::atomic<int> current_{0};
    bool hold_ = false;
    mutable std::mutex cacheLock_;
    std::map<NameHandle, std::shared_ptr<const std::u16string>> cache_;
    std::uint64_t cachedBytes_ = 0;
};
