// StepPicture, with each way of drawing the processor has, against the plain
// step: every byte of the pixel block and the random state equal after every
// step, the border, row-end fill and spare bytes never changed, nothing
// allocated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "bench/memory_picture.h"
#include "picture/diffusion.h"
#include "picture/random_source.h"
#include "platform/host/host_control.h"

namespace {
int allocations = 0;
}

// Counts every allocation made through operator new in this test program.
// The pair below matches malloc with free; GCC can't see through the
// replacement and warns about the pairing.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    ++allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

const char* DrawingName(StepDrawing drawing) {
    switch (drawing) {
        case kDrawAvx512: return "Avx512";
        case kDrawAvx2: return "Avx2";
        default: return "Scalar";
    }
}

// The tests run once for each way of drawing; each caps the step at its way
// first and skips when the processor doesn't have it.
class StepExactness : public ::testing::TestWithParam<StepDrawing> {};

#define CAP_DRAWING_OR_SKIP()                                                   \
    if (LimitStepDrawing(GetParam()) != GetParam()) {                           \
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
// the same seed, comparing both blocks after every step. Returns how many
// interior bytes changed over all steps, so callers can see that the pictures
// did move.
int CompareSteps(std::int32_t width, std::int32_t height, std::uint32_t seed, int steps,
                 std::uint32_t extraData = 0) {
    MemoryPicture shipped;
    MemoryPicture plain;
    const std::uint32_t pattern = seed ^ static_cast<std::uint32_t>(width * 131 + height);
    MakeMemoryPicture(width, height, pattern, &shipped, extraData);
    MakeMemoryPicture(width, height, pattern, &plain, extraData);
    const std::vector<std::uint8_t> loaded = shipped.bits;
    std::uint64_t plainState = 0;
    std::uint64_t shippedState = 0;
    SeedRandom(seed);
    plainState = ReadRandomState();
    shippedState = plainState;
    int changed = 0;
    for (int step = 0; step < steps; ++step) {
        const std::vector<std::uint8_t> before = shipped.bits;
        WriteRandomState(plainState);
        PlainStepPicture(&plain.picture);
        plainState = ReadRandomState();
        WriteRandomState(shippedState);
        StepPicture(&shipped.picture);
        shippedState = ReadRandomState();
        const std::string where = std::to_string(width) + "x" + std::to_string(height) + " seed " +
                                  std::to_string(seed) + " step " + std::to_string(step + 1);
        EXPECT_EQ(shippedState, plainState) << where;
        if (shipped.snapshot != plain.snapshot) {
            ADD_FAILURE() << where << ": snapshot differs from the plain step's";
            return changed;
        }
        for (std::size_t offset = 0; offset < shipped.bits.size(); ++offset) {
            if (shipped.bits[offset] != plain.bits[offset]) {
                ADD_FAILURE() << where << ": byte " << offset << " is " << int{shipped.bits[offset]}
                              << ", plain step gives " << int{plain.bits[offset]};
                return changed;
            }
            if (IsInteriorByte(shipped.picture, offset)) {
                changed += shipped.bits[offset] != before[offset];
            } else if (shipped.bits[offset] != loaded[offset]) {
                ADD_FAILURE() << where << ": byte " << offset << " outside the interior changed";
                return changed;
            }
        }
    }
    return changed;
}

TEST_P(StepExactness, SmallPicturesOfEveryShapeMatchThePlainStep) {
    CAP_DRAWING_OR_SKIP();
    // Widths 1..40 take every W mod 4 and every remainder of the interior
    // width by the 8 lanes; heights 1..12 include the pictures without interior.
    const std::uint32_t seeds[] = {0, 1, 0x7FFFFFFFU, 0xFFFFFFFFU, 1700000000U};
    int changed = 0;
    for (std::int32_t width = 1; width <= 40; ++width) {
        for (std::int32_t height = 1; height <= 12; ++height) {
            for (const std::uint32_t seed : seeds) {
                changed += CompareSteps(width, height, seed, 3);
                if (HasFailure()) {
                    return;
                }
            }
        }
    }
    EXPECT_GT(changed, 10000);
}

TEST_P(StepExactness, LargePicturesAndLongRowsMatchThePlainStep) {
    CAP_DRAWING_OR_SKIP();
    // Rows longer than the step's piece of 1024 draws, ending just before,
    // at and after a piece boundary, and full-size pictures.
    const struct {
        std::int32_t width;
        std::int32_t height;
        int steps;
    } cases[] = {{1025, 4, 2}, {1026, 4, 2}, {1027, 5, 2}, {1028, 3, 2}, {2051, 3, 2}, {3079, 4, 1},
                 {3, 2000, 2}, {640, 480, 2}, {1921, 1081, 1}};
    for (const auto& shape : cases) {
        EXPECT_GT(CompareSteps(shape.width, shape.height, 0x1234567U + static_cast<std::uint32_t>(shape.width),
                               shape.steps),
                  0);
        if (HasFailure()) {
            return;
        }
    }
}

TEST_P(StepExactness, DataAfterTheRowsIsCopiedAndKept) {
    CAP_DRAWING_OR_SKIP();
    // A file may declare more pixel data than the rows take; it goes into the
    // snapshot like the rest and is never written.
    EXPECT_GT(CompareSteps(13, 21, 9, 2, 7), 0);
    EXPECT_GT(CompareSteps(64, 17, 10, 2, 1000), 0);
}

TEST_P(StepExactness, RowsThatDontFitTheDataAreNotStepped) {
    CAP_DRAWING_OR_SKIP();
    // The loader never makes such a picture; the step still stays inside
    // dataSize: it refreshes the snapshot and draws nothing.
    MemoryPicture memory;
    MakeMemoryPicture(10, 10, 4, &memory);
    memory.picture.dataSize = static_cast<std::uint32_t>(RowStride(10) * 10 - 1);
    const std::vector<std::uint8_t> loaded = memory.bits;
    SeedRandom(3);
    const std::uint64_t seeded = ReadRandomState();
    StepPicture(&memory.picture);
    EXPECT_EQ(ReadRandomState(), seeded);
    EXPECT_EQ(memory.bits, loaded);
    EXPECT_TRUE(std::equal(memory.snapshot.begin(), memory.snapshot.begin() + memory.picture.dataSize, loaded.begin()));
    EXPECT_EQ(memory.snapshot[memory.picture.dataSize], 0);
}

TEST_P(StepExactness, ManyStepsKeepTheSequence) {
    CAP_DRAWING_OR_SKIP();
    // Thirty generations on an odd shape: any drift in the generator or a
    // pixel read from an already written neighbour would show up here.
    EXPECT_GT(CompareSteps(37, 23, 42, 30), 0);
}

TEST_P(StepExactness, StepAllocatesNothing) {
    CAP_DRAWING_OR_SKIP();
    MemoryPicture memory;
    MakeMemoryPicture(1921, 300, 3, &memory);
    SeedRandom(5);
    const host::LiveCounts countsBefore = host::CurrentCounts();
    const int allocationsBefore = allocations;
    for (int step = 0; step < 3; ++step) {
        StepPicture(&memory.picture);
    }
    EXPECT_EQ(allocations, allocationsBefore);
    EXPECT_EQ(host::CurrentCounts(), countsBefore);
}

INSTANTIATE_TEST_SUITE_P(Drawing, StepExactness, ::testing::Values(kDrawScalar, kDrawAvx2, kDrawAvx512),
                         [](const ::testing::TestParamInfo<StepDrawing>& test) {
                             return std::string(DrawingName(test.param));
                         });

}  // namespace
