#include "shell/TopObjectsSetup.h"

#include "objects/BulletObjectManager.h"
#include "runtime/ExBulletML_Runtime.h"
#include "script/ElementId.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"
#include "shell/MainLoop.h"

namespace {
// Draw levels of the top objects.
constexpr std::int32_t kPlayerTopLevel = 13;
constexpr std::int32_t kRootLevel = 18;
constexpr std::int32_t kShotTopLevel = 21;
constexpr std::int32_t kOptionAndBombLevel = 12;
// The root object never leaves by an edge: its vanish bounds lie this far
// beyond each side of the play field.
constexpr float kRootVanishMargin = 2000.0f;
// Image bounds mode of the root and the shot objects: neither loop nor stop.
constexpr std::int32_t kImageBoundsOther = 2;

BulletObject* makeTop(TopObject which) {
    BulletObject* object = createTopObject(TopObjects::label(which));
    g_bulletObjectManager->getTopObjects().set(which, object);
    return object;
}

// The root object runs the document's root action ("top"); a document
// without one ends the program through the label lookup.
void createRootObject(BulletObjectManager& manager) {
    BulletObject* root = manager.createPlainObject();
    if (!root) {
        manager.getTopObjects().set(TopObject::kRoot, nullptr);
        return;
    }
    const bool vertical = !g_systemInfo || g_systemInfo->getScroll() == 1;
    root->setX(vertical ? 320.0f : 600.0f);
    root->setY(vertical ? 100.0f : 240.0f);
    root->setActive(0);
    root->setDrawLevel(kRootLevel);
    root->setSpeed(0.0f);
    root->setEdgeMode(0);
    root->applyImageBounds(kImageBoundsOther);
    root->setEdgeBoundsMax(kRootVanishMargin, kRootVanishMargin);
    root->setEdgeBoundsMin(-kRootVanishMargin, -kRootVanishMargin);
    manager.getTopObjects().set(TopObject::kRoot, root);
    ExBulletML_Runtime* runtime = manager.getRuntime();
    if (!runtime) return;
    runtime->setupTop();
    root->setMainRuntime(runtime);
    root->setRuntimeActive(1);
}
}  // namespace

BulletObject* createTopObject(std::u16string_view label) {
    BulletObjectManager* manager = g_bulletObjectManager;
    if (!manager) return nullptr;
    ExBulletML_Runtime* runtime = manager->getRuntime();
    if (!runtime) return nullptr;
    runtime->setupByLabel(kAction, internWideName(label));
    BulletObject* object = manager->createPlainObject();
    if (!object) {
        runtime->destroy();
        return nullptr;
    }
    object->setMainRuntime(runtime);
    object->setWideName(internWideName(label));
    return object;
}

void hideTopObject(BulletObject* object) {
    if (!object) return;
    object->setActive(0);
    object->setSpeed(0.0f);
    object->setDirection(0.0f);
    object->setRuntimeActive(0);
}

void createTopObjects() {
    BulletObjectManager* manager = g_bulletObjectManager;
    if (!manager) return;
    ExBulletML_Runtime::setDocument(g_currentDocument);

    // The player's script runs one step at once, so the player exists before
    // any other script looks for it.
    if (BulletObject* player = makeTop(TopObject::kPlayer)) {
        player->setDrawLevel(kPlayerTopLevel);
        player->setActive(0);
    }
    manager->execBullet();
    // The scene's item script ("ttc_item_01", looked up quietly: a scene
    // without one converts nothing).
    manager->loadItemScript(g_currentDocument);

    createRootObject(*manager);

    for (TopObject shot : {TopObject::kShot1, TopObject::kShot2}) {
        if (BulletObject* object = makeTop(shot)) {
            object->setDrawLevel(kShotTopLevel);
            hideTopObject(object);
            object->setEdgeMode(2);
            object->applyImageBounds(kImageBoundsOther);
        }
    }
    hideTopObject(makeTop(TopObject::kPause));
    hideTopObject(makeTop(TopObject::kGameOver));
    for (TopObject low : {TopObject::kOption, TopObject::kBomb, TopObject::kBomb2}) {
        if (BulletObject* object = makeTop(low)) {
            object->setDrawLevel(kOptionAndBombLevel);
            hideTopObject(object);
        }
    }
    hideTopObject(makeTop(TopObject::kTensionUp));
}
