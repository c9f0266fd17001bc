// The pool of script nodes: 20,000 node slots taken at start-up, handed out
// last in, first out, each built into a fresh node as it is handed out. Nodes are never given back (a document reset frees them); once the
// pool is empty every further node comes from the heap, without a log line.
#pragma once
#include <cstddef>
#include <mutex>
#include <vector>

class BulletML_Node;

class BulletML_Node_Allocator {
public:
    static constexpr size_t kPoolSize = 20000;

    BulletML_Node_Allocator() = default;
    BulletML_Node_Allocator(const BulletML_Node_Allocator&) = delete;
    BulletML_Node_Allocator& operator=(const BulletML_Node_Allocator&) = delete;
    // Frees the nodes never handed out.
    virtual ~BulletML_Node_Allocator();

    // The process-wide pool, filled by the game initialisation.
    static BulletML_Node_Allocator& instance();

    // Takes the pool's node slots; a second call does nothing.
    void prefill();
    // A fresh node: built in the most recently taken pool slot, or a new heap
    // node.
    BulletML_Node* get();

    size_t readyCount() const;
    // Raw node blocks taken: the pool's own, all of them at prefill, then one
    // heap block for every node asked for once the pool is empty.
    size_t handedOutCount() const;

private:
    mutable std::mutex lock_;
    bool filled_ = false;
    // Node slots not yet handed out, unbuilt.
    std::vector<void*> ready_;
    size_t handedOut_ = 0;
};
