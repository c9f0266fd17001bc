#include "BulletMLPeer.h"

// The parser's base first: the TinyXML parser's header does not include it.
#include <bulletml/bulletmlparser.h>
#include <bulletml/bulletmlparser-tinyxml.h>
#include <bulletml/bulletmlrunner.h>

#include <cmath>
#include <vector>

namespace {

struct Body {
    float x, y, direction, speed;
    bool alive;
};

class HostRunner;

}  // namespace

struct BulletMLPeerWorld::Impl {
    BulletMLParser* parser = 0;
    bool ok = false;
    int turn = 0;
    float playerX = 0.0f, playerY = 0.0f;
    Trig sinDeg = 0;
    Trig cosDeg = 0;
    std::vector<Body> emitters;
    std::vector<HostRunner*> emitterRunners;
    std::vector<Body> bullets;
    std::vector<HostRunner*> bulletRunners;

    void addBullet(const Body& from, double direction, double speed, BulletMLState* state);
    void move(Body& body) const {
        body.x += sinDeg(body.direction) * body.speed;
        body.y -= cosDeg(body.direction) * body.speed;
    }
};

namespace {

// The peer's callbacks over one body, found by index (the bullet vector
// grows while the walk runs).
class HostRunner : public BulletMLRunner {
public:
    HostRunner(BulletMLParser* parser, BulletMLPeerWorld::Impl* world, std::vector<Body>* bodies, std::size_t index)
        : BulletMLRunner(parser), world_(world), bodies_(bodies), index_(index) {}
    HostRunner(BulletMLState* state, BulletMLPeerWorld::Impl* world, std::vector<Body>* bodies, std::size_t index)
        : BulletMLRunner(state), world_(world), bodies_(bodies), index_(index) {}

    double getBulletDirection() { return body().direction; }
    double getAimDirection() {
        // The engine's aim: 0 up, clockwise.
        const float dx = world_->playerX - body().x;
        const float dy = world_->playerY - body().y;
        return std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 57.2957763671875 + 90.0;
    }
    double getBulletSpeed() { return body().speed; }
    double getDefaultSpeed() { return 1.0; }
    double getRank() { return 0.5; }
    void createSimpleBullet(double direction, double speed) { world_->addBullet(body(), direction, speed, 0); }
    void createBullet(BulletMLState* state, double direction, double speed) {
        world_->addBullet(body(), direction, speed, state);
    }
    int getTurn() { return world_->turn; }
    void doVanish() { body().alive = false; }
    void doChangeDirection(double direction) { body().direction = static_cast<float>(direction); }
    void doChangeSpeed(double speed) { body().speed = static_cast<float>(speed); }
    void setIndex(std::size_t index) { index_ = index; }

private:
    Body& body() { return (*bodies_)[index_]; }
    BulletMLPeerWorld::Impl* world_;
    std::vector<Body>* bodies_;
    std::size_t index_;
};

}  // namespace

void BulletMLPeerWorld::Impl::addBullet(const Body& from, double direction, double speed, BulletMLState* state) {
    Body body = {from.x, from.y, static_cast<float>(direction), static_cast<float>(speed), true};
    bullets.push_back(body);
    bulletRunners.push_back(state ? new HostRunner(state, this, &bullets, bullets.size() - 1) : 0);
}

BulletMLPeerWorld::BulletMLPeerWorld(const char* path, int emitters, const float* emitterX, const float* emitterY,
                                     float playerX, float playerY, Trig sinDeg, Trig cosDeg)
    : impl_(new Impl) {
    impl_->playerX = playerX;
    impl_->playerY = playerY;
    impl_->sinDeg = sinDeg;
    impl_->cosDeg = cosDeg;
    try {
        impl_->parser = new BulletMLParserTinyXML(path);
        impl_->parser->build();
        impl_->ok = true;
    } catch (...) {
        impl_->ok = false;
        return;
    }
    impl_->emitters.reserve(static_cast<std::size_t>(emitters));
    for (int i = 0; i < emitters; ++i) {
        Body body = {emitterX[i], emitterY[i], 0.0f, 0.0f, true};
        impl_->emitters.push_back(body);
    }
    for (int i = 0; i < emitters; ++i) {
        impl_->emitterRunners.push_back(
            new HostRunner(impl_->parser, impl_, &impl_->emitters, static_cast<std::size_t>(i)));
    }
}

BulletMLPeerWorld::~BulletMLPeerWorld() {
    for (std::size_t i = 0; i < impl_->emitterRunners.size(); ++i) delete impl_->emitterRunners[i];
    for (std::size_t i = 0; i < impl_->bulletRunners.size(); ++i) delete impl_->bulletRunners[i];
    delete impl_->parser;
    delete impl_;
}

bool BulletMLPeerWorld::ok() const { return impl_->ok; }

std::size_t BulletMLPeerWorld::frame() {
    Impl& w = *impl_;
    for (std::size_t i = 0; i < w.emitters.size(); ++i) {
        if (!w.emitters[i].alive) continue;
        if (!w.emitterRunners[i]->isEnd()) w.emitterRunners[i]->run();
        w.move(w.emitters[i]);
    }
    // Bullets made during the walk are visited in it.
    for (std::size_t i = 0; i < w.bullets.size(); ++i) {
        if (!w.bullets[i].alive) continue;
        if (w.bulletRunners[i] && !w.bulletRunners[i]->isEnd()) w.bulletRunners[i]->run();
        if (w.bullets[i].alive) w.move(w.bullets[i]);
    }
    // Removal: the live ones keep their order.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < w.bullets.size(); ++i) {
        if (!w.bullets[i].alive) {
            delete w.bulletRunners[i];
            continue;
        }
        w.bullets[kept] = w.bullets[i];
        w.bulletRunners[kept] = w.bulletRunners[i];
        if (w.bulletRunners[kept]) static_cast<HostRunner*>(w.bulletRunners[kept])->setIndex(kept);
        ++kept;
    }
    w.bullets.resize(kept);
    w.bulletRunners.resize(kept);
    ++w.turn;
    return kept;
}
