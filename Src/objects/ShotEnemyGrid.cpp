#include "objects/ShotEnemyGrid.h"

#include <algorithm>
#include <cmath>

#include "objects/BulletObject.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/IntBulletObjectManager.h"

bool ShotEnemyGrid::shapeBox(const BulletObject& object, Box& box) {
    const HitShape& s = object.getHitShape1();
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
    switch (object.getHitShapeType()) {
        case kShapeCircle: {
            // The tests measure from the hit centre and let a radius of 0 or
            // less touch nothing.
            if (!(s.radius > 0.0f)) return false;
            const float x = object.getX() + s.offsetX, y = object.getY() + s.offsetY;
            left = x - s.radius;
            right = x + s.radius;
            top = y - s.radius;
            bottom = y + s.radius;
            break;
        }
        case kShapeRect:
            // Around the object's centre; edges given the wrong way round
            // still span the same box.
            left = object.getX() + std::min(s.rectLeft, s.rectRight);
            right = object.getX() + std::max(s.rectLeft, s.rectRight);
            top = object.getY() + std::min(s.rectTop, s.rectBottom);
            bottom = object.getY() + std::max(s.rectTop, s.rectBottom);
            break;
        default:
            return false;
    }
    if (!std::isfinite(left) || !std::isfinite(right) || !std::isfinite(top) || !std::isfinite(bottom)) return false;
    // A pixel and a little more than float rounding of the coordinates.
    const float margin = 1.0f + 1e-4f * (std::fabs(left) + std::fabs(right) + std::fabs(top) + std::fabs(bottom));
    box = {left - margin, top - margin, right + margin, bottom + margin};
    return true;
}

void ShotEnemyGrid::build(IntBulletObjectManager* enemies, bool (*mayBeHit)(BulletObject&)) {
    if (order_.capacity() == 0) {
        // The whole pool at most: no allocation as the field fills.
        order_.reserve(BulletObjectAllocator::kBlocks);
        always_.reserve(BulletObjectAllocator::kBlocks);
        candidates_.reserve(BulletObjectAllocator::kBlocks);
        boxes_.reserve(BulletObjectAllocator::kBlocks);
        positions_.reserve(BulletObjectAllocator::kBlocks);
        near_.reserve(BulletObjectAllocator::kBlocks);
        cellStart_.reserve(std::size_t(kMaxCells) * kMaxCells + 1);
    }
    order_.clear();
    always_.clear();
    candidates_.clear();
    boxes_.clear();
    for (BulletObject* enemy = enemies->front(); enemy; enemy = IntBulletObjectManager::next(enemy)) {
        const auto position = std::uint32_t(order_.size());
        order_.push_back(enemy);
        Box box{};
        if (enemy->getSharedVitalKey() != 0) {
            always_.push_back(position);
        } else if (!mayBeHit(*enemy)) {
            continue;  // never acted on in this step
        } else if (shapeBox(*enemy, box)) {
            candidates_.push_back(position);
            boxes_.push_back(box);
        } else {
            always_.push_back(position);
        }
    }
    buildCells();
}

int ShotEnemyGrid::cellX(float x) const {
    const float cell = std::floor((x - minX_) / cellWidth_);
    return cell <= 0.0f ? 0 : cell >= float(cellsX_ - 1) ? cellsX_ - 1 : int(cell);
}

int ShotEnemyGrid::cellY(float y) const {
    const float cell = std::floor((y - minY_) / cellHeight_);
    return cell <= 0.0f ? 0 : cell >= float(cellsY_ - 1) ? cellsY_ - 1 : int(cell);
}

// Cells of about kCellSize over the candidates' extent (at most kMaxCells a
// side), each listing the candidates whose box meets it, in list order.
void ShotEnemyGrid::buildCells() {
    cellsX_ = cellsY_ = 0;
    if (candidates_.empty()) return;
    float maxX = boxes_[0].right, maxY = boxes_[0].bottom;
    minX_ = boxes_[0].left;
    minY_ = boxes_[0].top;
    for (const Box& b : boxes_) {
        minX_ = std::min(minX_, b.left);
        minY_ = std::min(minY_, b.top);
        maxX = std::max(maxX, b.right);
        maxY = std::max(maxY, b.bottom);
    }
    cellsX_ = std::clamp(int((maxX - minX_) / kCellSize) + 1, 1, kMaxCells);
    cellsY_ = std::clamp(int((maxY - minY_) / kCellSize) + 1, 1, kMaxCells);
    cellWidth_ = std::max((maxX - minX_) / float(cellsX_), 1.0f);
    cellHeight_ = std::max((maxY - minY_) / float(cellsY_), 1.0f);
    cellStart_.assign(std::size_t(cellsX_) * std::size_t(cellsY_) + 1, 0);
    // Counted, summed, then filled in list order.
    for (const Box& b : boxes_)
        for (int y = cellY(b.top); y <= cellY(b.bottom); ++y)
            for (int x = cellX(b.left); x <= cellX(b.right); ++x) ++cellStart_[std::size_t(y) * cellsX_ + x + 1];
    for (std::size_t i = 1; i < cellStart_.size(); ++i) cellStart_[i] += cellStart_[i - 1];
    cellEntries_.resize(cellStart_.back());
    positions_.assign(cellStart_.begin(), cellStart_.end() - 1);  // fill cursors
    for (std::uint32_t c = 0; c < candidates_.size(); ++c) {
        const Box& b = boxes_[c];
        for (int y = cellY(b.top); y <= cellY(b.bottom); ++y)
            for (int x = cellX(b.left); x <= cellX(b.right); ++x)
                cellEntries_[positions_[std::size_t(y) * cellsX_ + x]++] = c;
    }
}

const std::vector<BulletObject*>& ShotEnemyGrid::near(const BulletObject& shot) {
    Box box{};
    if (!shapeBox(shot, box)) return order_;  // every enemy, as the plain walk
    positions_.clear();
    if (cellsX_ > 0) {
        for (int y = cellY(box.top); y <= cellY(box.bottom); ++y)
            for (int x = cellX(box.left); x <= cellX(box.right); ++x) {
                const std::size_t cell = std::size_t(y) * cellsX_ + x;
                for (std::uint32_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i) {
                    const std::uint32_t c = cellEntries_[i];
                    const Box& b = boxes_[c];
                    if (b.left <= box.right && box.left <= b.right && b.top <= box.bottom && box.top <= b.bottom)
                        positions_.push_back(candidates_[c]);
                }
            }
        // A candidate spanning several of the shot's cells is found in each.
        std::sort(positions_.begin(), positions_.end());
        positions_.erase(std::unique(positions_.begin(), positions_.end()), positions_.end());
    }
    near_.clear();
    std::size_t a = 0, p = 0;
    while (a < always_.size() || p < positions_.size()) {
        const bool fromAlways = p == positions_.size() || (a < always_.size() && always_[a] < positions_[p]);
        near_.push_back(order_[fromAlways ? always_[a++] : positions_[p++]]);
    }
    return near_;
}
