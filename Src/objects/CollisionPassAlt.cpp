// The collision pass of system type 3: the player has vital and lives, hits
// cost vital, an emptied vital costs a life, and items have their own table.
#include <algorithm>

#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"
#include "objects/CollisionPass.h"
#include "objects/CollisionVarNames.h"
#include "records/GameInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/Truncate.h"

namespace {
using collision_vars::names;

constexpr std::uint32_t kRevenge = object_flag::kRevenge;
// Frames after a magic during which, with weapon type 0, only objects with
// attribute bit 0x10 hit the player.
constexpr std::uint32_t kMagicShieldFrames = 300;
constexpr float kEnemyContactDamage = 2.0f;
constexpr float kFullVital = 100.0f;
constexpr std::int32_t kMaxPower = 4;
constexpr std::int32_t kPowerItems = 2;
}  // namespace

void runCollisionResponsesAlt() {
    CollisionPass pass;
    if (!CollisionPass::begin(pass)) return;
    GameInfo* game = g_gameInfo;
    if (game->getNamedVar("ignorecollision") != 0 || game->isPaused() || game->getCutinMode() == 1) return;
    FrameCounter* frames = g_frameCounter;
    if (frames) frames->beginSection("CollisionObject");
    if (game->isPlayerMoveEnabled()) {
        pass.bombCollisions();
        pass.shotCollisions(true);
    }
    pass.itemCollisionsAlt();
    pass.playerCollisionsAlt();
    pass.grazeCollisions();
    if (frames) frames->endSection("CollisionObject");
}

bool CollisionPass::recentMagicShield() const {
    const std::uint32_t magic = frames_ ? frames_->getMagicFrames() : FrameCounter::kExpiredFrames;
    return magic < kMagicShieldFrames && truncateToInt32(var(names().weaponType)) == 0;
}

bool CollisionPass::isHittingBulletAlt(BulletObject& o) const {
    if (!isHittingBullet(o)) return false;
    return !recentMagicShield() || (o.getAttributeBits() & 0x10) != 0;
}

bool CollisionPass::isHittableEnemyAlt(BulletObject& o) const {
    const std::uint8_t kind = o.getKind();
    if (!(isLive(o) && (kind == object_kind::kEnemy || kind == object_kind::kGroundEnemy ||
                        kind == object_kind::kBulletEnemy) &&
          o.isHitShapeInField())) {
        return false;
    }
    return !recentMagicShield() || (o.getAttributeBits() & 0x10) != 0;
}

void CollisionPass::playerCollisionsAlt() {
    BulletObject* player = vulnerablePlayer(true);
    if (!player) return;
    BulletObject* hitBy = nullptr;
    for (BulletObject* b = manager_->getBulletManager()->front(); b; b = IntBulletObjectManager::next(b)) {
        if (isHittingBulletAlt(*b) && player->hitTest(*b, stageNum_)) {
            hitBy = b;
            break;
        }
    }
    // The bullet's own vital is the damage (a vital of -1 heals by 1).
    if (hitBy) playerHitAlt(hitBy->getVital());
    if (player->getFlags() & kRevenge) return;
    for (BulletObject* e = manager_->getEnemyManager()->front(); e; e = IntBulletObjectManager::next(e)) {
        if (isHittableEnemyAlt(*e) && player->hitTest(*e, stageNum_)) {
            playerHitAlt(kEnemyContactDamage);
            return;
        }
    }
}

void CollisionPass::playerHitAlt(float damage) {
    BulletObject* player = player_;
    if (!player) return;
    player->addVital(-damage);
    if (player->getVital() > 0.0f) {
        if (!player->isDamageRuntimeRunning()) {
            player->setDamageArmed(1);
            player->restartDamageRuntime();
            player->setInvincibleFrames(truncateToInt32(var(names().playerDamageInv)));
        }
        return;
    }
    game_->decVar(names().life);
    if (var(names().life) <= 0.0f) triggerGameOverAlt();
    player->addFlags(kRevenge);
    if (frames_) {
        frames_->resetMissFrames();
        frames_->expireMagicFrames();
    }
    incVar(names().missCount);
    incVar(names().stageMissCount);
    game_->setGroupScoreFlag(0);
    game_->setItemCount(3, 0);
    const std::int32_t power = game_->getItemCount(kPowerItems);
    game_->setItemCount(kPowerItems, power > 1 ? power - 1 : 0);
}

void CollisionPass::triggerGameOverAlt() { endPlay(true); }

void CollisionPass::itemCollisionsAlt() {
    BulletObject* player = collectingPlayer();
    if (!player) return;
    for (BulletObject* item = manager_->getItemManager()->front(); item; item = IntBulletObjectManager::next(item)) {
        if (!(isCollectableItem(*item) && player->hitTest(*item, stageNum_))) continue;
        item->addFlags(kRevenge);
        const auto score = static_cast<std::uint32_t>(item->getScore());
        switch (item->getKind()) {
            case 10:
            case 17:
                game_->incECrystal1();
                break;
            case 11:
                game_->incItemCount(kPowerItems);
                if (game_->getItemCount(kPowerItems) > kMaxPower) {
                    game_->setItemCount(kPowerItems, kMaxPower);
                    game_->addScore(score);
                }
                break;
            case 12:
                game_->addScore(score);
                break;
            case 13:
                game_->addMpoint(item->getVital());
                break;
            case 14:
                if (player->getVital() >= kFullVital) {
                    game_->addScore(score);
                } else {
                    player->addVital(item->getVital());
                    if (player->getVital() >= kFullVital) player->setVital(kFullVital);
                }
                break;
            case 15:
                game_->incItemCount(6);
                break;
            case 16:
                game_->addPrate(truncateToInt32(item->getPrateRate()));
                break;
            default:  // kinds outside the items: picked up, nothing more
                break;
        }
    }
}
