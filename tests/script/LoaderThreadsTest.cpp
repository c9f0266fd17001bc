// The loaders' worker threads: background loads while frames run, names
// queued during a pass, shut-down, and a worker's fatal error.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "LoaderTestSupport.h"
#include "platform/Window.h"
#include "script/ElementId.h"
#include "services/FatalExit.h"
#include "shell/WinMain.h"

namespace {

class LoaderThreads : public LoaderFixture {
protected:
    // Frames as the frame step runs them, until the other loader is ready to
    // switch; returns how many ran.
    static int runFramesUntilReady() {
        int frames = 0;
        while (!loaders().getOther()->isReadyToSwitch()) {
            loaders().kickWorkers();
            ++frames;
            std::this_thread::yield();
        }
        return frames;
    }
};

TEST_F(LoaderThreads, AsyncFileIsParsedOnTheWorkerWhileFramesRun) {
    startWith({{"async.xml", actionsLabelled({"async"})}, {"sync.xml", actionsLabelled({"sync"})}});
    VirtualXMLManager* next = loaders().getOther();
    loaders().queueLoadAsync(u"async.xml");
    loaders().queueLoad(u"sync.xml");
    EXPECT_GE(runFramesUntilReady(), 1);
    // Before the reset the background file is in, the synchronous one not.
    EXPECT_EQ(next->getBusyCount(), 0u);
    EXPECT_EQ(labelsOf(next->getDocument(), kAction), std::vector<std::string>{"async"});
    EXPECT_TRUE(next->isWorkerRunning());

    ASSERT_EQ(resetGame(), S_OK);
    EXPECT_EQ(g_currentLoader, next);
    EXPECT_EQ(labelsOf(g_currentDocument, kAction), (std::vector<std::string>{"async", "sync"}));
}

TEST_F(LoaderThreads, NamesQueuedWhileTheWorkerLoadsAreAllLoaded) {
    // A long first file keeps the worker in its pass while more names come.
    std::vector<std::string> longLabels(4000, "long");
    ScriptFiles files = {{"long.xml", actionsLabelled(longLabels)}, {"sync.xml", actionsLabelled({"sync"})}};
    std::vector<std::string> labels;
    for (int i = 0; i < 8; ++i) {
        labels.push_back("f" + std::to_string(i));
        files.emplace_back(labels.back() + ".xml", actionsLabelled({labels.back()}));
    }
    startWith(files);
    loaders().queueLoadAsync(u"long.xml");
    loaders().kickWorkers();
    // The worker has fetched the long file's text and is parsing it.
    while (loaders().getCachedBytes() == 0) std::this_thread::yield();
    for (const std::string& label : labels) {
        loaders().queueLoadAsync(text::widen(label + ".xml"));
        loaders().kickWorkers();
    }
    loaders().queueLoad(u"sync.xml");
    runFramesUntilReady();
    std::vector<std::string> loaded = labelsOf(loaders().getOther()->getDocument(), kAction);
    ASSERT_EQ(loaded.size(), longLabels.size() + labels.size());
    EXPECT_EQ(std::vector<std::string>(loaded.begin() + static_cast<long>(longLabels.size()), loaded.end()), labels);
}

TEST_F(LoaderThreads, ShutDownJoinsBothWorkersEvenMidQueue) {
    ScriptFiles files;
    for (int i = 0; i < 40; ++i) files.emplace_back("f" + std::to_string(i) + ".xml", actionsLabelled({"x"}));
    startWith(files);
    for (const auto& file : files) loaders().queueLoadAsync(text::widen(file.first));
    loaders().kickWorkers();
    loaders().stopWorkers();
    EXPECT_FALSE(loaders().getCurrent()->isWorkerRunning());
    EXPECT_FALSE(loaders().getOther()->isWorkerRunning());
    // A second stop, and a reset that would wait for a stopped worker's
    // queue, return at once.
    loaders().stopWorkers();
    loaders().queueLoadAsync(u"f0.xml");
    loaders().queueLoad(u"f1.xml");
    EXPECT_EQ(loaders().getOther()->loadQueuedNow(), E_FAIL);

    // Freed while a worker is busy: the destructor joins it first.
    delete g_xmlManagerManager;
    g_xmlManagerManager = new XMLManagerManager();
    for (const auto& file : files) loaders().queueLoadAsync(text::widen(file.first));
    loaders().kickWorkers();
    delete g_xmlManagerManager;
    g_xmlManagerManager = nullptr;
}

TEST_F(LoaderThreads, WorkerFatalErrorExitsThroughTheMainThreadWithStatusOne) {
    struct Case {
        const char* what;
        const char* file;
        const char* line;
    } cases[] = {
        {"invalid expression", "bad.xml", "不正な式が見つかりました abc\n"},
        {"file missing from the archive", "gone.xml", "gone.xml が見つかりません\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        root().writeFile("debug.txt", "");
        EXPECT_EXIT(
            {
                TestWindow window;
                Window::setInstance(&window);
                window.create("t", 0, 0, 640, 480, WndProc);
                startWith({{"bad.xml", "<exbulletml><wait>abc</wait></exbulletml>"},
                           {"good.xml", actionsLabelled({"good"})}});
                VirtualXMLManager* next = loaders().getOther();
                loaders().queueLoadAsync(text::widen(c.file));
                loaders().queueLoadAsync(u"good.xml");
                loaders().kickWorkers();
                while (next->isWorkerRunning()) std::this_thread::yield();
                // The worker ended itself and left the rest to the main thread.
                if (!fatalExitRequested() || !g_xmlManagerManager || next->getBusyCount() != 2) std::_Exit(3);
                if (logContains("開放処理")) std::_Exit(4);
                runMessageLoop();
            },
            ::testing::ExitedWithCode(1), "");
        std::string text = logText();
        EXPECT_NE(text.find(c.line), std::string::npos) << text;
        EXPECT_NE(text.find("非同期 XML 読み込みを停止しました\nXML Manager を開放しました\n"), std::string::npos);
        EXPECT_EQ(text.substr(text.size() - std::string("開放処理が終了しました\n").size()),
                  "開放処理が終了しました\n");
    }
}

}  // namespace

TEST_F(LoaderThreads, MissingScriptOnTheMainThreadWhileAWorkerWaitsForTheArchiveExitsWithOne) {
    EXPECT_EXIT(
        {
            startWith({{"a.xml", actionsLabelled({"a"})}});
            {
                // The worker starts a read and waits for the archive.
                std::lock_guard<std::mutex> archive(namedMutex("XMLManagerManager"));
                loaders().queueLoadAsync(u"a.xml");
                loaders().kickWorkers();
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            // The main thread's read fails; the release joins the worker,
            // which must be able to take the archive and finish.
            loaders().getScriptText(u"missing.xml");
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_TRUE(logContains("missing.xml が見つかりません\n"));
    EXPECT_TRUE(logContains("開放処理が終了しました\n"));
}
