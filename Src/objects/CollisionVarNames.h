// The game variables the collision pass reads and writes, interned once.
#pragma once
#include "services/NamePool.h"

namespace collision_vars {
struct Names {
    NameHandle stageNum = internName("stagenum");
    NameHandle bulletRevengeFrame = internName("bulletrevengeframe");
    NameHandle autoMagicSpirit = internName("automagic_spirit");
    NameHandle missCount = internName("misscount");
    NameHandle stageMissCount = internName("stagemisscount");
    NameHandle lastEnemyCx = internName("last_enemy_cx");
    NameHandle lastEnemyCy = internName("last_enemy_cy");
    NameHandle buzzScore = internName("buzzscore");
    NameHandle ttcItemFrame = internName("ttcitemframe");
    NameHandle tension = internName("tension");
    NameHandle maxTension = internName("maxtension");
    NameHandle life = internName("life");
    NameHandle maxLife = internName("maxlife");
    NameHandle playerDamageInv = internName("playerdamageinv");
    NameHandle weaponType = internName("weapontype");
};
inline const Names& names() {
    static const Names instance;
    return instance;
}
}  // namespace collision_vars
