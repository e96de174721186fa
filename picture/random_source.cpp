#include "picture/random_source.h"

namespace {
std::uint64_t randomState = 0;
}

void SeedRandom(std::uint32_t seed) {
    // The seed is stirred once through the 32-bit generator of the same family;
    // the high half starts at zero.
    randomState = static_cast<std::uint32_t>(seed * 22695477U + 1U);
}

std::uint32_t NextRandom() {
    randomState = randomState * kRandomMultiplier + kRandomIncrement;
    return static_cast<std::uint32_t>(randomState >> 32) & 0x7FFFFFFFU;
}

std::uint64_t ReadRandomState() { return randomState; }

void WriteRandomState(std::uint64_t state) { randomState = state; }
