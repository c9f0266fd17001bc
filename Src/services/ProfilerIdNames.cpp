// The frame counter's id-to-name table: the script's element names (ids 0 to
// 144), its parameter-child names (512 to 548 but 532), and the profiler's own
// step names and checkpoints.
#include <cstdio>

#include "services/FrameCounter.h"

namespace {
const char* const kElementNames[] = {
    "none", "bullet", "fire", "action", "bulletref", "fireref", "actionref", "changespeed",
    "changedirection", "accel", "wait", "vanish", "repeat", "present", "img", "presentref",
    "imgref", "changecolor", "imgdirection", "enemy", "enemyref", "create", "createref",
    "collision", "eval", "changeposition", "revenge", "revengeref", "cancelrevenge", "shot",
    "shotref", "setposition", "player", "playerref", "setinv", "sysvar", "object", "objectref",
    "setbreakable", "group", "skipwait", "setdrawlevel", "edge", "play", "sound", "soundref",
    "track", "trackref", "changevolume", "changeallvolume", "exefile", "selectable",
    "selectableref", "cursor", "cursorref", "unselected", "unselectedref", "selected",
    "selectedref", "decided", "decidedref", "system", "exefileasync", "preloadimg",
    "targetrevenge", "setbgcolor", "preloadtrack", "rotateimg", "setimgsize", "evaladd",
    "definedaction", "imgstring", "imgstringref", "item", "itemref", "buzz", "targetvanish",
    "disabletable", "setimguv", "changeimgsize", "bomb", "bombref", "exit", "global",
    "setrevenge", "childrevenge", "setreflect", "autotarget", "mesh", "meshref", "setstring",
    "setfontsize", "setstringwait", "waitselectable", "setlock", "releaselock", "waitlock",
    "waitdrawstring", "changebullettoitem", "setsharedvitalnum", "setlight", "changelight",
    "setupparticle", "createparticle", "sharevital", "addprate", "addscore", "seteye",
    "setlookat", "setupvec", "changeeye", "changelookat", "changeupvec", "setfog",
    "changetargetvolume", "incbuzzcount", "enabletable", "setgameflag", "additem",
    "waitdirectionkey", "skipbulletwait", "setmeshaccel", "damage", "damageref", "network",
    "addstring", "setending", "setmeshvelocity", "setfontcolor", "debugstr", "debugval",
    "setplayerinv", "setstringnum", "addstringnum", "playsounddirect", "stopsounddirect",
    "setfontshadowcolor", "dynamic", "soundtrack", "createsurface", "loadsurface",
    "clearsurface", "dobject", "dobjectref", "parentrevenge",
};
static_assert(sizeof kElementNames / sizeof kElementNames[0] == 145);

// Ids 512 to 548; 532 ("z") has no row.
const char* const kParameterNames[] = {
    "none", "vertical", "horizontal", "speed", "direction", "repeatcount", "term", "file",
    "left", "right", "top", "bottom", "width", "height", "alpha", "red", "green", "blue", "x",
    "y", nullptr, "inv", "cx", "cy", "radius", "vital", "score", "length", "distance", "quick",
    "num", "loop", "command", "pause", "child", "string", "effect",
};
static_assert(sizeof kParameterNames / sizeof kParameterNames[0] == 37);
}  // namespace

std::string padProfilerName(std::string_view name) {
    std::string padded(name);
    if (padded.size() < 16) padded.resize(16, ' ');
    return padded;
}

void fillProfilerIdNames(std::map<std::uint32_t, std::string>& names) {
    std::uint32_t id = 0;
    for (const char* name : kElementNames) names[id++] = padProfilerName(name);
    id = 512;
    for (const char* name : kParameterNames) {
        if (name) names[id] = padProfilerName(name);
        ++id;
    }
    names[1025] = padProfilerName("gotoNext");
    names[1026] = padProfilerName("execNode");
    names[1056] = padProfilerName("DrawPrimitive");
    // "Checkpoint" and id - 1280 in hexadecimal, always followed by five
    // blanks (so "Checkpoint10" and on take 17 characters).
    for (std::uint32_t checkpoint = 1; checkpoint <= 24; ++checkpoint) {
        char name[32];
        std::snprintf(name, sizeof name, "Checkpoint%X     ", static_cast<unsigned>(checkpoint));
        names[1280 + checkpoint] = name;
    }
}
