// Game records and script variables.
#include "records/GameInfo.h"
#include "input/ReplayManager.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/Managers.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

std::int32_t intChild(R& runtime, std::int32_t id) { return truncateToInt32(runtime.evalChild(id)); }

// The expression stored under the node's own id, as a float.
float ownExpression(R& runtime, std::int32_t id) { return static_cast<float>(runtime.evalChild(id)); }

// Float -> 64-bit integer toward zero; the x86 indefinite value outside the
// range and for NaN.
std::int64_t truncateToInt64(double value) {
    if (value > -9223372036854775808.0 && value < 9223372036854775808.0) return static_cast<std::int64_t>(value);
    return INT64_MIN;
}
}  // namespace

namespace handlers {

std::int32_t eval(R& runtime, std::int32_t) {
    float value = ownExpression(runtime, kEval);
    runtime.getObjectVariables()[runtime.getCurrentNode()->getVariable()] = value;
    return R::kGoOn;
}

std::int32_t evalAdd(R& runtime, std::int32_t) {
    float value = ownExpression(runtime, kEvalAdd);
    runtime.getObjectVariables()[runtime.getCurrentNode()->getVariable()] += value;
    return R::kGoOn;
}

std::int32_t global(R& runtime, std::int32_t) {
    float value = ownExpression(runtime, kGlobal);
    if (g_gameInfo) g_gameInfo->setGlobalVar(runtime.getCurrentNode()->getVariable(), value);
    return R::kGoOn;
}

std::int32_t dynamic(R& runtime, std::int32_t) {
    BulletML_Node* node = runtime.getCurrentNode();
    if (BulletML_Node_Number* expression = node->getDynamic())
        if (g_gameInfo) g_gameInfo->setDynamicVar(node->getVariable(), expression);
    return R::kGoOn;
}

std::int32_t addScore(R& runtime, std::int32_t) {
    float value = static_cast<float>(runtime.evalChild(kScore));
    // The record adds modulo 2^32, as its 32-bit score word does.
    if (g_gameInfo) g_gameInfo->addScore(static_cast<std::uint32_t>(truncateToInt64(value)));
    return R::kGoOn;
}

std::int32_t addPrate(R& runtime, std::int32_t) {
    float value = static_cast<float>(runtime.evalChild(kNum));
    if (g_gameInfo) g_gameInfo->addPrate(truncateToInt32(value));
    return R::kGoOn;
}

std::int32_t addRank(R& runtime, std::int32_t) {
    if (g_gameInfo) g_gameInfo->addRank(intChild(runtime, kNum));
    return R::kGoOn;
}

std::int32_t addSpirit(R& runtime, std::int32_t) {
    if (g_gameInfo) g_gameInfo->addSpirit(intChild(runtime, kSpirit));
    return R::kGoOn;
}

std::int32_t setGameFlag(R& runtime, std::int32_t) {
    if (g_gameInfo) g_gameInfo->setGameFlag(intChild(runtime, kNum), intChild(runtime, kFlag));
    return R::kGoOn;
}

std::int32_t setEnding(R& runtime, std::int32_t) {
    if (g_replayManager && g_replayManager->getMode() == ReplayManager::kPlayBack) return R::kGoOn;
    if (g_gameInfo) g_gameInfo->setEndingSeen(intChild(runtime, kNum));
    return R::kGoOn;
}

}  // namespace handlers
