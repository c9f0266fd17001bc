#include "objects/CollisionPass.h"

#include <algorithm>

#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"
#include "objects/CollisionVarNames.h"
#include "objects/ShotEnemyGrid.h"
#include "records/GameInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "services/Truncate.h"

namespace {
using collision_vars::names;

constexpr std::int32_t kPrateLimit = 1000000;
constexpr std::uint32_t kRevenge = object_flag::kRevenge;
constexpr std::uint32_t kPlayerHitFlags = 0x500;  // revenge mode and 0x400

std::uint32_t systemSwitch(std::uint32_t (SystemInfo::*getter)() const) {
    const SystemInfo* system = g_systemInfo;
    return system ? (system->*getter)() : 0;
}

bool isEnemyKind(std::uint8_t kind) {
    return kind == object_kind::kEnemy || kind == object_kind::kGroundEnemy || kind == object_kind::kBulletEnemy;
}

bool inRevenge(BulletObject& object) { return (object.getFlags() & kRevenge) != 0; }

// Walks a list front to back.
template <typename Step>
void forEach(IntBulletObjectManager* list, Step step) {
    for (BulletObject* object = list->front(); object; object = IntBulletObjectManager::next(object)) {
        if (!step(*object)) break;
    }
}
}  // namespace

bool CollisionPass::begin(CollisionPass& pass) {
    pass.manager_ = g_bulletObjectManager;
    pass.game_ = g_gameInfo;
    pass.frames_ = g_frameCounter;
    if (!pass.manager_ || !pass.game_) return false;
    BulletObject* player = pass.manager_->getPlayer();
    pass.player_ = player && !player->isReleased() ? player : nullptr;
    // No script runs inside the pass, so the stage cannot change during it.
    pass.stageNum_ = truncateToInt32(pass.game_->getVar(names().stageNum));
    return true;
}

// ---- selection tests ----

bool CollisionPass::isLive(BulletObject& o) { return o.getState() == 0 && o.isActive() && !inRevenge(o); }

bool CollisionPass::isLiveShot(BulletObject& o) { return isLive(o) && o.isHitShapeInField(); }

bool CollisionPass::isHittableEnemy(BulletObject& o) {
    return isLive(o) && isEnemyKind(o.getKind()) && o.getInvincibleFrames() <= 0 && o.isHitShapeInField();
}

bool CollisionPass::isBombableEnemy(BulletObject& o) {
    return isLive(o) && isEnemyKind(o.getKind()) && o.isHitShapeInField();
}

bool CollisionPass::isHittingBullet(BulletObject& o) {
    return isLive(o) && o.getKind() == object_kind::kBullet && o.getInvincibleFrames() <= 0;
}

bool CollisionPass::isGrazableBullet(BulletObject& o) { return isHittingBullet(o) && o.getBuzzCount() > 0; }

bool CollisionPass::isGrazableEnemy(BulletObject& o) {
    return o.getVital() != 0.0f && isLive(o) && o.getInvincibleFrames() <= 0 && o.getBuzzCount() > 0;
}

bool CollisionPass::isCollectableItem(BulletObject& o) { return isLive(o) && o.getInvincibleFrames() <= 0; }

// ---- shared actions ----

float CollisionPass::var(std::uint32_t name) const { return game_->getVar(name); }
void CollisionPass::setVar(std::uint32_t name, float value) { game_->setVar(name, value); }
void CollisionPass::incVar(std::uint32_t name) { game_->incVar(name); }

void CollisionPass::destroyEnemy(BulletObject& enemy) {
    enemy.addFlags(kRevenge);
    game_->addScore(static_cast<std::uint32_t>(enemy.getScore()));
    setVar(names().lastEnemyCx, enemy.getX());
    setVar(names().lastEnemyCy, enemy.getY());
}

void CollisionPass::wound(BulletObject& object) {
    if (object.isDamageRuntimeRunning()) return;
    object.setDamageArmed(1);
    object.restartDamageRuntime();
}

void CollisionPass::restartTop(BulletObject* top) {
    // A top object the game start did not make (or that is gone) is skipped;
    // the rest of the response still happens.
    if (!top || top->isReleased()) return;
    top->restartMainRuntime();
    top->setRuntimeActive(1);
}

BulletObject* CollisionPass::vulnerablePlayer(bool hits) const {
    BulletObject* player = player_;
    if (!player || inRevenge(*player) || player->getInvincibleFrames() > 0) return nullptr;
    if (player->getFlags() & object_flag::kCollecting) return nullptr;
    if (hits && systemSwitch(&SystemInfo::getNoDamage) != 0) return nullptr;
    return player;
}

BulletObject* CollisionPass::collectingPlayer() const {
    BulletObject* player = player_;
    if (!player) return nullptr;
    const std::int32_t window = truncateToInt32(var(names().ttcItemFrame));
    const std::uint32_t magic = frames_ ? frames_->getMagicFrames() : FrameCounter::kExpiredFrames;
    if (inRevenge(*player) && magic >= static_cast<std::uint32_t>(window)) return nullptr;
    return player;
}

// ---- the ordinary pass ----

void runCollisionResponses() {
    CollisionPass pass;
    if (!CollisionPass::begin(pass)) return;
    GameInfo* game = g_gameInfo;
    if (game->getNamedVar("ignorecollision") != 0 || game->isPaused()) return;
    FrameCounter* frames = g_frameCounter;
    if (frames) frames->beginSection("CollisionObject");
    pass.checkGaugeMiss();
    pass.bombCollisions();
    pass.shotCollisions(false);
    pass.itemCollisions();
    pass.playerCollisions();
    pass.grazeCollisions();
    if (frames) frames->endSection("CollisionObject");
}

void CollisionPass::checkGaugeMiss() {
    if (game_->getPrate() < kPrateLimit && game_->getSpirit() >= 0) return;
    if (game_->isGameOver()) return;
    // Without a player only its flag is skipped: the play still ends.
    if (player_) player_->addFlags(kRevenge);
    if (frames_) {
        frames_->resetMissFrames();
        frames_->expireMagicFrames();
    }
    incVar(names().missCount);
    incVar(names().stageMissCount);
    triggerGameOver();
}

void CollisionPass::triggerGameOver() { endPlay(false); }

void CollisionPass::endPlay(bool clearLives) {
    if (game_->isGameOver() || systemSwitch(&SystemInfo::getNoGameOver) != 0) return;
    restartTop(manager_->getGameOverTop());
    game_->setPauseAllowed(0);
    if (frames_) frames_->resetDamageFrames();
    if (clearLives) setVar(names().life, 0.0f);
    game_->setGameOver(1);
}

// Which object a test is asked on matters only for rotated shapes against
// rotated shapes and for unknown codes. Every step asks the object of its
// outer loop: the bomb, the shot, the player (as for bullets on the player).
void CollisionPass::bombCollisions() {
    const std::int32_t fade = truncateToInt32(var(names().bulletRevengeFrame));
    IntBulletObjectManager* bullets = manager_->getBulletManager();
    IntBulletObjectManager* enemies = manager_->getEnemyManager();
    forEach(manager_->getBombManager(), [&](BulletObject& bomb) {
        forEach(bullets, [&](BulletObject& bullet) {
            if (isHittingBullet(bullet) && bomb.hitTest(bullet, stageNum_)) {
                bullet.addFlags(kRevenge);
                bullet.changeImageColor(0, fade);
                bullet.setCountdown(fade);
                bullet.setSpeed(0.0f);
                bullet.changeSpeed(0.0f, 1);
            }
            return true;
        });
        forEach(enemies, [&](BulletObject& enemy) {
            if (enemy.getVital() == 0.0f) {
                if ((enemy.getAttributeBits() & 2) && isBombableEnemy(enemy) && bomb.hitTest(enemy, stageNum_)) {
                    destroyEnemy(enemy);
                }
            } else if (enemy.getSharedVitalKey() == 0) {
                if (isHittableEnemy(enemy) && bomb.hitTest(enemy, stageNum_) && enemy.getVital() >= 0.0f) {
                    enemy.addVital(-bomb.getVital());
                    if (enemy.getVital() > 0.0f) {
                        wound(enemy);
                    } else {
                        destroyEnemy(enemy);
                    }
                }
            } else if (!inRevenge(enemy)) {
                // Shared hit points: no overlap test.
                if (manager_->getSharedVital(enemy.getSharedVitalKey()) > 0.0f) {
                    wound(enemy);
                } else {
                    destroyEnemy(enemy);
                }
            }
            return true;
        });
        return true;
    });
}

// Each live shot visits, in list order, the enemies with a shared vital and
// those its shape may overlap (ShotEnemyGrid): an enemy of neither kind
// would see no step of the walk act on it.
void CollisionPass::shotCollisions(bool alt) {
    IntBulletObjectManager* enemies = manager_->getEnemyManager();
    const bool switchable = game_->isPlayerSwitchable() != 0;
    std::int32_t liveShots = 0;
    // Main thread only; the storage stays for the next frames.
    static ShotEnemyGrid grid;
    grid.build(enemies, [](BulletObject& enemy) { return isHittableEnemy(enemy) && enemy.isBreakable() != 0; });
    forEach(manager_->getShotManager(), [&](BulletObject& shot) {
        if (!isLiveShot(shot)) return true;
        ++liveShots;
        for (BulletObject* near : grid.near(shot)) {
            BulletObject& enemy = *near;
            const std::uint32_t key = enemy.getSharedVitalKey();
            if (!inRevenge(enemy) && key != 0) {
                if (manager_->getSharedVital(key) <= 0.0f) {
                    destroyEnemy(enemy);
                    continue;
                }
                wound(enemy);
            }
            if (!(isHittableEnemy(enemy) && enemy.isBreakable() && shot.hitTest(enemy, stageNum_))) continue;
            const std::uint8_t enemyBits = enemy.getAttributeBits();
            const bool marked = (shot.getAttributeBits() & 1) != 0;
            // 0x10: not by marked shots; 0x20: only by marked shots (in
            // system type 3 also only while the player may be switched).
            if ((enemyBits & 0x10) && marked) continue;
            if ((enemyBits & 0x20) && !(marked && (!alt || switchable))) continue;
            if (key == 0) {
                if (enemy.getVital() >= 0.0f) {
                    // Subtracted with its sign: a negative shot heals.
                    enemy.addVital(-shot.getVital());
                    if (enemy.getVital() > 0.0f) {
                        wound(enemy);
                    } else {
                        destroyEnemy(enemy);
                    }
                }
            } else {
                manager_->addSharedVital(key, -shot.getVital());
                if (manager_->getSharedVital(key) > 0.0f) {
                    wound(enemy);
                } else {
                    destroyEnemy(enemy);
                }
            }
            if (shot.isBreakable()) {
                shot.addFlags(kRevenge);
                shot.setSpeed(0.0f);
                break;
            }
            wound(shot);
        }
        return true;
    });
    if (liveShots != 0) return;
    forEach(enemies, [&](BulletObject& enemy) {
        const std::uint32_t key = enemy.getSharedVitalKey();
        if (key != 0 && isHittableEnemy(enemy)) {
            if (manager_->getSharedVital(key) <= 0.0f) {
                destroyEnemy(enemy);
            } else {
                wound(enemy);
            }
        }
        return true;
    });
}

void CollisionPass::itemCollisions() {
    BulletObject* player = collectingPlayer();
    if (!player) return;
    forEach(manager_->getItemManager(), [&](BulletObject& item) {
        if (!(isCollectableItem(item) && player->hitTest(item, stageNum_))) return true;
        item.addFlags(kRevenge);
        const std::int32_t score = item.getScore();
        switch (item.getKind()) {
            case 10: {
                const float maxTension = var(names().maxTension);
                game_->incECrystal2();
                game_->incECrystal1();
                game_->addPrate(truncateToInt32(item.getPrateRate()));
                game_->addSpirit(item.getExtraWord(0));
                if (game_->getECrystal1() >= game_->getMaxCrystal()) {
                    game_->setECrystal1(0);
                    if (var(names().tension) < maxTension) {
                        incVar(names().tension);
                        restartTop(manager_->getTensionUpTop());
                    }
                }
                break;
            }
            case 11:
                game_->incItemCount(2);
                break;
            case 13:
                game_->incItemCount(4);
                if (var(names().tension) < var(names().maxTension)) {
                    incVar(names().tension);
                    if (var(names().tension) >= var(names().maxTension)) game_->setECrystal1(0);
                }
                break;
            case 14: {
                const std::int32_t maxLife = truncateToInt32(var(names().maxLife));
                const std::int32_t life = truncateToInt32(var(names().life));
                if (maxLife < 9) {
                    if (life == maxLife) incVar(names().maxLife);
                    incVar(names().life);
                }
                break;
            }
            case 15:
                game_->incItemCount(6);
                break;
            case 16:
                game_->addPrate(truncateToInt32(item.getPrateRate()));
                break;
            default:  // 12, 17 and kinds outside the items: the score only
                break;
        }
        game_->addScore(static_cast<std::uint32_t>(score));
        return true;
    });
}

void CollisionPass::playerCollisions() {
    BulletObject* player = vulnerablePlayer(true);
    if (!player) return;
    bool hit = false;
    forEach(manager_->getBulletManager(), [&](BulletObject& bullet) {
        if (isHittingBullet(bullet) && player->hitTest(bullet, stageNum_)) hit = true;
        return !hit;
    });
    // The first hitting bullet alone causes the miss.
    if (hit) playerMiss();
    if (inRevenge(*player)) return;
    hit = false;
    forEach(manager_->getEnemyManager(), [&](BulletObject& enemy) {
        if (isHittableEnemy(enemy) && player->hitTest(enemy, stageNum_)) hit = true;
        return !hit;
    });
    if (hit) playerMiss();
}

void CollisionPass::playerMiss() {
    const std::int32_t cost = truncateToInt32(var(names().autoMagicSpirit));
    const std::int64_t left = static_cast<std::int64_t>(game_->getSpirit()) - cost;
    game_->setSpirit(static_cast<std::int32_t>(std::clamp<std::int64_t>(left, INT32_MIN, INT32_MAX)));
    game_->setECrystal2(0);
    if (game_->getSpirit() < 0) {
        triggerGameOver();
        if (player_) player_->addFlags(kRevenge);
        if (frames_) frames_->expireMagicFrames();
    } else {
        if (player_) player_->addFlags(kPlayerHitFlags);
        // The automatic bomb.
        restartTop(manager_->getBomb2Top());
        manager_->flagAroundPlayer();
        manager_->collectAllItems();
        if (frames_) {
            frames_->resetMagicFrames();
            frames_->resetMissFrames();
        }
    }
    incVar(names().missCount);
    incVar(names().stageMissCount);
    game_->setGroupScoreFlag(0);
}

void CollisionPass::grazeCollisions() {
    BulletObject* player = vulnerablePlayer(false);
    if (!player) return;
    const std::int32_t score = truncateToInt32(var(names().buzzScore));
    auto graze = [&](BulletObject& object) {
        object.decBuzzCount();
        game_->addBuzz(1);
        game_->addScore(static_cast<std::uint32_t>(score));
        if (frames_) frames_->resetGrazeFrames();
    };
    forEach(manager_->getBulletManager(), [&](BulletObject& bullet) {
        if (isGrazableBullet(bullet) && player->buzzTest(bullet, stageNum_)) graze(bullet);
        return true;
    });
    forEach(manager_->getEnemyManager(), [&](BulletObject& enemy) {
        if (isGrazableEnemy(enemy) && player->buzzTest(enemy, stageNum_)) graze(enemy);
        return true;
    });
}
