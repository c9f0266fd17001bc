#include "objects/CollisionSceneFixture.h"

CollisionScene::CollisionScene() {
    game().setSpirit(100);
    game().setPrate(0);
    game().setMaxCrystal(3);
    setVar("automagic_spirit", 50.0f);
    setVar("buzzscore", 10.0f);
    setVar("bulletrevengeframe", 30.0f);
    setVar("ttcitemframe", 60.0f);
    setVar("maxtension", 3.0f);
}

RecordSnapshot CollisionScene::snapshot() {
    return {game().getScore(), game().getBuzz(), game().getPrate(), game().getSpirit(), var("misscount"),
            game().isGameOver()};
}

void CollisionScene::shape(BulletObject* object, float x, float y, float r, float graze) {
    object->setActive(1);
    object->setX(x);
    object->setY(y);
    object->setHitShape(kShapeCircle, 0, 0, r, 0);
    if (graze > 0.0f) {
        object->setBuzzShape(kShapeCircle, 0, 0, graze, 0);
        object->setBuzzCount(1);
    }
}

BulletObject* CollisionScene::makePlayer(float x, float y, float r, float graze) {
    BulletObject* player = manager().createPlainObject();
    player->setKind(object_kind::kPlayer);
    shape(player, x, y, r, graze);
    player->setVital(50.0f);
    manager().setPlayer(player);
    return player;
}

BulletObject* CollisionScene::makeBullet(float x, float y, float r, float graze) {
    BulletObject* bullet = manager().createBullet();
    bullet->setKind(object_kind::kBullet);
    shape(bullet, x, y, r, graze);
    return bullet;
}

BulletObject* CollisionScene::makeEnemy(float x, float y, float r, float vital) {
    BulletObject* enemy = manager().createEnemy();
    enemy->setKind(object_kind::kEnemy);
    shape(enemy, x, y, r, 0.0f);
    enemy->setVital(vital);
    enemy->setScore(1000);
    return enemy;
}

BulletObject* CollisionScene::makeShot(float x, float y, float r, float vital) {
    BulletObject* shot = manager().createShot();
    shot->setKind(object_kind::kShot);
    shape(shot, x, y, r, 0.0f);
    shot->setVital(vital);
    return shot;
}

BulletObject* CollisionScene::makeBomb(float x, float y, float r, float vital) {
    BulletObject* bomb = manager().createBomb();
    bomb->setKind(object_kind::kBomb);
    shape(bomb, x, y, r, 0.0f);
    bomb->setVital(vital);
    return bomb;
}

BulletObject* CollisionScene::makeItem(float x, float y, std::uint8_t kind, std::int32_t score) {
    BulletObject* item = manager().createItem();
    item->setKind(kind);
    shape(item, x, y, 4.0f, 0.0f);
    item->setScore(score);
    return item;
}

BulletObject* CollisionScene::makeTop() {
    BulletObject* top = manager().createPlainObject();
    top->setMainRuntime(script(nullptr));
    top->setRuntimeActive(0);
    return top;
}

void CollisionScene::setMagicFrames(std::uint32_t frames) {
    g_frameCounter->resetMagicFrames();
    for (std::uint32_t i = 0; i < frames; ++i) g_frameCounter->tickMagicFrames();
}
