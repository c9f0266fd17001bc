// What the script runtime reads of managers that live above it or do not
// exist yet: sound levels, the input object, the ranking client, the player
// logic's slow-mode counter. The runtime asks through this one interface, so
// a manager that is missing reads as absent and tests stand in for all of
// them (install a recording peer, then put back null).
#pragma once
#include <cstdint>

class RuntimePeers {
public:
    virtual ~RuntimePeers() = default;

    // Volume level 0..5 of a sound channel (0 effects, 1 music, 2 voice).
    virtual std::int32_t volumeLevel(std::int32_t channel) = 0;
    // The input object's working assignment of button 0..11.
    virtual std::int32_t keyAssign(std::int32_t button) = 0;
    // Whether the input object exists.
    virtual bool inputExists() = 0;
    // The input object's key query of virtual key `key` (100..103: the
    // directions); non-zero while held.
    virtual std::int32_t keyState(std::int32_t key) = 0;
    // The ranking client's state.
    virtual bool networkConnected() = 0;
    virtual bool networkBusy() = 0;
    virtual bool networkOffline() = 0;
    // The player logic's slow-mode counter.
    virtual std::int32_t slowModeCounter() = 0;

    // The peer in use: the installed one, else the managers' answers
    // (defined by the shell, which knows every manager).
    static RuntimePeers& current();
    static void install(RuntimePeers* peers);
    static RuntimePeers& managers();
};
