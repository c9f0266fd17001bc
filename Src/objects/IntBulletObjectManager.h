// One named list of live script objects, run once a frame in creation order.
// Objects are linked through themselves (no allocation per object); each list
// gives its objects tags from its own serial, starting at 1, and keeps a map
// from tag to object for automatic targeting.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "services/NamePool.h"

class BulletObject;
class BulletObjectManager;

class IntBulletObjectManager {
public:
    // The most lists that can share the target-map bookkeeping of one object.
    static constexpr int kMaxLists = 32;

    explicit IntBulletObjectManager(std::string_view name = {});
    IntBulletObjectManager(const IntBulletObjectManager&) = delete;
    IntBulletObjectManager& operator=(const IntBulletObjectManager&) = delete;
    // Destroys every object still in the list.
    virtual ~IntBulletObjectManager();

    NameHandle getName() const { return name_; }
    // The object manager whose current object the walk sets (none: no current
    // object is kept).
    void setOwner(BulletObjectManager* owner) { owner_ = owner; }

    // A fresh object from the pool, appended with the next serial as its tag;
    // null (list and serial untouched) when the pool is empty.
    BulletObject* create();
    // Appends an existing object (taking it out of any list it is in).
    void append(BulletObject* object);
    // Takes an object out of this list without destroying it.
    void detach(BulletObject* object);
    // The per-frame walk: dead objects are destroyed, live ones run their
    // scripts and motion. Objects appended during the walk are visited in it.
    void update();
    // The same walk with another turn for each live object (the item rules
    // use it); dead objects are destroyed as in update.
    using Turn = void (*)(BulletObject& object, void* context);
    void updateWith(Turn turn, void* context);
    // Destroys every object whose state is non-zero. During a walk of this
    // list they are marked and destroyed when the walk reaches them or ends.
    void removeDead();
    // Destroys every object (marked likewise during a walk).
    void clear();
    // State 1 on every object.
    void vanishAll();
    std::int32_t hasLiveEnemy();
    std::int32_t hasCollectingItem();
    BulletObject* findTarget(std::uint32_t tag) const;
    // Revenge mode (flags 0x300) on every alive object of that wide name.
    void revengeByName(NameHandle wideName);
    // State 1 on every object of that wide name.
    void vanishByName(NameHandle wideName);
    // Automatic targeting for a shot: the object's own tag, or 0.
    std::uint32_t findAutoTarget(std::uint32_t shotTag);
    // The other choice of the autotarget command: the first candidate,
    // whatever its lock.
    std::uint32_t findAutoTargetAlt(std::uint32_t shotTag);

    // Objects in the list, not counting those marked for destruction.
    std::uint32_t size() const { return size_; }
    std::uint32_t getSerial() const { return serial_; }
    BulletObject* front() const { return head_; }
    static BulletObject* next(const BulletObject* object);
    std::size_t targetMapSize() const { return targetMap_.size(); }
    bool isWalking() const { return walking_ > 0; }

    // Erases every target-map entry, in any list, that names the object.
    static void forgetTargets(BulletObject* object);
    // Destroys the objects marked during a walk once nothing runs them.
    void destroyMarked();

private:
    // The walk of update and updateWith; `turn(object)` is a live object's
    // turn (inline, so each walk's turn is known to its loop). `quiet(object)`
    // comes first, before the walk records or checks the object: true when
    // it took the object's whole turn, one that calls nothing (so removes,
    // ends and appends no object) and leaves the object alive in the list.
    template <typename QuietFn, typename TurnFn>
    void walk(QuietFn quiet, TurnFn turn);
    // Appends the object; `plainClass`: its class is BulletObject itself.
    void link(BulletObject* object, bool plainClass);
    void unlink(BulletObject* object);
    // Unlinks, forgets the targets and destroys the object.
    void destroyObject(BulletObject* object);
    // Removes or marks a dead object.
    void dispose(BulletObject* object);
    // True while a walk of this list, or a script of the object, runs.
    bool isRunning(BulletObject* object) const;
    void setTarget(std::uint32_t tag, BulletObject* object);
    std::uint32_t lockTarget(BulletObject* choice, std::uint32_t shotTag);
    bool isAutoTargetCandidate(BulletObject* object) const;

    NameHandle name_;
    BulletObjectManager* owner_ = nullptr;
    std::uint32_t serial_ = 1;
    BulletObject* head_ = nullptr;
    BulletObject* tail_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t marked_ = 0;
    std::int32_t walking_ = 0;
    // The object the walk is at; when it leaves the list during its turn, the
    // walk goes on from cursorNext_.
    BulletObject* cursor_ = nullptr;
    bool cursorDetached_ = false;
    BulletObject* cursorNext_ = nullptr;
    std::int32_t index_ = -1;  // in the registry of lists, for target-map bits
    // Tag -> object, ascending by tag; reserved at construction.
    std::vector<std::pair<std::uint32_t, BulletObject*>> targetMap_;

    static IntBulletObjectManager* registry_[kMaxLists];
};
