// The interpreter state of one script running on one object, as the objects
// use it: stop, one frame of the script, set-up and restart, and the pools
// runtimes come from. This is the stand-in the objects are built against; the
// interpreter work replaces it with the real interpreter behind the same
// signatures (here `run` does nothing and answers 0, and the pool hands out
// nothing).
#pragma once
#include <cstdint>

#include "runtime/BMLRuntimeAllocator.h"
#include "runtime/VecParam.h"

class BulletML_Node;

class ExBulletML_Runtime {
public:
    ExBulletML_Runtime() = default;
    ExBulletML_Runtime(const ExBulletML_Runtime&) = delete;
    ExBulletML_Runtime& operator=(const ExBulletML_Runtime&) = delete;

    // Slot 0: runs the destructor and gives the block back to its pool. The
    // stand-in's runtimes come from the heap.
    virtual void destroy();
    // Slot 1: a non-zero flag ends the script (no current node any more).
    virtual std::int32_t stop(std::int32_t flag);
    // Slot 3: one frame of the script; 0 when it has no node or is suspended.
    virtual std::int32_t run();

    // Starts at a node (and remembers it as the start node).
    void setup(BulletML_Node* node);
    // Starts again at the start node with cleared stacks.
    void restart();
    // Empties the stacks and the local variables.
    void clear();
    // True while the runtime has a current node.
    bool isActive() const { return currentNode_ != nullptr; }
    std::int32_t isStarted() const { return started_; }
    void setStarted(std::int32_t started) { started_ = started; }
    // Set: the next frame starts from the first child of the node.
    void setRestartFlag(std::uint8_t flag) { restartFlag_ = flag; }
    std::uint8_t getRestartFlag() const { return restartFlag_; }

protected:
    // Runtimes end through destroy.
    virtual ~ExBulletML_Runtime() = default;

    BulletML_Node* currentNode_ = nullptr;
    BulletML_Node* startNode_ = nullptr;
    std::int32_t started_ = 0;
    std::uint8_t restartFlag_ = 0;
};

// The runtime pool: a runtime, or null when the pool is empty.
ExBulletML_Runtime* takeRuntimeFromPool();
// Tops the runtime pool's ready stock up (once a frame, from the object step).
void refillRuntimePool();
// Gives a parameter vector back to its pool.
void releaseParamVector(VecParam* vector);
