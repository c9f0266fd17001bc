#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "objects/BulletObjectManager.h"
#include "records/Crc32.h"
#include "services/SineTable.h"

namespace {
std::vector<std::uint8_t> littleEndianBytes(const float* values, int count) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t word = std::bit_cast<std::uint32_t>(values[i]);
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(word >> shift));
    }
    return bytes;
}
}  // namespace

// The table is its constants; recomputing them by the game's formula gives
// the same bits, and the CRC-32 of its bytes is pinned.
TEST(SineTable, ConstantsMatchTheFormulaAndTheirChecksum) {
    std::vector<float> recomputed(sine_table::kEntries);
    for (int i = 0; i < sine_table::kEntries; ++i) {
        const float radians = static_cast<float>(static_cast<double>(i) / 10.0 * 0.01745329238474369);
        recomputed[i] = static_cast<float>(std::sin(static_cast<double>(radians)));
        ASSERT_EQ(std::bit_cast<std::uint32_t>(recomputed[i]), std::bit_cast<std::uint32_t>(sine_table::kValues[i]))
            << "entry " << i;
    }
    const std::vector<std::uint8_t> bytes = littleEndianBytes(sine_table::kValues, sine_table::kEntries);
    ASSERT_EQ(bytes.size(), 14400u);
    EXPECT_EQ(crc32(bytes.data(), bytes.size()), 0xD30DA682u);
    EXPECT_EQ(sine_table::kValues[1800], -0x1.777a5cp-24f);
    EXPECT_EQ(sine_table::kValues[900], 1.0f);
}

// Index cases: truncation toward zero, the remainder's sign, whole turns, and
// the product taken in single precision.
TEST(SineTable, AnglesPickTheirEntries) {
    struct Case {
        float degrees;
        int index;
    };
    const Case cases[] = {
        {0.0f, 0},      {-0.05f, 0},    {-0.15f, 3599}, {720.0f, 0},   {359.95f, 3599},
        {-90.0f, 2700}, {450.0f, 900},  {12.34f, 123},
        // 0.7f is 0.69999998...: times 10 in double truncates to 6, in float
        // the product rounds to 7.
        {0.7f, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sine_table::indexOf(c.degrees), c.index) << c.degrees;
        EXPECT_EQ(BulletObjectManager::sinDeg(c.degrees), sine_table::kValues[c.index]) << c.degrees;
    }
    EXPECT_EQ(BulletObjectManager::cosDeg(0.0f), 1.0f);
    // -0.15 + 90 is 89.85: entry 898.
    EXPECT_EQ(BulletObjectManager::cosDeg(-0.15f), sine_table::kValues[898]);
    // Any float reads inside the table.
    for (float odd : {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 2.1e8f}) {
        const int index = sine_table::indexOf(odd);
        EXPECT_GE(index, 0);
        EXPECT_LT(index, 3600);
    }
}

// Angles around the turn boundaries (within one turn up or down of the table
// and far beyond it) pick the entry of the plain remainder.
TEST(SineTable, EveryTenthPicksTheRemaindersEntry) {
    auto remainder = [](float degrees) {
        const int index = truncateToInt32(degrees * 10.0f) % sine_table::kEntries;
        return index < 0 ? index + sine_table::kEntries : index;
    };
    for (int tenth = -9000; tenth <= 12000; ++tenth) {
        for (float degrees : {static_cast<float>(tenth) / 10.0f, std::nextafter(static_cast<float>(tenth) / 10.0f, -1e9f),
                              std::nextafter(static_cast<float>(tenth) / 10.0f, 1e9f)}) {
            ASSERT_EQ(sine_table::indexOf(degrees), remainder(degrees)) << degrees;
        }
    }
}

// A new object keeps the sine and minus cosine of direction 0 without a
// look-up: its first speed moves it exactly as one turned to 0 moves.
TEST(SineTable, ANewObjectMovesAsOneTurnedToZero) {
    for (float speed : {1.0f, 2.5f, -0.75f}) {
        BulletObject fresh;
        BulletObject turned;
        turned.setDirection(0.0f);
        fresh.setSpeed(speed);
        turned.setSpeed(speed);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(fresh.getVelocityX()), std::bit_cast<std::uint32_t>(turned.getVelocityX()));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(fresh.getVelocityY()), std::bit_cast<std::uint32_t>(turned.getVelocityY()));
        EXPECT_EQ(fresh.getVelocityY(), -speed);
    }
}
