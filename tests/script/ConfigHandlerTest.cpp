// The configuration document handler: "gml" documents into the configuration
// record, and the first scripts queued on the other loader.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "LoaderTestSupport.h"
#include "platform/Text.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/XMLHandler_ii_GML.h"

namespace {

class ConfigHandler : public ::testing::Test {
protected:
    ConfigHandler() { g_systemInfo = &info; }
    ~ConfigHandler() override { g_systemInfo = nullptr; }

    // Reads a configuration document into `info`.
    void read(const std::string& document) {
        BoostContentHandler content;
        XmlParseResult result = parseXml(text::widen(document), content, "init.xml");
        ASSERT_TRUE(result.complete) << document;
        ASSERT_EQ(content.getKind(), BoostContentHandler::kConfigurationHandler);
    }

    SystemInfo info;
};

TEST_F(ConfigHandler, LastTitleAndFirstVersionCountOutsideTheSections) {
    read("<gml><title>First</title><version>1.0</version>"
         "<config><title>InConfig</title><version>9</version></config>"
         "<title>Second</title><version>2.0</version>"
         "<xbmlconfig><title>InSwitches</title></xbmlconfig></gml>");
    EXPECT_EQ(info.getTitle(), "Second");
    EXPECT_EQ(info.getScriptVersion(), "1.0");
}

TEST_F(ConfigHandler, DialogSwitchGuardsTheScreenKeysThatFollowIt) {
    struct Expected {
        std::uint32_t dialog, width, height, bpp, vsync, scroll;
    };
    struct Case {
        const char* document;
        Expected expected;
    } cases[] = {
        {"<gml><config><width>800</width><dialog>on</dialog><height>600</height><vsync>off</vsync>"
         "</config></gml>",
         {1, 800, 480, 32, 1, 1}},
        {"<gml><config><dialog>ON</dialog><width>800</width><scroll>horizontal</scroll></config></gml>",
         {1, 640, 480, 32, 1, 1}},
        {"<gml><config><dialog>on</dialog><dialog>Off</dialog><width>1024</width><height>768</height>"
         "<bpp>16</bpp><vsync>OFF</vsync><scroll>Horizontal</scroll></config></gml>",
         {0, 1024, 768, 16, 0, 0}},
        // Keys outside their section, and values that are no keyword.
        {"<gml><width>800</width><xbmlconfig><height>600</height><dialog>on</dialog></xbmlconfig>"
         "<config><vsync>no</vsync><scroll>up</scroll><dialog>yes</dialog></config></gml>",
         {0, 640, 480, 32, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        SystemInfo fresh;
        g_systemInfo = &fresh;
        read(c.document);
        EXPECT_EQ(fresh.isDialogEnabled(), c.expected.dialog);
        EXPECT_EQ(fresh.getWidth(), c.expected.width);
        EXPECT_EQ(fresh.getHeight(), c.expected.height);
        EXPECT_EQ(fresh.getBpp(), c.expected.bpp);
        EXPECT_EQ(fresh.getVsync(), c.expected.vsync);
        EXPECT_EQ(fresh.getScroll(), c.expected.scroll);
    }
    g_systemInfo = &info;
}

TEST_F(ConfigHandler, SwitchesTakeOnAndOffIgnoringCase) {
    struct Switch {
        const char* key;
        void (SystemInfo::*set)(std::uint32_t);
        std::uint32_t (SystemInfo::*get)() const;
    } switches[] = {
        {"collisiondisplay", &SystemInfo::setCollisionDisplay, &SystemInfo::getCollisionDisplay},
        {"debugdisplay", &SystemInfo::setDebugDisplay, &SystemInfo::getDebugDisplay},
        {"replayenable", &SystemInfo::setReplayEnable, &SystemInfo::getReplayEnable},
        {"screenchange", &SystemInfo::setScreenChange, &SystemInfo::getScreenChange},
        {"imgarchive", &SystemInfo::setImgArchive, &SystemInfo::getImgArchive},
        {"nogameover", &SystemInfo::setNoGameOver, &SystemInfo::getNoGameOver},
        {"nodamage", &SystemInfo::setNoDamage, &SystemInfo::getNoDamage},
        {"flagdebug", &SystemInfo::setFlagDebug, &SystemInfo::getFlagDebug},
        {"drawbg", &SystemInfo::setDrawBg, &SystemInfo::getDrawBg},
        {"force60fps", &SystemInfo::setForce60fps, &SystemInfo::getForce60fps},
        {"forcenopractice", &SystemInfo::setForceNoPractice, &SystemInfo::getForceNoPractice},
    };
    struct Value {
        const char* text;
        std::uint32_t from, to;
    } values[] = {{"on", 0, 1}, {"ON", 0, 1}, {"oN", 0, 1}, {"off", 1, 0}, {"Off", 1, 0},
                  {"yes", 1, 1}, {"0", 1, 1},  {" on", 0, 0}};
    for (const Switch& s : switches) {
        for (const Value& v : values) {
            SCOPED_TRACE(std::string(s.key) + " = '" + v.text + "'");
            (info.*s.set)(v.from);
            read(std::string("<gml><xbmlconfig><") + s.key + ">" + v.text + "</" + s.key + ">" +
                 "</xbmlconfig></gml>");
            EXPECT_EQ((info.*s.get)(), v.to);
        }
        // The key's name is matched ignoring case too.
        (info.*s.set)(0);
        std::string upper;
        for (char ch : std::string_view(s.key)) upper += static_cast<char>(text::asciiUpper(ch));
        read("<gml><xbmlconfig><" + upper + ">on</" + upper + "></xbmlconfig></gml>");
        EXPECT_EQ((info.*s.get)(), 1u) << upper;
        // Outside its section the key is not read.
        read(std::string("<gml><config><") + s.key + ">off</" + s.key + "></config></gml>");
        EXPECT_EQ((info.*s.get)(), 1u) << s.key;
    }
}

TEST_F(ConfigHandler, SystemTypeByNameIgnoringCase) {
    struct Case {
        const char* text;
        std::uint32_t type;
    } cases[] = {{"morasp", 1}, {"VORLY", 2}, {"vorly", 2}, {"Lorvent", 3}, {"nufra", 4},
                 {"x", 0},      {" vorly", 0}, {"vorlyx", 0}};
    for (const Case& c : cases) {
        info.setSystemType(9);
        read(std::string("<gml><xbmlconfig><systype>") + c.text + "</systype></xbmlconfig></gml>");
        EXPECT_EQ(info.getSystemType(), c.type) << c.text;
    }
}

TEST_F(ConfigHandler, NumbersAreReadAsThirtyTwoBitDecimals) {
    struct Case {
        std::string text;
        std::int32_t value;
    } cases[] = {
        {"12", 12},
        {"  -7x", -7},
        {"+5", 5},
        {"\t3", 3},
        {"abc", 0},
        {"-", 0},
        {"2147483647", INT32_MAX},
        {"99999999999999999999", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-99999999999", INT32_MIN},
        // Only the first 64 bytes are read.
        {std::string(63, ' ') + "12", 1},
    };
    for (const Case& c : cases) {
        info.setReplay(-100);
        read("<gml><xbmlconfig><replay>" + c.text + "</replay></xbmlconfig></gml>");
        EXPECT_EQ(info.getReplay(), c.value) << "'" << c.text << "'";
    }
    // The screen keys take the same reading into their unsigned fields.
    read("<gml><config><width> 1024px</width><height>-1</height></config></gml>");
    EXPECT_EQ(info.getWidth(), 1024u);
    EXPECT_EQ(info.getHeight(), 0xFFFFFFFFu);
}

TEST_F(ConfigHandler, AllStageIsOnlyTurnedOn) {
    read("<gml><xbmlconfig><allstage>off</allstage></xbmlconfig></gml>");
    EXPECT_EQ(info.getAllStage(), 0u);
    read("<gml><xbmlconfig><allstage>On</allstage></xbmlconfig></gml>");
    EXPECT_EQ(info.getAllStage(), 1u);
    read("<gml><xbmlconfig><allstage>off</allstage></xbmlconfig></gml>");
    EXPECT_EQ(info.getAllStage(), 1u);
}

TEST_F(ConfigHandler, TextAfterAnEmptyKeyIsNoValue) {
    // The indentation after <version/> and <title/> follows an end tag.
    read("<gml><title>Sorvanthe</title>\n  <version/>\n  <title/>\n  <version>3</version>\n</gml>");
    EXPECT_EQ(info.getTitle(), "Sorvanthe");
    EXPECT_EQ(info.getScriptVersion(), "3");
}

class ConfigHandlerQueue : public LoaderFixture {};

TEST_F(ConfigHandlerQueue, ExeFilesQueueOnTheOtherLoaderInOrder) {
    createManagers();
    BoostContentHandler content;
    parseXml(text::widen("<gml><exefile>top.xml</exefile>"
                         "<xbmlconfig><exefile>first.xml</exefile><replay>1</replay>"
                         "<EXEFILE>second.xml</EXEFILE></xbmlconfig>"
                         "<config><exefile>config.xml</exefile></config></gml>"),
             content, "init.xml");
    EXPECT_EQ(loaders().getOther()->getSyncNames(), (std::vector<std::u16string>{u"first.xml", u"second.xml"}));
    EXPECT_EQ(loaders().getCurrent()->getSyncCount(), 0u);
    EXPECT_EQ(loaders().getOther()->getBusyCount(), 0u);
}

}  // namespace
