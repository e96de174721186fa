#include "picture/diffusion.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "picture/random_source.h"

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <cpuid.h>
#include <immintrin.h>
#define MOTTLE_X86_KERNELS 1
#endif

// The step as defined, one pixel at a time by display coordinates.
void PlainStepPicture(Picture* picture) {
    std::memcpy(picture->snapshot, picture->bits, picture->dataSize);
    const std::int32_t width = picture->width;
    const std::int32_t height = picture->height;
    for (std::int32_t y = 1; y < height - 1; ++y) {
        for (std::int32_t x = 1; x < width - 1; ++x) {
            std::int32_t sx = x;
            std::int32_t sy = y;
            switch (NextRandom() % 5) {
                case 0: sx = x + 1; break;
                case 1: sx = x - 1; break;
                case 2: sy = y + 1; break;
                case 3: break;
                default: sy = y - 1; break;
            }
            std::memcpy(picture->bits + PixelOffset(*picture, x, y),
                        picture->snapshot + PixelOffset(*picture, sx, sy), 3);
        }
    }
}

// Why this equals the plain step above (one NextRandom() % 5, a switch and a
// 3-byte copy per interior pixel):
// - The draws are the same (W-2)(H-2) values in the same order, taken from a
//   local copy of the generator's state that is written back at the end. The
//   vector kernels draw a row piece at a time into `choices` with L lanes of
//   the generator side by side (8 or 16): lane j starts j+1 draws ahead and
//   every lane jumps L draws at a time (A^L·s + c_L, exact modulo 2^64), so
//   lane j yields draws j, j+L, j+2L...
// - The switch becomes a table of source offsets from the pixel itself; the
//   rows are stored bottom-up, so the lower neighbour is one stride down.
// - Every source is read from the snapshot, never from `bits`. The vector
//   path reads a whole row piece before writing any of it (the two blocks
//   often share their offset within a page, and a read that looks like a
//   pending write's address waits for it).
// - Pixels are written left to right as 4 bytes whose fourth byte lands on the
//   next pixel's first byte, which that pixel rewrites right after; the last
//   interior pixel of a row is written with 3 bytes, so the border, the
//   row-end fill and the spare bytes are never touched.
// - The snapshot copy is the same bytes, copied in bands just ahead of use.

namespace {

constexpr std::int32_t kChunk = 1024;  // choices drawn ahead, on the stack
constexpr std::int32_t kBandRows = 8;  // snapshot rows copied at a time

struct Jump {
    std::uint64_t multiplier;
    std::uint64_t increment;
};

// The state k draws after s is multiplier·s + increment.
constexpr Jump JumpAhead(int draws) {
    Jump jump{1, 0};
    for (int draw = 0; draw < draws; ++draw) {
        jump.multiplier *= kRandomMultiplier;
        jump.increment = jump.increment * kRandomMultiplier + kRandomIncrement;
    }
    return jump;
}

inline std::uint64_t Advance(std::uint64_t state) {
    return state * kRandomMultiplier + kRandomIncrement;
}

inline std::uint32_t Choice(std::uint64_t state) {
    return (static_cast<std::uint32_t>(state >> 32) & 0x7FFFFFFFU) % 5U;
}

// Each draw function writes `count` choices (r = NextRandom() % 5) and
// returns the state after the last of them.
using DrawChoices = std::uint64_t (*)(std::uint64_t state, std::uint32_t* choices, std::int32_t count);

std::uint64_t DrawScalar(std::uint64_t state, std::uint32_t* choices, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        state = Advance(state);
        choices[i] = Choice(state);
    }
    return state;
}

#ifdef MOTTLE_X86_KERNELS

// Lane j starts at the state after j + 1 draws.
inline void StartLanes(std::uint64_t state, std::uint64_t* lanes, int count) {
    for (int lane = 0; lane < count; ++lane) {
        state = Advance(state);
        lanes[lane] = state;
    }
}

// AVX2: 8 lanes as two vectors of four (lanes 0-3 and 4-7) in GCC's portable
// vector types.
typedef std::uint64_t LaneStates __attribute__((vector_size(4 * sizeof(std::uint64_t))));
typedef std::uint32_t LaneWords __attribute__((vector_size(4 * sizeof(std::uint32_t))));

__attribute__((target("avx2"))) std::uint64_t DrawAvx2(std::uint64_t state, std::uint32_t* choices,
                                                        std::int32_t count) {
    constexpr int kLanes = 8;
    constexpr Jump kJump = JumpAhead(kLanes);
    if (count >= kLanes) {
        std::uint64_t lanes[kLanes];
        StartLanes(state, lanes, kLanes);
        LaneStates low;
        LaneStates high;
        std::memcpy(&low, lanes, sizeof low);
        std::memcpy(&high, lanes + 4, sizeof high);
        for (;;) {
            const LaneWords lowChoices = (__builtin_convertvector(low >> 32, LaneWords) & 0x7FFFFFFFU) % 5U;
            const LaneWords highChoices = (__builtin_convertvector(high >> 32, LaneWords) & 0x7FFFFFFFU) % 5U;
            std::memcpy(choices, &lowChoices, sizeof lowChoices);
            std::memcpy(choices + 4, &highChoices, sizeof highChoices);
            choices += kLanes;
            count -= kLanes;
            if (count < kLanes) {
                break;
            }
            low = low * kJump.multiplier + kJump.increment;
            high = high * kJump.multiplier + kJump.increment;
        }
        std::memcpy(lanes + 4, &high, sizeof high);
        state = lanes[kLanes - 1];
    }
    return DrawScalar(state, choices, count);
}

// GCC 12's AVX-512 intrinsics fill their unused pass-through operands with
// deliberately uninitialised values, which its own warning then reports.
#pragma GCC diagnostic push
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// r of 8 lanes: the remainder by 5 as the exact multiply-and-shift that
// compilers use for unsigned division by 5 (h / 5 == (h * 0xCCCCCCCD) >> 34).
__attribute__((target("avx512f,avx512dq"), always_inline)) inline __m256i ChoicesAvx512(__m512i states) {
    const __m512i high = _mm512_and_si512(_mm512_srli_epi64(states, 32), _mm512_set1_epi64(0x7FFFFFFF));
    const __m512i quotient = _mm512_srli_epi64(_mm512_mul_epu32(high, _mm512_set1_epi64(0xCCCCCCCD)), 34);
    return _mm512_cvtepi64_epi32(_mm512_sub_epi64(high, _mm512_add_epi64(quotient, _mm512_slli_epi64(quotient, 2))));
}

// AVX-512: 16 lanes as two vectors of eight.
__attribute__((target("avx512f,avx512dq"))) std::uint64_t DrawAvx512(std::uint64_t state, std::uint32_t* choices,
                                                                      std::int32_t count) {
    constexpr int kLanes = 16;
    constexpr Jump kJump = JumpAhead(kLanes);
    if (count >= kLanes) {
        std::uint64_t lanes[kLanes];
        StartLanes(state, lanes, kLanes);
        __m512i low = _mm512_loadu_si512(lanes);
        __m512i high = _mm512_loadu_si512(lanes + 8);
        const __m512i multiplier = _mm512_set1_epi64(static_cast<long long>(kJump.multiplier));
        const __m512i increment = _mm512_set1_epi64(static_cast<long long>(kJump.increment));
        for (;;) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(choices), ChoicesAvx512(low));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(choices + 8), ChoicesAvx512(high));
            choices += kLanes;
            count -= kLanes;
            if (count < kLanes) {
                break;
            }
            low = _mm512_add_epi64(_mm512_mullo_epi64(low, multiplier), increment);
            high = _mm512_add_epi64(_mm512_mullo_epi64(high, multiplier), increment);
        }
        _mm512_storeu_si512(lanes + 8, high);
        state = lanes[kLanes - 1];
    }
    return DrawScalar(state, choices, count);
}

#pragma GCC diagnostic pop

// Turns choices into source positions from the piece's first pixel, 8 at a
// time, and returns how many it turned.
__attribute__((target("avx2"))) std::int32_t FindSourcesAvx2(std::uint32_t* choices, std::int32_t count,
                                                              const std::int32_t* offsets) {
    const __m256i offsetTable = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets));
    __m256i ownPositions = _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21);
    std::int32_t done = 0;
    for (; done + 8 <= count; done += 8) {
        __m256i* group = reinterpret_cast<__m256i*>(choices + done);
        _mm256_storeu_si256(group, _mm256_add_epi32(ownPositions,
                                                    _mm256_permutevar8x32_epi32(offsetTable, _mm256_loadu_si256(group))));
        ownPositions = _mm256_add_epi32(ownPositions, _mm256_set1_epi32(24));
    }
    return done;
}

// Writes gathered colours in groups of 8 while at least 2 more pixels follow
// in the piece and returns how many it wrote. Every fourth byte is dropped
// and the 24 colour bytes go out as two 16-byte stores at 0 and 12: the last
// 4 bytes of each store land on pixels after the group, which are written
// again afterwards, in this call or by the caller's pixel-by-pixel writes.
__attribute__((target("avx2"))) std::int32_t PutGroupsAvx2(std::uint8_t* target, const std::uint32_t* colours,
                                                            std::int32_t count) {
    const __m256i colourBytes = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                                 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    std::int32_t done = 0;
    for (; done + 10 <= count; done += 8) {
        const __m256i packed =
            _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(colours + done)), colourBytes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 3 * done), _mm256_castsi256_si128(packed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 3 * done + 12), _mm256_extracti128_si256(packed, 1));
    }
    return done;
}

#endif  // MOTTLE_X86_KERNELS

StepDrawing drawingLimit = kDrawAvx512;

#ifdef MOTTLE_X86_KERNELS
// True on QEMU's instruction translator (which is how 32-bit Windows programs
// run under Wine on some 64-bit hosts): it reports AVX2 but carries out vector
// instructions lane by lane, several times slower than the plain code.
bool OnTranslatingEmulator() {
    unsigned int brand[12] = {};
    for (unsigned int part = 0; part < 3; ++part) {
        if (__get_cpuid(0x80000002U + part, &brand[4 * part], &brand[4 * part + 1], &brand[4 * part + 2],
                        &brand[4 * part + 3]) == 0) {
            return false;
        }
    }
    return std::memcmp(brand, "QEMU TCG", 8) == 0;
}
#endif

StepDrawing AvailableDrawing() {
#ifdef MOTTLE_X86_KERNELS
    __builtin_cpu_init();
    static const bool emulated = OnTranslatingEmulator();
    if (emulated) {
        return kDrawScalar;
    }
    if (drawingLimit >= kDrawAvx512 && __builtin_cpu_supports("avx512f") &&
        __builtin_cpu_supports("avx512dq")) {
        return kDrawAvx512;
    }
    if (drawingLimit >= kDrawAvx2 && __builtin_cpu_supports("avx2")) {
        return kDrawAvx2;
    }
#endif
    return kDrawScalar;
}

DrawChoices ChooseDraw(StepDrawing drawing) {
    switch (drawing) {
#ifdef MOTTLE_X86_KERNELS
        case kDrawAvx512: return DrawAvx512;
        case kDrawAvx2: return DrawAvx2;
#endif
        default: return DrawScalar;
    }
}

// Turns choices from `first` on into source positions from the piece's
// first pixel: its own position 3i plus the offset the choice names.
void FindSources(std::uint32_t* choices, std::int32_t first, std::int32_t count, const std::int32_t* offsets) {
    for (std::int32_t i = first; i < count; ++i) {
        choices[i] = static_cast<std::uint32_t>(3 * i + offsets[choices[i]]);
    }
}

// Replaces each source position with the 4 bytes there in the snapshot: the
// source pixel's colour and one byte more.
void GatherColours(const std::uint8_t* source, std::uint32_t* positions, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        std::memcpy(&positions[i], source + static_cast<std::int32_t>(positions[i]), 4);
    }
}

// Without vector kernels: one pass over an interior row, each pixel drawing
// its choice and copying its colour in turn (4 bytes, the last 3). Unrolled:
// under an instruction translator every loop branch costs a lookup.
std::uint64_t StepRowScalar(std::uint64_t state, std::uint8_t* target, const std::uint8_t* source,
                            std::int32_t count, const std::int32_t* offsets) {
#pragma GCC unroll 4
    for (std::int32_t i = 0; i < count - 1; ++i) {
        state = Advance(state);
        std::memcpy(target + 3 * i, source + 3 * i + offsets[Choice(state)], 4);
    }
    state = Advance(state);
    std::memcpy(target + 3 * (count - 1), source + 3 * (count - 1) + offsets[Choice(state)], 3);
    return state;
}

}  // namespace

StepDrawing LimitStepDrawing(StepDrawing limit) {
    drawingLimit = limit;
    return AvailableDrawing();
}

void StepPicture(Picture* picture) {
    const std::int32_t width = picture->width;
    const std::int32_t height = picture->height;
    const std::uint64_t rowBytes = RowStride(width) * static_cast<std::uint64_t>(height < 0 ? 0 : height);
    // No interior, or (never from the loader) rows that don't fit the data:
    // only the snapshot copy, so nothing outside the blocks is touched.
    if (width < 3 || height < 3 || rowBytes > picture->dataSize) {
        std::memcpy(picture->snapshot, picture->bits, picture->dataSize);
        return;
    }
    // The rows fit in dataSize, below 2^32, and there are at least 3.
    const auto stride = static_cast<std::int32_t>(RowStride(width));
    // The snapshot is copied in bands of rows just ahead of the rows that read
    // them, while they are still in cache. The copy is the same: every byte is
    // copied before it is read and before its row of bits is rewritten (row y
    // is written only after rows up to y + 1 are copied), and the bytes after
    // the last row are copied first.
    std::memcpy(picture->snapshot + rowBytes, picture->bits + rowBytes,
                picture->dataSize - static_cast<std::size_t>(rowBytes));
    std::int32_t copiedRows = 0;  // display rows 0 .. copiedRows - 1 are in the snapshot
    // Source offset from the pixel itself for r = 0..4: right, left, below,
    // itself, above (and 3 more so that vector code can take 8).
    const std::int32_t offsets[8] = {3, -3, -stride, 0, stride, 0, 0, 0};
    const StepDrawing drawing = AvailableDrawing();
    const DrawChoices draw = ChooseDraw(drawing);
    std::uint32_t choices[kChunk];
    std::uint64_t state = ReadRandomState();
    for (std::int32_t y = 1; y < height - 1; ++y) {
        if (copiedRows <= y + 1) {
            const std::int32_t band = height - copiedRows < kBandRows ? height - copiedRows : kBandRows;
            const std::size_t bandStart = static_cast<std::size_t>(height - copiedRows - band) * stride;
            std::memcpy(picture->snapshot + bandStart, picture->bits + bandStart,
                        static_cast<std::size_t>(band) * stride);
            copiedRows += band;
        }
        const std::size_t rowStart = PixelOffset(*picture, 0, y);
        if (drawing == kDrawScalar) {
            state = StepRowScalar(state, picture->bits + rowStart + 3, picture->snapshot + rowStart + 3, width - 2,
                                  offsets);
            continue;
        }
        std::int32_t count = 0;
        for (std::int32_t x = 1; x < width - 1; x += count) {
            count = width - 1 - x < kChunk ? width - 1 - x : kChunk;
            state = draw(state, choices, count);
            const std::uint8_t* source = picture->snapshot + rowStart + 3 * static_cast<std::size_t>(x);
            std::uint8_t* target = picture->bits + rowStart + 3 * static_cast<std::size_t>(x);
            std::int32_t found = 0;
            std::int32_t first = 0;
#ifdef MOTTLE_X86_KERNELS
            if (drawing >= kDrawAvx2) {
                found = FindSourcesAvx2(choices, count, offsets);
            }
#endif
            FindSources(choices, found, count, offsets);
            GatherColours(source, choices, count);
#ifdef MOTTLE_X86_KERNELS
            if (drawing >= kDrawAvx2) {
                first = PutGroupsAvx2(target, choices, count);
            }
#endif
            const std::int32_t whole = x + count < width - 1 ? count : count - 1;
            for (std::int32_t i = first; i < whole; ++i) {
                std::memcpy(target + 3 * i, &choices[i], 4);
            }
            if (whole < count) {
                std::memcpy(target + 3 * whole, &choices[whole], 3);
            }
        }
    }
    WriteRandomState(state);
}
