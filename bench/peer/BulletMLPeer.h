// A host for the peer interpreter of the standard bullet markup (Debian's
// libbulletml), which the script bullet benchmarks measure our interpreter
// against. The peer's headers need an older language standard, so this
// header names nothing of them: the host is one translation unit of its own.
//
// The host moves plain float bullets with the engine's sine table and
// direction convention (degrees, 0 up, clockwise; x += sin(d) * speed,
// y -= cos(d) * speed), runs every emitter, then every bullet in creation
// order (bullets made during the walk are visited in it, each running its
// script before it moves), and removes vanished bullets at the end of the
// frame.
#pragma once
#include <cstddef>

class BulletMLPeerWorld {
public:
    using Trig = float (*)(float);

    // `path`: a standard bullet markup file whose top action each emitter
    // runs; the emitters stand at the given points; the player at
    // (playerX, playerY).
    BulletMLPeerWorld(const char* path, int emitters, const float* emitterX, const float* emitterY, float playerX,
                      float playerY, Trig sinDeg, Trig cosDeg);
    ~BulletMLPeerWorld();
    BulletMLPeerWorld(const BulletMLPeerWorld&) = delete;
    BulletMLPeerWorld& operator=(const BulletMLPeerWorld&) = delete;

    // False when the file could not be read.
    bool ok() const;
    // One frame; returns the bullets alive after it.
    std::size_t frame();

    // The host's state (its runners reach it).
    struct Impl;

private:
    Impl* impl_;
};
