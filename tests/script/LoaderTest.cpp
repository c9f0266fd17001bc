// The script loaders on the main thread: start-up's configuration document,
// the synchronous queue loaded at the game reset, flip and hold, the script
// text cache, and failed loads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "LoaderTestSupport.h"
#include "platform/Machine.h"
#include "script/ElementId.h"

namespace {

class Loader : public LoaderFixture {};

const char kInitXml[] =
    "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
    "<gml>\r\n"
    "  <title>Testgame</title>\r\n"
    "  <version>7.1</version>\r\n"
    "  <xbmlconfig>\r\n"
    "    <systype>lorvent</systype>\r\n"
    "    <exefile>scene.xml</exefile>\r\n"
    "  </xbmlconfig>\r\n"
    "</gml>\r\n";

TEST_F(Loader, StartUpReadsTheConfigurationAndTheFirstResetLoadsItsScene) {
    startWith({{"init.xml", kInitXml}, {"scene.xml", actionsLabelled({"top"})}});
    EXPECT_EQ(loaders().loadNow(u"init.xml", 0), S_OK);
    EXPECT_EQ(g_systemInfo->getTitle(), "Testgame");
    EXPECT_EQ(g_systemInfo->getScriptVersion(), "7.1");
    EXPECT_EQ(g_systemInfo->getSystemType(), 3u);

    VirtualXMLManager* next = loaders().getOther();
    EXPECT_EQ(next->getSyncNames(), std::vector<std::u16string>{u"scene.xml"});
    EXPECT_FALSE(loaders().getCurrent()->isReadyToSwitch());
    ASSERT_TRUE(next->isReadyToSwitch());
    EXPECT_TRUE(next->getReady());
    // Nothing is parsed before the reset.
    EXPECT_TRUE(labelsOf(next->getDocument(), kAction).empty());

    EXPECT_EQ(loaders().flip(), next);
    EXPECT_EQ(loaders().getCurrent(), next);
    EXPECT_EQ(next->loadQueuedNow(), S_OK);
    EXPECT_EQ(labelsOf(next->getDocument(), kAction), std::vector<std::string>{"top"});
    EXPECT_EQ(next->getSyncCount(), 0u);
    EXPECT_FALSE(next->isReadyToSwitch());
}

TEST_F(Loader, GameResetFlipsLoadsAndLinksQuietly) {
    startWith({{"scene.xml", "<exbulletml><bullet label=\"b\"/><action label=\"top\">"
                             "<fire><bulletref label=\"b\"/></fire><fire><bulletref label=\"gone\"/></fire>"
                             "<actionref label=\"gone\"/></action></exbulletml>"}});
    loaders().queueLoad(u"scene.xml");
    VirtualXMLManager* next = loaders().getOther();
    EXPECT_EQ(resetGame(), S_OK);
    EXPECT_EQ(g_currentLoader, next);
    ASSERT_EQ(g_currentDocument, next->getDocument());
    BulletML_Node* bullet = nodeLabelled(g_currentDocument, kBullet, "b");
    std::vector<BulletML_Node*> refs;
    for (BulletML_Node* node : g_currentDocument->nodes()) {
        if (node->getCode() == kBulletRef) refs.push_back(node);
    }
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[0]->getRefTarget(), bullet);
    // Missing labels leave their references unbound, without a word.
    EXPECT_EQ(refs[1]->getRefTarget(), nullptr);
    EXPECT_FALSE(g_currentDocument->isQuietLookup());
    EXPECT_FALSE(logContains("gone"));
}

TEST_F(Loader, AFileIsReadFromTheArchiveOnceUntilTheCacheIsCleared) {
    startWith({{"a.xml", actionsLabelled({"a"})}});
    EXPECT_EQ(loaders().getCachedBytes(), 0u);
    ASSERT_EQ(loaders().loadNow(u"a.xml", 0), S_OK);
    const std::uint64_t once = loaders().getCachedBytes();
    EXPECT_EQ(once, actionsLabelled({"a"}).size());

    // The second load does not touch the archive.
    std::filesystem::rename(root().path() / "script", root().path() / "moved");
    ASSERT_EQ(loaders().loadNow(u"a.xml", 0), S_OK);
    EXPECT_EQ(loaders().getCachedBytes(), once);
    // Both loads went into the document.
    EXPECT_EQ(labelsOf(loaders().getCurrent()->getDocument(), kAction), (std::vector<std::string>{"a", "a"}));

    std::filesystem::rename(root().path() / "moved", root().path() / "script");
    loaders().clearCache();
    ASSERT_EQ(loaders().loadNow(u"a.xml", 1), S_OK);
    EXPECT_EQ(loaders().getCachedBytes(), 2 * once);
    EXPECT_EQ(labelsOf(loaders().getOther()->getDocument(), kAction), std::vector<std::string>{"a"});
}

TEST_F(Loader, HoldKeepsTheOutgoingDocumentForOneFlip) {
    startWith({{"a.xml", actionsLabelled({"a"})}});
    for (bool hold : {false, true}) {
        SCOPED_TRACE(hold ? "held" : "not held");
        VirtualXMLManager* outgoing = loaders().getCurrent();
        ASSERT_EQ(loaders().loadNow(u"a.xml", 0), S_OK);
        if (hold) loaders().holdNextFlip();
        loaders().flip();
        EXPECT_EQ(labelsOf(outgoing->getDocument(), kAction).size(), hold ? 1u : 0u);
        // The hold lasts one flip: the loader flipped out next is emptied.
        VirtualXMLManager* second = loaders().getCurrent();
        ASSERT_EQ(loaders().loadNow(u"a.xml", 0), S_OK);
        loaders().flip();
        EXPECT_TRUE(labelsOf(second->getDocument(), kAction).empty());
        loaders().flip();
        EXPECT_TRUE(labelsOf(outgoing->getDocument(), kAction).empty());
        loaders().flip();
    }
}

TEST_F(Loader, ReadyToSwitchNeedsQueuedNamesAndAnEmptyBackgroundQueue) {
    startWith({{"a.xml", actionsLabelled({"a"})}});
    VirtualXMLManager* next = loaders().getOther();
    EXPECT_FALSE(next->isReadyToSwitch());
    loaders().queueLoadAsync(u"a.xml");
    EXPECT_FALSE(next->isReadyToSwitch());
    loaders().queueLoad(u"a.xml");
    // The worker has not been kicked: its queue still holds the name.
    EXPECT_EQ(next->getBusyCount(), 1u);
    EXPECT_FALSE(next->isReadyToSwitch());
    EXPECT_FALSE(next->getReady());
}

TEST_F(Loader, LowMemoryEmptiesTheTextCacheAtEveryReset) {
    struct Case {
        std::uint64_t availableBytes;
        bool cacheEmptied;
    } cases[] = {{255999999, true}, {256000000, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.availableBytes);
        FixedMachine machine;
        machine.memory.availPhys = c.availableBytes;
        Machine::setInstance(&machine);
        startWith({{"a.xml", actionsLabelled({"a"})}});
        g_systemInfo->probeMemory();
        Machine::setInstance(nullptr);

        loaders().queueLoad(u"a.xml");
        ASSERT_EQ(resetGame(), S_OK);
        const std::uint64_t afterReset = loaders().getCachedBytes();
        ASSERT_EQ(loaders().loadNow(u"a.xml", 1), S_OK);
        EXPECT_EQ(loaders().getCachedBytes() > afterReset, c.cacheEmptied);

        delete g_xmlManagerManager;
        g_xmlManagerManager = nullptr;
        delete g_archiveManager;
        g_archiveManager = nullptr;
        delete g_systemInfo;
        g_systemInfo = nullptr;
    }
}

TEST_F(Loader, WithoutAnArchiveALoadFailsWithItsLine) {
    createManagers();
    delete g_archiveManager;
    g_archiveManager = nullptr;
    EXPECT_EQ(loaders().loadNow(u"init.xml", 0), E_FAIL);
    std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], ".\\Src\\BoostXML:256  FAILED");
    EXPECT_EQ(lines[1], "E_FAIL");
}

TEST_F(Loader, AFailedLoadAtTheResetIsLoggedAndEndsTheProgram) {
    struct Case {
        const char* what;
        bool withArchive;
        const char* line;
    } cases[] = {
        {"no text for the file", false, ".\\Src\\BoostXML:256  FAILED\nE_FAIL\n.\\Src\\InitGame:538  FAILED\nE_FAIL\n"},
        {"file missing from the archive", true, "gone.xml が見つかりません\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        root().writeFile("debug.txt", "");
        EXPECT_EXIT(
            {
                startWith({{"a.xml", actionsLabelled({"a"})}});
                if (!c.withArchive) {
                    delete g_archiveManager;
                    g_archiveManager = nullptr;
                }
                loaders().queueLoad(u"gone.xml");
                resetGame();
            },
            ::testing::ExitedWithCode(1), "");
        std::string text = logText();
        EXPECT_NE(text.find(std::string(c.line) + "*****************************************************\n"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("非同期 XML 読み込みを停止しました\nXML Manager を開放しました\n"), std::string::npos);
    }
}

// The bundled game's own scripts, packed as the build packs them.
TEST_F(Loader, BundledGameStartsWithItsTitleAndFirstScene) {
    const std::filesystem::path folder = std::filesystem::path(VORLY_FIXTURES) / ".." / ".." / "game" / "script";
    ScriptFiles files;
    for (const char* name : {"init.xml", "title.xml"}) {
        std::ifstream in(folder / name, std::ios::binary);
        ASSERT_TRUE(in) << (folder / name);
        std::stringstream bytes;
        bytes << in.rdbuf();
        files.emplace_back(name, bytes.str());
    }
    startWith(files);
    ASSERT_EQ(loaders().loadNow(u"init.xml", 0), S_OK);
    EXPECT_EQ(g_systemInfo->getTitle(), "Sorvanthe");
    EXPECT_FALSE(g_systemInfo->getScriptVersion().empty());
    EXPECT_EQ(g_systemInfo->isDialogEnabled(), 0u);
    EXPECT_EQ(g_systemInfo->getImgArchive(), 0u);
    EXPECT_EQ(loaders().getOther()->getSyncNames(), std::vector<std::u16string>{u"title.xml"});

    ASSERT_EQ(resetGame(), S_OK);
    // Every label the game reset's top-level objects start from.
    for (const char* label : {"top", "player_top", "shot_1_top", "shot_2_top", "pause_top", "gameover_top",
                              "option_top", "bomb_top", "bomb2_top", "tensionup_top"}) {
        EXPECT_NE(nodeLabelled(g_currentDocument, kAction, label), nullptr) << label;
    }
}

}  // namespace
