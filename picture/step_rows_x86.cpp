// The x86 row kernels, AVX-512 and AVX2, chosen by what the processor reports.
#include <cpuid.h>
#include <immintrin.h>

#include <cstring>

#include "picture/step_rows.h"

namespace {

// GCC 12's AVX-512 intrinsics fill their unused pass-through operands with
// deliberately uninitialised values, which its own warning then reports.
#pragma GCC diagnostic push
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// AVX-512: 16 pixels, 48 bytes, a piece; lanes 0-7 in `low`, 8-15 in `high`.
// Equal to the plain step because the lanes give the row's draws in order,
// each pixel's r is spread over its 3 bytes, and each byte is loaded from the
// snapshot at the pixel's own place and then again, under a mask of the bytes
// whose r names it, at each neighbour's offset. The masks end the last piece
// at the row's last interior pixel: no byte outside the interior is written,
// and none outside the row and its two neighbours is read.
__attribute__((target("avx512f,avx512bw,avx512dq"))) void StepRowAvx512(
    std::uint64_t state, std::uint8_t* target, const std::uint8_t* source, std::int32_t count, std::int32_t stride) {
    const __m512i start = _mm512_set1_epi64(static_cast<long long>(state));
    __m512i low = _mm512_add_epi64(_mm512_mullo_epi64(start, _mm512_loadu_si512(kLaneStarts.multiplier)),
                                   _mm512_loadu_si512(kLaneStarts.increment));
    __m512i high = _mm512_add_epi64(_mm512_mullo_epi64(start, _mm512_loadu_si512(kLaneStarts.multiplier + 8)),
                                    _mm512_loadu_si512(kLaneStarts.increment + 8));
    const __m512i multiplier = _mm512_set1_epi64(static_cast<long long>(kJump16.multiplier));
    const __m512i increment = _mm512_set1_epi64(static_cast<long long>(kJump16.increment));
    const __m512i highHalves = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    const __m512i tripled = _mm512_set4_epi32(-1, 0x0C0C0C08, 0x08080404, 0x04000000);
    const __m512i packed = _mm512_setr_epi32(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 15, 15, 15, 15);
    const __m512i byteIndex = _mm512_set_epi64(0x3F3E3D3C3B3A3938, 0x3736353433323130, 0x2F2E2D2C2B2A2928,
                                               0x2726252423222120, 0x1F1E1D1C1B1A1918, 0x1716151413121110,
                                               0x0F0E0D0C0B0A0908, 0x0706050403020100);
    for (std::int32_t x = 0; x < count; x += 16) {
        // The piece's bytes, by a compare: the 32-bit build would otherwise
        // pass the 64-bit mask through the stack in two halves.
        const std::int32_t pixels = count - x < 16 ? count - x : 16;
        const __mmask64 piece = _mm512_cmplt_epu8_mask(byteIndex, _mm512_set1_epi8(static_cast<char>(3 * pixels)));
        // NextRandom() of the 16 pixels, one per 32-bit lane, then r.
        const __m512i value =
            _mm512_and_si512(_mm512_permutex2var_epi32(low, highHalves, high), _mm512_set1_epi32(0x7FFFFFFF));
        const __m512i sum = _mm512_madd_epi16(_mm512_maddubs_epi16(value, _mm512_set1_epi8(1)), _mm512_set1_epi16(1));
        const __m512i r = _mm512_mulhi_epu16(_mm512_mullo_epi16(sum, _mm512_set1_epi16(13108)), _mm512_set1_epi16(5));
        // Byte i of the piece gets the r of pixel i / 3.
        const __m512i choice = _mm512_permutexvar_epi32(packed, _mm512_shuffle_epi8(r, tripled));
        const std::uint8_t* own = source + 3 * x;
        __m512i colour = _mm512_maskz_loadu_epi8(piece, own);
        colour = _mm512_mask_loadu_epi8(colour, _mm512_mask_cmpeq_epi8_mask(piece, choice, _mm512_set1_epi8(0)), own + 3);
        colour = _mm512_mask_loadu_epi8(colour, _mm512_mask_cmpeq_epi8_mask(piece, choice, _mm512_set1_epi8(1)), own - 3);
        colour = _mm512_mask_loadu_epi8(colour, _mm512_mask_cmpeq_epi8_mask(piece, choice, _mm512_set1_epi8(2)),
                                        own - stride);
        colour = _mm512_mask_loadu_epi8(colour, _mm512_mask_cmpeq_epi8_mask(piece, choice, _mm512_set1_epi8(4)),
                                        own + stride);
        _mm512_mask_storeu_epi8(target + 3 * x, piece, colour);
        low = _mm512_add_epi64(_mm512_mullo_epi64(low, multiplier), increment);
        high = _mm512_add_epi64(_mm512_mullo_epi64(high, multiplier), increment);
    }
}

#pragma GCC diagnostic pop

__attribute__((target("avx2"))) inline __m256i LoadAvx2(const void* from) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(from));
}

// AVX2 has no 64-bit multiply: 8 lanes' states are kept as 32-bit halves, lane
// j in element j of `low` and `high`, and the odd lanes' low halves once more
// in the even elements of `lowOdd`, where the 32 x 32 -> 64-bit multiply reads.
struct LanesAvx2 {
    __m256i low;
    __m256i lowOdd;
    __m256i high;
};

// A·s + c modulo 2^64 in each lane, from 32-bit products: lo·A_lo + c in 64
// bits (even lanes, then odd ones) gives the new low half and, with its carry,
// the start of the new high half, to which lo·A_hi + hi·A_lo add modulo 2^32.
// A_lo and c are given for the even lanes and, in the even elements, the odd.
__attribute__((target("avx2"))) inline LanesAvx2 JumpAvx2(LanesAvx2 lanes, __m256i multiplierLow,
                                                         __m256i multiplierLowOdd, __m256i multiplierHigh,
                                                         __m256i incrementEven, __m256i incrementOdd) {
    const __m256i even = _mm256_add_epi64(_mm256_mul_epu32(lanes.low, multiplierLow), incrementEven);
    const __m256i odd = _mm256_add_epi64(_mm256_mul_epu32(lanes.lowOdd, multiplierLowOdd), incrementOdd);
    const __m256i cross =
        _mm256_add_epi32(_mm256_mullo_epi32(lanes.low, multiplierHigh), _mm256_mullo_epi32(lanes.high, multiplierLow));
    return {_mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA), odd,
            _mm256_add_epi32(_mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA), cross)};
}

// The jumps of 8 lanes from a row's start state, laid out for JumpAvx2: lane j
// draws for pixel 2j + firstPixel of each 16, so it starts 2j + firstPixel + 1
// draws into the row.
struct LaneJumpsAvx2 {
    std::uint32_t multiplierLow[8];
    std::uint32_t multiplierLowOdd[8];
    std::uint32_t multiplierHigh[8];
    std::uint64_t incrementEven[4];
    std::uint64_t incrementOdd[4];
};

constexpr LaneJumpsAvx2 JumpsOfLanesAvx2(int firstPixel) {
    LaneJumpsAvx2 jumps{};
    for (int lane = 0; lane < 8; ++lane) {
        const Jump start = JumpAhead(static_cast<std::uint32_t>(2 * lane + firstPixel + 1));
        jumps.multiplierLow[lane] = static_cast<std::uint32_t>(start.multiplier);
        jumps.multiplierHigh[lane] = static_cast<std::uint32_t>(start.multiplier >> 32);
        if (lane % 2 == 0) {
            jumps.incrementEven[lane / 2] = start.increment;
        } else {
            jumps.multiplierLowOdd[lane - 1] = static_cast<std::uint32_t>(start.multiplier);
            jumps.incrementOdd[lane / 2] = start.increment;
        }
    }
    return jumps;
}

constexpr LaneJumpsAvx2 kEvenPixelsAvx2 = JumpsOfLanesAvx2(0);
constexpr LaneJumpsAvx2 kOddPixelsAvx2 = JumpsOfLanesAvx2(1);

__attribute__((target("avx2"))) inline LanesAvx2 StartLanesAvx2(std::uint64_t state, const LaneJumpsAvx2& jumps) {
    const __m256i low = _mm256_set1_epi32(static_cast<int>(state));
    return JumpAvx2({low, low, _mm256_set1_epi32(static_cast<int>(state >> 32))}, LoadAvx2(jumps.multiplierLow),
                    LoadAvx2(jumps.multiplierLowOdd), LoadAvx2(jumps.multiplierHigh), LoadAvx2(jumps.incrementEven),
                    LoadAvx2(jumps.incrementOdd));
}

// Each lane's f, in the low 16 bits of its element, of twice its value: the
// doubled high half drops the top bit, so its bytes sum to 2r modulo 5, and
// madd both adds the byte pairs and multiplies by 13108.
__attribute__((target("avx2"))) inline __m256i FractionsAvx2(__m256i high) {
    return _mm256_madd_epi16(_mm256_maddubs_epi16(_mm256_add_epi32(high, high), _mm256_set1_epi8(1)),
                             _mm256_set1_epi16(13108));
}

// f of 16 pixels in order, one 16-bit word each, from the lanes of the even
// and the odd pixels.
__attribute__((target("avx2"))) inline __m256i PixelFractionsAvx2(__m256i evenHigh, __m256i oddHigh) {
    return _mm256_blend_epi16(FractionsAvx2(evenHigh), _mm256_slli_epi32(FractionsAvx2(oddHigh), 16), 0xAA);
}

// A 32-pixel block is 96 bytes, three whole vectors. Vector v's byte i lies in
// pixel (32v + i) / 3; a permute of the words of the block's two halves puts
// the words of its pixels in each 128-bit lane (in a lane, 16 bytes cover
// parts of 6 pixels), and a shuffle takes each pixel's byte of f, its high
// byte, to its 3 bytes. The permutes: vector 0 takes words 0-5 and 5-10 of the
// first half (its 32-bit elements 0-2, 2-5), vector 1 the first half's second
// lane and the second half's first, vector 2 words 5-10 and 10-15 of the
// second half (elements 2-5, 5-7).
constexpr int kFirstWordOfLane[3][2] = {{0, 4}, {8, 16}, {20, 26}};

struct SpreadsAvx2 {
    std::uint8_t byteOfF[3][32];
};

constexpr SpreadsAvx2 SpreadsOfVectors() {
    SpreadsAvx2 spreads{};
    for (int vector = 0; vector < 3; ++vector) {
        for (int byte = 0; byte < 32; ++byte) {
            const int word = (32 * vector + byte) / 3 - kFirstWordOfLane[vector][byte / 16];
            spreads.byteOfF[vector][byte] = static_cast<std::uint8_t>(2 * word + 1);
        }
    }
    return spreads;
}

constexpr SpreadsAvx2 kSpreadsAvx2 = SpreadsOfVectors();

constexpr bool SpreadsStayInTheirLanes() {
    for (const auto& vector : kSpreadsAvx2.byteOfF) {
        for (const std::uint8_t byte : vector) {
            if (byte > 15) {
                return false;
            }
        }
    }
    return true;
}
static_assert(SpreadsStayInTheirLanes(), "each byte's f is in its own 128-bit lane after the permute");

// Writes the 32 bytes at target: each byte gets the top bits of its pixel's f
// (in `spread`), by which blends pick it from the snapshot loads at the five
// offsets. With 2r modulo 5 they are 000 for r = 0 (right), 001 for 3 (own),
// 011 for 1 (left), 100 for 4 (above) and 110 for 2 (below); a blend reads
// each byte's top bit.
__attribute__((target("avx2"))) inline void BlendVectorAvx2(__m256i spread, std::uint8_t* target,
                                                            const std::uint8_t* own, std::int32_t stride) {
    __m256i second = _mm256_add_epi8(spread, spread);
    const __m256i third = _mm256_add_epi8(second, second);
    const __m256i inRow =
        _mm256_blendv_epi8(_mm256_blendv_epi8(LoadAvx2(own + 3), LoadAvx2(own), third), LoadAvx2(own - 3), second);
    // Keeps GCC from turning the second use of `second` into a compare.
    __asm__("" : "+x"(second));
    const __m256i inColumn = _mm256_blendv_epi8(LoadAvx2(own + stride), LoadAvx2(own - stride), second);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(target), _mm256_blendv_epi8(inRow, inColumn, spread));
}

// AVX2: 32 pixels a step, as three 32-byte vectors, drawn by two sets of 8
// lanes (even and odd pixels) that each jump 16 draws twice a step; the two
// sets are independent chains of multiplies, so each hides the other's
// latency. Equal to the plain step because the lanes give the row's draws in
// order, every byte is picked by its own pixel's r, and a vector is written
// only when all its bytes are interior ones, so that its loads reach at most
// the border pixel; the pixels after the last such vector are copied one by
// one (the one it splits whole again).
__attribute__((target("avx2"))) void StepRowAvx2(std::uint64_t state, std::uint8_t* target, const std::uint8_t* source,
                                                  std::int32_t count, std::int32_t stride) {
    LanesAvx2 even = StartLanesAvx2(state, kEvenPixelsAvx2);
    LanesAvx2 odd = StartLanesAvx2(state, kOddPixelsAvx2);
    __m256i multiplierLow = _mm256_set1_epi32(static_cast<int>(kJump16.multiplier));
    __m256i multiplierHigh = _mm256_set1_epi32(static_cast<int>(kJump16.multiplier >> 32));
    __m256i increment = _mm256_set1_epi64x(static_cast<long long>(kJump16.increment));
    // Keeps GCC from rebuilding these in the loop when it runs out of
    // registers; it keeps them in memory instead, read by the multiplies.
    __asm__("" : "+x"(multiplierLow), "+x"(multiplierHigh), "+x"(increment));
    for (std::int32_t x = 0; x < count; x += 32) {
        const __m256i firstHalf = PixelFractionsAvx2(even.high, odd.high);
        even = JumpAvx2(even, multiplierLow, multiplierLow, multiplierHigh, increment, increment);
        odd = JumpAvx2(odd, multiplierLow, multiplierLow, multiplierHigh, increment, increment);
        const __m256i secondHalf = PixelFractionsAvx2(even.high, odd.high);
        even = JumpAvx2(even, multiplierLow, multiplierLow, multiplierHigh, increment, increment);
        odd = JumpAvx2(odd, multiplierLow, multiplierLow, multiplierHigh, increment, increment);
        const std::uint8_t* own = source + 3 * x;
        std::uint8_t* block = target + 3 * x;
        const std::int32_t left = count - x;
        const std::int32_t vectors = left >= 32 ? 3 : 3 * left / 32;
        if (vectors >= 1) {
            const __m256i words = _mm256_permutevar8x32_epi32(firstHalf, _mm256_setr_epi32(0, 1, 2, 2, 2, 3, 4, 5));
            BlendVectorAvx2(_mm256_shuffle_epi8(words, LoadAvx2(kSpreadsAvx2.byteOfF[0])), block, own, stride);
        }
        if (vectors >= 2) {
            const __m256i words = _mm256_permute2x128_si256(firstHalf, secondHalf, 0x21);
            BlendVectorAvx2(_mm256_shuffle_epi8(words, LoadAvx2(kSpreadsAvx2.byteOfF[1])), block + 32, own + 32,
                            stride);
        }
        if (vectors == 3) {
            const __m256i words = _mm256_permutevar8x32_epi32(secondHalf, _mm256_setr_epi32(2, 3, 4, 5, 5, 6, 7, 7));
            BlendVectorAvx2(_mm256_shuffle_epi8(words, LoadAvx2(kSpreadsAvx2.byteOfF[2])), block + 64, own + 64,
                            stride);
        } else {
            const std::int32_t offsets[5] = {3, 0, -3, stride, -stride};
            std::uint16_t doubled[32];  // 2r modulo 5 of each pixel
            const __m256i five = _mm256_set1_epi16(5);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(doubled), _mm256_mulhi_epu16(firstHalf, five));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(doubled + 16), _mm256_mulhi_epu16(secondHalf, five));
            for (std::int32_t i = 32 * vectors / 3; i < left; ++i) {
                std::memcpy(block + 3 * i, own + 3 * i + offsets[doubled[i]], 3);
            }
        }
    }
}

// QEMU's instruction translator, which runs 32-bit Windows programs under Wine
// on hosts that can't run them natively, reports AVX2 but carries out the
// AVX2 kernel about five times slower than the scalar loop.
bool UnderTranslator() {
    unsigned int brand[4] = {};
    __get_cpuid(0x80000002U, &brand[0], &brand[1], &brand[2], &brand[3]);
    return std::memcmp(brand, "QEMU TCG", 8) == 0;
}

}  // namespace

StepDrawing ProcessorDrawing(StepDrawing limit, bool limited) {
    __builtin_cpu_init();
    static const bool translated = UnderTranslator();
    if (!limited && translated) {
        return kDrawScalar;
    }
    if (limit >= kDrawAvx512 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq")) {
        return kDrawAvx512;
    }
    if (limit >= kDrawAvx2 && __builtin_cpu_supports("avx2")) {
        return kDrawAvx2;
    }
    return kDrawScalar;
}

StepRow ProcessorStepRow(StepDrawing drawing) { return drawing == kDrawAvx512 ? StepRowAvx512 : StepRowAvx2; }
