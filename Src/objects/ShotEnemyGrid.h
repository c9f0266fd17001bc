// The enemies each player shot can touch, found without walking every enemy
// for every shot. The shots-against-enemies step acts on an enemy only when
// it has a shared vital (every live shot wounds or destroys it, wherever it
// is) or when the shot's hit shape overlaps it; the grid hands a shot exactly
// the enemies of the first kind and those whose shape lies near its own, in
// list order, so the step does what a walk over the whole list would do.
// Built once per pass from the enemy list; its storage is kept from frame to
// frame, so a steady game allocates nothing here.
#pragma once
#include <cstdint>
#include <vector>

class BulletObject;
class IntBulletObjectManager;

class ShotEnemyGrid {
public:
    // A box that shape 1's overlap tests never reach beyond.
    struct Box {
        float left, top, right, bottom;
    };
    // The box of circles (radius above 0) and axis-aligned rectangles with
    // finite values, widened for the tests' rounding; false for the other
    // shapes (rotated rectangles, codes not listed), which are tested against
    // everything.
    static bool shapeBox(const BulletObject& object, Box& box);

    // `mayBeHit`: whether the step could act on an enemy without a shared
    // vital through an overlap (nothing in the step makes it so later).
    void build(IntBulletObjectManager* enemies, bool (*mayBeHit)(BulletObject&));

    // The enemies the step could act on for `shot`, in list order. Valid
    // until the next call.
    const std::vector<BulletObject*>& near(const BulletObject& shot);

private:
    static constexpr int kMaxCells = 64;  // per axis
    static constexpr float kCellSize = 32.0f;
    void buildCells();
    int cellX(float x) const;
    int cellY(float y) const;

    std::vector<BulletObject*> order_;        // the enemy list, in order
    std::vector<std::uint32_t> always_;       // positions visited for every shot
    std::vector<std::uint32_t> candidates_;   // positions placed in the grid
    std::vector<Box> boxes_;                  // their boxes, by candidate
    std::vector<std::uint32_t> cellStart_;    // per cell, into cellEntries_
    std::vector<std::uint32_t> cellEntries_;  // candidates, cell by cell
    std::vector<std::uint32_t> positions_;    // one shot's positions
    std::vector<BulletObject*> near_;         // one shot's enemies
    float minX_ = 0.0f, minY_ = 0.0f, cellWidth_ = 1.0f, cellHeight_ = 1.0f;
    int cellsX_ = 0, cellsY_ = 0;
};
