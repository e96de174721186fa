#include "picture/diffusion.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "picture/random_source.h"

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <immintrin.h>
#define MOTTLE_X86_KERNELS 1
#endif

// Why this equals the plain step (one NextRandom() % 5, a switch and a 3-byte
// copy per interior pixel, kept in bench/plain_step.cpp):
// - The random values are drawn a row piece at a time into `choices`, in the
//   same order, from a local copy of the generator's state that is written
//   back at the end: the same (W-2)(H-2) draws. The vector kernels run 16
//   lanes of the generator side by side; lane j starts j+1 draws ahead and
//   every lane jumps 16 draws at a time (A^16·s + c_16, exact modulo 2^64),
//   so lane j yields draws j, j+16, j+32...
// - The switch becomes a table of source offsets from the pixel itself; the
//   rows are stored bottom-up, so the lower neighbour is one stride down.
// - Every source is read from the snapshot, a row piece at a time before any
//   of the piece is written (the two blocks often share their offset within a
//   page, and a read that looks like a pending write's address waits for it).
//   Pixels are written left to right as 4 bytes whose fourth byte lands on the
//   next pixel's first byte, which that pixel rewrites right after; the last
//   interior pixel of a row is written with 3 bytes, so the border, the
//   row-end fill and the spare bytes are never touched.

namespace {

constexpr int kLanes = 16;
constexpr std::int32_t kChunk = 1024;  // choices drawn ahead, on the stack

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
constexpr Jump kLaneJump = JumpAhead(kLanes);

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

// The generator lanes side by side, as vectors of four in GCC's portable
// vector types (lanes 0-3, 4-7, ...); each kernel below compiles this same
// code for its own instruction set.
typedef std::uint64_t LaneStates __attribute__((vector_size(4 * sizeof(std::uint64_t))));
typedef std::uint32_t LaneWords __attribute__((vector_size(4 * sizeof(std::uint32_t))));
constexpr int kVectors = kLanes / 4;

__attribute__((always_inline)) inline std::uint64_t DrawLanes(std::uint64_t state, std::uint32_t* choices,
                                                              std::int32_t count) {
    if (count >= kLanes) {
        // Lane j starts at the state after j + 1 draws.
        std::uint64_t lanes[kLanes];
        for (std::uint64_t& lane : lanes) {
            state = Advance(state);
            lane = state;
        }
        LaneStates states[kVectors];
        std::memcpy(states, lanes, sizeof states);
        for (;;) {
            for (int vector = 0; vector < kVectors; ++vector) {
                const LaneWords drawn =
                    (__builtin_convertvector(states[vector] >> 32, LaneWords) & 0x7FFFFFFFU) % 5U;
                std::memcpy(choices + 4 * vector, &drawn, sizeof drawn);
            }
            choices += kLanes;
            count -= kLanes;
            if (count < kLanes) {
                break;
            }
            for (LaneStates& lane : states) {
                lane = lane * kLaneJump.multiplier + kLaneJump.increment;
            }
        }
        std::memcpy(lanes, states, sizeof states);
        state = lanes[kLanes - 1];
    }
    return DrawScalar(state, choices, count);
}

__attribute__((target("avx2"))) std::uint64_t DrawAvx2(std::uint64_t state, std::uint32_t* choices,
                                                        std::int32_t count) {
    return DrawLanes(state, choices, count);
}

__attribute__((target("avx512f,avx512dq,avx512vl"))) std::uint64_t DrawAvx512(std::uint64_t state, std::uint32_t* choices,
                                                                      std::int32_t count) {
    return DrawLanes(state, choices, count);
}

// Copies pixels in groups of 8 while at least 2 more follow in the piece and
// returns how many it copied. Each group reads its 8 sources as 4 bytes with
// one gather, drops every fourth byte and writes the 24 colour bytes as two
// 16-byte stores at 0 and 12: the last 4 bytes of each store land on pixels
// after the group, which are written again afterwards, in this call or by the
// caller's pixel-by-pixel copy of the rest.
__attribute__((target("avx2"))) std::int32_t CopyGroupsAvx2(std::uint8_t* target, const std::uint8_t* source,
                                                             const std::uint32_t* choices, std::int32_t count,
                                                             const std::int32_t* offsets) {
    const __m256i offsetTable = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets));
    const __m256i ownPositions = _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21);
    const __m256i colourBytes = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                                 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    std::int32_t done = 0;
    for (; done + 10 <= count; done += 8) {
        const __m256i drawn = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(choices + done));
        const __m256i positions = _mm256_add_epi32(ownPositions, _mm256_permutevar8x32_epi32(offsetTable, drawn));
        const __m256i pixels = _mm256_i32gather_epi32(reinterpret_cast<const int*>(source + 3 * done), positions, 1);
        const __m256i packed = _mm256_shuffle_epi8(pixels, colourBytes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 3 * done), _mm256_castsi256_si128(packed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 3 * done + 12), _mm256_extracti128_si256(packed, 1));
    }
    return done;
}

#endif  // MOTTLE_X86_KERNELS

StepDrawing drawingLimit = kDrawAvx512;

StepDrawing AvailableDrawing() {
#ifdef MOTTLE_X86_KERNELS
    __builtin_cpu_init();
    if (drawingLimit >= kDrawAvx512 && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vl")) {
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

// Replaces each choice with the 4 bytes at offsets[choice] from its pixel's
// own position in the snapshot: the pixel's colour and one byte more.
void GatherColours(const std::uint8_t* source, std::uint32_t* choices, std::int32_t count,
                   const std::int32_t* offsets) {
    for (std::int32_t i = 0; i < count; ++i) {
        std::memcpy(&choices[i], source + 3 * i + offsets[choices[i]], 4);
    }
}

}  // namespace

StepDrawing LimitStepDrawing(StepDrawing limit) {
    drawingLimit = limit;
    return AvailableDrawing();
}

void StepPicture(Picture* picture) {
    std::memcpy(picture->snapshot, picture->bits, picture->dataSize);
    const std::int32_t width = picture->width;
    const std::int32_t height = picture->height;
    if (width < 3 || height < 3) {
        return;
    }
    // Below 16 MiB of pixel data, so the stride fits.
    const auto stride = static_cast<std::int32_t>(RowStride(width));
    // Source offset from the pixel itself for r = 0..4: right, left, below,
    // itself, above (and 3 more so that vector code can take 8).
    const std::int32_t offsets[8] = {3, -3, -stride, 0, stride, 0, 0, 0};
    const StepDrawing drawing = AvailableDrawing();
    const DrawChoices draw = ChooseDraw(drawing);
    std::uint32_t choices[kChunk];
    std::uint64_t state = ReadRandomState();
    for (std::int32_t y = 1; y < height - 1; ++y) {
        const std::size_t rowStart = PixelOffset(*picture, 0, y);
        std::int32_t count = 0;
        for (std::int32_t x = 1; x < width - 1; x += count) {
            count = width - 1 - x < kChunk ? width - 1 - x : kChunk;
            state = draw(state, choices, count);
            const std::uint8_t* source = picture->snapshot + rowStart + 3 * static_cast<std::size_t>(x);
            std::uint8_t* target = picture->bits + rowStart + 3 * static_cast<std::size_t>(x);
            std::int32_t first = 0;
#ifdef MOTTLE_X86_KERNELS
            if (drawing >= kDrawAvx2) {
                first = CopyGroupsAvx2(target, source, choices, count, offsets);
            }
#endif
            GatherColours(source + 3 * first, choices + first, count - first, offsets);
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
