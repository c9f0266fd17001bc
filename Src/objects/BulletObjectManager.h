// Stand-in for the object manager, until the objects work brings the real
// one (which replaces this file): one list per creator, run in a fixed order
// by execBullet, the current object, the player, shared vitals and the
// runtime manager member. No pools, edge rules or collision.
#pragma once
#include <cstdint>
#include <map>

#include "objects/BulletObject.h"
#include "objects/IntBulletObjectManager.h"
#include "runtime/ExBulletML_RuntimeManager.h"

class ExBulletML_Runtime;

class BulletObjectManager : public IntBulletObjectManager {
public:
    BulletObjectManager();
    ~BulletObjectManager() override;

    BulletObject* createBullet();
    BulletObject* createEnemy();
    BulletObject* createShot();
    BulletObject* createBomb();
    BulletObject* createPauseObject();
    BulletObject* createPauseRunObject();
    BulletObject* createGroup();
    BulletObject* createItem();
    BulletObject* createPlainObject();
    BulletObject* createDelayObject();
    // A runtime from the runtime pool, or null.
    ExBulletML_Runtime* getRuntime();

    void setCurrent(BulletObject* object) { current_ = object; }
    BulletObject* getCurrent() const { return current_; }
    BulletObject* getCurrentObject() const { return current_; }
    // Inside a list walk the walk's object becomes current; outside one the
    // current object stays as its caller set it.
    void syncCurrentObject();
    float getCurrentX() const;
    float getCurrentY() const;
    float getCurrentDirection() const;
    float getCurrentSpeed() const;

    void setPlayer(BulletObject* player) { player_ = player; }
    BulletObject* getPlayer() const { return player_; }
    float getPlayerHitX() const;
    float getPlayerHitY() const;
    float getDistanceToPlayer() const;

    IntBulletObjectManager* getPlainObjectManager() { return &plainObjects_; }
    IntBulletObjectManager* getBulletManager() { return &bullets_; }
    IntBulletObjectManager* getEnemyManager() { return &enemies_; }
    IntBulletObjectManager* getShotManager() { return &shots_; }
    IntBulletObjectManager* getItemManager() { return &items_; }
    IntBulletObjectManager* getBombManager() { return &bombs_; }
    IntBulletObjectManager* getGroupManager() { return &groups_; }
    IntBulletObjectManager* getDelayObjectManager() { return &delayObjects_; }
    IntBulletObjectManager* getPauseManager() { return &pauseObjects_; }
    IntBulletObjectManager* getPauseRunManager() { return &pauseRunObjects_; }
    ExBulletML_RuntimeManager* getRuntimeManager() { return &runtimeManager_; }

    std::int32_t getEnemyCountCached();
    void resetEnemyCountCache() { enemyCacheValid_ = 0; }

    float getSharedVital(std::uint32_t key) const;
    void setSharedVital(std::uint32_t key, float value);
    std::uint32_t getLastGroupTag() const { return lastGroupTag_; }

    void clearAll();
    // One frame of every list, then the runtime and vector pools' top-ups.
    std::int32_t execBullet();

    void walkAt(BulletObject* object) { walkObject_ = object; }
    void forgetObject(BulletObject* object);

private:
    IntBulletObjectManager delayObjects_{"delayobjectmgr_"};
    IntBulletObjectManager plainObjects_{"plainobjectmgr_"};
    IntBulletObjectManager bullets_{"bulletmgr_"};
    IntBulletObjectManager enemies_{"enemymgr_"};
    IntBulletObjectManager shots_{"shotmgr_"};
    IntBulletObjectManager groups_{"groupmgr_"};
    IntBulletObjectManager pauseObjects_{"pausemgr_"};
    IntBulletObjectManager items_{"itemmgr_"};
    IntBulletObjectManager bombs_{};
    IntBulletObjectManager pauseRunObjects_{};
    ExBulletML_RuntimeManager runtimeManager_;

    BulletObject* current_ = nullptr;
    BulletObject* walkObject_ = nullptr;
    BulletObject* player_ = nullptr;
    std::map<std::uint32_t, float> sharedVitals_;
    std::int32_t enemyCacheValid_ = 0;
    std::int32_t enemyCacheAnswer_ = 0;
    std::uint32_t lastGroupTag_ = 0;
};
