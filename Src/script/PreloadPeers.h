// What a loaded document's preload asks of the managers above the script
// language: the texture manager's flag words, the sprite managers, the
// sound-object manager's tracks. The document lists its requests; the peer
// carries them out, so the script language includes none of those managers.
#pragma once
#include <cstdint>
#include <vector>

#include "services/NamePool.h"

// One resource a document asks to have loaded before its first frame.
struct PreloadRequest {
    enum Kind {
        kTextureFlag,    // the texture flag word of `file` at the texture manager
        kSpriteManager,  // the sprite manager of `file`, its sprites inactive
        kSoundTrack,     // `file` loaded by the sound-object manager as kind 1045 ("raw")
    };
    Kind kind;
    NameHandle file;
    std::uint32_t flag = 0;
    // kSoundTrack: the type of the node's "file" child.
    std::int32_t fileType = 0;

    bool operator==(const PreloadRequest&) const = default;
};

class PreloadPeers {
public:
    virtual ~PreloadPeers() = default;

    // Carries out `requests` in their order; the requests of a manager that
    // does not exist (the tools, a start-up that failed) are skipped.
    virtual void preload(const std::vector<PreloadRequest>& requests) = 0;

    // The peer in use: the installed one, else the managers' answers
    // (defined by the shell, which knows every manager).
    static PreloadPeers& current();
    static void install(PreloadPeers* peers);
    static PreloadPeers& managers();
};
