// The sound commands: sound objects made from "sound" definitions, the
// commands of a sound object's own script ("track", "play", "changevolume"),
// volume fades, track preloading and the direct-play voice lines.
#include "objects/DSoundObject.h"
#include "objects/DSoundObjectManager.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/Truncate.h"
#include "sound/DSoundTrack.h"
#include "sound/SoundDecoder.h"

namespace {
using R = ExBulletML_Runtime;

constexpr const char* kSource = "ExBulletML_Runtime_Sound";

std::int32_t intChild(R& runtime, std::int32_t id) { return truncateToInt32(runtime.evalChild(id)); }

const std::string& fileNameOf(const R& runtime) { return nameText(runtime.getCurrentNode()->getFileName()); }

// The sound object the running script belongs to; a warning line with the
// command's line number when there is none.
DSoundObject* currentSoundObject(int warningLine) {
    DSoundObject* object = g_dsoundObjectManager ? g_dsoundObjectManager->getCurrentObject() : nullptr;
    if (!object) logNullPointerWarning(kSource, warningLine);
    return object;
}

// A sound object for the definition `definition`, labelled `label`, whose
// main script starts there (through the reference's parameters when one is
// given); null when the label already made one this frame or a pool is empty.
DSoundObject* createFromDefinition(R& runtime, BulletML_Node* definition, NameHandle label,
                                   BulletML_Node* reference = nullptr) {
    DSoundObjectManager* sound = g_dsoundObjectManager;
    if (!sound || !definition) return nullptr;
    DSoundObject* object = sound->createFromDefinition(label);
    if (!object) return nullptr;
    R* script = reference ? runtime.spawnRefRuntime(definition, reference) : runtime.spawnChild(definition);
    if (!script) {
        // No runtime to be had: an object without its script would never
        // end; it finishes at the next sweep instead.
        object->setState(1);
        return nullptr;
    }
    script->setStarted(1);
    object->setMainRuntime(script);
    object->setWideName(label);
    const std::int32_t channel =
        definition->getChildType(kSound) == kTypeBgm ? kSoundChannelMusic : kSoundChannelEffects;
    object->setChannel(channel);
    object->setChannelVolume(sound->getChannelVolume(channel));
    return object;
}

// The definition's own script reaching its "sound" or "soundtrack" node: it
// goes on into the children.
bool enterOwnDefinition(R& runtime) {
    if (!runtime.getRestartFlag()) return false;
    runtime.setRestartFlag(0);
    runtime.restartNode();
    return true;
}
}  // namespace

namespace handlers {

std::int32_t sound(R& runtime, std::int32_t) {
    if (enterOwnDefinition(runtime)) return R::kGoOn;
    BulletML_Node* node = runtime.getCurrentNode();
    createFromDefinition(runtime, node, node->getLabel());
    // The children are the new object's script, not this one's.
    return R::kLeave;
}

std::int32_t soundRef(R& runtime, std::int32_t) {
    BulletML_Node* node = runtime.getCurrentNode();
    if (!createFromDefinition(runtime, node->getRefTarget(), node->getLabel(), node)) return R::kLeave;
    return R::kGoOn;
}

std::int32_t soundTrack(R& runtime, std::int32_t) {
    // The object's own script starts at this node: it runs the children
    // rather than making another object (which, in the first frames where
    // the start gate is open, would make one more every time).
    if (enterOwnDefinition(runtime)) return R::kGoOn;
    DSoundObjectManager* sound = g_dsoundObjectManager;
    if (!sound) return R::kLeave;
    BulletML_Node* node = runtime.getCurrentNode();
    const std::string& name = fileNameOf(runtime);
    if (!sound->canStartTrack(name)) return R::kGoOn;
    DSoundObject* object = createFromDefinition(runtime, node, node->getLabel());
    if (!object) return R::kLeave;
    if (FAILED(sound->loadSound(name, kSoundKindRaw, object))) {
        object->setState(1);
        return R::kGoOn;
    }
    object->getTrack()->setLoop(0);
    object->setVolume(0);
    object->getTrack()->play();
    return R::kGoOn;
}

std::int32_t track(R& runtime, std::int32_t) {
    DSoundObject* object = currentSoundObject(284);
    if (!object) return R::kGoOn;
    if (FAILED(g_dsoundObjectManager->loadSound(fileNameOf(runtime), kSoundKindRaw, object))) {
        object->setState(1);
        runtime.clearCurrentNode();
        return R::kYield;
    }
    return R::kGoOn;
}

std::int32_t play(R& runtime, std::int32_t) {
    DSoundObject* object = currentSoundObject(320);
    if (!object) return R::kGoOn;
    DSoundTrack* track = object->getTrack();
    if (!track) return R::kGoOn;
    const std::int32_t flag = intChild(runtime, kFlag);
    const std::int32_t loop = intChild(runtime, kLoop);
    if (flag != 0) {
        track->setLoop(1);
        track->setLoopStart(static_cast<std::uint32_t>(loop));
    } else {
        track->setLoop(0);
    }
    object->setVolume(0);
    track->play();
    return R::kGoOn;
}

std::int32_t changeVolume(R& runtime, std::int32_t) {
    DSoundObject* object = currentSoundObject(406);
    if (!object) return R::kGoOn;
    object->fadeVolume(intChild(runtime, kNum), intChild(runtime, kTerm));
    return R::kGoOn;
}

std::int32_t changeAllVolume(R& runtime, std::int32_t) {
    if (DSoundObjectManager* sound = g_dsoundObjectManager) {
        sound->fadeAllVolume(intChild(runtime, kNum), intChild(runtime, kTerm));
    }
    return R::kGoOn;
}

std::int32_t changeTargetVolume(R& runtime, std::int32_t) {
    if (DSoundObjectManager* sound = g_dsoundObjectManager) {
        sound->fadeVolumeByLabel(intChild(runtime, kNum), intChild(runtime, kTerm),
                                 runtime.getCurrentNode()->getLabel());
    }
    return R::kGoOn;
}

std::int32_t preloadTrack(R& runtime, std::int32_t) {
    DSoundObjectManager* sound = g_dsoundObjectManager;
    if (!sound) return R::kGoOn;
    std::string file = fileNameOf(runtime);
    std::uint32_t kind = kSoundKindOgg;
    switch (runtime.getCurrentNode()->getChildType(kFile)) {
        case kTypeWav:
            file += ".wav";
            kind = kSoundKindWav;
            break;
        case kTypeRaw:
            file += ".raw";
            kind = kSoundKindRaw;
            break;
        default:
            file += ".ogg";
            break;
    }
    DSoundObject* object = sound->createObject();
    sound->loadSoundPrefixed(file, kind, object);
    // The track stays with the sound manager; the object goes.
    if (object) object->setState(1);
    return R::kGoOn;
}

std::int32_t playSoundDirect(R& runtime, std::int32_t) {
    DSoundObjectManager* sound = g_dsoundObjectManager;
    if (!sound) return R::kGoOn;
    DSoundObject* previous = sound->getDirectObject(0);
    if (g_gameInfo && g_gameInfo->isSkipPressed()) {
        // Skipping: the voice playing stops, no other starts.
        if (previous) previous->setState(1);
        if (DSoundTrack* track = sound->getDirectTrack(0)) track->stop();
        return R::kGoOn;
    }
    const std::string file = "v\\" + fileNameOf(runtime);
    if (previous) previous->setState(1);
    DSoundObject* object = sound->createDirectObject(0);
    if (!object) return R::kGoOn;
    object->setChannel(kSoundChannelVoice);
    object->setChannelVolume(sound->getChannelVolume(kSoundChannelVoice));
    // The direct track goes with a music clearing once it held a long voice:
    // a new one takes its place.
    DSoundTrack* track = sound->getDirectTrack(0);
    if (!track) track = sound->createDirectTrack(kSoundKindOgg);
    object->setTrack(track);
    track->resetPosition();
    track->restart(file);
    track->setLoop(0);
    track->play();
    object->setVolume(0);
    return R::kGoOn;
}

std::int32_t stopSoundDirect(R&, std::int32_t) {
    DSoundObjectManager* sound = g_dsoundObjectManager;
    if (!sound) return R::kGoOn;
    if (DSoundObject* object = sound->getDirectObject(0)) object->setState(1);
    if (DSoundTrack* track = sound->getDirectTrack(0)) track->stop();
    return R::kGoOn;
}

}  // namespace handlers
