#include "runtime/ExBulletML_Runtime.h"

#include <new>
#include <string>
#include <typeinfo>

#include "objects/BulletObjectManager.h"
#include "objects/BulletObjectStep.h"
#include "platform/Text.h"
#include "runtime/RuntimeHandlers.h"
#include "runtime/VecParamAllocator.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/Truncate.h"

// Stacks and variables live inside the block; a block stays below 1 KB.
static_assert(sizeof(ExBulletML_Runtime) < 1024, "a runtime block stays below 1 KB");
static_assert(ExBulletML_Runtime::kWaitElement == kWait, "continueWait knows the id of wait");

namespace {
BulletML_Node_Manager* g_runtimeDocument = nullptr;

// Inline: every runtime destroyed gives its vector back this way.
inline void giveBack(VecParam* vector, const VecParam* own) {
    if (vector && vector != own) VecParamAllocator::instance().release(vector);
}

// The reference elements whose handler pushed a parameter vector. Out of
// line, as is reevaluatesLimit: the walk asks only in rare cases, and
// inlined their tests would tie up registers across the whole node loop.
[[gnu::noinline]] bool pushesParams(std::int32_t code) {
    switch (code) {
        case kFireRef:
        case kActionRef:
        case kImgRef:
        case kCreateRef:
        case kTrackRef:
        case kImgStringRef:
        case kMeshRef:
            return true;
        default:
            return false;
    }
}

// The counting elements whose endless limit is evaluated again on return.
[[gnu::noinline]] bool reevaluatesLimit(std::int32_t code) {
    return code == kWait || code == kRepeat || code == kSkipWait || code == kSkipBulletWait;
}

// A node's label for a log line (cp932 as UTF-8).
std::string labelOf(const BulletML_Node* node) {
    if (!node || node->getLabel() == 0) return "(無名)";
    return text::cp932ToUtf8(text::narrow(WideNamePool::instance().text(node->getLabel())));
}

// Kept out of run's loop, which every object enters every frame.
[[gnu::cold, gnu::noinline]] void logBudgetExceeded(const BulletML_Node* root) {
    logLine("スクリプトが1フレームに" + std::to_string(ExBulletML_Runtime::kRunBudget) +
            "ノードを超えて実行されたため中断しました: " + labelOf(root));
}

// The dispatch table, read once rather than through its guarded accessor at
// every node.
const RuntimeHandler* const g_handlers = runtimeHandlerTable();
}  // namespace

void ExBulletML_Runtime::setDocument(BulletML_Node_Manager* document) { g_runtimeDocument = document; }
BulletML_Node_Manager* ExBulletML_Runtime::getDocument() { return g_runtimeDocument; }

ExBulletML_Runtime::ExBulletML_Runtime() {
    params_ = VecParamAllocator::instance().get();
    // An empty pool: the runtime's own zeroed vector, never given to the pool.
    if (!params_) params_ = ::new (ownParams()) VecParam{};
}

ExBulletML_Runtime::~ExBulletML_Runtime() {
    while (!paramStack_.empty()) giveBack(paramStack_.pop(), ownParams());
    giveBack(params_, ownParams());
    params_ = nullptr;
}

void ExBulletML_Runtime::handOverCountedWait() const { waitCountedBy_->settleWait(); }

void ExBulletML_Runtime::destroy() {
    settleCountedWait();
    if (running_) {
        // Its own run is on the stack: stop that run, give the block back
        // when it returns.
        retired_ = true;
        current_ = nullptr;
        return;
    }
    this->~ExBulletML_Runtime();
    BMLRuntimeAllocator::instance().release(this);
}

std::int32_t ExBulletML_Runtime::stop(std::int32_t flag) {
    settleCountedWait();
    if (flag != 0) current_ = nullptr;
    return flag;
}

std::int32_t ExBulletML_Runtime::setupRoot() {
    settleCountedWait();
    BulletML_Node* root = g_runtimeDocument ? g_runtimeDocument->rewind() : nullptr;
    if (root) root->resetCursor();
    previousDirection_ = 0.0f;
    previousSpeed_ = 1.0f;
    current_ = root_ = start_ = root;
    nodeStack_.push(nullptr);
    return 0;
}

std::int32_t ExBulletML_Runtime::run() {
    settleCountedWait();
    if (!current_) return 0;
    if (continueWait()) {
        if (BulletObjectManager* manager = g_bulletObjectManager) manager->syncCurrentObject();
        return 0;
    }
    return runNodes();
}

// The walk steps come first: run's node loop has them inlined.

void ExBulletML_Runtime::enterChildNode(BulletML_Node* child) {
    nodeStack_.push(current_);
    cursorStack_.push(childCursor_);
    limitStack_.push(repeatLimit_);
    current_ = child;
    // The node's value (0 without one, as evalValue gives it); most entered
    // nodes have none, so the call is skipped for them.
    const BulletML_Node_Number* value = child->getValue();
    repeatLimit_ = value ? truncateToInt32(value->evaluate(params_, &variables_)) : 0;
    if (repeatLimit_ > 0) {
        counterStack_.push(repeatCounter_);
        repeatCounter_ = 0;
    }
    child->resetCursor();
    childCursor_ = 0;
}

void ExBulletML_Runtime::popNode() {
    if (nodeStack_.empty()) {
        current_ = nullptr;
        return;
    }
    current_ = nodeStack_.pop();
    if (!current_) return;
    std::int32_t code = current_->getCode();
    // The stack test first: most scripts never push parameters.
    if (!paramStack_.empty() && pushesParams(code)) {
        giveBack(params_, ownParams());
        params_ = paramStack_.pop();
    }
    // The counter stack is left alone here: only a completed pass count pops
    // it (step).
    repeatLimit_ = limitStack_.empty() ? 0 : limitStack_.pop();
    if (repeatLimit_ == -1 && reevaluatesLimit(code))
        repeatLimit_ = truncateToInt32(current_->evalValue(params_, &variables_));
    std::int32_t cursor = (cursorStack_.empty() ? 0 : cursorStack_.pop()) + 1;
    childCursor_ = cursor;
    current_->setCursor(static_cast<std::uint32_t>(cursor));
}

std::int32_t ExBulletML_Runtime::stepNodes() {
    while (current_) {
        if (BulletML_Node* child = current_->getCurrentChild()) {
            if (nodeStack_.size() >= kMaxDepth) {
                endForDepth();
                return kYield;
            }
            enterChildNode(child);
            return 0;
        }
        if (current_ == root_) break;
        if (repeatLimit_ != 0) {
            if (repeatCounter_ + 1 < repeatLimit_) {
                ++repeatCounter_;
                current_->resetCursor();
                childCursor_ = 0;
                return 0;
            }
            if (repeatLimit_ < 0) {
                current_->resetCursor();
                childCursor_ = 0;
                return 0;
            }
            if (!counterStack_.empty()) {
                repeatCounter_ = counterStack_.pop();
            } else {
                repeatCounter_ = 0;
                repeatLimit_ = 0;
            }
        }
        popNode();
    }
    current_ = nullptr;
    return kYield;
}

std::int32_t ExBulletML_Runtime::executeNode(const BulletML_Node* node) {
    std::int32_t code = node->getCode();
    std::int32_t result = 0;
    // Most nodes a frame executes are waits: counted here, without the
    // table's call.
    if (code == kWait) {
        result = waitFrame();
    } else if (code >= 1 && code <= kHandlerCount) {
        result = g_handlers[code - 1](*this, code);
    }
    if (observer_) observer_(observerContext_, this, code, result);
    return result;
}

std::int32_t ExBulletML_Runtime::execute() {
    settleCountedWait();
    if (!current_) return kYield;
    return executeNode(current_);
}

template <bool kBaseExecute>
void ExBulletML_Runtime::runLoop() {
    std::uint32_t executed = 0;
    for (;;) {
        if (executed == kRunBudget) {
            // A script that never yields: stop here for this frame.
            if (!budgetLogged_) {
                budgetLogged_ = true;
                logBudgetExceeded(root_);
            }
            return;
        }
        ++executed;
        // Inside run no object counts this runtime's frames (continueWait
        // refuses a running runtime), so the node and the walk go without
        // settling. The walk stands on a node here: run starts only with
        // one, and a step that answers 0 has left the walk on one.
        std::int32_t result;
        if constexpr (kBaseExecute) {
            result = executeNode(current_);
        } else {
            result = execute();
        }
        if (retired_) return;
        if (result == kLeave) {
            popNode();
        } else if (result != kGoOn) {
            return;
        }
        if (stepNodes() != 0) return;
    }
}

std::int32_t ExBulletML_Runtime::runNodes() {
    if (!cursorStack_.empty()) {
        childCursor_ = cursorStack_.pop();
        current_->setCursor(static_cast<std::uint32_t>(childCursor_));
    }
    if (BulletObjectManager* manager = g_bulletObjectManager) manager->syncCurrentObject();
    running_ = true;
    // A class of its own may replace execute; the base class's is inlined
    // into the loop, the type looked at once per run rather than at every
    // node.
    if (typeid(*this) == typeid(ExBulletML_Runtime)) {
        runLoop<true>();
    } else {
        runLoop<false>();
    }
    running_ = false;
    if (retired_) {
        destroy();
        return 0;
    }
    cursorStack_.push(childCursor_);
    return 0;
}

std::int32_t ExBulletML_Runtime::step() {
    settleCountedWait();
    return stepNodes();
}

std::int32_t ExBulletML_Runtime::leaveAndStep() {
    settleCountedWait();
    popFrame();
    return step();
}

void ExBulletML_Runtime::enterChild() {
    settleCountedWait();
    enterChildNode(current_->getCurrentChild());
}

void ExBulletML_Runtime::popFrame() {
    settleCountedWait();
    popNode();
}

void ExBulletML_Runtime::restartNode() {
    settleCountedWait();
    if (!current_) return;
    current_->resetCursor();
    childCursor_ = 0;
}

void ExBulletML_Runtime::emptyStacks() {
    settleCountedWait();
    nodeStack_.clear();
    counterStack_.clear();
    cursorStack_.clear();
    // Entries left on the limit stack would never be read again; emptying it
    // keeps a reused runtime from carrying them.
    limitStack_.clear();
    while (!paramStack_.empty()) giveBack(paramStack_.pop(), ownParams());
    variables_.clear();
}

bool ExBulletML_Runtime::replaceParams() {
    giveBack(params_, ownParams());
    params_ = VecParamAllocator::instance().get();
    if (params_) return true;
    params_ = ::new (ownParams()) VecParam{};
    return false;
}

void ExBulletML_Runtime::setNodes(BulletML_Node* node) {
    settleCountedWait(); current_ = root_ = start_ = node; }

void ExBulletML_Runtime::setup(BulletML_Node* node) {
    previousSpeed_ = 1.0f;
    previousDirection_ = 0.0f;
    setNodes(node);
    repeatCounter_ = 0;
    repeatLimit_ = 0;
    restartFlag_ = 0;
    childCursor_ = 0;
    started_ = 0;
    emptyStacks();
    replaceParams();
    nodeStack_.push(nullptr);
    cursorStack_.push(0);
}

void ExBulletML_Runtime::setupByLabel(std::int32_t code, NameHandle wideLabel) {
    settleCountedWait();
    BulletML_Node* node = nullptr;
    if (BulletML_Node_Manager* document = g_runtimeDocument) {
        document->setQuietLookup(true);
        node = document->findLabel(code, wideLabel);
        document->setQuietLookup(false);
    }
    setNodes(node);
    if (node) {
        node->resetCursor();
        childCursor_ = 0;
    }
    nodeStack_.push(nullptr);
    cursorStack_.push(0);
}

std::int32_t ExBulletML_Runtime::setupTop() {
    settleCountedWait();
    BulletML_Node* node = nullptr;
    if (BulletML_Node_Manager* document = g_runtimeDocument)
        node = document->findLabel(kAction, WideNamePool::instance().findOrInsert(u"top"));
    setNodes(node);
    if (!node) return 1;
    node->resetCursor();
    childCursor_ = 0;
    return 0;
}

void ExBulletML_Runtime::clear() {
    settleCountedWait();
    emptyStacks();
    repeatCounter_ = 0;
    repeatLimit_ = 0;
    nodeStack_.push(nullptr);
    cursorStack_.push(0);
    current_ = nullptr;
}

void ExBulletML_Runtime::restart() {
    settleCountedWait();
    clear();
    current_ = start_;
    if (current_) {
        current_->resetCursor();
        childCursor_ = 0;
    }
}

double ExBulletML_Runtime::evalRefParam(const BulletML_Node* reference, std::uint32_t index) {
    // By kind, as the node's own parameter evaluation does: literal, this
    // runtime's parameter, built-in, object variable, game variable, or the
    // compiled expression.
    return reference->evalParam(index, params_, &variables_);
}

void ExBulletML_Runtime::fillParams(VecParam* into, const BulletML_Node* reference) {
    std::uint32_t count = reference->getParamCount();
    if (count > VecParam::kCapacity) count = VecParam::kCapacity;
    for (std::uint32_t i = 0; i < count; ++i) into->values[i] = static_cast<float>(evalRefParam(reference, i));
    into->count = count;
}

ExBulletML_Runtime* ExBulletML_Runtime::spawnChild(BulletML_Node* node) {
    ExBulletML_Runtime* spawned = BMLRuntimeAllocator::instance().get();
    if (!spawned) return nullptr;
    spawned->setNodes(node);
    spawned->restartFlag_ = 1;
    std::uint32_t count = params_->count;
    if (count > VecParam::kCapacity) count = VecParam::kCapacity;
    spawned->params_->count = count;
    for (std::uint32_t i = 0; i < count; ++i) spawned->params_->values[i] = params_->values[i];
    return spawned;
}

ExBulletML_Runtime* ExBulletML_Runtime::spawnRefRuntime(BulletML_Node* target, BulletML_Node* reference) {
    ExBulletML_Runtime* spawned = BMLRuntimeAllocator::instance().get();
    if (!spawned) return nullptr;
    spawned->setNodes(target);
    spawned->restartFlag_ = 1;
    if (reference) fillParams(spawned->params_, reference);
    return spawned;
}

bool ExBulletML_Runtime::enterRef(BulletML_Node* reference) {
    VecParam* fresh = VecParamAllocator::instance().get();
    if (!fresh) return false;
    fillParams(fresh, reference);
    paramStack_.push(params_);
    params_ = fresh;
    return true;
}

void ExBulletML_Runtime::endForDepth() {
    logLine("スクリプトの入れ子が" + std::to_string(kMaxDepth) + "段を超えたため終了しました: " + labelOf(root_));
    current_ = nullptr;
}
