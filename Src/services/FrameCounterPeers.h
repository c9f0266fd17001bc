// What the frame counter reads of other managers: the device's vsync switch
// and whether its retrace gives 60 frames a second, the replay manager's mode
// and speed, the game records' pause state, stage number and dropped-frame
// count, and the player object's centre. The frame counter asks through this
// one interface so that a manager that does not exist reads as absent and
// tests can stand in for all of them.
#pragma once
#include <cstdint>
#include <optional>

#include "services/NamePool.h"

struct ReplayState {
    std::int32_t mode = 0;   // 1 = playing back
    std::int32_t speed = 1;  // playback speed as the replay manager holds it
    bool active = false;     // a replay is being recorded or played
};

struct PlayerCentre {
    float x = 0.0f;
    float y = 0.0f;
};

class FrameCounterPeers {
public:
    virtual ~FrameCounterPeers() = default;

    // The device's vsync switch: present on the vertical retrace.
    virtual bool deviceVsync() = 0;
    // True when presenting on the retrace paces the game at 60 frames a
    // second (a 60 Hz display that honours the swap interval). Otherwise the
    // frame counter paces frames itself.
    virtual bool retraceGives60Hz() = 0;
    // The replay manager's state; nothing while it does not exist.
    virtual std::optional<ReplayState> replay() = 0;

    virtual bool gameInfoExists() = 0;
    // A game variable by pooled name (0.0 without game records).
    virtual float gameVariable(NameHandle name) = 0;
    virtual void countDroppedFrame() = 0;
    virtual bool gamePaused() = 0;

    // The player object's centre; nothing while there is no player object.
    virtual std::optional<PlayerCentre> playerCentre() = 0;

    // The answers of the managers reached through their process-wide pointers.
    // Defined by the shell (FrameCounterManagerPeers.cpp), the one place that
    // knows every manager, so the frame counter includes none of them.
    static FrameCounterPeers& managers();
};
