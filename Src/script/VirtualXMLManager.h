// A script loader: its document collects every script file loaded into it
// until a game reset flips it out. It keeps two queues of file names: the
// synchronous queue ("exefile"), loaded on the main thread at the next game
// reset, and the background queue ("exefileasync"), loaded at once by the
// loader's own worker thread while the game runs. Four auto-reset events drive
// the worker: request (work on the background queue), quit, done (a pass
// ended) and finished (the worker ended).
//
// The main thread parses into a loader only while that loader's background
// queue is empty: a name leaves the queue only after it was loaded, so an
// empty queue means the worker has stopped parsing. Both queues are locked:
// the main thread appends while the worker takes.
#pragma once
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HResult.h"
#include "platform/Thread.h"

class BoostContentHandler;
class BulletML_Node_Manager;
class XMLHandler_ii;
class XMLManagerManager;

class VirtualXMLManager {
public:
    explicit VirtualXMLManager(XMLManagerManager& owner);
    VirtualXMLManager(const VirtualXMLManager&) = delete;
    VirtualXMLManager& operator=(const VirtualXMLManager&) = delete;
    // Stops and joins the worker.
    virtual ~VirtualXMLManager();

    // Loads a script file into the current loader (`useOther` 0) or the other
    // one of the owner; 0 or a negative code.
    virtual HRESULT loadFile(std::u16string_view name, int useOther) = 0;
    virtual BoostContentHandler* getContentHandler();
    // The active document handler; null here.
    virtual XMLHandler_ii* getHandler();
    // Empties the document; nothing here.
    virtual void resetDocument();

    // The active handler's document, or null (a configuration handler has none).
    BulletML_Node_Manager* getDocument();

    void queueSync(std::u16string_view name);
    void queueBackground(std::u16string_view name);
    size_t getSyncCount() const;
    // The background queue's size: names not yet loaded by the worker.
    size_t getBusyCount() const;
    std::vector<std::u16string> getSyncNames() const;

    // True when names wait in the synchronous queue and the worker has
    // nothing left to do: no request pending, the background queue empty.
    bool isReadyToSwitch();
    bool getReady() const { return ready_; }
    // Main thread, at the game reset: waits until the worker has emptied the
    // background queue, then loads the synchronous queue in order on the
    // calling thread. The queue is emptied; the first failed load's code is
    // returned (the later names are dropped).
    HRESULT loadQueuedNow();
    // Each frame: starts the worker when the background queue holds names.
    void kick();
    // Asks the worker to end and joins it; the name being loaded is finished
    // first. Returns at once when the worker has already ended.
    void stopWorker();
    bool isWorkerRunning() const { return worker_.running(); }
    // True on this loader's worker thread.
    bool isWorkerThread() const { return worker_.isCurrent(); }
    // Sets the finished event, as the worker does when it ends.
    void signalFinished() { finished_.set(); }

protected:
    // Starts the worker; called by the derived constructor once the object is
    // complete (the worker calls loadOwn).
    void startWorker();
    // Loads a script file into this loader's own document.
    virtual HRESULT loadOwn(std::u16string_view name) = 0;
    XMLManagerManager& owner() const { return owner_; }

private:
    void runWorker();
    // Loads the background queue, front first, each name removed once loaded;
    // names appended meanwhile are loaded in the same pass. E_FAIL when quit
    // was signalled.
    HRESULT processQueue();

    XMLManagerManager& owner_;
    mutable std::mutex queueLock_;
    std::deque<std::u16string> syncQueue_;
    std::deque<std::u16string> backgroundQueue_;
    WorkerThread worker_;
    bool ready_ = false;
    Event request_;
    Event quit_;
    Event done_;
    Event finished_;
};
