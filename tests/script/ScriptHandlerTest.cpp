// The script document handler: scripts in, node trees out.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Text.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "script/XMLHandler_ii.h"
#include "support/TestSupport.h"

namespace {

struct Loaded {
    BoostContentHandler handler;
    XmlParseResult result;

    BulletML_Node_Manager* document() { return handler.getHandler()->getDocument(); }
    BulletML_Node* root() { return document()->getRoot(); }
    // The root's i-th child.
    BulletML_Node* top(std::uint32_t i) { return root()->getChildNode(i); }
};

std::unique_ptr<Loaded> parse(const std::string& text) {
    auto loaded = std::make_unique<Loaded>();
    loaded->result = parseXml(text::widen(text), loaded->handler, "test.xml");
    return loaded;
}

// A script whose body sits in the root element.
std::unique_ptr<Loaded> script(const std::string& body) { return parse("<exbulletml>" + body + "</exbulletml>"); }

std::string numberText(const BulletML_Node_Number* number) {
    return number ? nameText(number->getText()) : std::string("(none)");
}

std::string childText(const BulletML_Node* node, std::int32_t id) { return numberText(node->getChild(id)); }

TEST(ScriptHandler, CountsOfWaitTimesAndSkipWait) {
    auto s = script(
        "<Wait>30</Wait>"
        "<repeat><times>5</times><action><wait>1</wait></action></repeat>"
        "<skipwait>2</skipwait>"
        "<wait/>"
        "<repeat><action/></repeat>");
    ASSERT_TRUE(s->result.complete);
    BulletML_Node* wait = s->top(0);
    EXPECT_EQ(wait->getCode(), kWait);
    EXPECT_EQ(childText(wait, kRepeatCount), "30");
    EXPECT_EQ(wait->getValue(), wait->getChild(kRepeatCount));
    EXPECT_EQ(wait->evalValue(nullptr, nullptr), 30.0);

    BulletML_Node* repeat = s->top(1);
    EXPECT_EQ(repeat->getCode(), kRepeat);
    EXPECT_EQ(childText(repeat, kRepeatCount), "5");
    EXPECT_EQ(numberText(repeat->getValue()), "5");
    ASSERT_EQ(repeat->getChildCount(), 1u);
    EXPECT_EQ(childText(repeat->getChildNode(0)->getChildNode(0), kRepeatCount), "1");

    EXPECT_EQ(childText(s->top(2), kRepeatCount), "2");
    EXPECT_EQ(s->top(2)->getCode(), kSkipWait);
    // A wait without text still gets its count, an empty one.
    EXPECT_EQ(childText(s->top(3), kRepeatCount), "");
    // A repeat without "times" has no count.
    EXPECT_FALSE(s->top(4)->hasChild(kRepeatCount));
    EXPECT_EQ(s->top(4)->getValue(), nullptr);
}

TEST(ScriptHandler, FileNameSuffixes) {
    struct Case {
        const char* element;
        const char* typeAttribute;
        const char* fileName;
    } cases[] = {
        {"img", " type=\"bmp\"", "a.bmp"},      {"img", "", "a.dds"},
        {"img", " type=\"dds\"", "a.dds"},      {"img", " type=\"BMP\"", "a.dds"},
        {"setupparticle", " type=\"bmp\"", "a.bmp"}, {"loadsurface", "", "a.dds"},
        {"setmeshtexture", "", "a.dds"},        {"track", " type=\"ogg\"", "a.wav.raw"},
        {"playsounddirect", "", "a.wav.raw"},   {"soundtrack", "", "a.wav.raw"},
        {"mesh", "", "a.x"},                    {"preloadmesh", "", "a.x"},
        {"trackref", "", "a"},                  {"exefile", "", "a"},
        {"exefileasync", "", "a"},              {"preloadimg", "", "a"},
        {"preloadtrack", "", "a"},              {"action", "", ""},
    };
    for (const Case& c : cases) {
        std::string element = c.element;
        auto s = script("<" + element + "><file" + c.typeAttribute + ">a</file></" + element + ">");
        EXPECT_EQ(nameText(s->top(0)->getFileName()), c.fileName) << element << c.typeAttribute;
    }
    auto s = script("<img><file type=\"bmp\">a</file></img>");
    EXPECT_EQ(s->top(0)->getChildType(kFile), kTypeBmp);
    EXPECT_EQ(s->top(0)->getNameHandle(), s->top(0)->getFileName());
}

TEST(ScriptHandler, FileTypeDoesNotCarryOver) {
    auto s = script("<img><file type=\"bmp\">a</file></img><img><file>b</file></img>");
    EXPECT_EQ(nameText(s->top(0)->getFileName()), "a.bmp");
    EXPECT_EQ(nameText(s->top(1)->getFileName()), "b.dds");
}

std::string colours(const std::string& except, const std::string& replacement) {
    std::string body;
    const char* names[] = {"left", "right", "top", "bottom", "width", "height", "alpha", "red", "green", "blue"};
    int value = 1;
    for (const char* name : names) {
        std::string tag = name;
        std::string text = tag == except ? replacement : std::to_string(value);
        if (!(tag == except && replacement.empty())) body += "<" + tag + ">" + text + "</" + tag + ">";
        ++value;
    }
    return body;
}

TEST(ScriptHandler, LiteralFloatsOfImgAndChangeColor) {
    float values[BulletML_Node::kFloatCount];
    auto all = script("<img>" + colours("", "") + "</img>");
    ASSERT_TRUE(all->top(0)->hasFloatArray());
    all->top(0)->getFloatArray(values);
    for (int i = 0; i < BulletML_Node::kFloatCount; ++i) EXPECT_EQ(values[i], static_cast<float>(i + 1));

    EXPECT_FALSE(script("<img>" + colours("blue", "") + "</img>")->top(0)->hasFloatArray());
    EXPECT_FALSE(script("<img>" + colours("left", "$1") + "</img>")->top(0)->hasFloatArray());

    auto change = script("<changecolor><term>60</term><blue>4</blue><alpha>1.5</alpha><red>2</red>"
                         "<green>-3</green></changecolor>");
    ASSERT_TRUE(change->top(0)->hasFloatArray());
    change->top(0)->getFloatArray(values);
    const float expected[] = {1.5f, 2, -3, 4, 60, 0, 0, 0, 0, 0};
    for (int i = 0; i < BulletML_Node::kFloatCount; ++i) EXPECT_EQ(values[i], expected[i]) << i;
    EXPECT_FALSE(script("<changecolor><alpha>1</alpha><red>2</red><green>3</green><blue>4</blue></changecolor>")
                     ->top(0)
                     ->hasFloatArray());
}

TEST(ScriptHandler, FireHandsDirectionAndSpeedToItsBullet) {
    auto s = script(
        "<fire><direction type=\"absolute\">90</direction><speed type=\"relative\">2</speed>"
        "<bullet><action/></bullet><bullet/></fire>"
        "<fire><direction>5</direction><bulletref label=\"b\"/></fire>");
    BulletML_Node* fire = s->top(0);
    BulletML_Node* bullet = fire->getChildNode(0);
    EXPECT_EQ(bullet->getCode(), kBullet);
    EXPECT_EQ(childText(bullet, kDirection), "90");
    EXPECT_EQ(childText(bullet, kSpeed), "2");
    EXPECT_EQ(bullet->getChildType(kDirection), kTypeAbsolute);
    EXPECT_EQ(bullet->getChildType(kSpeed), kTypeRelative);
    // The fire keeps the types, the values went to the bullet.
    EXPECT_EQ(fire->getChildType(kDirection), kTypeAbsolute);
    EXPECT_FALSE(fire->hasChild(kDirection));
    // Taken once: the second bullet gets nothing.
    EXPECT_FALSE(fire->getChildNode(1)->hasChild(kDirection));

    BulletML_Node* ref = s->top(1)->getChildNode(0);
    EXPECT_EQ(ref->getCode(), kBulletRef);
    EXPECT_EQ(childText(ref, kDirection), "5");
    // No type given: stored as "none", read as the default "aim".
    EXPECT_EQ(ref->getChildType(kDirection), kTypeAim);
}

TEST(ScriptHandler, ObjectTakesItsOwnMotionAtOnce) {
    auto s = script("<bullet><direction type=\"sequence\">3</direction><speed>1</speed><action/></bullet>");
    BulletML_Node* bullet = s->top(0);
    EXPECT_EQ(childText(bullet, kDirection), "3");
    EXPECT_EQ(childText(bullet, kSpeed), "1");
    EXPECT_EQ(bullet->getChildType(kDirection), kTypeSequence);
    EXPECT_EQ(bullet->getChildType(kSpeed), kTypeAbsolute);
}

TEST(ScriptHandler, CreateHandsCreationValuesToItsObject) {
    auto s = script("<create><x>10</x><y>20</y><vital>3</vital><enemy type=\"ground\"/><enemy/></create>"
                    "<group><quick>1</quick><num>4</num></group><group/>");
    BulletML_Node* create = s->top(0);
    BulletML_Node* enemy = create->getChildNode(0);
    EXPECT_EQ(childText(enemy, kX), "10");
    EXPECT_EQ(childText(enemy, kY), "20");
    EXPECT_EQ(childText(enemy, kVital), "3");
    EXPECT_EQ(childText(create, kX), "10");
    EXPECT_EQ(enemy->getChildType(kEnemy), kTypeGround);
    EXPECT_FALSE(create->getChildNode(1)->hasChild(kX));
    EXPECT_EQ(childText(s->top(1), kNum), "4");
}

TEST(ScriptHandler, ChangeCommandsTakeTheirValuesAtTheEnd) {
    auto s = script(
        "<changespeed><speed type=\"sequence\">1</speed><term>10</term></changespeed>"
        "<changedirection><direction type=\"absolute\">180</direction><term>20</term></changedirection>"
        "<rotateimg><direction>45</direction></rotateimg>"
        "<accel><horizontal>1</horizontal><vertical type=\"relative\">2</vertical><term>3</term></accel>");
    EXPECT_EQ(childText(s->top(0), kSpeed), "1");
    EXPECT_EQ(s->top(0)->getChildType(kSpeed), kTypeSequence);
    EXPECT_EQ(childText(s->top(0), kTerm), "10");
    EXPECT_EQ(childText(s->top(1), kDirection), "180");
    EXPECT_EQ(s->top(1)->getChildType(kDirection), kTypeAbsolute);
    EXPECT_EQ(childText(s->top(2), kDirection), "45");
    EXPECT_EQ(childText(s->top(3), kHorizontal), "1");
    // No "type" attribute: no type stored at all.
    EXPECT_EQ(s->top(3)->getChildType(kHorizontal), 0);
    EXPECT_EQ(s->top(3)->getChildType(kVertical), kTypeRelative);
}

TEST(ScriptHandler, CommandAndStringTexts) {
    auto s = script(
        "<system><command>clearscore</command></system>"
        "<network><command>send</command></network>"
        "<imgstring><string>hello</string></imgstring>"
        "<setstring><string>s</string></setstring><addstring><string>a</string></addstring>"
        "<debugstr><string>d</string></debugstr>"
        "<action><command>x</command><string>y</string></action>");
    const char* texts[] = {"clearscore", "send", "hello", "s", "a", "d", ""};
    for (std::uint32_t i = 0; i < 7; ++i) EXPECT_EQ(s->top(i)->getText(), texts[i]) << i;
}

TEST(ScriptHandler, VariablesAndOwnTexts) {
    auto s = script(
        "<eval name=\"v\">$1+2</eval><evaladd n=\"w\">1</evaladd><global name=\"g\" n=\"x\">3</global>"
        "<dynamic n=\"d\">$rank*2</dynamic><sysvar name=\"_s\">4</sysvar><imgdirection>90</imgdirection>");
    struct Case {
        std::int32_t code;
        const char* variable;
        const char* text;
    } cases[] = {{kEval, "v", "$1+2"},          {kEvalAdd, "w", "1"}, {kGlobal, "g", "3"},
                 {kDynamic, "d", "$rank*2"}, {kSysVar, "_s", "4"}, {kImgDirection, "", "90"}};
    for (std::uint32_t i = 0; i < 6; ++i) {
        BulletML_Node* node = s->top(i);
        EXPECT_EQ(node->getCode(), cases[i].code);
        EXPECT_EQ(nameText(node->getVariable()), cases[i].variable) << i;
        EXPECT_EQ(childText(node, node->getCode()), cases[i].text) << i;
    }
    EXPECT_EQ(s->top(3)->getDynamic(), s->top(3)->getChild(kDynamic));
}

TEST(ScriptHandler, LabelsEnterTheCache) {
    auto s = script(
        "<action label=\"top\"><wait l=\"w1\">1</wait></action>"
        "<actionref label=\"top\"/>"
        "<bullet><speed label=\"onspeed\">1</speed></bullet>");
    BulletML_Node_Manager* document = s->document();
    const auto& cache = document->labelCache();
    BulletML_Node* action = s->top(0);
    EXPECT_EQ(wideNameText(action->getLabel()), u"top");
    EXPECT_EQ(cache.at(internWideName(u"top")), action);
    EXPECT_EQ(cache.at(internWideName(u"w1")), action->getChildNode(0));
    // The reference carries the label but is not entered.
    EXPECT_EQ(s->top(1)->getLabel(), action->getLabel());
    // A label on a parameter child goes to the command holding it.
    EXPECT_EQ(cache.at(internWideName(u"onspeed")), s->top(2));
    EXPECT_EQ(wideNameText(s->top(2)->getLabel()), u"onspeed");
}

TEST(ScriptHandler, TagsThatMakeNoNode) {
    LoggedTest log;
    auto s = script("<foo><wait>1</wait></foo><bulletml><aim/><action/></bulletml><Action><none>5</none></Action>");
    ASSERT_EQ(s->root()->getChildCount(), 3u);
    EXPECT_EQ(s->top(0)->getCode(), kWait);
    EXPECT_EQ(s->top(1)->getCode(), kAction);
    // Element names are read in any case; "none" does not change the code.
    EXPECT_EQ(s->top(2)->getCode(), kAction);
    // An unknown tag logs at its start and again at its end.
    std::vector<std::string> lines = log.logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "不明なタグ foo");
    EXPECT_EQ(lines[1], "不明なタグ foo");
}

TEST(ScriptHandler, ParamsInOrder) {
    auto s = script("<actionref label=\"a\"><param>1</param><p></p><param>$2</param><param/></actionref>");
    BulletML_Node* ref = s->top(0);
    ASSERT_EQ(ref->getParamCount(), 4u);
    // A param without text is empty, not the text of the one before.
    const char* texts[] = {"1", "", "$2", ""};
    for (std::uint32_t i = 0; i < 4; ++i) EXPECT_EQ(numberText(ref->getParam(i)), texts[i]) << i;
}

TEST(ScriptHandler, TextAfterAnEndTagBelongsToNoElement) {
    auto s = script(
        "<changespeed><speed></speed>\n    <term/>\n  </changespeed>"
        "<system><command></command>\n    </system>"
        "<wait>30\n  </wait>");
    EXPECT_FALSE(s->top(0)->hasChild(kSpeed));
    EXPECT_FALSE(s->top(0)->hasChild(kTerm));
    EXPECT_EQ(s->top(1)->getText(), "");
    // Text inside an element is taken as it stands, blanks and all (a
    // leading blank would not compile as a number).
    EXPECT_EQ(childText(s->top(2), kRepeatCount), "30\n  ");
}

TEST(ScriptHandler, TypeValuesAreCaseSensitive) {
    auto s = script("<fire><direction type=\"Aim\">0</direction><bullet/></fire><collision type=\"rect\"/>");
    BulletML_Node* bullet = s->top(0)->getChildNode(0);
    EXPECT_EQ(bullet->childTypes().at(kDirection), kTypeNone);
    EXPECT_EQ(bullet->getChildType(kDirection), kTypeAim);
    EXPECT_EQ(s->top(1)->getChildType(kCollision), kTypeRect);
}

TEST(ScriptHandler, DocumentKindSwitches) {
    auto config = parse("<gml><config><width>640</width></config></gml>");
    EXPECT_EQ(config->handler.getKind(), BoostContentHandler::kConfigurationHandler);
    EXPECT_EQ(config->document(), nullptr);

    // Names are compared exactly: "GML" is no switch.
    auto upper = parse("<GML><action/></GML>");
    EXPECT_EQ(upper->handler.getKind(), BoostContentHandler::kScriptHandler);
    EXPECT_EQ(upper->top(0)->getCode(), kAction);

    // At any depth, and back again with a fresh document.
    auto both = parse("<exbulletml><action><gml/><exbulletml><wait>1</wait></exbulletml></action></exbulletml>");
    EXPECT_EQ(both->handler.getKind(), BoostContentHandler::kScriptHandler);
    ASSERT_EQ(both->root()->getChildCount(), 1u);
    EXPECT_EQ(both->top(0)->getCode(), kWait);
}

TEST(ScriptHandler, ResetEmptiesTheDocument) {
    auto s = script("<action label=\"a\"><wait>1</wait></action>");
    EXPECT_EQ(s->document()->nodes().size(), 3u);
    s->handler.getHandler()->reset();
    EXPECT_EQ(s->document()->nodes().size(), 1u);
    EXPECT_TRUE(s->document()->labelCache().empty());
    // The next script builds on the fresh root.
    parseXml(u"<exbulletml><vanish/></exbulletml>", s->handler, "next.xml");
    EXPECT_EQ(s->top(0)->getCode(), kVanish);
}

TEST(ScriptHandler, MalformedInputIsSafe) {
    LoggedTest log;
    // An end tag is not matched with its start tag: here the root is left
    // once more than it was entered, and the walk stays at the root.
    auto unbalanced = script("<foo></action><action/><bar></bullet>");
    ASSERT_TRUE(unbalanced->result.complete);
    ASSERT_EQ(unbalanced->root()->getChildCount(), 1u);
    EXPECT_EQ(unbalanced->top(0)->getCode(), kAction);
    EXPECT_EQ(unbalanced->document()->getCursor(), unbalanced->root());

    // Nesting stops at the reader's limit.
    std::string deep;
    for (int i = 0; i < 1000; ++i) deep += "<action>";
    auto nested = script(deep);
    EXPECT_FALSE(nested->result.complete);
    int depth = 0;
    for (BulletML_Node* node = nested->root(); node->getChildCount() > 0; node = node->getChildNode(0)) ++depth;
    EXPECT_EQ(depth, kMaxElementDepth - 1);

    // Long names: lower-cased and looked up whole.
    std::string longName(50000, 'W');
    auto longTag = script("<" + longName + ">1</" + longName + "><wait>2</wait>");
    EXPECT_EQ(longTag->top(0)->getCode(), kWait);
    EXPECT_TRUE(log.logContains("不明なタグ " + std::string(255, 'w')));
}

}  // namespace
