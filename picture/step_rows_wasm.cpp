// The WebAssembly row kernel, SIMD128 (the web build compiles this file with
// -msimd128).
#include <wasm_simd128.h>

#include <cstring>

#include "picture/step_rows.h"

namespace {

// The vectors the loop reads, in memory: V8 (Chromium's and Node's engine)
// builds a vector constant anew at every use, in up to five instructions,
// where a vector loaded from memory is one operand. `byteOfPixel[v]` gives, for byte i of a
// piece's vector v, its pixel (16v + i) / 3; `code` the five codes a pixel's
// draw can have (see StepRowSimd128), one vector each; then the halves of the
// jump by 16 draws and the fraction's factor.
struct Simd128Table {
    std::uint8_t byteOfPixel[3][16];
    std::uint8_t code[5][16];
    std::uint32_t multiplierLow[4];
    std::uint32_t multiplierHigh[4];
    std::uint64_t increment[2];
    std::uint16_t fractionFactor[8];
};

constexpr Simd128Table MakeTable() {
    Simd128Table table{};
    const std::uint8_t codes[5] = {0, 1, 3, 4, 6};
    for (int byte = 0; byte < 48; ++byte) {
        table.byteOfPixel[byte / 16][byte % 16] = static_cast<std::uint8_t>(byte / 3);
    }
    for (int code = 0; code < 5; ++code) {
        for (int byte = 0; byte < 16; ++byte) {
            table.code[code][byte] = codes[code];
        }
    }
    for (int lane = 0; lane < 4; ++lane) {
        table.multiplierLow[lane] = static_cast<std::uint32_t>(kJump16.multiplier);
        table.multiplierHigh[lane] = static_cast<std::uint32_t>(kJump16.multiplier >> 32);
    }
    for (std::uint64_t& increment : table.increment) {
        increment = kJump16.increment;
    }
    for (std::uint16_t& factor : table.fractionFactor) {
        factor = 13108;
    }
    return table;
}

constexpr Simd128Table kSimd128Table = MakeTable();

inline v128_t Load(const void* from) { return wasm_v128_load(from); }

// 4 lanes' states as 32-bit halves: WebAssembly's 64-bit vector multiply is
// three multiplies and more on x86, where a widening 32-bit one is one. A·s +
// c modulo 2^64 is lo·A_lo + c in 64 bits (two lanes per widening multiply),
// whose low halves are the new low half and whose high halves, plus lo·A_hi +
// hi·A_lo modulo 2^32, the new high half.
struct Lanes {
    v128_t low;
    v128_t high;
};

inline Lanes JumpLanes(Lanes lanes, v128_t multiplierLow, v128_t multiplierHigh, v128_t increment) {
    const v128_t first = wasm_i64x2_add(wasm_u64x2_extmul_low_u32x4(lanes.low, multiplierLow), increment);
    const v128_t second = wasm_i64x2_add(wasm_u64x2_extmul_high_u32x4(lanes.low, multiplierLow), increment);
    const v128_t carried = wasm_i32x4_shuffle(first, second, 1, 3, 5, 7);
    return {wasm_i32x4_shuffle(first, second, 0, 2, 4, 6),
            wasm_i32x4_add(wasm_i32x4_add(carried, wasm_i32x4_mul(lanes.low, multiplierHigh)),
                           wasm_i32x4_mul(lanes.high, multiplierLow))};
}

inline Lanes StartLanes(std::uint64_t state, int set) {
    const LaneHalves halves = StartLaneHalves(state, set);
    return {Load(halves.low), Load(halves.high)};
}

// f of the 4 lanes in the low 16 bits of each 32-bit element: the bytes of
// their high halves, doubled so that the top bit drops out, sum to 2r
// modulo 5.
inline v128_t Fractions(Lanes lanes, v128_t factor) {
    return wasm_i32x4_dot_i16x8(wasm_u16x8_extadd_pairwise_u8x16(wasm_i32x4_add(lanes.high, lanes.high)), factor);
}

// Writes the piece's vector v, 16 bytes at target: each byte is the byte at
// its own place in the snapshot row or its neighbours, the one its pixel's
// code names; the five masks don't overlap and cover every byte.
inline void WriteVector(v128_t codes, const Simd128Table* table, int v, std::uint8_t* target, const std::uint8_t* own,
                        std::int32_t stride) {
    const v128_t code = wasm_i8x16_swizzle(codes, Load(table->byteOfPixel[v]));
    v128_t colour = wasm_v128_and(wasm_i8x16_eq(code, Load(table->code[0])), Load(own + 3));
    colour = wasm_v128_or(colour, wasm_v128_and(wasm_i8x16_eq(code, Load(table->code[1])), Load(own)));
    colour = wasm_v128_or(colour, wasm_v128_and(wasm_i8x16_eq(code, Load(table->code[2])), Load(own - 3)));
    colour = wasm_v128_or(colour, wasm_v128_and(wasm_i8x16_eq(code, Load(table->code[3])), Load(own + stride)));
    colour = wasm_v128_or(colour, wasm_v128_and(wasm_i8x16_eq(code, Load(table->code[4])), Load(own - stride)));
    wasm_v128_store(target, colour);
}

// SIMD128: 16 pixels, 48 bytes, a piece, drawn by 16 lanes in four sets of
// 4 that jump 16 draws a piece; the lane for pixel j starts j + 1 draws into
// the row. Equal to the plain step because the lanes give the row's draws in
// order, r of each pixel is its value's byte sum modulo 5 (the top three bits
// of f: 000, 001, 011, 100, 110 for 2r modulo 5 = 0 to 4, that is r = 0, 3,
// 1, 4, 2), every byte is picked by its own pixel's code, and a vector is
// written only when all its bytes are interior ones, so that its loads reach
// at most the border pixels and the rows beside; the pixels after the last
// such vector are copied one by one. Fast because a jump of 4 lanes is two
// widening and two 32-bit multiplies, the codes of 16 pixels come from four
// byte sums and three narrowings, and each 16 bytes take one shuffle, five
// compares, five loads and nine logic operations, by vectors read from a
// table in memory.
void StepRowSimd128(std::uint64_t state, std::uint8_t* target, const std::uint8_t* source, std::int32_t count,
                    std::int32_t stride) {
    // The table through an opaque pointer, so that the compiler keeps its
    // vectors as loads and doesn't fold them back into constants.
    const Simd128Table* table = &kSimd128Table;
    __asm__("" : "+r"(table));
    Lanes first = StartLanes(state, 0);
    Lanes second = StartLanes(state, 1);
    Lanes third = StartLanes(state, 2);
    Lanes fourth = StartLanes(state, 3);
    for (std::int32_t x = 0; x < count; x += 16) {
        const v128_t multiplierLow = Load(table->multiplierLow);
        const v128_t multiplierHigh = Load(table->multiplierHigh);
        const v128_t increment = Load(table->increment);
        const v128_t factor = Load(table->fractionFactor);
        const v128_t fractions[4] = {Fractions(first, factor), Fractions(second, factor), Fractions(third, factor),
                                     Fractions(fourth, factor)};
        first = JumpLanes(first, multiplierLow, multiplierHigh, increment);
        second = JumpLanes(second, multiplierLow, multiplierHigh, increment);
        third = JumpLanes(third, multiplierLow, multiplierHigh, increment);
        fourth = JumpLanes(fourth, multiplierLow, multiplierHigh, increment);
        // The top three bits of each f, one byte per pixel in order.
        const v128_t low16 = wasm_i32x4_splat(0xFFFF);
        const v128_t firstEight =
            wasm_u16x8_narrow_i32x4(wasm_v128_and(fractions[0], low16), wasm_v128_and(fractions[1], low16));
        const v128_t lastEight =
            wasm_u16x8_narrow_i32x4(wasm_v128_and(fractions[2], low16), wasm_v128_and(fractions[3], low16));
        const v128_t codes = wasm_u8x16_narrow_i16x8(wasm_u16x8_shr(firstEight, 13), wasm_u16x8_shr(lastEight, 13));
        const std::uint8_t* own = source + 3 * x;
        std::uint8_t* block = target + 3 * x;
        const std::int32_t left = count - x;
        if (left >= 16) {
            WriteVector(codes, table, 0, block, own, stride);
            WriteVector(codes, table, 1, block + 16, own + 16, stride);
            WriteVector(codes, table, 2, block + 32, own + 32, stride);
        } else {
            // The row's last pixels: the vectors of interior bytes only, then
            // the pixels after them (the one a vector splits whole again).
            const std::int32_t vectors = 3 * left / 16;
            for (int v = 0; v < vectors; ++v) {
                WriteVector(codes, table, v, block + 16 * v, own + 16 * v, stride);
            }
            const std::int32_t offsets[8] = {3, 0, 0, -3, stride, 0, -stride, 0};
            std::uint8_t code[16];
            wasm_v128_store(code, codes);
            for (std::int32_t i = 16 * vectors / 3; i < left; ++i) {
                std::memcpy(block + 3 * i, own + 3 * i + offsets[code[i]], 3);
            }
        }
    }
}

}  // namespace

StepDrawing ProcessorDrawing(StepDrawing limit, bool) { return limit >= kDrawSimd128 ? kDrawSimd128 : kDrawScalar; }

StepRow ProcessorStepRow(StepDrawing) { return StepRowSimd128; }
