// The walk stacks keep their entries in storage their owner gives them until
// a script nests deeper than that room, then in one heap array.
#include <gtest/gtest.h>

#include <cstdint>

#include "runtime/RuntimeStack.h"

namespace {

constexpr std::size_t kRoom = 4;
constexpr std::int32_t kUnwritten = -7;
constexpr std::int32_t kGuard = 0x5a5a5a5a;

// The given storage between two guard words, as the runtime lays it out
// between its other fields.
struct Owner {
    std::int32_t before = kGuard;
    std::int32_t storage[kRoom] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten};
    std::int32_t after = kGuard;
};

TEST(RuntimeStack, EntriesStayInTheGivenRoomUntilItIsFull) {
    for (std::size_t depth : {std::size_t{0}, std::size_t{1}, kRoom, kRoom + 1, 3 * kRoom + 1}) {
        Owner owner;
        {
            RuntimeStack<std::int32_t, kRoom> stack(owner.storage);
            for (std::size_t i = 0; i < depth; ++i) stack.push(static_cast<std::int32_t>(i * 3 + 1));
            EXPECT_EQ(stack.size(), depth) << depth;
            EXPECT_EQ(stack.onHeap(), depth > kRoom) << depth;
            // Nothing beyond what was pushed is written, nothing outside the room.
            for (std::size_t i = depth; i < kRoom; ++i) EXPECT_EQ(owner.storage[i], kUnwritten) << depth << " " << i;
            EXPECT_EQ(owner.before, kGuard) << depth;
            EXPECT_EQ(owner.after, kGuard) << depth;
            if (depth > 0) {
                EXPECT_EQ(stack.top(), static_cast<std::int32_t>((depth - 1) * 3 + 1)) << depth;
            }
            for (std::size_t i = 0; i < depth; ++i) EXPECT_EQ(stack[i], static_cast<std::int32_t>(i * 3 + 1)) << depth;
            for (std::size_t i = depth; i-- > 0;) EXPECT_EQ(stack.pop(), static_cast<std::int32_t>(i * 3 + 1)) << depth;
            EXPECT_TRUE(stack.empty()) << depth;
        }
        EXPECT_EQ(owner.after, kGuard) << depth;
    }
}

TEST(RuntimeStack, AStackThatMovedToTheHeapKeepsItAfterClearing) {
    Owner owner;
    RuntimeStack<std::int32_t, kRoom> stack(owner.storage);
    for (std::int32_t i = 0; i < 9; ++i) stack.push(i);
    stack.clear();
    for (std::int32_t i = 0; i < 12; ++i) stack.push(100 + i);
    EXPECT_TRUE(stack.onHeap());
    EXPECT_EQ(stack.size(), 12u);
    for (std::int32_t i = 12; i-- > 0;) EXPECT_EQ(stack.pop(), 100 + i);
    EXPECT_EQ(owner.after, kGuard);
}

}  // namespace
