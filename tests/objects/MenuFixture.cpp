#include "objects/MenuFixture.h"

#include "objects/SelectableObjectAllocator.h"
#include "platform/Text.h"
#include "runtime/RuntimeTestSupport.h"

MenuTest::MenuTest() {
    registerSysVars();
    resetRuntimePool();
    ExBulletML_Runtime::reseed();
    SelectableObjectAllocator::instance().fill();
    input = std::make_unique<ScriptedButtons>();
    g_dinputObject = input.get();
    // Frame 1: the replay-start frame (0) is the one the player step skips.
    g_frameCounter->onPresent();
    resetSlowCounter();
}

MenuTest::~MenuTest() {
    // The entries and their runtimes go before the pools are looked at again.
    manager().clearAll();
    g_dinputObject = nullptr;
    ExBulletML_Runtime::setDocument(nullptr);
}

BulletML_Node_Manager& MenuTest::load(const std::string& body) {
    return loadDocument("<exbulletml>" + body + "</exbulletml>");
}

BulletML_Node_Manager& MenuTest::loadDocument(const std::string& text) {
    content_ = std::make_unique<BoostContentHandler>();
    parseXml(text::widen(text), *content_, "menu.xml");
    BulletML_Node_Manager* document = content_->getHandler()->getDocument();
    document->setQuietLookup(true);
    document->linkRefs();
    document->setQuietLookup(false);
    ExBulletML_Runtime::setDocument(document);
    return *document;
}

BulletObject* MenuTest::spawn(const char16_t* label, float x, float y) {
    BulletObject* object = manager().createPlainObject();
    object->setX(x);
    object->setY(y);
    object->setSpeed(0.0f);
    ExBulletML_Runtime* runtime = manager().getRuntime();
    runtime->setupByLabel(kAction, wide(label));
    object->setMainRuntime(runtime);
    object->setWideName(wide(label));
    return object;
}

BulletObject* MenuTest::makePlayer(float x, float y) {
    BulletObject* player = manager().createPlainObject();
    player->setKind(object_kind::kPlayer);
    player->setX(x);
    player->setY(y);
    player->setSpeed(0.0f);
    manager().setPlayer(player);
    return player;
}

void MenuTest::step(std::initializer_list<std::int32_t> held) {
    input->hold(held);
    updatePlayerFrame();
    manager().resetEnemyCountCache();
    manager().execBullet();
}
