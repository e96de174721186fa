// What the step and its processor's row kernels share (diffusion.cpp and
// step_rows_<processor>.cpp, which the build picks): the row kernel's form, the
// generator's jumps and draws, and the lanes the vector kernels draw with.
#pragma once

#include <cstdint>

#include "picture/diffusion.h"
#include "picture/random_source.h"

// StepPicture computes the same one interior row at a time. A row kernel gets
// the generator state before the row's first draw, the row's first interior
// pixel in bits and in the snapshot, the interior width and the stride. Rows
// are stored bottom-up: the pixel below (r = 2) is a stride lower in memory,
// the one above (r = 4) a stride higher.
using StepRow = void (*)(std::uint64_t state, std::uint8_t* target, const std::uint8_t* source, std::int32_t count,
                         std::int32_t stride);

// The state k draws after s is A^k·s + c_k modulo 2^64; the jump is built from
// the jumps by 1, 2, 4... draws.
struct Jump {
    std::uint64_t multiplier;
    std::uint64_t increment;
};

constexpr Jump JumpAhead(std::uint32_t draws) {
    Jump jump{1, 0};
    for (Jump power{kRandomMultiplier, kRandomIncrement}; draws != 0; draws >>= 1) {
        if ((draws & 1) != 0) {
            jump = {power.multiplier * jump.multiplier, power.multiplier * jump.increment + power.increment};
        }
        power = {power.multiplier * power.multiplier, power.multiplier * power.increment + power.increment};
    }
    return jump;
}

// NextRandom() % 5 of the state after one more draw, which moves on *state.
inline std::uint32_t Draw(std::uint64_t* state) {
    *state = *state * kRandomMultiplier + kRandomIncrement;
    return (static_cast<std::uint32_t>(*state >> 32) & 0x7FFFFFFFU) % 5U;
}

// The vector kernels take a row in pieces of 16 pixels and draw them with 16
// lanes of the generator: the lane for pixel j of a piece starts at the state
// j + 1 draws into the row and jumps 16 draws a piece, so it gives the draws
// of pixels j, j + 16, j + 32...

// r is the 31-bit value modulo 5, and so the sum s of its four bytes modulo 5
// (256 leaves 1 modulo 5). For s up to 4·255 = 1020, f = s·13108 modulo 2^16
// (13108 is 2^16 / 5 rounded up) is the fraction of s / 5 in 16 bits, s's
// remainder / 5, a little too large: that remainder is the top part of 5·f in
// 16 bits, and f's top three bits are 000, 001, 011, 100, 110 for 0 to 4.
constexpr bool FractionGivesRemainder() {
    const std::uint32_t topBits[5] = {0, 1, 3, 4, 6};
    for (std::uint32_t sum = 0; sum <= 1020; ++sum) {
        const std::uint32_t fraction = (sum * 13108) & 0xFFFF;
        if ((fraction * 5) >> 16 != sum % 5 || fraction >> 13 != topBits[sum % 5]) {
            return false;
        }
    }
    return true;
}
static_assert(FractionGivesRemainder(), "the fraction gives the remainder by 5 of every byte sum");

// Lane j's jump at a row's start: j + 1 draws.
struct LaneStarts {
    std::uint64_t multiplier[16];
    std::uint64_t increment[16];
};

constexpr LaneStarts StartsOfLanes() {
    LaneStarts starts{};
    for (int lane = 0; lane < 16; ++lane) {
        starts.multiplier[lane] = JumpAhead(static_cast<std::uint32_t>(lane) + 1).multiplier;
        starts.increment[lane] = JumpAhead(static_cast<std::uint32_t>(lane) + 1).increment;
    }
    return starts;
}

constexpr LaneStarts kLaneStarts = StartsOfLanes();

// The states of the 4 lanes of `set` at a row's start, as 32-bit halves, for
// the kernels that keep them so (NEON and WebAssembly, which have no 64-bit
// vector multiply of the processor's own): they draw for pixels 4·set to
// 4·set + 3 of every piece.
struct LaneHalves {
    std::uint32_t low[4];
    std::uint32_t high[4];
};

inline LaneHalves StartLaneHalves(std::uint64_t state, int set) {
    LaneHalves halves{};
    for (int lane = 0; lane < 4; ++lane) {
        const std::uint64_t start =
            kLaneStarts.multiplier[4 * set + lane] * state + kLaneStarts.increment[4 * set + lane];
        halves.low[lane] = static_cast<std::uint32_t>(start);
        halves.high[lane] = static_cast<std::uint32_t>(start >> 32);
    }
    return halves;
}
constexpr Jump kJump16 = JumpAhead(16);

// The fastest kernel of this processor's up to `limit` that it runs, or
// kDrawScalar; unless `limited`, the scalar loop under an instruction
// translator that runs vector code slower than plain code. Defined by the
// processor's file.
StepDrawing ProcessorDrawing(StepDrawing limit, bool limited);
// The row function of one of this processor's vector kernels.
StepRow ProcessorStepRow(StepDrawing drawing);
