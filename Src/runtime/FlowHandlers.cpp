// Walking and waiting, reference calls and event blocks, loading further
// script files.
#include <string>

#include "objects/BulletObjectManager.h"
#include "platform/Text.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "runtime/RuntimePeers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "script/XMLManagerManager.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

std::uint32_t lockNumber(R& runtime) { return static_cast<std::uint32_t>(truncateToInt32(runtime.evalChild(kNum))); }

// An event runtime for the object from the reference's target with the
// reference's parameters; null when the pool is empty.
R* spawnFromReference(R& runtime) {
    BulletML_Node* node = runtime.getCurrentNode();
    BulletML_Node* target = node->getRefTarget();
    return target ? runtime.spawnRefRuntime(target, node) : nullptr;
}

// The node's text as a wide name (one unit per byte, up to its first NUL).
// The scene file of "exefile" and "exefileasync". The loader keeps an
// element's own text only for commands and strings; the file comes from the
// element's "file" child, which the loader stores as the node's file name.
// The node's text is taken when there is one, so a loader that kept it
// still names the file; without either the name is empty.
std::u16string nodeFileName(const BulletML_Node* node) {
    std::string text = node->getText();
    if (text.empty() && node->getFileName() != 0) text = nameText(node->getFileName());
    std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text::widen(text);
}
}  // namespace

namespace handlers {

std::int32_t wait(R& runtime, std::int32_t) { return runtime.countWaitFrame(); }

std::int32_t repeat(R& runtime, std::int32_t) {
    if (runtime.getRepeatLimit() != 0) return R::kGoOn;
    // No passes: move past the children.
    std::uint32_t skipped = runtime.getCurrentNode()->skipChildren();
    runtime.setChildCursor(runtime.getChildCursor() + static_cast<std::int32_t>(skipped));
    return R::kGoOn;
}

std::int32_t skipWait(R& runtime, std::int32_t) {
    BulletObjectManager* manager = runtimeObjectManager();
    std::int32_t counter = runtime.getRepeatCounter();
    std::int32_t limit = runtime.getRepeatLimit();
    if (manager && manager->getEnemyCountCached() != 0) {
        if (limit == 0) return R::kGoOn;
        if (counter < limit) {
            runtime.setRepeatCounter(counter + 1);
            return R::kYield;
        }
        if (limit < 0) return R::kYield;
        runtime.setRepeatCounter(limit);
        return R::kGoOn;
    }
    // No enemy left: the wait ends. A positive limit completes its own count.
    // A limit <= 0 pushed no counter of its own, so the counter is the
    // enclosing repeat's and stays as it is; an endless (negative) limit
    // becomes 0, else the walk would run this node again at once, every
    // frame, until the node budget stops it.
    if (limit > 0) {
        runtime.setRepeatCounter(limit);
    } else {
        runtime.setRepeatLimit(0);
    }
    return R::kGoOn;
}

std::int32_t exit(R& runtime, std::int32_t) {
    runtime.clearCurrentNode();
    return R::kYield;
}

std::int32_t vanish(R& runtime, std::int32_t) {
    if (BulletObject* object = runtimeCurrentObject()) object->setState(1);
    runtime.clearCurrentNode();
    return R::kYield;
}

std::int32_t setLock(R& runtime, std::int32_t) {
    if (g_gameInfo) g_gameInfo->setLock(lockNumber(runtime));
    return R::kGoOn;
}

std::int32_t releaseLock(R& runtime, std::int32_t) {
    if (g_gameInfo) g_gameInfo->releaseLock(lockNumber(runtime));
    return R::kGoOn;
}

std::int32_t waitLock(R& runtime, std::int32_t) {
    if (g_gameInfo && g_gameInfo->isLocked(lockNumber(runtime)) != 0) return R::kYield;
    return R::kGoOn;
}

// Waits while the game's menu has entries waiting for a decision.
std::int32_t waitSelectable(R&, std::int32_t) {
    BulletObjectManager* objects = runtimeObjectManager();
    if (!objects) return R::kGoOn;
    return objects->getSelectableManager()->getWaitFlag() > 0 ? R::kYield : R::kGoOn;
}

std::int32_t waitDirectionKey(R&, std::int32_t) {
    RuntimePeers& peers = RuntimePeers::current();
    if (!peers.inputExists()) return R::kYield;
    for (std::int32_t key = 100; key <= 103; ++key)
        if (peers.keyState(key) != 0) return R::kGoOn;
    return R::kYield;
}

std::int32_t reference(R& runtime, std::int32_t) {
    BulletML_Node* node = runtime.getCurrentNode();
    // A reference whose label was not found has no target to enter: its
    // parameters would stay current after it (nothing returns to the node
    // to restore the caller's), so no call is made.
    if (!node->getCurrentChild()) return R::kGoOn;
    // Without a fresh vector the call is not made: leave the node.
    return runtime.enterRef(node) ? R::kGoOn : R::kLeave;
}

std::int32_t eventBlock(R& runtime, std::int32_t) {
    if (runtime.getRestartFlag()) {
        runtime.setRestartFlag(0);
        runtime.restartNode();
    }
    return R::kGoOn;
}

std::int32_t presentRef(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kLeave;
    // An empty pool creates nothing: the object keeps what it had.
    if (R* spawned = spawnFromReference(runtime)) object->setPresentRuntime(spawned);
    return R::kLeave;
}

std::int32_t revengeRef(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kLeave;
    if (R* spawned = spawnFromReference(runtime)) object->setRevengeRuntime(spawned);
    return R::kLeave;
}

std::int32_t damageRef(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kLeave;
    if (R* spawned = spawnFromReference(runtime)) {
        object->setDamageRuntime(spawned);
        object->setDamageArmed(0);
    }
    return R::kLeave;
}

std::int32_t cancelRevenge(R&, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kYield;
    object->setFlags(object->getFlags() & ~object_flag::kRevenge);
    if (R* revenge = object->getRevengeRuntime()) revenge->restart();
    if (R* present = object->getPresentRuntime()) present->restart();
    return R::kYield;
}

std::int32_t exeFile(R& runtime, std::int32_t) {
    if (g_xmlManagerManager) g_xmlManagerManager->queueLoad(nodeFileName(runtime.getCurrentNode()));
    return R::kGoOn;
}

std::int32_t exeFileAsync(R& runtime, std::int32_t) {
    if (g_xmlManagerManager) g_xmlManagerManager->queueLoadAsync(nodeFileName(runtime.getCurrentNode()));
    return R::kGoOn;
}

std::int32_t notYetBuilt(R& runtime, std::int32_t) {
    return runtime.getCurrentNode()->hasChildren() ? R::kLeave : R::kGoOn;
}

std::int32_t nothing(R&, std::int32_t) { return R::kGoOn; }

}  // namespace handlers
