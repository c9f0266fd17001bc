// The XML reader as a table: input text -> the events a content handler
// receives, whether the whole text was read and where reading stopped.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/Text.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "support/TestSupport.h"

namespace {

std::string escaped(std::u16string_view wide) {
    std::string out;
    for (char c : text::narrow(wide)) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

// Writes each event as S(name attr=value ...), T(text) or E(name).
class TraceHandler : public BoostContentHandler {
public:
    int startElement(const TagRecord& tag, const XmlAttributeMap& attributes) override {
        std::string event = "S(" + escaped(tag.name);
        for (const auto& [name, value] : attributes) event += " " + escaped(name) + "=" + escaped(value);
        trace += event + ")";
        return 0;
    }
    int endElement(const TagRecord& tag) override {
        trace += "E(" + escaped(tag.name) + ")";
        return 0;
    }
    int characters(std::u16string_view text) override {
        trace += "T(" + escaped(text) + ")";
        return 0;
    }
    std::string trace;
};

struct ReaderCase {
    const char* name;
    std::string input;
    const char* trace;
    bool complete;
    size_t stopOffset;  // checked when the parse is incomplete
};

const ReaderCase kCases[] = {
    {"attributes in name order", R"(<a z="1" b="2">hi</a>)", "S(a b=2 z=1)T(hi)E(a)", true, 0},
    {"a name given twice keeps its last value", R"(<a k="1" k="2"/>)", "S(a k=2)E(a)", true, 0},
    {"blanks around the equals sign", "<a k \t=\n \"1\"/>", "S(a k=1)E(a)", true, 0},
    {"value taken as it stands", "<a k=\"<x> & \r\n\" e=\"\"/>", "S(a e= k=<x> & \\r\\n)E(a)", true, 0},
    {"blank before > is no start tag", R"(<r><a k="1" >x</a></r>)", "S(r)", false, 3},
    {"blank before /> is no tag", R"(<r><a k="1" /></r>)", "S(r)", false, 3},
    {"attributes need a blank between them", R"(<a k="1"j="2"/>)", "", false, 0},
    {"single quotes are not accepted", "<a k='1'/>", "", false, 0},
    {"entity reference is plain text", "<a>x&amp;y</a>", "S(a)T(x&amp;y)E(a)", true, 0},
    {"end tag name not compared", "<a>t</b>", "S(a)T(t)E(b)", true, 0},
    {"empty-element tag gives start and end", "<a><b k=\"v\"/></a>", "S(a)S(b k=v)E(b)E(a)", true, 0},
    {"CR LF alone is not delivered", "<a>\r\n<b/>\r\n</a>", "S(a)S(b)E(b)E(a)", true, 0},
    {"CR LF tab is delivered", "<a>\r\n\t<b/></a>", "S(a)T(\\r\\n\\t)S(b)E(b)E(a)", true, 0},
    {"line feed and indentation are text", "<a>\n  <b/>\n</a>", "S(a)T(\\n  )S(b)E(b)T(\\n)E(a)", true, 0},
    {"text, empty child, text: both delivered", "<a>x<b/>y</a>", "S(a)T(x)S(b)E(b)T(y)E(a)", true, 0},
    {"text, comment, text: only the first", "<a>x<!--c-->y</a>", "S(a)T(x)E(a)", true, 0},
    {"one text after each start tag", "<a>x<b>y</b>z</a>", "S(a)T(x)S(b)T(y)E(b)E(a)", true, 0},
    {"text may hold >", "<a>1>0</a>", "S(a)T(1>0)E(a)", true, 0},
    {"comment opened and closed by one hyphen", "<a><!- c -></a>", "S(a)E(a)", true, 0},
    {"comment with hyphens inside", "<a><!-- a-b --></a>", "S(a)E(a)", true, 0},
    {"byte-order mark stops at once", "\xEF\xBB\xBF<a/>", "", false, 0},
    {"two processing instructions", "<?xml version=\"1.0\"?><?other x?><a/>", "S(a)E(a)", true, 0},
    {"processing instruction after a comment", "<!--c--><?pi?><a/>", "", false, 8},
    {"DOCTYPE with an external DTD is skipped",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r SYSTEM \"http://example.invalid/r.dtd\">\r\n<r/>\r\n", "S(r)E(r)", true,
     0},
    {"comments before and after the root", "<!-- a -->\n<r/>\n<!-- b -->\n", "S(r)E(r)", true, 0},
    {"adjacent top-level elements", "<a/><b/>", "S(a)E(a)S(b)E(b)", true, 0},
    {"blank between top-level elements stops", "<a/> <b/>", "S(a)E(a)", false, 5},
    {"name with underscore and digits", "<_a9 _k1=\"v\"/>", "S(_a9 _k1=v)E(_a9)", true, 0},
    {"name may not start with a digit", "<9a/>", "", false, 0},
    {"hyphen ends a name", "<r><a-b/></r>", "S(r)", false, 3},
    {"colon ends a name", "<r><a:b/></r>", "S(r)", false, 3},
    {"letters are ASCII only", "<r><\xE9t\xE9/></r>", "S(r)", false, 3},
    {"case is kept", "<Exbulletml/>", "S(Exbulletml)E(Exbulletml)", true, 0},
    {"unclosed element keeps its events", "<a><b>t</b>", "S(a)S(b)T(t)E(b)", false, 11},
    {"text after the root stops", "<a/>junk", "S(a)E(a)", false, 4},
    {"empty text is a complete document", "", "", true, 0},
};

class XmlReaderCases : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(XmlReaderCases, EventsMatch) {
    const ReaderCase& c = GetParam();
    LoggedTest log;
    TraceHandler handler;
    XmlParseResult result = parseXml(text::widen(c.input), handler, "case.xml");
    EXPECT_EQ(handler.trace, c.trace);
    EXPECT_EQ(result.complete, c.complete);
    if (!c.complete) {
        EXPECT_EQ(result.stopOffset, c.stopOffset);
        EXPECT_TRUE(log.logContains("XML の解析を途中で終了しました  File:case.xml  Offset:" +
                                    std::to_string(c.stopOffset)))
            << log.logText();
    } else {
        EXPECT_EQ(log.logText(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(XmlReader, XmlReaderCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ReaderCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p) {
                                 name += text::isAsciiAlnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             }
                             return name;
                         });

std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
}

TEST(XmlReader, TextEndsAtTheFirstZeroUnit) {
    TraceHandler handler;
    std::u16string text = u"<a/>";
    text.push_back(u'\0');
    text += u"<b/>";
    EXPECT_TRUE(parseXml(text, handler, "z.xml").complete);
    EXPECT_EQ(handler.trace, "S(a)E(a)");
}

TEST(XmlReader, NestingUpToTheLimitParses) {
    TraceHandler handler;
    XmlParseResult result = parseXml(text::widen(nested(kMaxElementDepth)), handler, "deep.xml");
    EXPECT_TRUE(result.complete);
    EXPECT_FALSE(result.tooDeep);
}

TEST(XmlReader, DeeperNestingStopsWithAWarning) {
    LoggedTest log;
    TraceHandler handler;
    XmlParseResult result = parseXml(text::widen(nested(100000)), handler, "deep.xml");
    EXPECT_FALSE(result.complete);
    EXPECT_TRUE(result.tooDeep);
    // Every start tag up to the limit was delivered, nothing after it.
    EXPECT_EQ(handler.trace.size(), static_cast<size_t>(kMaxElementDepth) * std::string("S(a)").size());
    EXPECT_EQ(result.stopOffset, static_cast<size_t>(kMaxElementDepth) * 3);
    EXPECT_TRUE(log.logContains("File:deep.xml  Offset:768  要素の入れ子が深すぎます (256)")) << log.logText();
}

TEST(XmlReader, LongNamesAndValues) {
    TraceHandler handler;
    std::string name(100000, 'n');
    std::string value(100000, 'v');
    std::string input = "<" + name + " " + name + "=\"" + value + "\">" + value + "</" + name + ">";
    EXPECT_TRUE(parseXml(text::widen(input), handler, "long.xml").complete);
    EXPECT_EQ(handler.trace, "S(" + name + " " + name + "=" + value + ")T(" + value + ")E(" + name + ")");
}

// Parses on several threads at once: the reader lets one parse run at a time,
// each with its own events.
TEST(XmlReaderThreads, ConcurrentParsesStayApart) {
    std::vector<std::thread> threads;
    std::vector<std::string> traces(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &traces] {
            std::string expected;
            for (int round = 0; round < 50; ++round) {
                TraceHandler handler;
                std::string name = "t" + std::to_string(t);
                parseXml(text::widen("<" + name + ">x</" + name + ">"), handler, "thread.xml");
                traces[static_cast<size_t>(t)] = handler.trace;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) {
        std::string name = "t" + std::to_string(t);
        EXPECT_EQ(traces[static_cast<size_t>(t)], "S(" + name + ")T(x)E(" + name + ")");
    }
}

}  // namespace
