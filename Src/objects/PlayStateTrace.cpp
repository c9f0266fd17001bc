#include "objects/PlayStateTrace.h"

#include <cinttypes>
#include <cstdio>

#include "input/ReplayManager.h"
#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"
#include "objects/IntBulletObjectManager.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "services/DebugInfo.h"
#include "services/Fnv1a.h"
#include "services/Managers.h"

std::uint64_t hashPlayState(BulletObjectManager& objects, GameInfo& game) {
    Fnv1a hash;
    for (IntBulletObjectManager* list : objects.allLists()) {
        // The count separates the lists, so an object moving from one list to
        // the next changes the hash.
        hash.add(list->size());
        for (BulletObject* object = list->front(); object; object = IntBulletObjectManager::next(object)) {
            hash.add(object->getKind());
            hash.add(object->getState());
            hash.add(object->getX());
            hash.add(object->getY());
            hash.add(object->getSpeed());
            hash.add(object->getDirection());
        }
    }
    hash.add(objects.getPlayerX());
    hash.add(objects.getPlayerY());
    hash.add(game.getScore());
    hash.add(game.getBuzz());
    hash.add(game.getPrate());
    hash.add(game.getSpirit());
    hash.add(game.getRank());
    hash.add(game.getMpoint());
    for (std::int32_t type = 0; type < GameInfo::kItemTypes; ++type) hash.add(game.getItemCount(type));
    hash.add(ExBulletML_Runtime::randomState());
    return hash.value();
}

void tracePlayState(std::int32_t stage, std::uint32_t frame) {
    ReplayDebugInfo* trace = g_replayDebugInfo;
    if (!trace || !trace->hasSink() || !g_bulletObjectManager || !g_gameInfo) return;
    char line[64];
    const int length = std::snprintf(line, sizeof line, "%" PRId32 " %" PRIu32 " %016" PRIx64, stage, frame,
                                     hashPlayState(*g_bulletObjectManager, *g_gameInfo));
    trace->writeLine(std::string_view(line, static_cast<std::size_t>(length)));
}

void traceReplayFrame(const ReplayManager& replays) {
    if (const std::optional<ReplayManager::TracePoint> point = replays.tracePoint())
        tracePlayState(point->stage, point->frame);
}
