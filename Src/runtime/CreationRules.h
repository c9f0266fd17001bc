// What the bullet and object creation commands share: reading a definition's
// values in the creating runtime, the firing-position and quiet-frame tests,
// the direction and speed by their types, and the end of a reference whose
// label was never defined.
#pragma once
#include <cstdint>

#include "objects/BulletObject.h"

class BulletML_Node;
class ExBulletML_Runtime;

namespace creation {

// A direction or speed: its type value and its number.
struct Motion {
    std::int32_t type;
    float value;
};

// The value of `definition`'s parameter child `id`, evaluated with the
// creating runtime's current parameters and object variables (0 without it).
double valueOf(ExBulletML_Runtime& runtime, const BulletML_Node* definition, std::int32_t id);
// The child's type (with the defaults of an absent type) and value.
Motion motionOf(ExBulletML_Runtime& runtime, const BulletML_Node* definition, std::int32_t id);

// True with system type 3: objects fire from any position.
bool firesFromAnywhere();
// True when the object may fire: inside its field, or any position with
// system type 3 (the field test inline: it is asked for every shot).
inline bool mayFireFrom(const BulletObject& firer) { return firer.isInsideField() || firesFromAnywhere(); }
// True on a quiet frame: fewer frames have passed since the player's last
// miss than "deathnobulletframe" or "ttcnobulletframe" ask.
bool isQuietFrame();

// The direction by its type: "absolute" as given, "relative" to the current
// object's, "sequence" from the runtime's previous shot, anything else aimed
// from (fromX, fromY) at the player's hit centre.
float directionOf(ExBulletML_Runtime& runtime, Motion direction, float fromX, float fromY);
// The speed by its type: "relative" to the current object's, "sequence" from
// the previous shot, else as given.
float speedOf(ExBulletML_Runtime& runtime, Motion speed);
// A shot not made still turns the runtime's sequence: the previous direction
// becomes the one it would have had, aimed from (fromX, fromY).
void advanceDirection(ExBulletML_Runtime& runtime, Motion direction, float fromX, float fromY);
// Gives the new object its direction (and type) then its speed, and records
// both as the runtime's previous shot.
void launch(ExBulletML_Runtime& runtime, BulletObject& object, Motion direction, Motion speed);
// Gives an object taken for a creation that cannot go on back to its list's
// removal (state 1) before it ever runs.
void giveBack(BulletObject& object);

// "ノード <label> が見つかりません", then the program ends (status 1).
[[noreturn]] void missingReference(const BulletML_Node* reference);

}  // namespace creation
