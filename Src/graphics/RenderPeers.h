// What the frame's drawing reads of the world above it: whether pause objects
// exist (text textures advance by the pause state) and, for the debug
// overlay, the player's corner and the object, menu and sound counts. The
// drawing asks through this one interface, so a manager that is missing reads
// as absent and graphics includes none of the world's managers.
#pragma once
#include <cstdint>
#include <optional>

// The world's figures the debug overlay shows; there are none without a
// player object.
struct DebugWorldFacts {
    float playerLeft = 0.0f;
    float playerTop = 0.0f;
    std::uint32_t objectCount = 0;
    std::int32_t selectableWaitFlag = 0;
    std::uint32_t soundObjectCount = 0;
    std::uint32_t soundTrackCount = 0;
};

class RenderPeers {
public:
    virtual ~RenderPeers() = default;

    // The number of pause objects; nothing without an object manager.
    virtual std::optional<std::uint32_t> pauseObjectCount() = 0;
    // Whether the object manager exists and holds a player object.
    virtual bool playerExists() = 0;
    // The overlay's figures; nothing without a player object.
    virtual std::optional<DebugWorldFacts> debugWorldFacts() = 0;

    // The peer in use: the installed one, else the managers' answers
    // (defined by the shell, which knows every manager).
    static RenderPeers& current();
    static void install(RenderPeers* peers);
    static RenderPeers& managers();
};
