#include "script/BulletML_Node_Manager.h"

#include <string>

#include "platform/Text.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Allocator.h"
#include "script/ElementId.h"
#include "script/VecParam.h"
#include "services/DebugInfo.h"
#include "services/FatalExit.h"
#include "services/Managers.h"
#include "services/Truncate.h"

namespace {
// How a reference element stands for its target.
enum class Binding {
    kRefTarget,  // the target is stored as the reference's ref target
    kChild,      // the target is appended to the reference's children
};

struct RefLink {
    std::int32_t ref;
    std::int32_t target;
    Binding binding;
};

constexpr RefLink kRefLinks[] = {
    {kBulletRef, kBullet, Binding::kRefTarget},
    {kFireRef, kFire, Binding::kChild},
    {kActionRef, kAction, Binding::kChild},
    {kPresentRef, kPresent, Binding::kRefTarget},
    {kImgRef, kImg, Binding::kChild},
    {kEnemyRef, kEnemy, Binding::kRefTarget},
    {kCreateRef, kCreate, Binding::kChild},
    {kRevengeRef, kRevenge, Binding::kRefTarget},
    {kShotRef, kShot, Binding::kRefTarget},
    {kPlayerRef, kPlayer, Binding::kRefTarget},
    {kObjectRef, kObject, Binding::kRefTarget},
    {kSoundRef, kSound, Binding::kRefTarget},
    {kTrackRef, kTrack, Binding::kChild},
    {kSelectableRef, kSelectable, Binding::kRefTarget},
    {kCursorRef, kCursor, Binding::kRefTarget},
    {kUnselectedRef, kUnselected, Binding::kRefTarget},
    {kSelectedRef, kSelected, Binding::kRefTarget},
    {kDecidedRef, kDecided, Binding::kRefTarget},
    {kImgStringRef, kImgString, Binding::kRefTarget},
    {kItemRef, kItem, Binding::kRefTarget},
    {kBombRef, kBomb, Binding::kRefTarget},
    {kMeshRef, kMesh, Binding::kChild},
    {kDamageRef, kDamage, Binding::kRefTarget},
    {kDObjectRef, kDObject, Binding::kRefTarget},
};

const RefLink* refLinkOf(std::int32_t code) {
    for (const RefLink& link : kRefLinks) {
        if (link.ref == code) return &link;
    }
    return nullptr;
}

// The texture flag bit that keeps an image's sprite manager from being made
// ahead of its first use.
constexpr std::uint32_t kNoSpritePreloadFlag = 1;
}  // namespace

BulletML_Node_Manager::BulletML_Node_Manager(BulletML_Node_Allocator* allocator)
    : allocator_(allocator ? allocator : &BulletML_Node_Allocator::instance()) {
    root_ = cursor_ = newNode();
}

BulletML_Node_Manager::~BulletML_Node_Manager() { freeNodes(); }

BulletML_Node* BulletML_Node_Manager::newNode() {
    BulletML_Node* node = allocator_->get();
    nodes_.push_back(node);
    return node;
}

BulletML_Node* BulletML_Node_Manager::addNode() {
    BulletML_Node* node = newNode();
    cursor_->addChild(node);
    cursor_ = node;
    return node;
}

void BulletML_Node_Manager::up() {
    // An end tag without its start tag must not walk off the tree.
    if (cursor_->getParent()) cursor_ = cursor_->getParent();
}

BulletML_Node* BulletML_Node_Manager::rewind() {
    cursor_ = root_;
    return root_;
}

void BulletML_Node_Manager::registerLabel(NameHandle label, BulletML_Node* node) {
    if (!node || isReferenceCode(node->getCode())) return;
    labels_[label] = node;
}

void BulletML_Node_Manager::freeNodes() {
    BulletML_Node::deleteAll(nodes_);
    nodes_.clear();
    labels_.clear();
    childLinked_.clear();
    root_ = cursor_ = nullptr;
}

void BulletML_Node_Manager::reset() {
    freeNodes();
    root_ = cursor_ = newNode();
}

BulletML_Node* BulletML_Node_Manager::findLabel(std::int32_t code, NameHandle label) {
    auto cached = labels_.find(label);
    if (cached != labels_.end() && cached->second->getCode() == code) return cached->second;
    for (BulletML_Node* node : nodes_) {
        if (node->getCode() == code && node->getLabel() == label) {
            labels_[label] = node;
            return node;
        }
    }
    if (quietLookup_) return nullptr;
    std::string element(ElementIdTable::instance().elementName(code));
    fatalExit("ラベル " + text::cp932ToUtf8(text::narrow(wideNameText(label))) + " (" + element +
              ") が見つかりません");
}

void BulletML_Node_Manager::linkRefs() {
    for (BulletML_Node* node : nodes_) {
        const RefLink* link = refLinkOf(node->getCode());
        if (!link) continue;
        if (link->binding == Binding::kRefTarget) {
            node->setRefTarget(findLabel(link->target, node->getLabel()));
            continue;
        }
        // A document kept across a flip is linked again: its references keep
        // the one target they were given, or the reference would run it twice.
        if (childLinked_.count(node)) continue;
        if (BulletML_Node* target = findLabel(link->target, node->getLabel())) {
            node->addChild(target);
            childLinked_.insert(node);
        }
    }
}

std::vector<PreloadRequest> BulletML_Node_Manager::listPreloads() const {
    std::vector<PreloadRequest> requests;
    const VecParam noParameters{};
    for (const BulletML_Node* node : nodes_) {
        switch (node->getCode()) {
            case kImg: {
                const std::uint32_t flag =
                    static_cast<std::uint32_t>(truncateToInt32(node->evalChild(kFlag, &noParameters, nullptr)));
                requests.push_back({PreloadRequest::kTextureFlag, node->getFileName(), flag});
                if (!(flag & kNoSpritePreloadFlag)) {
                    requests.push_back({PreloadRequest::kSpriteManager, node->getFileName(), flag});
                }
                break;
            }
            case kTrack:
            case kSoundTrack:
                requests.push_back({PreloadRequest::kSoundTrack, node->getFileName(), 0, node->getChildType(kFile)});
                break;
            default:
                break;
        }
    }
    return requests;
}

void BulletML_Node_Manager::preloadResources() { PreloadPeers::current().preload(listPreloads()); }
