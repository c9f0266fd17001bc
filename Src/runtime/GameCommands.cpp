// The setting, network and other game commands: "sysvar" sets a game
// variable and mirrors eight of them into the engine, "network" queues
// requests for the ranking server, "targetrevenge" and "targetvanish" act on
// every object of a name, "setreflect" makes the running object bounce off
// the play-field edges, "additem" grants items as if picked up, "textblock"
// tells the text display whether a block of story text may be skipped.
// Every handler answers 0: the runtime goes on in the same frame.
#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <string_view>

#include <boost/lexical_cast.hpp>

#include "input/ReplayManager.h"
#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"
#include "platform/Text.h"
#include "records/GameInfo.h"
#include "runtime/AbsentManagerNotice.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "runtime/RuntimePeers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

std::int32_t intChild(R& runtime, std::int32_t id) { return truncateToInt32(runtime.evalChild(id)); }

float getVar(NameHandle name) { return g_gameInfo ? g_gameInfo->getVar(name) : 0.0f; }

// ---- "sysvar" ----

// The settings a "sysvar" also hands to the engine, matched by pooled name.
constexpr std::string_view kVolBgm = "volbgm";
constexpr std::string_view kVolSe = "volse";
constexpr std::string_view kVolVoice = "volvoice";

struct SysvarNames {
    NameHandle volbgm = internName(kVolBgm), volse = internName(kVolSe), volvoice = internName(kVolVoice);
    NameHandle stagenum = internName("stagenum"), maxcrystal = internName("maxcrystal");
    NameHandle prate = internName("prate"), rank = internName("rank"), spirit = internName("spirit");
};
const SysvarNames& sysvarNames() {
    static const SysvarNames names;
    return names;
}

// The channel's level through the sound manager; the level in force (the
// clamped level while the manager is absent, after one line saying so).
std::int32_t setVolumeLevel(std::string_view name, std::int32_t level, std::int32_t channel) {
    std::int32_t inForce = 0;
    if (!RuntimePeers::current().soundSetVolumeLevel(level, channel, inForce))
        noteAbsentManager(kSysVar, name, kSoundManagerName);
    return inForce;
}

// ---- "network" ----

constexpr std::array<std::string_view, 9> kNetworkCommands = {
    "connect", "sendmescore", "sendmereplaylist", "willsendscore", "resetscore",
    "commitscore", "identify", "sendmerank", "willsendreplay"};

// The sixteen ranking kinds of the replay lists, in the order they are asked for.
constexpr std::array<std::uint32_t, 16> kReplayListKinds = {10, 20, 21, 30, 31, 40, 41, 42,
                                                            50, 51, 52, 60, 61, 62, 70, 71};

void postNetwork(std::size_t command, std::uint32_t a0) {
    RuntimePeers& peers = RuntimePeers::current();
    switch (command) {
        case 0: peers.networkRequest(1, 0, 0, 0); break;
        case 1:
            for (std::uint32_t i = 0; i < 4; ++i)
                for (std::uint32_t j = 0; j < 3; ++j) peers.networkRequest(4, i, j, 0);
            break;
        case 2:
            for (std::uint32_t i = 0; i < 4; ++i)
                for (std::uint32_t j = 0; j < 3; ++j) peers.networkRequestEx(11, i, j, 0, 0, 0, 0, 0, 0);
            for (std::uint32_t j = 0; j < 3; ++j)
                for (std::uint32_t kind : kReplayListKinds) peers.networkRequestEx(11, 0, j, 1, kind, 0, 0, 0, 0);
            peers.networkRequest(12, 0, 0, 0);
            break;
        case 3: peers.networkRequest(2, 0, 0, 0); break;
        case 4: peers.networkRequest(7, 0, 0, 0); break;
        case 5: peers.networkRequest(8, 0, 0, 0); break;
        case 6: peers.networkRequest(9, 0, 0, 0); break;
        case 7: peers.networkRequest(10, 0, 0, 0); break;
        case 8: {
            logLine("willsendreplay");
            char digits[16];
            auto result = std::to_chars(digits, digits + sizeof digits, a0);
            *result.ptr++ = ' ';
            logLine(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
            peers.networkRequest(3, a0, 0, 0);
            break;
        }
        default: break;
    }
}

// ---- "additem" ----

// A pass count beyond this would hold the frame for minutes.
constexpr std::int32_t kMaxItemPasses = 1000000;

struct ItemNames {
    NameHandle maxtension = internName("maxtension"), tension = internName("tension");
    NameHandle maxlife = internName("maxlife"), life = internName("life");
};
const ItemNames& itemNames() {
    static const ItemNames names;
    return names;
}

void addItemPass(GameInfo& game, std::int32_t flag, float maxtension) {
    const ItemNames& n = itemNames();
    switch (flag) {
        case 1:
            game.incECrystal1();
            game.incECrystal2();
            if (game.getECrystal1() >= game.getMaxCrystal()) {
                game.setECrystal1(0);
                // The limit read before the passes.
                if (game.getVar(n.tension) < maxtension) game.incVar(n.tension);
            }
            break;
        case 2: game.incItemCount(2); break;
        case 3: game.incItemCount(3); break;
        case 4:
            game.incItemCount(4);
            // Both tests read the limit afresh.
            if (game.getVar(n.tension) < game.getVar(n.maxtension)) game.incVar(n.tension);
            if (!(game.getVar(n.tension) < game.getVar(n.maxtension))) game.setECrystal1(0);
            break;
        case 5: {
            const std::int32_t maxlife = truncateToInt32(game.getVar(n.maxlife));
            if (maxlife >= 9) break;
            if (truncateToInt32(game.getVar(n.life)) == maxlife) game.incVar(n.maxlife);
            game.incVar(n.life);
            break;
        }
        case 6: game.incItemCount(6); break;
        default: break;
    }
}

// ---- "textblock" ----

// The label as a whole 32-bit decimal integer; false when it is not one.
bool textIdOf(NameHandle label, std::int32_t& id) {
    const std::u16string& units = wideNameText(label);
    // Room for any zero-padded spelling a script might use.
    char digits[64];
    if (units.empty() || units.size() > sizeof digits) return false;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] > 0x7F) return false;
        digits[i] = static_cast<char>(units[i]);
    }
    return boost::conversion::try_lexical_convert(digits, units.size(), id);
}

}  // namespace

namespace handlers {

std::int32_t execSysvar(R& runtime, std::int32_t) {
    BulletML_Node* node = runtime.getCurrentNode();
    const float value = static_cast<float>(runtime.evalChild(kSysVar));
    const NameHandle name = node->getVariable();
    GameInfo* game = g_gameInfo;
    if (game) game->setVar(name, value);
    const SysvarNames& n = sysvarNames();
    const std::int32_t level = truncateToInt32(value);
    SystemInfo* system = g_systemInfo;
    if (name == n.volbgm) {
        // Music keeps the level in force; the other two keep the value as
        // given, unclamped, as the settings file has always held them.
        const std::int32_t inForce = setVolumeLevel(kVolBgm, level, 1);
        if (system) system->setVolume0(static_cast<std::uint32_t>(inForce));
    } else if (name == n.volse) {
        setVolumeLevel(kVolSe, level, 0);
        if (system) system->setVolume1(static_cast<std::uint32_t>(level));
    } else if (name == n.volvoice) {
        setVolumeLevel(kVolVoice, level, 2);
        if (system) system->setVolume2(static_cast<std::uint32_t>(level));
    } else if (name == n.stagenum) {
        // Only the variable.
    } else if (!game) {
        return R::kGoOn;
    } else if (name == n.maxcrystal) {
        game->setMaxCrystal(level);
    } else if (name == n.prate) {
        game->setPrate(level);
    } else if (name == n.rank) {
        game->setRank(level);
    } else if (name == n.spirit) {
        game->setSpirit(level);
    }
    return R::kGoOn;
}

std::int32_t execNetwork(R& runtime, std::int32_t) {
    const std::string& text = runtime.getCurrentNode()->getText();
    const auto found = std::find(kNetworkCommands.begin(), kNetworkCommands.end(), std::string_view(text));
    if (found == kNetworkCommands.end()) return R::kGoOn;
    if (!RuntimePeers::current().networkExists()) {
        noteAbsentManager(kNetwork, *found, kNetworkManagerName);
        return R::kGoOn;
    }
    static const NameHandle arg0 = internName("_arg0");
    const std::uint32_t a0 = static_cast<std::uint32_t>(truncateToInt32(getVar(arg0)));
    postNetwork(static_cast<std::size_t>(found - kNetworkCommands.begin()), a0);
    return R::kGoOn;
}

std::int32_t execTargetRevenge(R& runtime, std::int32_t) {
    const NameHandle label = runtime.getCurrentNode()->getLabel();
    if (label == WideNamePool::instance().emptyName()) return R::kGoOn;
    if (BulletObjectManager* objects = runtimeObjectManager()) objects->targetRevenge(label);
    return R::kGoOn;
}

std::int32_t execTargetVanish(R& runtime, std::int32_t) {
    const NameHandle label = runtime.getCurrentNode()->getLabel();
    if (label == WideNamePool::instance().emptyName()) return R::kGoOn;
    if (BulletObjectManager* objects = runtimeObjectManager()) objects->targetVanish(label);
    return R::kGoOn;
}

std::int32_t execSetReflect(R& runtime, std::int32_t) {
    const std::int32_t flag = intChild(runtime, kFlag);
    const std::int32_t num = intChild(runtime, kNum);
    if (flag == 0) return R::kGoOn;
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kGoOn;
    const float w = object->getWidth();
    const float h = object->getHeight();
    float left = -w, top = -h, right = 0.0f, bottom = 0.0f;
    constexpr std::int32_t kCornerMode = 5;
    if (flag & 1) {
        left = 0.0f;
        object->applyCornerBounds(0, 1, kCornerMode);
    }
    if (flag & 2) {
        right = -w;
        object->applyCornerBounds(0, 0, kCornerMode);
    }
    if (flag & 4) {
        top = 0.0f;
        object->applyCornerBounds(1, 1, kCornerMode);
    }
    if (flag & 8) {
        bottom = -h;
        object->applyCornerBounds(1, 0, kCornerMode);
    }
    constexpr std::uint8_t kReflectEdges = 3;
    object->setEdgeMode(kReflectEdges);
    object->setReflectCount(num);
    object->setReflectOption(static_cast<std::uint8_t>(flag));
    // The field limits that "system" "setminrx" .. "setmaxry" set.
    static const NameHandle minrx = internName("_minrx"), maxrx = internName("_maxrx");
    static const NameHandle minry = internName("_minry"), maxry = internName("_maxry");
    object->setFieldRangeX(getVar(minrx), getVar(maxrx));
    object->setFieldRangeY(getVar(minry), getVar(maxry));
    object->setEdgeBoundsMax(right, bottom);
    object->setEdgeBoundsMin(left, top);
    return R::kGoOn;
}

std::int32_t execAddItem(R& runtime, std::int32_t) {
    const std::int32_t flag = intChild(runtime, kFlag);
    const std::int32_t num = intChild(runtime, kNum);
    GameInfo* game = g_gameInfo;
    if (!game || num <= 0) return R::kGoOn;
    const float maxtension = game->getVar(itemNames().maxtension);
    std::int32_t passes = num;
    if (passes > kMaxItemPasses) {
        logLine("additem の num " + std::to_string(num) + " を " + std::to_string(kMaxItemPasses) +
                " 回に制限しました");
        passes = kMaxItemPasses;
    }
    // Other flags grant nothing, however many passes.
    if (flag < 1 || flag > 6) return R::kGoOn;
    for (std::int32_t i = 0; i < passes; ++i) addItemPass(*game, flag, maxtension);
    return R::kGoOn;
}

std::int32_t execTextBlock(R& runtime, std::int32_t) {
    GameInfo* game = g_gameInfo;
    const NameHandle label = runtime.getCurrentNode()->getLabel();
    std::int32_t id = 0;
    if (!textIdOf(label, id)) {
        logLine("textblock のラベル \"" + text::cp932ToUtf8(text::narrow(wideNameText(label))) +
                "\" は整数ではありません");
        return R::kGoOn;
    }
    if (!game) return R::kGoOn;
    if (id == 0) {
        game->setTextBlockActive(0);
        return R::kGoOn;
    }
    const std::uint32_t key = static_cast<std::uint32_t>(id);
    ReplayManager* replay = g_replayManager;
    if (replay && replay->getMode() == ReplayManager::kPlayBack) {
        // Play back: what this play had read; the sets stay as they are.
        game->setTextBlockActive(game->isTextReadThisPlay(key));
        return R::kGoOn;
    }
    const bool read = game->isTextRead(key) != 0;
    const bool skipOn = g_systemInfo && g_systemInfo->getReadSkipEnable() != 0;
    game->setTextBlockActive(skipOn && read ? 1 : 0);
    game->addReadText(key);
    return R::kGoOn;
}

}  // namespace handlers
