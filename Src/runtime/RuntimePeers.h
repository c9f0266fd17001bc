// What the script runtime reads of managers that live above it: sound
// levels, the input object, the ranking client, the player logic's slow-mode
// counter. The runtime asks through this one interface, so
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

    // What the game commands ("system", "sysvar", "network") ask of the
    // sound, input, network, texture, sprite and mesh managers. Each answers
    // whether the manager exists; an absent one does nothing. These default
    // to the absent answer, so a peer written before them stays valid.
    virtual bool soundPauseAll() { return false; }
    virtual bool soundResumeAll() { return false; }
    virtual bool soundVanishAll() { return false; }
    virtual bool soundClearBgm() { return false; }
    // DSoundObjectManager::setVolumeLevel: `inForce` gets the level now in
    // force; without the manager, the level clamped to 0..5 (what the
    // manager would answer).
    virtual bool soundSetVolumeLevel(std::int32_t level, std::int32_t channel, std::int32_t& inForce);
    virtual bool inputResetReplayReader() { return false; }
    virtual bool inputSetKeyEnabled(std::int32_t) { return false; }
    virtual bool inputClearKeyState() { return false; }
    virtual bool inputSaveKeyConfig() { return false; }
    virtual bool inputClearKeyConfig() { return false; }
    virtual bool networkExists() { return false; }
    virtual void networkRequest(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
    virtual void networkRequestEx(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                  std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
    virtual bool texturePurgeMarked() { return false; }
    virtual bool spritePurgeMarked() { return false; }
    virtual bool meshClearAll() { return false; }

    // The peer in use: the installed one, else the managers' answers
    // (defined by the shell, which knows every manager).
    static RuntimePeers& current();
    static void install(RuntimePeers* peers);
    static RuntimePeers& managers();
};
