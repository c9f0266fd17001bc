// The interpreter state of one script running on one object. Every moving
// object owns up to four of them (main, present, revenge, damage); the object
// manager runs each once per frame. A frame's run executes node after node,
// depth first, until a command yields (result 2) or the script ends. The walk
// position is kept on explicit stacks, since a node's child cursor is shared
// by every runtime walking that node.
//
// Runtimes live in blocks of the runtime pool (BMLRuntimeAllocator): they are
// taken with takeRuntimeFromPool() and given back with destroy(), never with
// new or delete.
#pragma once
#include <cstdint>

#include "runtime/BMLRuntimeAllocator.h"
#include "runtime/RuntimeStack.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Number.h"
#include "script/VecParam.h"
#include "services/NamePool.h"

class BulletML_Node;
class BulletML_Node_Manager;
class BulletObject;

class ExBulletML_Runtime {
public:
    // Handler results.
    static constexpr std::int32_t kGoOn = 0;   // done: the next node
    static constexpr std::int32_t kLeave = 1;  // done: leave this node
    static constexpr std::int32_t kYield = 2;  // stop until the next frame
    // The element id of "wait" (checked against the id table in the source).
    static constexpr std::int32_t kWaitElement = 10;

    // Stack room inside the block: the usual nesting depth.
    static constexpr std::size_t kInlineDepth = 16;
    // Nesting beyond this ends the script (a reference calling itself).
    static constexpr std::size_t kMaxDepth = 4096;
    // Nodes executed by one run before the runtime yields for the frame.
    static constexpr std::uint32_t kRunBudget = 1000000;
    static constexpr int kCreationValueCount = 13;

    ExBulletML_Runtime();
    ExBulletML_Runtime(const ExBulletML_Runtime&) = delete;
    ExBulletML_Runtime& operator=(const ExBulletML_Runtime&) = delete;

    // Slot 0: destroys the runtime and gives its block back to the pool. A
    // runtime destroyed while its own run is on the stack (an event script
    // replacing itself) is only retired: run stops at once and the block goes
    // back when run returns.
    virtual void destroy();
    // Slot 1: a non-zero flag ends the script; returns the flag.
    virtual std::int32_t stop(std::int32_t flag);
    // Slot 2: starts at the root of the current document; returns 0.
    virtual std::int32_t setupRoot();
    // Slot 3: one frame of the script; always 0.
    virtual std::int32_t run();
    // Slot 4: the current node's handler; its result code.
    virtual std::int32_t execute();

    // Most frames of most scripts are one more frame of a "wait": when the
    // runtime rests inside one that has frames left, this does what run's
    // node loop would (restore the cursor, the wait handler counts and
    // yields, the cursor is saved again) and answers true; the caller then
    // makes the object current, as run does. Not while observed, nor from
    // inside its own run. False: nothing changed, run has the frame to do.
    bool continueWait() {
        if (!restsInWait()) return false;
        childCursor_ = cursorStack_.top();
        current_->setCursor(static_cast<std::uint32_t>(childCursor_));
        ++repeatCounter_;
        return true;
    }
    // Whether continueWait would count a frame now.
    bool restsInWait() const {
        const BulletML_Node* node = current_;
        return node && node->getCode() == kWaitElement && repeatCounter_ < repeatLimit_ && !cursorStack_.empty() &&
               !observer_ && !running_;
    }
    // After continueWait counted a frame, or a run yielded in a wait: how
    // many more frames continueWait would count, were nothing else to touch
    // the runtime.
    std::int32_t waitFramesLeft() const { return repeatCounter_ < repeatLimit_ ? repeatLimit_ - repeatCounter_ : 0; }
    // The object that counts this runtime's wait frames for it, from the
    // frame after a continueWait on (BulletObject::settleWait), or null.
    // While one does, every method here that reads or changes the walk
    // state has it hand its frames over first.
    void setWaitCountedBy(BulletObject* object) { waitCountedBy_ = object; }
    // What `frames` more calls of continueWait would do, counted by that
    // object while nothing else touched the runtime; it counts no more.
    void countWaitFrames(std::int32_t frames) {
        waitCountedBy_ = nullptr;
        if (frames == 0) return;
        childCursor_ = cursorStack_.top();
        current_->setCursor(static_cast<std::uint32_t>(childCursor_));
        repeatCounter_ += frames;
    }

    // One frame of the "wait" the walk stands on: while frames are left it
    // counts one and yields (for ever with an endless count), else it goes on.
    std::int32_t countWaitFrame() {
        settleCountedWait();
        return waitFrame();
    }

    // Walk steps (used by handlers).
    std::int32_t step();
    std::int32_t leaveAndStep();
    void enterChild();
    void popFrame();
    void restartNode();

    // Set-up.
    void setup(BulletML_Node* node);
    void setupByLabel(std::int32_t code, NameHandle wideLabel);
    std::int32_t setupTop();
    void restart();
    void clear();

    bool isActive() const { return current_ != nullptr; }
    void setStarted(std::int32_t started) { started_ = started; }
    std::int32_t isStarted() const { return started_; }
    void setRestartFlag(std::uint8_t flag) { restartFlag_ = flag; }
    std::uint8_t getRestartFlag() const { return restartFlag_; }

    // Spawning: a new runtime from the pool for another object, or null when
    // the pool is empty (the caller then creates nothing).
    ExBulletML_Runtime* spawnChild(BulletML_Node* node);
    ExBulletML_Runtime* spawnRefRuntime(BulletML_Node* target, BulletML_Node* reference);
    // A reference call inside this runtime: the reference's parameters become
    // current. False when no fresh vector could be had (the call is not made).
    bool enterRef(BulletML_Node* reference);

    // The menu commands ("selectable", "selectableref", "cursor",
    // "cursorref", the three event references, "disabletable" and
    // "enabletable"); handler results as above.
    std::int32_t execSelectable();
    std::int32_t execSelectableRef();
    std::int32_t execCursor();
    std::int32_t execCursorRef();
    std::int32_t execUnselectedRef();
    std::int32_t execSelectedRef();
    std::int32_t execDecidedRef();
    std::int32_t execDisableTable();
    std::int32_t execEnableTable();

    // State read and written by the handlers.
    BulletML_Node* getCurrentNode() const { return current_; }
    void clearCurrentNode() {
        settleCountedWait();
        current_ = nullptr;
    }
    BulletML_Node* getRootNode() const { return root_; }
    BulletML_Node* getStartNode() const { return start_; }
    std::int32_t getChildCursor() const {
        settleCountedWait();
        return childCursor_;
    }
    void setChildCursor(std::int32_t cursor) {
        settleCountedWait();
        childCursor_ = cursor;
    }
    std::int32_t getRepeatCounter() const {
        settleCountedWait();
        return repeatCounter_;
    }
    void setRepeatCounter(std::int32_t counter) {
        settleCountedWait();
        repeatCounter_ = counter;
    }
    std::int32_t getRepeatLimit() const { return repeatLimit_; }
    void setRepeatLimit(std::int32_t limit) {
        settleCountedWait();
        repeatLimit_ = limit;
    }
    float getTargetX() const { return targetX_; }
    float getTargetY() const { return targetY_; }
    void setTarget(float x, float y) { targetX_ = x; targetY_ = y; }
    VecParam* getParams() { return params_; }
    const VecParam* getParams() const { return params_; }
    ObjectVariableMap& getObjectVariables() { return variables_; }
    // The value of one of the current node's parameter children / own value,
    // against this runtime's parameters and variables.
    double evalChild(std::int32_t id) { return current_ ? current_->evalChild(id, params_, &variables_) : 0.0; }
    double evalValue() { return current_ ? current_->evalValue(params_, &variables_) : 0.0; }
    // A number of the current node (one its accessors gave), evaluated the
    // same way; 0.0 for null.
    double evalNumber(const BulletML_Node_Number* number) {
        return number ? number->evaluate(params_, &variables_) : 0.0;
    }
    // The value of a reference's "param" i, evaluated in this runtime.
    double evalRefParam(const BulletML_Node* reference, std::uint32_t index);

    std::int32_t getFireDirectionType() const { return fireDirectionType_; }
    void setFireDirectionType(std::int32_t type) { fireDirectionType_ = type; }
    std::int32_t getFireSpeedType() const { return fireSpeedType_; }
    void setFireSpeedType(std::int32_t type) { fireSpeedType_ = type; }
    float* getCreationValues() { return creationValues_; }
    float getPreviousSpeed() const { return previousSpeed_; }
    void setPreviousSpeed(float speed) { previousSpeed_ = speed; }
    float getPreviousDirection() const { return previousDirection_; }
    void setPreviousDirection(float direction) { previousDirection_ = direction; }

    // The loaded document that setupRoot and setupTop start in (the current
    // loader's, held by the game reset; a tool sets its own).
    static void setDocument(BulletML_Node_Manager* document);
    static BulletML_Node_Manager* getDocument();

    // The saved repeat stacks ("dumprepeatcount"): their tops, 0 when empty,
    // and their sizes.
    std::int32_t getSavedCounterTop() const { return counterStack_.empty() ? 0 : counterStack_.top(); }
    std::int32_t getSavedLimitTop() const { return limitStack_.empty() ? 0 : limitStack_.top(); }
    std::size_t getSavedCounterCount() const { return counterStack_.size(); }
    std::size_t getSavedLimitCount() const { return limitStack_.size(); }

    // Depth of the node stack (tests and tools).
    std::size_t getDepth() const { return nodeStack_.size(); }
    bool isRetired() const { return retired_; }

    // The current value of built-in variable `id` (1..243); 0.0 otherwise.
    static double getSysVarValue(std::uint32_t id);
    // The shared random generator of "_rand": state 1 at start-up; reseed
    // sets it back to 1 (each replay stage starts from the same numbers).
    static void reseed();
    static std::uint32_t nextRandom();
    // The generator's state, without drawing a number (the replay trace).
    static std::uint32_t randomState();

    // Called after every execute of this runtime (the script runner's trace).
    using ExecuteObserver = void (*)(void* context, const ExBulletML_Runtime* runtime,
                                     std::int32_t code, std::int32_t result);
    void setExecuteObserver(ExecuteObserver observer, void* context) {
        settleCountedWait();
        observer_ = observer;
        observerContext_ = context;
    }

protected:
    virtual ~ExBulletML_Runtime();

private:
    friend class BMLRuntimeAllocator;
    void emptyStacks();
    // The frames counted elsewhere (setWaitCountedBy) come back first.
    void settleCountedWait() const {
        if (waitCountedBy_) handOverCountedWait();
    }
    [[gnu::noinline]] void handOverCountedWait() const;
    void setNodes(BulletML_Node* node);
    // countWaitFrame, step, enterChild and popFrame without settling counted
    // frames first.
    std::int32_t waitFrame() {
        if (repeatCounter_ < repeatLimit_) {
            ++repeatCounter_;
            return kYield;
        }
        return repeatLimit_ < 0 ? kYield : kGoOn;
    }
    // Inlined into run's node loop, the hottest path of the interpreter.
    // executeNode is execute at `node`, the current node (never null),
    // without settling counted frames first.
    [[gnu::always_inline]] inline std::int32_t executeNode(const BulletML_Node* node);
    [[gnu::always_inline]] inline std::int32_t stepNodes();
    // Enters `child`, the current node's current child (never null).
    [[gnu::always_inline]] inline void enterChildNode(BulletML_Node* child);
    [[gnu::always_inline]] inline void popNode();
    bool replaceParams();
    VecParam* ownParams() { return &own_.vector; }
    const VecParam* ownParams() const { return &own_.vector; }
    void fillParams(VecParam* into, const BulletML_Node* reference);
    void endForDepth();
    // The body of run: nodes until one yields or the script ends.
    [[gnu::noinline]] std::int32_t runNodes();
    // runNodes' node loop, with the base class's execute inlined or with
    // the virtual call of a class that replaces it.
    template <bool kBaseExecute>
    [[gnu::always_inline]] inline void runLoop();

    // The layout follows what touches it. A runtime comes from a pool that
    // hands out the block used longest ago, so each line it touches is a
    // memory fetch. What every frame's run reads comes first: the walk
    // position, the fault guards and the observer. Then the three stacks
    // every entered node pushes, each one's bookkeeping just before its
    // entries, so that a shallow walk reads and writes a stack within one
    // line; then the rest the constructor sets, the variables' bookkeeping
    // last. The constructor writes only those leading lines (kHotBytes).
    BulletML_Node* current_ = nullptr;
    BulletML_Node* root_ = nullptr;
    std::int32_t childCursor_ = 0;
    std::int32_t repeatCounter_ = 0;
    std::int32_t repeatLimit_ = 0;
    std::int32_t started_ = 0;
    std::uint8_t restartFlag_ = 0;
    // Fault guards: inside run, destroyed while running, budget logged once.
    bool running_ = false;
    bool retired_ = false;
    bool budgetLogged_ = false;
    std::int32_t fireDirectionType_ = 0;
    ExecuteObserver observer_ = nullptr;
    BulletObject* waitCountedBy_ = nullptr;
    // Entries are not written until pushed.
    RuntimeStack<std::int32_t, kInlineDepth> cursorStack_{cursorInline_};
    std::int32_t cursorInline_[kInlineDepth];
    RuntimeStack<std::int32_t, kInlineDepth> limitStack_{limitInline_};
    std::int32_t limitInline_[kInlineDepth];
    RuntimeStack<BulletML_Node*, kInlineDepth> nodeStack_{nodeInline_};
    BulletML_Node* nodeInline_[kInlineDepth];
    RuntimeStack<VecParam*, kInlineDepth> paramStack_{paramInline_};
    RuntimeStack<std::int32_t, kInlineDepth> counterStack_{counterInline_};
    // Always points somewhere: a pool vector, or the runtime's own vector
    // when the pool was empty (that one is never given to the pool).
    VecParam* params_ = nullptr;
    std::int32_t fireSpeedType_ = 0;
    float previousSpeed_ = 1.0f;
    BulletML_Node* start_ = nullptr;
    float targetX_ = 0.0f;
    float targetY_ = 0.0f;
    float previousDirection_ = 0.0f;
    float creationValues_[kCreationValueCount] = {};
    ObjectVariableMap variables_;
    // Entries of the stacks few scripts push.
    std::int32_t counterInline_[kInlineDepth];
    VecParam* paramInline_[kInlineDepth];
    // Rarely used, and never read before it is written: the fallback
    // parameter vector (made zeroed when it is needed), the observer's
    // context (set with the observer).
    union OwnParams {
        OwnParams() {}
        VecParam vector;
    } own_;
    void* observerContext_;

public:
    // The leading bytes the constructor writes and a new runtime's set-up
    // and first frames touch (what the pool asks the cache for ahead of a
    // take), up to the variables' bookkeeping.
    static constexpr std::size_t kHotBytes = 512;
};

// The object-facing pool operations.
ExBulletML_Runtime* takeRuntimeFromPool();
void refillRuntimePool();
// Gives a parameter vector back to its pool (null is ignored).
void releaseParamVector(VecParam* vector);
