// The WebAssembly row kernel, SIMD128 (the web build compiles this file with
// -msimd128).
#include <wasm_simd128.h>

#include <cstring>

#include "picture/step_rows.h"

namespace {

constexpr Jump kJump8 = JumpAhead(8);

// The vectors the loop reads, in memory: V8 (Chromium's and Node's engine)
// builds a vector constant anew at every use, in up to five instructions,
// where a vector loaded from memory is one operand. `byteOfPixel[v]` gives, for byte i of a
// piece's vector v, its pixel (16v + i) / 3; `code` the five codes a pixel's
// draw can have (see StepRowSimd128), one vector each.
struct Simd128Table {
    std::uint8_t byteOfPixel[3][16];
    std::uint8_t code[5][16];
    std::uint64_t multiplier[2];
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
    for (int lane = 0; lane < 2; ++lane) {
        table.multiplier[lane] = kJump8.multiplier;
        table.increment[lane] = kJump8.increment;
    }
    for (std::uint16_t& factor : table.fractionFactor) {
        factor = 13108;
    }
    return table;
}

constexpr Simd128Table kSimd128Table = MakeTable();

inline v128_t Load(const void* from) { return wasm_v128_load(from); }

// Two lanes of the generator jumped by `multiplier` and `increment`.
inline v128_t JumpLanes(v128_t lanes, v128_t multiplier, v128_t increment) {
    return wasm_i64x2_add(wasm_i64x2_mul(lanes, multiplier), increment);
}

// f of the four lanes in `first` and `second` (the high halves of their
// states, doubled so that the top bit drops out: the bytes sum to 2r modulo
// 5), in the low 16 bits of each 32-bit element.
inline v128_t Fractions(v128_t first, v128_t second, v128_t factor) {
    const v128_t high = wasm_i32x4_shuffle(first, second, 1, 3, 5, 7);
    return wasm_i32x4_dot_i16x8(wasm_u16x8_extadd_pairwise_u8x16(wasm_i32x4_add(high, high)), factor);
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

// SIMD128: 16 pixels, 48 bytes, a piece, drawn by 8 lanes (2 a vector) that
// jump 8 draws twice a piece; the lane for pixel j of 8 starts j + 1 draws
// into the row. Equal to the plain step because the lanes give the row's
// draws in order, r of each pixel is its value's byte sum modulo 5 (the top
// three bits of f: 000, 001, 011, 100, 110 for 2r modulo 5 = 0 to 4, that is
// r = 0, 3, 1, 4, 2), every byte is picked by its own pixel's code, and a
// vector is written only when all its bytes are interior ones, so that its
// loads reach at most the border pixels and the rows beside; the pixels after
// the last such vector are copied one by one. Fast because one 64-bit multiply
// jumps two lanes, the codes of 16 pixels come from four byte sums and three
// narrowings, and each 16 bytes take one shuffle, five compares, five loads
// and nine logic operations, by vectors read from a table in memory.
void StepRowSimd128(std::uint64_t state, std::uint8_t* target, const std::uint8_t* source, std::int32_t count,
                    std::int32_t stride) {
    // The table through an opaque pointer, so that the compiler keeps its
    // vectors as loads and doesn't fold them back into constants.
    const Simd128Table* table = &kSimd128Table;
    __asm__("" : "+r"(table));
    const v128_t start = wasm_i64x2_splat(static_cast<std::int64_t>(state));
    v128_t lanes[4];
    for (int pair = 0; pair < 4; ++pair) {
        lanes[pair] =
            JumpLanes(start, Load(kLaneStarts.multiplier + 2 * pair), Load(kLaneStarts.increment + 2 * pair));
    }
    for (std::int32_t x = 0; x < count; x += 16) {
        const v128_t multiplier = Load(table->multiplier);
        const v128_t increment = Load(table->increment);
        const v128_t factor = Load(table->fractionFactor);
        v128_t fractions[4];
        for (int half = 0; half < 2; ++half) {
            fractions[2 * half] = Fractions(lanes[0], lanes[1], factor);
            fractions[2 * half + 1] = Fractions(lanes[2], lanes[3], factor);
            for (v128_t& pair : lanes) {
                pair = JumpLanes(pair, multiplier, increment);
            }
        }
        // The top three bits of each f, one byte per pixel in order.
        const v128_t low16 = wasm_i32x4_splat(0xFFFF);
        const v128_t first =
            wasm_u16x8_narrow_i32x4(wasm_v128_and(fractions[0], low16), wasm_v128_and(fractions[1], low16));
        const v128_t second =
            wasm_u16x8_narrow_i32x4(wasm_v128_and(fractions[2], low16), wasm_v128_and(fractions[3], low16));
        const v128_t codes = wasm_u8x16_narrow_i16x8(wasm_u16x8_shr(first, 13), wasm_u16x8_shr(second, 13));
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
