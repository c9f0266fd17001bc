// Every element, parameter-child, type-value and structure id with its name,
// and every short tag name, checked against the vocabulary as written down
// independently of the code's table.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "script/ElementId.h"
#include "support/TestSupport.h"

namespace {

// Commands and object elements.
const char* const kElementList =
    R"(0 "none", 1 "bullet", 2 "fire", 3 "action", 4 "bulletref", 5 "fireref", 6 "actionref", )"
    R"(7 "changespeed", 8 "changedirection", 9 "accel", 10 "wait", 11 "vanish", 12 "repeat", )"
    R"(13 "present", 14 "img", 15 "presentref", 16 "imgref", 17 "changecolor", 18 "imgdirection", )"
    R"(19 "enemy", 20 "enemyref", 21 "create", 22 "createref", 23 "collision", 24 "eval", )"
    R"(25 "changeposition", 26 "revenge", 27 "revengeref", 28 "cancelrevenge", 29 "shot", 30 "shotref", )"
    R"(31 "setposition", 32 "player", 33 "playerref", 34 "setinv", 35 "sysvar", 36 "object", )"
    R"(37 "objectref", 38 "setbreakable", 39 "group", 40 "skipwait", 41 "setdrawlevel", 42 "edge", )"
    R"(43 "play", 44 "sound", 45 "soundref", 46 "track", 47 "trackref", 48 "changevolume", )"
    R"(49 "changeallvolume", 50 "exefile", 51 "selectable", 52 "selectableref", 53 "cursor", )"
    R"(54 "cursorref", 55 "unselected", 56 "unselectedref", 57 "selected", 58 "selectedref", )"
    R"(59 "decided", 60 "decidedref", 61 "system", 62 "exefileasync", 63 "preloadimg", )"
    R"(64 "targetrevenge", 65 "setbgcolor", 66 "preloadtrack", 67 "rotateimg", 68 "setimgsize", )"
    R"(69 "evaladd", 70 "definedaction", 71 "imgstring", 72 "imgstringref", 73 "item", 74 "itemref", )"
    R"(75 "buzz", 76 "targetvanish", 77 "disabletable", 78 "setimguv", 79 "changeimgsize", 80 "bomb", )"
    R"(81 "bombref", 82 "exit", 83 "global", 84 "setrevenge", 85 "childrevenge", 86 "setreflect", )"
    R"(87 "autotarget", 88 "mesh", 89 "meshref", 90 "setstring", 91 "setfontsize", 92 "setstringwait", )"
    R"(93 "waitselectable", 94 "setlock", 95 "releaselock", 96 "waitlock", 97 "waitdrawstring", )"
    R"(98 "changebullettoitem", 99 "setsharedvitalnum", 100 "setlight", 101 "changelight", )"
    R"(102 "setupparticle", 103 "createparticle", 104 "sharevital", 105 "addprate", 106 "addscore", )"
    R"(107 "seteye", 108 "setlookat", 109 "setupvec", 110 "changeeye", 111 "changelookat", )"
    R"(112 "changeupvec", 113 "setfog", 114 "changetargetvolume", 115 "incbuzzcount", )"
    R"(116 "enabletable", 117 "setgameflag", 118 "additem", 119 "waitdirectionkey", )"
    R"(120 "skipbulletwait", 121 "setmeshaccel", 122 "damage", 123 "damageref", 124 "network", )"
    R"(125 "addstring", 126 "setending", 127 "setmeshvelocity", 128 "setfontcolor", 129 "debugstr", )"
    R"(130 "debugval", 131 "setplayerinv", 132 "setstringnum", 133 "addstringnum", )"
    R"(134 "playsounddirect", 135 "stopsounddirect", 136 "setfontshadowcolor", 137 "dynamic", )"
    R"(138 "soundtrack", 139 "createsurface", 140 "loadsurface", 141 "clearsurface", 142 "dobject", )"
    R"(143 "dobjectref", 144 "parentrevenge", 145 "addrank", 146 "addspirit", )"
    R"(147 "setrendertargetcolor", 148 "changefog", 149 "seteyespeed", 150 "setlookatspeed", )"
    R"(151 "setupvecspeed", 152 "changeeyespeed", 153 "changelookatspeed", 154 "changeupvecspeed", )"
    R"(155 "plainshadowpoint", 156 "textblock", 157 "setmeshtexture", 158 "createdupimg", )"
    R"(159 "preloadmesh", 160 "setvital"., )";
// Parameter children.
const char* const kParameterList =
    R"(512 "none", 513 "vertical", 514 "horizontal", 515 "speed", 516 "direction", 517 "repeatcount", )"
    R"(518 "term", 519 "file", 520 "left", 521 "right", 522 "top", 523 "bottom", 524 "width", )"
    R"(525 "height", 526 "alpha", 527 "red", 528 "green", 529 "blue", 530 "x", 531 "y", 532 "z", )"
    R"(533 "inv", 534 "cx", 535 "cy", 536 "radius", 537 "vital", 538 "score", 539 "length", )"
    R"(540 "distance", 541 "quick", 542 "num", 543 "loop", 544 "command", 545 "pause", 546 "child", )"
    R"(547 "string", 548 "effect", 549 "flag", 550 "prate", 551 "worldx", 552 "worldy", 553 "worldz", )"
    R"(554 "worldvx", 555 "worldvy", 556 "worldvz", 557 "worldmaxx", 558 "worldmaxy", 559 "worldmaxz", )"
    R"(560 "worldminx", 561 "worldminy", 562 "worldminz", 563 "rotatex", 564 "rotatey", 565 "rotatez", )"
    R"(566 "rotatevx", 567 "rotatevy", 568 "rotatevz", 569 "spirit"., )";
// Type values.
const char* const kTypeValueList =
    R"(1024 "none", 1025 "aim", 1026 "absolute", 1027 "relative", 1028 "sequence", 1029 "sync", )"
    R"(1030 "dds", 1031 "bmp", 1032 "normal", 1033 "add", 1034 "maskadd", 1035 "circle", 1036 "rect", )"
    R"(1037 "center", 1038 "ground", 1039 "bullet", 1040 "loop", 1041 "stop", 1042 "vanish", )"
    R"(1043 "ogg", 1044 "wav", 1045 "raw", 1046 "bgm", 1047 "se", 1048 "rotate", 1049 "synctoplayerx", )"
    R"(1050 "synctoplayery", 1051 "synctoparentx", 1052 "synctoparenty", 1053 "ambient", )"
    R"(1054 "directional", 1055 "syncedge", 1057 "noalpha", 1058 "add2"., )";
// Structure names.
const char* const kStructureList =
    R"(1537 "bulletml", 1538 "exbulletml", 1539 "param", 1540 "times", 1542 "type", 1543 "label", )"
    R"(1544 "name"., )";
// Short tag names.
const char* const kAliasList =
    R"("a" action (3), "b" bullet (1), "c" create (21), "e" enemy (19), "f" fire (2), "g" global (83), )"
    R"("l" label (1543), "n" name (1544), "o" object (36), "p" param (1539), "t" term (518), )"
    R"("v" eval (24), "w" wait (10), "sp" speed (515), "ts" times (1540), "tm" term (518), )"
    R"("abs" (1026), "add" evaladd (69), "chd" changedirection (8), "chs" changespeed (7), )"
    R"("dir" direction (516), "pre" present (13), "rep" repeat (12), "rel" (1027), "rev" revenge (26), )"
    R"("seq" (1028), "aref" actionref (6), "bref" bulletref (4), "cref" createref (22), )"
    R"("eref" enemyref (20), "fref" fireref (5), "oref" objectref (37), "preref" presentref (15), )"
    R"("revref" revengeref (27))";

// The list's items, split at ", ".
std::vector<std::string> items(const char* list) {
    std::vector<std::string> out;
    std::string text = list;
    for (size_t start = 0; start < text.size();) {
        size_t comma = text.find(", ", start);
        if (comma == std::string::npos) comma = text.size();
        if (comma > start) out.push_back(text.substr(start, comma - start));
        start = comma + 2;
    }
    return out;
}

// The text between the first two double quotes of an item.
std::string quotedName(const std::string& item) {
    size_t open = item.find('"');
    return item.substr(open + 1, item.find('"', open + 1) - open - 1);
}

// Items such as 12 "repeat", in list order.
std::vector<std::pair<int, std::string>> idNames(const char* list) {
    std::vector<std::pair<int, std::string>> out;
    for (const std::string& item : items(list)) out.emplace_back(std::stoi(item), quotedName(item));
    return out;
}

// Items such as "rep" repeat (12) and "abs" (1026): alias -> id.
std::map<std::string, int> aliases() {
    std::map<std::string, int> out;
    for (const std::string& item : items(kAliasList)) out[quotedName(item)] = std::stoi(item.substr(item.find('(') + 1));
    return out;
}

std::int32_t tag(const char* name) { return ElementIdTable::instance().lookupTag(text::widen(name)); }

TEST(ElementIds, EveryNameRoundTrips) {
    const ElementIdTable& table = ElementIdTable::instance();
    std::vector<std::pair<int, std::string>> elements;
    for (const char* list : {kElementList, kParameterList, kStructureList}) {
        for (auto& entry : idNames(list)) elements.push_back(entry);
    }
    ASSERT_EQ(elements.size(), 161u + 58u + 7u);
    ASSERT_EQ(elements.size(), elementNameTable().size());
    for (const auto& [id, name] : elements) {
        EXPECT_EQ(table.elementName(id), name) << id;
        EXPECT_EQ(nameText(table.elementNameHandle(id)), name) << id;
        // "none" names two elements; the larger id wins as a tag.
        EXPECT_EQ(tag(name.c_str()), name == "none" ? 512 : id) << name;
    }
    auto types = idNames(kTypeValueList);
    ASSERT_EQ(types.size(), 34u);
    ASSERT_EQ(types.size(), typeValueNameTable().size());
    for (const auto& [id, name] : types) {
        EXPECT_EQ(table.typeValueName(id), name) << id;
        EXPECT_EQ(table.lookupTypeValue(text::widen(name)), id) << name;
    }
    // The gaps have no name.
    EXPECT_EQ(table.typeValueName(1056), "");
    EXPECT_EQ(table.elementName(1541), "");
    EXPECT_EQ(table.elementName(161), "");
    EXPECT_EQ(table.elementName(570), "");
}

TEST(ElementIds, EveryAliasRoundTrips) {
    auto expected = aliases();
    ASSERT_EQ(expected.size(), 34u);
    ASSERT_EQ(expected.size(), elementAliasTable().size());
    for (const auto& [alias, id] : expected) EXPECT_EQ(tag(alias.c_str()), id) << alias;
    // Aliases are tag names only, never type values.
    EXPECT_EQ(ElementIdTable::instance().lookupTypeValue(u"abs"), kTypeNone);
}

TEST(ElementIds, TagLookup) {
    LoggedTest log;
    struct Case {
        const char* name;
        std::int32_t id;
    } cases[] = {
        {"w", kWait},               // alias
        {"t", kTerm},               // alias
        {"bullet", kBullet},        // an element before the type value of that name
        {"vanish", kVanish},        // likewise
        {"add", kEvalAdd},          // the alias, not the type value "add"
        {"aim", kTypeAim},          // only a type value: its id (and no node)
        {"bulletml", kStructBulletML},
        {"none", kParamNone},
        {"Bullet", -1},             // lookups take names already lower-cased
        {"foo", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(tag(c.name), c.id) << c.name;
    EXPECT_TRUE(log.logContains("不明なタグ foo"));
    EXPECT_TRUE(log.logContains("不明なタグ Bullet"));
    EXPECT_EQ(log.logLines().size(), 2u);
}

TEST(ElementIds, TypeValuesAreCaseSensitive) {
    const ElementIdTable& table = ElementIdTable::instance();
    EXPECT_EQ(table.lookupTypeValue(u"aim"), kTypeAim);
    EXPECT_EQ(table.lookupTypeValue(u"Aim"), kTypeNone);
    EXPECT_EQ(table.lookupTypeValue(u"none"), kTypeNone);
    EXPECT_EQ(table.lookupTypeValue(u""), kTypeNone);
    EXPECT_EQ(table.lookupTypeValue(u"add2"), kTypeAdd2);
}

TEST(ElementIds, UnknownTagLogLineIsBounded) {
    LoggedTest log;
    std::u16string name(10000, u'q');
    EXPECT_EQ(ElementIdTable::instance().lookupTag(name), -1);
    ASSERT_EQ(log.logLines().size(), 1u);
    EXPECT_EQ(log.logLines()[0], "不明なタグ " + std::string(255, 'q'));
}

TEST(ElementIds, ReferenceCodes) {
    const std::set<int> references = {4,  5,  6,  15, 16, 20, 22, 27, 30,  33,  37,  45,  47,
                                      52, 54, 56, 58, 60, 64, 72, 74, 81, 89, 114, 123, 143};
    for (int id = 0; id < 2000; ++id) EXPECT_EQ(isReferenceCode(id), references.count(id) == 1) << id;
}

}  // namespace
