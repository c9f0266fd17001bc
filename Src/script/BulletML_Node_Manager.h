// A loaded script document: every node made for it (in creation order, the
// document owns them), the root, the walk cursor that reading adds nodes under
// and the interpreter starts from, and the label cache.
#pragma once
#include <cstdint>
#include <map>
#include <vector>

#include "shell/NamePool.h"

class BulletML_Node;
class BulletML_Node_Allocator;

class BulletML_Node_Manager {
public:
    // Nodes come from `allocator` (the process-wide pool by default).
    explicit BulletML_Node_Manager(BulletML_Node_Allocator* allocator = nullptr);
    BulletML_Node_Manager(const BulletML_Node_Manager&) = delete;
    BulletML_Node_Manager& operator=(const BulletML_Node_Manager&) = delete;
    virtual ~BulletML_Node_Manager();

    // A fresh node from the pool, appended to the node list.
    BulletML_Node* newNode();
    // A fresh node added as a child of the walk cursor, which moves to it.
    BulletML_Node* addNode();
    // The walk cursor moves to its parent; at the root it stays there.
    void up();
    // The walk cursor goes back to the root, which is returned.
    BulletML_Node* rewind();
    BulletML_Node* getCursor() const { return cursor_; }
    BulletML_Node* getRoot() const { return root_; }

    // Enters `node` in the label cache under `label` (a pooled wide name),
    // replacing an earlier entry; reference elements are never entered.
    void registerLabel(NameHandle label, BulletML_Node* node);
    const std::map<NameHandle, BulletML_Node*>& labelCache() const { return labels_; }
    // While set, a label lookup that finds nothing gives null instead of
    // ending the program.
    void setQuietLookup(bool quiet) { quietLookup_ = quiet; }
    bool isQuietLookup() const { return quietLookup_; }

    const std::vector<BulletML_Node*>& nodes() const { return nodes_; }

    // Frees every node, empties the label cache and starts a fresh root.
    void reset();

private:
    void freeNodes();

    BulletML_Node_Allocator* allocator_;
    std::vector<BulletML_Node*> nodes_;
    BulletML_Node* root_ = nullptr;
    BulletML_Node* cursor_ = nullptr;
    std::map<NameHandle, BulletML_Node*> labels_;
    bool quietLookup_ = false;
};
