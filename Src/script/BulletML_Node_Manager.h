// A loaded script document: every node made for it (in creation order, the
// document owns them), the root, the walk cursor that reading adds nodes under
// and the interpreter starts from, and the label cache.
//
// After a scene's scripts are loaded the game reset links every reference
// element ("bulletref", "actionref", ...) to the labelled element it names and
// preloads the images and sounds the nodes name. Label lookups also serve the
// interpreter at run time. All of this runs on the main thread.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "script/PreloadPeers.h"
#include "services/NamePool.h"

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

    // The node of element `code` labelled `label` (a pooled wide name): the
    // label cache's entry when its code matches, else the first such node in
    // creation order (which then takes the cache entry). Not found: null
    // while quiet lookup is on; otherwise a log line naming the label and the
    // program ends.
    BulletML_Node* findLabel(std::int32_t code, NameHandle label);
    // Binds every reference node to its target: "ref target" bindings store
    // it, "child" bindings append it to the reference's children, once per
    // reference however often the document is linked.
    void linkRefs();
    // What preloadResources asks for, node by node in creation order.
    std::vector<PreloadRequest> listPreloads() const;
    // Hands each request to the texture, sprite and sound managers; a manager
    // that does not exist is skipped.
    void preloadResources();

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
    // References whose target was appended as a child.
    std::set<const BulletML_Node*> childLinked_;
};
