// Small scenes for the collision and item suites: a player, bullets,
// enemies, shots, bombs and items made active with circle hit shapes, the
// game's tuning variables at known values, and the records' counters read
// back in one record.
#pragma once
#include <cstdint>
#include <string_view>

#include "objects/ObjectFixture.h"

// What the records say after a pass.
struct RecordSnapshot {
    std::uint32_t score;
    std::int32_t buzz;
    std::int32_t prate;
    std::int32_t spirit;
    float missCount;
    std::int32_t gameOver;
};

// Public, so that scenes written as data (functions taking the test) can
// build and read the field.
class CollisionScene : public ObjectTest {
public:
    using ObjectTest::game;
    using ObjectTest::manager;


    float var(std::string_view name) { return game().getVar(internName(name)); }
    void setVar(std::string_view name, float value) { game().setVar(internName(name), value); }
    RecordSnapshot snapshot();

    // Objects, active, with a circle hit shape of radius r (and a graze
    // circle of radius graze when above 0).
    BulletObject* makePlayer(float x, float y, float r = 2.0f, float graze = 20.0f);
    BulletObject* makeBullet(float x, float y, float r = 4.0f, float graze = 4.0f);
    BulletObject* makeEnemy(float x, float y, float r = 10.0f, float vital = 10.0f);
    BulletObject* makeShot(float x, float y, float r = 4.0f, float vital = 5.0f);
    BulletObject* makeBomb(float x, float y, float r = 50.0f, float vital = 20.0f);
    BulletObject* makeItem(float x, float y, std::uint8_t kind, std::int32_t score = 100);
    // A top object whose main script is a scripted runtime, runtime inactive.
    BulletObject* makeTop();
    // Sets the frames-since-magic counter.
    void setMagicFrames(std::uint32_t frames);

protected:
    CollisionScene();

private:
    static void shape(BulletObject* object, float x, float y, float r, float graze);
};
