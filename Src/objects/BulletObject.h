// The script-driven moving object: the player, enemies, bullets, shots, bombs,
// items, plain scene objects, menu entries and sound objects are all one. It
// adds to GameObject the motion model (speed, direction, acceleration and
// their timed changes), hit points, score, invincibility, a group number, up
// to four script runtimes and a parent with its children. Objects come from
// BulletObjectAllocator and live in one IntBulletObjectManager list.
#pragma once
#include <cstdint>
#include <bit>

#include "objects/GameObject.h"

class ExBulletML_Runtime;
class IntBulletObjectManager;

// Image angle modes.
namespace image_angle {
inline constexpr std::int32_t kNone = 1024;
inline constexpr std::int32_t kFixed = 1026;
inline constexpr std::int32_t kAlongDirection = 1029;
inline constexpr std::int32_t kAlongDirectionEdge = 1055;
inline constexpr std::int32_t kSpin = 1048;
inline constexpr std::int32_t kSpinEdge = 1056;
}  // namespace image_angle

class BulletObject : public GameObject {
public:
    // Defined after the class (see GameObject's), so that the pool's
    // construction is one piece with its bases'.
    BulletObject();
    ~BulletObject() override;

    // Slot 0: destroys the runtimes, leaves the family, releases the images
    // and gives the block back to the object pool. An object still named by a
    // pinned reference (player, top objects) keeps its block and last values
    // until the last reference lets go (see pin / unpin).
    ResourceObject* destroy(std::uint32_t flags) override;
    // Slot 2.
    void init() override;
    // Slot 12: stops the main, present and revenge runtimes with the value,
    // then the GameObject rule.
    void setState(std::uint32_t state) override;
    // Slot 15.
    void resetMotion() override;
    // Slots 16-18: the GameObject rule, then revenge mode spreads to the
    // children when childLink is 1.
    void setFlags(std::uint32_t flags) override;
    void addFlags(std::uint32_t flags) override;
    void clearFlags(std::uint32_t flags) override;
    // Slot 19: copyFrom plus the motion.
    virtual void copyMotionFrom(BulletObject& other);
    // Slot 20: draw level and kind.
    virtual void copyLevelAndKind(BulletObject& other) {
        setDrawLevel(other.drawLevel_);
        kind_ = other.kind_;
    }
    // Slots 21-23: the scripts; 1 when nothing ran.
    virtual std::int32_t runMainOrRevenge();
    virtual std::int32_t runPresent();
    virtual std::int32_t runDamage();
    // Slot 24: one frame of motion.
    virtual void update();
    // The ordinary walk's turn for an object of this very class: slots 21,
    // 23 and 22, then 24, called without virtual dispatch, one more frame of
    // a main script's "wait" done in place. Objects of classes that replace
    // a slot are walked through the slots instead (see isPlainClass).
    // `madeCurrent`: the walk has just made this object the process-wide
    // manager's current object, so a wait frame need not make it so again.
    // `outermost`: besides, no other walk is in progress, so the main
    // runtime is not running. Then, once the main script has counted a
    // frame of a "wait", the frames that follow are counted here without
    // touching the runtime, until the wait has run out or anything else
    // reaches the runtime (settleWait). Defined in BulletObjectStep.h.
    [[gnu::always_inline]] inline void runScriptsAndMotion(bool madeCurrent, bool outermost);
    // The outermost walk's turn of a live object for which runScriptsAndMotion
    // would only count a frame of the main script's "wait" here (or find the
    // script ended), run no other script, and fly it straight inside its
    // bounds: that, with the same arithmetic, and true. It calls nothing, so
    // the object stays in its list with its state. False, with nothing
    // changed, for any other object. Defined in BulletObjectStep.h.
    [[gnu::always_inline]] inline bool takeQuietTurn();
    // Hands the wait frames counted here to the main runtime, which then is
    // where a run of frames would have left it. Every path to the main
    // runtime other than the walk's turn goes through here first.
    inline void settleWait() const;
    // The state word, read without the slot (no class replaces getState).
    std::uint32_t stateWord() const { return state_; }
    // True when the object's class is BulletObject itself, no slot replaced
    // (noted when a list takes the object in).
    bool isPlainClass() const { return turn_.plainClass != 0; }

    // Direction and speed.
    void setDirection(float degrees);
    float getDirection() const { return direction_; }
    void setSpeed(float speed);
    // setDirection then setSpeed, with the velocity worked out once.
    void setDirectionAndSpeed(float degrees, float speed);
    float getSpeed() const { return speed_; }
    void changeDirectionAbsolute(float angle, std::int32_t frames);
    void changeDirectionRelative(float value, std::int32_t frames);
    void changeDirectionSequence(float value, std::int32_t frames);
    void changeSpeed(float target, std::int32_t frames);
    void setAccel(float x, float y, std::int32_t frames);
    void rotateImage(float step, std::int32_t frames);
    void setImageDirection(std::int32_t mode, float angle);
    std::int32_t getImageAngleMode() const { return imageAngleMode_; }
    float getImageAngle() const { return imageAngle_; }
    // The type of the direction last applied ("changedirection" and the
    // bullet and object commands).
    void setDirectionType(std::int32_t type) { directionType_ = type; }
    std::int32_t getDirectionType() const { return directionType_; }
    float getTargetDirection() const { return targetDirection_; }
    float getDirectionStep() const { return directionStep_; }
    float getTargetSpeed() const { return targetSpeed_; }
    bool isDirectionChanging() const { return switches_.directionChange != 0; }
    bool isSpeedChanging() const { return switches_.speedChange != 0; }
    bool isAccelerating() const { return switches_.accel != 0; }

    // Values.
    void setVital(float vital) { vital_ = vital; }
    float getVital() const { return vital_; }
    // Floors at 0 only when the vital was positive.
    void addVital(float delta);
    void setScore(std::int32_t score) { score_ = score; }
    std::int32_t getScore() const { return score_; }
    std::int32_t getScoreDigits() const;
    std::int32_t getScoreMagnitude() const;
    void setPrateRate(float rate) { prateRate_ = rate; }
    float getPrateRate() const { return prateRate_; }
    void setGroupId(std::int32_t id) { groupId_ = id; }
    std::int32_t getGroupId() const { return groupId_; }
    void setInvincibleFrames(std::int32_t frames) { timers_.invincibleFrames = frames; }
    std::int32_t getInvincibleFrames() const { return timers_.invincibleFrames; }
    void setBreakable(std::uint8_t breakable) { breakable_ = breakable; }
    std::uint8_t isBreakable() const { return breakable_; }
    void setCollectDelay(std::int32_t frames) { collectDelay_ = frames; }
    std::int32_t getCollectDelay() const { return collectDelay_; }
    // One frame of the collect delay: lowered while positive; reaching 0
    // calls the item to the player (flag 0x1).
    void stepCollectDelay();
    void setSharedVitalKey(std::int32_t key) { sharedVitalKey_ = key; }
    std::uint32_t getSharedVitalKey() const { return static_cast<std::uint32_t>(sharedVitalKey_); }
    void setTargetTag(std::int32_t tag) { targetTag_ = tag; }
    std::int32_t getTargetTag() const { return targetTag_; }
    void setChildLink(std::int32_t link) { childLink_ = link; }
    std::int32_t getChildLink() const { return childLink_; }
    void setCountdown(std::int32_t frames) { timers_.countdown = frames; }
    std::int32_t getCountdown() const { return timers_.countdown; }
    std::uint32_t getAge() const { return static_cast<std::uint32_t>(age_); }
    std::int32_t getExtraWord(int index) const { return extraWords_[index % 3]; }
    void setExtraWord(int index, std::int32_t value) { extraWords_[index % 3] = value; }
    void setExtraWord4(std::int32_t value) { extraWord4_ = value; }
    std::int32_t getExtraWord4() const { return extraWord4_; }

    // Scripts. Each setter destroys the runtime it replaces.
    void setMainRuntime(ExBulletML_Runtime* runtime);
    void setPresentRuntime(ExBulletML_Runtime* runtime);
    void setRevengeRuntime(ExBulletML_Runtime* runtime);
    void setDamageRuntime(ExBulletML_Runtime* runtime);
    // Brings the main runtime up to date first (see settleWait).
    ExBulletML_Runtime* getMainRuntime() const;
    ExBulletML_Runtime* getPresentRuntime() const { return presentRuntime_; }
    ExBulletML_Runtime* getRevengeRuntime() const { return revengeRuntime_; }
    ExBulletML_Runtime* getDamageRuntime() const { return damageRuntime_; }
    void setRuntimeActive(std::uint8_t active) { turn_.runtimeActive = active != 0 ? 1 : 0; }
    std::uint8_t isRuntimeActive() const { return turn_.runtimeActive; }
    void setDamageArmed(std::uint8_t armed) { turn_.damageArmed = armed; }
    std::uint8_t isDamageArmed() const { return turn_.damageArmed; }
    void restartMainRuntime();
    void restartDamageRuntime();
    bool isMainRuntimeRunning() const;
    bool isDamageRuntimeRunning() const;

    // Family.
    // Sets the parent and files this object in its child list (and leaves
    // it with null).
    void setParent(BulletObject* parent);
    BulletObject* getParent() const { return parent_; }
    // Appends a child (leaving any list it was in first).
    void addChild(BulletObject* child);
    void removeChild(BulletObject* child);
    BulletObject* getFirstChild() const { return firstChild_; }
    BulletObject* getNextSibling() const { return nextSibling_; }
    std::int32_t countChildren() const;
    // childLink 0, leave the parent, children lose their parent link.
    void detachFamily();
    // Children flagged for item conversion or breaking up leave the family.
    void dropProtectedChildren();
    void setFlagsOnChildren(std::uint32_t flags);
    // Children that follow this object move with it, recursively: through
    // moveX/moveY (edge rules) or shiftX/shiftY (none).
    void moveChildrenX(float d);
    void moveChildrenY(float d);
    void shiftChildrenX(float d);
    void shiftChildrenY(float d);
    void moveChildrenX2(float d) { shiftChildrenX(d); }
    void moveChildrenY2(float d) { shiftChildrenY(d); }

    // Image.
    void changeImageColor(std::uint32_t packed, std::int32_t frames);
    NameHandle getWideName() const { return wideName_; }
    void setWideName(NameHandle name) { wideName_ = name; }
    bool hasWideName() const;

    // References that outlive a destroy: while pinned, destroy releases the
    // runtimes, images and family but keeps the block and the last values.
    void pin() { ++pins_; }
    void unpin();
    bool isReleased() const { return released_ != 0; }

protected:
    // Runs the destructor and gives the block back to its pool.
    virtual void giveBlockBack();
    // Something releaseResources would let go of. The pointers are tested
    // together (as hasImages does): every object given back asks, and
    // destroy has already let go of everything.
    bool holdsResources() const {
        const auto bits = [](const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); };
        return (bits(mainRuntime_) | bits(presentRuntime_) | bits(revengeRuntime_) | bits(damageRuntime_) |
                bits(familyOwner_) | bits(firstChild_) | bits(parent_)) != 0 ||
               hasImages();
    }

private:
    friend class IntBulletObjectManager;
    friend class BulletObjectAllocator;

    // What destroy releases at once: runtimes, family, images.
    void releaseResources();
    // The bodies of slots 23 and 22 (BulletObjectStep.h).
    inline std::int32_t runDamageScript();
    inline std::int32_t runPresentScript();
    // Every change of the direction goes through here: the direction's sine
    // and minus cosine are kept with it, so a change of speed alone does not
    // look them up again.
    void takeDirection(float degrees);
    void recomputeVelocity();
    // The motion steps of update.
    void stepImageAngle();
    void stepFollowing();
    void stepBoundsFromImage();
    // update's body, inline for the list walk: the timed changes, edge
    // reflections and homing (stepTurnsAndChanges) and the move with edges,
    // following and images (stepMoveWithExtras) are out of line, so an
    // object that only flies straight inside its bounds takes a short path.
    inline void stepMotion();
    // The motion step's last part: the age and the two frame timers.
    inline void stepCounters();
    std::uint32_t motionSwitchWord() const { return std::bit_cast<std::uint32_t>(switches_); }
    void stepTurnsAndChanges();
    void stepSpeedChange();
    void stepDirectionChange();
    void stepMoveWithExtras(float nextLeft, float nextTop);
    // Whether the player object exists, and its displacement this frame.
    bool playerDisplacement(float& dx, float& dy) const;

    // Layout: the fields of every frame's walk, script run and motion step
    // first (the list link, the runtimes, the motion switches and counters:
    // one cache line), then those of timed changes; the rest follows.
    BulletObject* listNext_ = nullptr;
    ExBulletML_Runtime* mainRuntime_ = nullptr;
    ExBulletML_Runtime* presentRuntime_ = nullptr;
    // The timed changes under way and whether the image angle steps: one
    // word, so the motion step of an object with none of them tests it once.
    struct MotionSwitches {
        std::uint8_t directionChange = 0;
        std::uint8_t speedChange = 0;
        std::uint8_t accel = 0;
        std::uint8_t imageAngle = 0;  // imageAngleMode_ != image_angle::kNone
    };
    MotionSwitches switches_;
    static_assert(sizeof(MotionSwitches) == sizeof(std::uint32_t));
    // The word's bits of the speed change, of the direction change, and of
    // the switches that take the full order of steps.
    static constexpr std::uint32_t kSpeedChangeBits = std::bit_cast<std::uint32_t>(MotionSwitches{0, 0xFF, 0, 0});
    static constexpr std::uint32_t kDirectionChangeBits = std::bit_cast<std::uint32_t>(MotionSwitches{0xFF, 0, 0, 0});
    static constexpr std::uint32_t kFullOrderBits = std::bit_cast<std::uint32_t>(MotionSwitches{0, 0, 0xFF, 0xFF});
    // What decides whether the scripts and the walk have anything to do
    // besides a wait frame: one word, so the walk tests it once for a quiet
    // object (takeQuietTurn).
    struct TurnFlags {
        std::uint8_t runtimeActive = 0;
        std::uint8_t damageArmed = 0;
        // Marked for destruction by a removal during a walk of its list.
        std::uint8_t pendingDestroy = 0;
        // The class is BulletObject itself (isPlainClass).
        std::uint8_t plainClass = 0;
    };
    TurnFlags turn_;
    static_assert(sizeof(TurnFlags) == sizeof(std::uint32_t));
    std::uint32_t turnFlagWord() const { return std::bit_cast<std::uint32_t>(turn_); }
    // A plain object with its main script on and no damage script armed.
    static constexpr std::uint32_t kQuietTurnFlags = std::bit_cast<std::uint32_t>(TurnFlags{1, 0, 0, 1});
    // The main runtime's class is ExBulletML_Runtime itself (its run is not
    // replaced).
    std::uint8_t mainRuntimeIsBase_ = 0;
    // Frames of the main script's current wait still to be counted here
    // (kMainScriptEnded: the script has ended, its runs do nothing), and
    // those counted here but not yet by the runtime (settleWait).
    static constexpr std::int32_t kMainScriptEnded = INT32_MAX;
    // (age_ between the two: GCC would count a wait frame in both as one
    // two-lane add, which takes more instructions than two plain ones.)
    mutable std::int32_t waitLeft_ = 0;
    std::int32_t age_ = 0;
    mutable std::int32_t waitCounted_ = 0;
    // The two counters the motion step lowers: one word, so an object with
    // neither running tests it once.
    struct FrameTimers {
        std::int32_t countdown = 0;
        std::int32_t invincibleFrames = 0;
    };
    FrameTimers timers_;
    static_assert(sizeof(FrameTimers) == sizeof(std::uint64_t));
    std::uint64_t frameTimerWord() const { return std::bit_cast<std::uint64_t>(timers_); }
    std::int32_t imageAngleMode_ = image_angle::kNone;
    ExBulletML_Runtime* damageRuntime_ = nullptr;
    ExBulletML_Runtime* revengeRuntime_ = nullptr;
    std::int32_t targetTag_ = 0;
    float speed_ = 1.0f;
    // sine_table::sinDeg(direction_) and -cosDeg(direction_) (takeDirection).
    float directionSin_ = 0.0f;
    float directionMinusCos_ = -1.0f;
    float targetSpeed_ = 0.0f;
    float speedStep_ = 0.0f;
    std::int32_t speedFrames_ = 0;
    std::int32_t directionFrames_ = 0;

    float accelTargetX_ = 0.0f;
    float accelTargetY_ = 0.0f;
    float accelStepX_ = 0.0f;
    float accelStepY_ = 0.0f;
    float vital_ = -1.0f;
    float prateRate_ = 0.0f;
    std::int32_t accelFrames_ = 0;
    std::int32_t spinFrames_ = 0;
    std::int32_t score_ = 0;
    std::int32_t groupId_ = 0;
    std::int32_t collectDelay_ = -1;
    std::int32_t extraWords_[3] = {0, 0, 1024};
    std::int32_t extraWord2_ = 0;
    std::int32_t extraWord4_ = 0;
    std::int32_t extraWord3_ = 0;
    std::int32_t childLink_ = 0;
    std::int32_t sharedVitalKey_ = 0;
    std::uint8_t spinOn_ = 0;
    std::uint8_t breakable_ = 1;
    std::uint8_t extraFlag_ = 0;
    // Destroyed while pinned: resources gone, block kept.
    std::uint8_t released_ = 0;
    BulletObject* parent_ = nullptr;
    // Children in insertion order, linked through the children themselves.
    BulletObject* firstChild_ = nullptr;
    BulletObject* lastChild_ = nullptr;
    BulletObject* nextSibling_ = nullptr;
    BulletObject* prevSibling_ = nullptr;
    BulletObject* familyOwner_ = nullptr;  // whose child list holds this object
    NameHandle wideName_ = 0;
    std::int32_t directionType_ = 0;

    // The list this object is filed in, and its neighbours there (the next
    // one is with the fields above).
    IntBulletObjectManager* list_ = nullptr;
    BulletObject* listPrev_ = nullptr;
    // Which lists' target maps name this object (one bit per list index).
    std::uint32_t targetMapBits_ = 0;
    std::int32_t pins_ = 0;
};

// The kept sine and minus cosine start as those of direction 0 (0 and -1,
// the table's exact entries), so a new object needs no table look-up.
inline BulletObject::BulletObject() = default;
