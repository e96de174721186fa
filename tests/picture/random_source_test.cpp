#include <gtest/gtest.h>

#include "picture/random_source.h"

TEST(RandomSource, SeedZeroStartsAtOneAndGivesTheKnownSequence) {
    SeedRandom(0);
    EXPECT_EQ(ReadRandomState(), 1u);
    const std::uint32_t expected[] = {346, 13854878, 1621890440, 816282396, 1778554774, 821126358};
    const std::uint32_t remainders[] = {1, 3, 0, 1, 4, 3};
    for (int i = 0; i < 6; ++i) {
        const std::uint32_t value = NextRandom();
        EXPECT_EQ(value, expected[i]) << "call " << i;
        EXPECT_EQ(value % 5, remainders[i]) << "call " << i;
    }
}

TEST(RandomSource, SeedOneStirsOnlyTheLowHalf) {
    SeedRandom(1);
    EXPECT_EQ(ReadRandomState(), 22695478u);
    EXPECT_EQ(NextRandom(), 1410184549u);
    // The stirring is 32-bit arithmetic: large seeds wrap, the high half stays 0.
    SeedRandom(0xFFFFFFFFu);
    EXPECT_EQ(ReadRandomState(), static_cast<std::uint32_t>(0xFFFFFFFFu * 22695477u + 1u));
}

TEST(RandomSource, ValuesKeepTheTopBitClearOverTheWholeState) {
    WriteRandomState(0xFFFFFFFFFFFFFFFFULL);
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t before = ReadRandomState();
        const std::uint32_t value = NextRandom();
        const std::uint64_t after = before * 0x0000015A00004E35ULL + 1;
        EXPECT_EQ(ReadRandomState(), after);
        EXPECT_EQ(value, static_cast<std::uint32_t>(after >> 32) & 0x7FFFFFFFu);
    }
}
