// The collision pass, once a frame after the object step: bombs cancel
// bullets and damage enemies, shots damage enemies, the player picks up
// items, bullets and enemies hit the player, the player grazes bullets and
// enemies. runCollisionResponses is the ordinary frame step's pass,
// runCollisionResponsesAlt the one of system type 3 (player vital and lives).
#pragma once
#include <cstdint>

class BulletObject;
class BulletObjectManager;
class FrameCounter;
class GameInfo;

void runCollisionResponses();
void runCollisionResponsesAlt();

// One run of the pass: the values read once per pass and its steps. No state
// outlives the run.
class CollisionPass {
public:
    // False when there is no object manager or no game record.
    static bool begin(CollisionPass& pass);

    // Steps of the ordinary pass, in the order they run.
    void checkGaugeMiss();
    void bombCollisions();
    void shotCollisions(bool alt);
    void itemCollisions();
    void playerCollisions();
    void grazeCollisions();
    void playerMiss();
    void triggerGameOver();

    // System type 3.
    void itemCollisionsAlt();
    void playerCollisionsAlt();
    void playerHitAlt(float damage);
    void triggerGameOverAlt();

    // Selection tests.
    static bool isLive(BulletObject& object);
    static bool isLiveShot(BulletObject& object);
    static bool isHittableEnemy(BulletObject& object);
    static bool isBombableEnemy(BulletObject& object);
    static bool isHittingBullet(BulletObject& object);
    static bool isGrazableBullet(BulletObject& object);
    static bool isGrazableEnemy(BulletObject& object);
    static bool isCollectableItem(BulletObject& object);
    // The type-3 player tests: shortly after a magic with weapon type 0 only
    // attribute bit 0x10 hits.
    bool isHittingBulletAlt(BulletObject& object) const;
    bool isHittableEnemyAlt(BulletObject& object) const;

private:
    // The game-over response; system type 3 also sets "life" to 0.
    void endPlay(bool clearLives);
    void destroyEnemy(BulletObject& enemy);
    static void wound(BulletObject& object);
    void restartTop(BulletObject* top);
    float var(std::uint32_t name) const;
    void setVar(std::uint32_t name, float value);
    void incVar(std::uint32_t name);
    // The player when it can be hit or graze (guards of the player steps;
    // "nodamage" only for hits).
    BulletObject* vulnerablePlayer(bool hits) const;
    // The gate of the item steps: the player, unless it is in revenge mode
    // past "ttcitemframe" frames since the last magic.
    BulletObject* collectingPlayer() const;
    bool recentMagicShield() const;

    BulletObjectManager* manager_ = nullptr;
    GameInfo* game_ = nullptr;
    FrameCounter* frames_ = nullptr;
    BulletObject* player_ = nullptr;
    std::int32_t stageNum_ = 0;
};
