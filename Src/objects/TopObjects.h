// The game's top objects: the script objects a game reset makes from the
// fixed labels "player_top", "top", "shot_1_top" and the rest, each held
// through an ObjectRef so that the player logic, the collision passes and the
// script commands can reach them by name for the whole scene (and read a
// dead one's last values safely). The object manager owns one set.
#pragma once
#include <cstddef>

#include "objects/ObjectRef.h"

enum class TopObject : std::size_t {
    kPlayer,     // "player_top"
    kRoot,       // "top", the document's root action
    kShot1,      // "shot_1_top"
    kShot2,      // "shot_2_top"
    kPause,      // "pause_top"
    kGameOver,   // "gameover_top"
    kOption,     // "option_top"
    kBomb,       // "bomb_top"
    kBomb2,      // "bomb2_top"
    kTensionUp,  // "tensionup_top"
    kCount
};

class TopObjects {
public:
    static constexpr std::size_t kCount = static_cast<std::size_t>(TopObject::kCount);

    // The script label an entry is made from.
    static const char16_t* label(TopObject which);

    void set(TopObject which, BulletObject* object) { refs_[index(which)].reset(object); }
    BulletObject* get(TopObject which) const { return refs_[index(which)].get(); }
    // Lets go of every entry.
    void clear();

private:
    static std::size_t index(TopObject which) {
        const auto i = static_cast<std::size_t>(which);
        return i < kCount ? i : 0;
    }
    ObjectRef refs_[kCount];
};
