// The program's random source: a 64-bit linear congruential generator,
// process-wide, seeded once at start-up.
#pragma once

#include <cstdint>

constexpr std::uint64_t kRandomMultiplier = 0x0000015A00004E35ULL;
constexpr std::uint64_t kRandomIncrement = 1;

void SeedRandom(std::uint32_t seed);
// The next value, 0 to 0x7FFFFFFF: the high half of the new state, top bit
// cleared.
std::uint32_t NextRandom();

// The raw state, for code that advances the generator in bulk and for tests
// that compare it.
std::uint64_t ReadRandomState();
void WriteRandomState(std::uint64_t state);
