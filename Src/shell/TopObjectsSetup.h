// The game reset's top objects: one script object per fixed label, made
// afresh at every reset and kept in the object manager's top-object set.
#pragma once
#include <string_view>

class BulletObject;

// A plain object whose main runtime starts at the "action" labelled `label`
// of the current document, named with the label. A missing label leaves the
// object with a runtime that runs nothing. Null when the object or runtime
// pool is empty (nothing is kept then).
BulletObject* createTopObject(std::u16string_view label);
// Inactive, still, facing 0, its script stopped.
void hideTopObject(BulletObject* object);
// Every top object, in the fixed order: the player's, the root, the shots,
// pause, game over, option, the two bombs and the tension-up effect.
void createTopObjects();
