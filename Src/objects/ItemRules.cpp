// Item rules of the object manager: flagging objects around the player,
// turning flagged objects into items, calling items to the player.
#include "objects/BulletObjectManager.h"

void BulletObjectManager::flagAroundPlayer() {}

void BulletObjectManager::collectAllItems() {}
