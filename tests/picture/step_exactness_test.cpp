// StepPicture, with each kernel the processor has, against the plain step:
// every byte of both pixel blocks and the random state equal after every step,
// the border, row-end fill and spare bytes never changed, nothing allocated.
// The pictures' blocks lie against inaccessible pages, so a kernel that reads
// or writes outside its rows faults here (it ends the test program), even
// with a vector load the sanitizers don't see.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "memory_picture.h"
#include "picture/diffusion.h"
#include "picture/random_source.h"
#ifndef _WIN32
#include "platform/winmodel/model.h"
#endif

namespace {
int allocations = 0;
}

// Counts every allocation made through operator new in this test program
// (the host platform's records come from the nothrow form). The replacements
// match malloc with free; GCC can't see through them and warns about the
// pairing.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    ++allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

const char* DrawingName(StepDrawing drawing) {
    switch (drawing) {
        case kDrawAvx512: return "Avx512";
        case kDrawAvx2: return "Avx2";
        case kDrawNeon: return "Neon";
        case kDrawSimd128: return "Simd128";
        default: return "Scalar";
    }
}

// The tests run once for each kernel; each makes the step use its kernel
// first and skips when the processor doesn't have it, and gives the choice
// back to the step after.
class StepExactness : public ::testing::TestWithParam<StepDrawing> {
protected:
    void TearDown() override { ResetStepDrawing(); }
};

#define USE_KERNEL_OR_SKIP()                                                  \
    if (LimitStepDrawing(GetParam()) != GetParam()) {                         \
        GTEST_SKIP() << DrawingName(GetParam()) << " not on this processor"; \
    }

// True for the bytes a step may write: the colour bytes of interior pixels.
bool IsInteriorByte(const Picture& picture, std::size_t offset) {
    const std::uint64_t stride = RowStride(picture.width);
    if (offset >= stride * static_cast<std::uint64_t>(picture.height)) {
        return false;
    }
    const auto row = static_cast<std::int64_t>(offset / stride);  // from the bottom
    const auto column = static_cast<std::int64_t>(offset % stride) / 3;
    return row >= 1 && row <= picture.height - 2 && column >= 1 && column <= picture.width - 2 &&
           static_cast<std::int64_t>(offset % stride) < 3 * static_cast<std::int64_t>(picture.width);
}

// Steps two copies of one picture, the shipped way and the plain way, from
// the same generator state, comparing both blocks and the generator after
// every step. Returns how many interior bytes changed over all steps, so
// callers can see that the pictures did move.
int CompareStepsFromState(std::int32_t width, std::int32_t height, std::uint64_t state, std::uint32_t pattern,
                          const std::string& label, int steps, std::uint32_t extraData, GuardedEnd end) {
    const std::string shape = std::to_string(width) + "x" + std::to_string(height) + " " + label +
                              (end == kGuardAfterData ? "" : ", guarded before");
    MemoryPicture shipped;
    MemoryPicture plain;
    if (!MakeMemoryPicture(width, height, pattern, &shipped, extraData, end) ||
        !MakeMemoryPicture(width, height, pattern, &plain, extraData, end)) {
        ADD_FAILURE() << shape << ": no memory for the pictures";
        return 0;
    }
    const std::size_t size = shipped.accessible;
    const std::uint8_t* bits = shipped.picture.bits;
    const std::vector<std::uint8_t> loaded(bits, bits + size);
    std::vector<std::uint8_t> before;
    std::uint64_t plainState = state;
    std::uint64_t shippedState = plainState;
    int changed = 0;
    for (int step = 0; step < steps; ++step) {
        before.assign(bits, bits + size);
        WriteRandomState(plainState);
        PlainStepPicture(&plain.picture);
        plainState = ReadRandomState();
        WriteRandomState(shippedState);
        StepPicture(&shipped.picture);
        shippedState = ReadRandomState();
        const std::string where = shape + " step " + std::to_string(step + 1);
        EXPECT_EQ(shippedState, plainState) << where;
        if (std::memcmp(shipped.picture.snapshot, plain.picture.snapshot, size) != 0) {
            ADD_FAILURE() << where << ": snapshot differs from the plain step's";
            return changed;
        }
        const auto differs = std::mismatch(bits, bits + size, plain.picture.bits);
        if (differs.first != bits + size) {
            ADD_FAILURE() << where << ": byte " << differs.first - bits << " is " << int{*differs.first}
                          << ", plain step gives " << int{*differs.second};
            return changed;
        }
        for (std::size_t offset = 0; offset < size; ++offset) {
            if (bits[offset] == before[offset] && bits[offset] == loaded[offset]) {
                continue;
            }
            if (!IsInteriorByte(shipped.picture, offset)) {
                ADD_FAILURE() << where << ": byte " << offset << " outside the interior changed";
                return changed;
            }
            changed += bits[offset] != before[offset];
        }
    }
    return changed;
}

// The same from SeedRandom(seed).
int CompareSteps(std::int32_t width, std::int32_t height, std::uint32_t seed, int steps, std::uint32_t extraData = 0,
                 GuardedEnd end = kGuardAfterData) {
    SeedRandom(seed);
    return CompareStepsFromState(width, height, ReadRandomState(),
                                 seed ^ static_cast<std::uint32_t>(width * 131 + height), "seed " + std::to_string(seed),
                                 steps, extraData, end);
}

TEST_P(StepExactness, SmallPicturesOfEveryShapeMatchThePlainStep) {
    USE_KERNEL_OR_SKIP();
    // Widths 1..40 take every W mod 4 and every remainder of the interior
    // width by the 8 and 16 lanes; heights 1..12 include the pictures without
    // interior. Every other seed places the blocks against the page before
    // them instead of the one after.
    const std::uint32_t seeds[] = {0, 1, 0x7FFFFFFFU, 0xFFFFFFFFU, 1700000000U};
    int changed = 0;
    for (std::int32_t width = 1; width <= 40; ++width) {
        for (std::int32_t height = 1; height <= 12; ++height) {
            for (int seed = 0; seed < 5; ++seed) {
                changed += CompareSteps(width, height, seeds[seed], 3, 0, seed % 2 == 0 ? kGuardAfterData : kGuardBeforeData);
                if (HasFailure()) {
                    return;
                }
            }
        }
    }
    EXPECT_GT(changed, 10000);
}

TEST_P(StepExactness, RowsEndingAtEveryPlaceOfSeveralStepsMatchThePlainStep) {
    USE_KERNEL_OR_SKIP();
    // Interior widths 1 to 98: every remainder by the 32 pixels the AVX2
    // kernel steps at once, after none to two whole steps, so its last step
    // ends with none to three of its vectors and the pixels after them copied
    // one by one; the same for the 16-pixel pieces of the AVX-512 and NEON
    // kernels. The
    // shortest height (one interior row against both neighbours) and a taller
    // one, against either end's guard page.
    int changed = 0;
    for (std::int32_t width = 3; width <= 100; ++width) {
        for (const std::int32_t height : {3, 6}) {
            for (const std::uint32_t seed : {17U, 0x9E3779B9U}) {
                changed += CompareSteps(width, height, seed + static_cast<std::uint32_t>(width), 2, 0,
                                        (width + height) % 2 == 0 ? kGuardAfterData : kGuardBeforeData);
                if (HasFailure()) {
                    return;
                }
            }
        }
    }
    EXPECT_GT(changed, 10000);
}

TEST_P(StepExactness, GeneratorStatesAtTheEdgesOfTheirHalvesMatch) {
    USE_KERNEL_OR_SKIP();
    // Seeds leave the high half zero. These start states put all ones, all
    // zeros and the top bits in either half, so that the first jumps carry
    // from the low half into the high one and the first values have their top
    // bit set (which the step drops) or not.
    const std::uint64_t states[] = {0,
                                    1,
                                    0x00000000FFFFFFFFULL,
                                    0x0000000100000000ULL,
                                    0x7FFFFFFFFFFFFFFFULL,
                                    0x8000000000000000ULL,
                                    0x80000000FFFFFFFFULL,
                                    0xFFFFFFFF00000000ULL,
                                    0xFFFFFFFFFFFFFFFFULL};
    for (const std::uint64_t state : states) {
        const std::string label = "state " + std::to_string(state);
        const auto pattern = static_cast<std::uint32_t>(state ^ (state >> 32));
        EXPECT_GT(CompareStepsFromState(83, 4, state, pattern, label, 3, 0, kGuardAfterData), 0);
        EXPECT_GT(CompareStepsFromState(35, 3, state, pattern, label, 3, 0, kGuardBeforeData), 0);
        if (HasFailure()) {
            return;
        }
    }
}

TEST_P(StepExactness, LargePicturesAndLongRowsMatchThePlainStep) {
    USE_KERNEL_OR_SKIP();
    // Rows of a thousand pixels and more, of every width modulo 4 (so the row
    // fills differ) and ending at every place in a kernel's last piece, at
    // several heights and seeds; tall narrow pictures and full-size ones.
    const struct {
        std::int32_t width;
        std::int32_t height;
        int steps;
        GuardedEnd end;
    } cases[] = {{1000, 7, 3, kGuardAfterData},  {1001, 5, 3, kGuardBeforeData}, {1002, 9, 3, kGuardAfterData},
                 {1003, 4, 4, kGuardAfterData},  {1024, 6, 3, kGuardBeforeData}, {1025, 4, 3, kGuardAfterData},
                 {1026, 4, 3, kGuardAfterData},  {1027, 5, 3, kGuardAfterData},  {1028, 3, 3, kGuardAfterData},
                 {1031, 11, 3, kGuardAfterData}, {1037, 3, 5, kGuardBeforeData}, {2051, 3, 3, kGuardAfterData},
                 {3079, 4, 2, kGuardAfterData},  {3, 2000, 2, kGuardAfterData},  {640, 480, 2, kGuardAfterData},
                 {1283, 721, 2, kGuardBeforeData}, {1921, 1081, 2, kGuardAfterData}};
    const std::uint32_t seeds[] = {0x1234567U, 0xFFFFFFFFU, 20261207U};
    for (const auto& shape : cases) {
        const int seedCount = shape.width * shape.height < 100000 ? 3 : 1;
        for (int seed = 0; seed < seedCount; ++seed) {
            EXPECT_GT(CompareSteps(shape.width, shape.height, seeds[seed] + static_cast<std::uint32_t>(shape.width),
                                   shape.steps, 0, shape.end),
                      0);
            if (HasFailure()) {
                return;
            }
        }
    }
}

TEST_P(StepExactness, DataAfterTheRowsIsCopiedAndKept) {
    USE_KERNEL_OR_SKIP();
    // A file may declare more pixel data than the rows take; it goes into the
    // snapshot like the rest and is never written.
    EXPECT_GT(CompareSteps(13, 21, 9, 2, 7), 0);
    EXPECT_GT(CompareSteps(64, 17, 10, 2, 1000), 0);
    EXPECT_GT(CompareSteps(1029, 5, 11, 2, 3, kGuardBeforeData), 0);
}

TEST_P(StepExactness, RowsThatDontFitTheDataAreNotStepped) {
    USE_KERNEL_OR_SKIP();
    // The loader never makes such a picture; the step still stays inside
    // dataSize: it refreshes the snapshot and draws nothing.
    MemoryPicture memory;
    ASSERT_TRUE(MakeMemoryPicture(10, 10, 4, &memory));
    memory.picture.dataSize = static_cast<std::uint32_t>(RowStride(10) * 10 - 1);
    const std::vector<std::uint8_t> loaded(memory.picture.bits, memory.picture.bits + memory.accessible);
    SeedRandom(3);
    const std::uint64_t seeded = ReadRandomState();
    StepPicture(&memory.picture);
    EXPECT_EQ(ReadRandomState(), seeded);
    EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), memory.picture.bits));
    EXPECT_TRUE(std::equal(loaded.begin(), loaded.begin() + memory.picture.dataSize, memory.picture.snapshot));
    EXPECT_EQ(memory.picture.snapshot[memory.picture.dataSize], 0);
}

TEST_P(StepExactness, ManyStepsKeepTheSequence) {
    USE_KERNEL_OR_SKIP();
    // Thirty generations on an odd shape: any drift in the generator or a
    // pixel read from an already written neighbour would show up here.
    EXPECT_GT(CompareSteps(37, 23, 42, 30), 0);
}

TEST_P(StepExactness, RowsOfHundredsOfStepsAndGenerationsOfThemMatch) {
    USE_KERNEL_OR_SKIP();
    // Each row's kernel starts its lanes from the state the previous rows
    // left, and its last step ends wherever the width says: rows of a few
    // hundred 32-pixel steps (interior 8193 and 4097 pixels, one past a whole
    // number of steps) against either guard page, and twenty generations of
    // a picture three steps and a tail wide, where a lane that drifted by one
    // draw in any row would show.
    EXPECT_GT(CompareSteps(8195, 3, 0xC0FFEEU, 2, 0, kGuardAfterData), 0);
    EXPECT_GT(CompareSteps(8195, 3, 0xBEEFU, 2, 0, kGuardBeforeData), 0);
    EXPECT_GT(CompareSteps(4099, 5, 77, 2, 0, kGuardBeforeData), 0);
    EXPECT_GT(CompareSteps(101, 9, 2026, 20, 0, kGuardAfterData), 0);
}

TEST_P(StepExactness, StepAllocatesNothing) {
    USE_KERNEL_OR_SKIP();
    MemoryPicture memory;
    ASSERT_TRUE(MakeMemoryPicture(1921, 300, 3, &memory));
    SeedRandom(5);
#ifndef _WIN32
    const winmodel::LiveCounts countsBefore = winmodel::Counts();
#endif
    const int allocationsBefore = allocations;
    for (int step = 0; step < 3; ++step) {
        StepPicture(&memory.picture);
    }
    EXPECT_EQ(allocations, allocationsBefore);
#ifndef _WIN32
    EXPECT_EQ(winmodel::Counts(), countsBefore);
#endif
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
TEST(MemoryPicture, ByteJustOutsideTheDataFaults) {
    // What the suite relies on to see stray reads: the byte after the data
    // (the first spare byte), or before it, is unreadable; the data's own first
    // and last bytes are not.
    const auto read = [](GuardedEnd end, std::ptrdiff_t offset) {
        MemoryPicture memory;
        if (MakeMemoryPicture(5, 3, 1, &memory, 0, end)) {
            const volatile std::uint8_t* snapshot = memory.picture.snapshot;
            static_cast<void>(snapshot[offset]);
        }
    };
    const auto dataSize = static_cast<std::ptrdiff_t>(RowStride(5) * 3);
    read(kGuardAfterData, dataSize - 1);
    read(kGuardBeforeData, 0);
    EXPECT_DEATH(read(kGuardAfterData, dataSize), "");
    EXPECT_DEATH(read(kGuardBeforeData, -1), "");
}
#endif

#ifdef __EMSCRIPTEN__
TEST(StepDrawing, WebAssemblyStepUsesSimd128) {
    // The web build's step picks its SIMD128 kernel by itself, so that the
    // suite runs that kernel rather than skipping it as missing.
    EXPECT_EQ(ResetStepDrawing(), kDrawSimd128);
}
#endif

#ifdef MOTTLER_TESTS_UNDER_QEMU
TEST(StepDrawingChoice, QemusTranslatorKeepsTheScalarLoop) {
    // This build's tests run under QEMU's translator, which carries out the
    // vector kernel slower than the scalar loop: the step keeps the scalar
    // loop, and the vector kernel is still there for the tests to ask for.
    EXPECT_EQ(ResetStepDrawing(), kDrawScalar);
    EXPECT_EQ(LimitStepDrawing(kDrawNeon), kDrawNeon);
    EXPECT_EQ(ResetStepDrawing(), kDrawScalar);
}
#endif

INSTANTIATE_TEST_SUITE_P(Drawing, StepExactness,
                         ::testing::Values(kDrawScalar, kDrawAvx2, kDrawAvx512, kDrawNeon, kDrawSimd128),
                         [](const ::testing::TestParamInfo<StepDrawing>& test) {
                             return std::string(DrawingName(test.param));
                         });

}  // namespace
