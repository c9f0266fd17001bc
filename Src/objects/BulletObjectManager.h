// The object manager: owns the ten object lists, creates objects into the
// right one, runs them once a frame in a fixed order (execBullet), remembers
// which object's scripts are running (the script commands act on it), keeps
// the player object, the shared hit points and the sine table's readings.
// One process-wide instance (g_bulletObjectManager).
#pragma once
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "objects/IntBulletObjectManager.h"
#include "objects/ObjectRef.h"
#include "objects/SelectableObjectManager.h"
#include "objects/TopObjects.h"
#include "services/SineTable.h"

class BulletML_Node;
class BulletML_Node_Manager;
class ExBulletML_Runtime;

class BulletObjectManager : public IntBulletObjectManager {
public:
    // Shared vitals kept without allocating during play.
    static constexpr std::size_t kSharedVitalCapacity = 4096;
    // Nested walks and direct slot calls tracked for syncCurrentObject.
    static constexpr int kMaxWalkDepth = 16;

    BulletObjectManager();
    // Destroys every list and lets go of the player and top objects.
    ~BulletObjectManager() override;

    // Creation, each into its list; null when the pool is empty.
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
    // A menu entry in "selectmgr_" / "pauseselectmgr_"; null when the
    // selectable pool is empty.
    SelectableObject* createSelectable();
    SelectableObject* createPauseSelectable();
    // A runtime from the runtime pool, or null.
    ExBulletML_Runtime* getRuntime();

    // The current object: the one whose scripts are running.
    void setCurrent(BulletObject* object) { current_ = object; }
    BulletObject* getCurrent() const { return current_; }
    BulletObject* getCurrentObject() const { return current_; }
    // The object of the innermost walk or direct slot call in progress
    // becomes current (none outside them).
    void syncCurrentObject() {
        // Outside every walk and direct slot call the current object stays
        // as it was set.
        if (walkDepth_ > 0) current_ = walkDepth_ <= kMaxWalkDepth ? walkStack_[walkDepth_ - 1] : current_;
    }
    // Centre, direction and speed of the current object; 0 without one.
    float getCurrentX() const;
    float getCurrentY() const;
    float getCurrentDirection() const;
    float getCurrentSpeed() const;

    // The player object (pinned: see ObjectRef).
    void setPlayer(BulletObject* player) { player_.reset(player); }
    BulletObject* getPlayer() const { return player_.get(); }
    float getPlayerX() const;
    float getPlayerY() const;
    float getPlayerHitX() const;
    float getPlayerHitY() const;
    float getDistanceToPlayer() const;

    // The game's top objects (made by the game reset). The pause and
    // game-over ones are run by execBullet after the lists; the collision
    // pass restarts the automatic bomb and tension-up ones.
    TopObjects& getTopObjects() { return tops_; }
    BulletObject* getTopObject(TopObject which) const { return tops_.get(which); }
    void setPauseTop(BulletObject* object) { tops_.set(TopObject::kPause, object); }
    void setGameOverTop(BulletObject* object) { tops_.set(TopObject::kGameOver, object); }
    BulletObject* getPauseTop() const { return tops_.get(TopObject::kPause); }
    BulletObject* getGameOverTop() const { return tops_.get(TopObject::kGameOver); }
    void setBomb2Top(BulletObject* object) { tops_.set(TopObject::kBomb2, object); }
    void setTensionUpTop(BulletObject* object) { tops_.set(TopObject::kTensionUp, object); }
    BulletObject* getBomb2Top() const { return tops_.get(TopObject::kBomb2); }
    BulletObject* getTensionUpTop() const { return tops_.get(TopObject::kTensionUp); }

    // Lists.
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
    void setItemScript(BulletML_Node* node) { itemScript_ = node; }
    BulletML_Node* getItemScript() const { return itemScript_; }
    void clearItemScript() { itemScript_ = nullptr; }
    // The selection managers: the active one (run by the object step and
    // read by the menu commands), and the two members.
    SelectableObjectManager* getSelectManager() const { return activeSelect_; }
    void setSelectManager(SelectableObjectManager* manager) { activeSelect_ = manager; }
    SelectableObjectManager* getSelectableManager() { return &selectables_; }
    SelectableObjectManager* getPauseSelectableManager() { return &pauseSelectables_; }

    // Item rules (ItemRules.cpp).
    // The item script: the "item" labelled "ttc_item_01" in the document, or
    // null (looked up quietly: a missing label means no conversion).
    void loadItemScript(BulletML_Node_Manager* document);
    // Objects near the player are flagged to become items, those farther
    // away to break up; attribute-bit-2 enemies and plain objects outside
    // the range go into revenge mode and score.
    void flagAroundPlayer();
    // The changebullettoitem command: bullets and attribute-bit-1 enemies
    // and plain objects are flagged to become items, whatever their distance.
    void changeBulletToItem();
    // One frame of conversion on a list: flagged objects break up or become
    // items (moved to the end of "itemmgr_").
    void convertFlagged(IntBulletObjectManager& list);
    // One frame of "itemmgr_": scripts, collect delays, the flight to the
    // player, motion and removal.
    void updateItems();
    // Every live item is called to the player from its next update.
    void collectAllItems();

    // Live enemies, asked of "enemymgr_" at most once a frame.
    std::int32_t getEnemyCountCached();
    void resetEnemyCountCache() { enemyCacheValid_ = 0; }

    float getSharedVital(std::uint32_t key) const;
    void setSharedVital(std::uint32_t key, float value);
    void addSharedVital(std::uint32_t key, float delta);

    std::uint32_t countObjects();
    void targetRevenge(NameHandle wideName);
    void targetVanish(NameHandle wideName);
    // Clears every list, forgets the top objects it holds and
    // zeroes the two counters.
    void clearAll();
    void clearPendingFlag() { pendingFlag_ = 0; }
    void setPendingFlag(std::int32_t flag) { pendingFlag_ = flag; }
    std::int32_t getPendingFlag() const { return pendingFlag_; }
    std::uint32_t getLastGroupTag() const { return lastGroupTag_; }

    // One frame of every object.
    std::int32_t execBullet();

    static float sinDeg(float degrees) { return sine_table::sinDeg(degrees); }
    static float cosDeg(float degrees) { return sine_table::cosDeg(degrees); }

    // The walk bookkeeping of the lists: entering a walk or a direct slot
    // call, the object it is at, leaving it.
    void enterWalk();
    void walkAt(BulletObject* object) {
        if (walkDepth_ >= 1 && walkDepth_ <= kMaxWalkDepth) walkStack_[walkDepth_ - 1] = object;
        current_ = object;
    }
    void leaveWalk();
    // Where the innermost walk records each object it reaches, as walkAt
    // does: its slot of the walk stack and the current object (beyond the
    // tracked depth only the current object: the slot is the current object
    // too). Every walk and direct slot call that a turn starts is finished
    // within it, so the depth, and with it both places, stay the same for
    // the whole walk: the list walk asks once, not at each object.
    struct WalkMarks {
        BulletObject** slot;
        BulletObject** current;
    };
    WalkMarks walkMarks() {
        BulletObject** slot = walkDepth_ >= 1 && walkDepth_ <= kMaxWalkDepth ? &walkStack_[walkDepth_ - 1] : &current_;
        return {slot, &current_};
    }
    // Its lists note here each object they mark for destruction or take
    // out marked, so the end of the outermost walk asks them to destroy
    // their marked objects only when there are any.
    void countMarked(std::int32_t delta) { markedInLists_ += static_cast<std::uint32_t>(delta); }
    // True outside every walk and direct slot call.
    bool isOutsideWalks() const { return walkDepth_ == 0; }
    // An object being destroyed stops being current anywhere.
    void forgetObject(BulletObject* object);
    // True while a walk or a direct slot call is at the object.
    bool isInWalk(const BulletObject* object) const;
    // The ten lists, in the order of the object step.
    std::array<IntBulletObjectManager*, 10> allLists();

private:
    BulletObject* createInto(IntBulletObjectManager& list);
    // Runs slot 21 of a top object as a direct slot call.
    void runTopObject(BulletObject* object);

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
    SelectableObjectManager selectables_{"selectmgr_"};
    SelectableObjectManager pauseSelectables_{"pauseselectmgr_"};
    SelectableObjectManager* activeSelect_ = &selectables_;

    BulletObject* current_ = nullptr;
    BulletObject* walkStack_[kMaxWalkDepth] = {};
    std::int32_t walkDepth_ = 0;
    std::uint32_t markedInLists_ = 0;
    ObjectRef player_;
    TopObjects tops_;
    BulletML_Node* itemScript_ = nullptr;
    // Key -> hit points, ascending by key; reserved at construction.
    std::vector<std::pair<std::uint32_t, float>> sharedVitals_;
    std::int32_t enemyCacheValid_ = 0;
    std::int32_t enemyCacheAnswer_ = 0;
    std::uint32_t lastGroupTag_ = 0;
    std::int32_t counters_[2] = {};
    std::int32_t pendingFlag_ = 0;
};
