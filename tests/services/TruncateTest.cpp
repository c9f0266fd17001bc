#include "services/Truncate.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

TEST(Truncate, TowardZeroAndIndefiniteOutsideTheRange) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, std::int32_t> cases[] = {
        {0.0, 0}, {-0.0, 0}, {7.9, 7}, {-7.9, -7}, {0.999, 0}, {-0.999, 0},
        {2147483647.0, INT_MAX}, {2147483647.9, INT_MAX}, {-2147483648.0, INT_MIN}, {-2147483648.9, INT_MIN},
        {2147483648.0, INT_MIN}, {-2147483649.0, INT_MIN}, {1e20, INT_MIN}, {-1e20, INT_MIN},
        {inf, INT_MIN}, {-inf, INT_MIN}, {std::nan(""), INT_MIN},
    };
    for (auto [value, expected] : cases) EXPECT_EQ(truncateToInt32(value), expected) << value;
    EXPECT_EQ(truncateToInt32(3.99f), 3) << "floats widen exactly";
    EXPECT_EQ(truncateToInt32(3e9f), INT_MIN);
}

}  // namespace
