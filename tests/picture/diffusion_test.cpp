// The dissolve step on loaded pictures: which pixel takes which colour, how
// many random values a step draws, and what it never writes.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "bitmap_files.h"
#include "picture/bitmap_loader.h"
#include "picture/diffusion.h"
#include "picture/random_source.h"

namespace {

struct Loaded {
    explicit Loaded(const BitmapRecipe& recipe) {
        HDC surface = platform::GetDC(nullptr);
        ok = LoadPicture(surface, WriteBitmap(recipe).c_str(), &picture);
        platform::ReleaseDC(nullptr, surface);
    }
    ~Loaded() {
        if (ok) {
            ReleasePicture(&picture);
        }
    }
    std::vector<std::uint8_t> Bits() const {
        return std::vector<std::uint8_t>(picture.bits, picture.bits + picture.dataSize + kSpareBytes);
    }
    Picture picture;
    bool ok = false;
};

BitmapRecipe Sized(std::int32_t width, std::int32_t height) {
    BitmapRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    return recipe;
}

// The value NextRandom() will give next, leaving the generator where it was.
std::uint32_t PeekRandom() {
    const std::uint64_t state = ReadRandomState();
    const std::uint32_t value = NextRandom();
    WriteRandomState(state);
    return value;
}

TEST(StepPicture, ThreeByThreeCentreTakesTheChosenNeighbour) {
    // Source of the centre for r = 0..4: right, left, below, itself, above.
    const int sourceX[] = {2, 0, 1, 1, 1};
    const int sourceY[] = {1, 1, 2, 1, 0};
    SeedRandom(20261207);
    std::set<std::uint32_t> seen;
    for (int trial = 0; trial < 60; ++trial) {
        Loaded three(Sized(3, 3));
        ASSERT_TRUE(three.ok);
        const std::uint32_t r = PeekRandom() % 5;
        seen.insert(r);
        StepPicture(&three.picture);
        EXPECT_EQ(PixelAt(three.picture, three.picture.bits, 1, 1), PatternColour(3, sourceX[r], sourceY[r]))
            << "r = " << r;
    }
    EXPECT_EQ(seen.size(), 5u) << "every choice came up";
}

TEST(StepPicture, ThreeStepsAfterSeedZero) {
    // The draws are 1, 3, 0: left neighbour, unchanged, then right neighbour.
    Loaded three(Sized(3, 3));
    ASSERT_TRUE(three.ok);
    SeedRandom(0);
    StepPicture(&three.picture);
    EXPECT_EQ(PixelAt(three.picture, three.picture.bits, 1, 1), PatternColour(3, 0, 1));
    StepPicture(&three.picture);
    EXPECT_EQ(PixelAt(three.picture, three.picture.bits, 1, 1), PatternColour(3, 0, 1));
    StepPicture(&three.picture);
    EXPECT_EQ(PixelAt(three.picture, three.picture.bits, 1, 1), PatternColour(3, 2, 1));
    EXPECT_EQ(ReadRandomState(), [] {
        SeedRandom(0);
        NextRandom();
        NextRandom();
        NextRandom();
        return ReadRandomState();
    }());
}

TEST(StepPicture, DrawsOneValuePerInteriorPixelAndNoneWithoutInterior) {
    const std::int32_t sizes[][2] = {{1, 1}, {1, 7}, {2, 9}, {7, 2}, {9, 1}, {3, 3}, {4, 3}, {5, 6}, {17, 11}};
    for (const auto& size : sizes) {
        Loaded loaded(Sized(size[0], size[1]));
        ASSERT_TRUE(loaded.ok);
        const std::vector<std::uint8_t> before = loaded.Bits();
        SeedRandom(99);
        const int interior = size[0] >= 3 && size[1] >= 3 ? (size[0] - 2) * (size[1] - 2) : 0;
        for (int i = 0; i < interior; ++i) {
            NextRandom();
        }
        const std::uint64_t expected = ReadRandomState();
        SeedRandom(99);
        StepPicture(&loaded.picture);
        EXPECT_EQ(ReadRandomState(), expected) << size[0] << " x " << size[1];
        if (interior == 0) {
            EXPECT_EQ(loaded.Bits(), before) << size[0] << " x " << size[1];
        }
    }
}

TEST(StepPicture, NeverWritesBorderFillOrSpareBytesNorMixesChannels) {
    SeedRandom(7);
    for (const auto& size : {std::make_pair(5, 4), std::make_pair(6, 5), std::make_pair(7, 7), std::make_pair(8, 3)}) {
        BitmapRecipe recipe = Sized(size.first, size.second);
        recipe.fillByte = 0xEE;
        Loaded loaded(recipe);
        ASSERT_TRUE(loaded.ok);
        const Picture& picture = loaded.picture;
        // Spare bytes start zero; mark them so a stray write would show.
        for (std::uint32_t i = 0; i < kSpareBytes; ++i) {
            picture.bits[picture.dataSize + i] = static_cast<std::uint8_t>(i * 31 + 1);
        }
        const std::vector<std::uint8_t> original = loaded.Bits();
        std::set<std::uint32_t> colours;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const Colour c = PatternColour(picture.width, x, y);
                colours.insert(c.blue | c.green << 8 | c.red << 16);
            }
        }
        for (int step = 0; step < 200; ++step) {
            StepPicture(&loaded.picture);
        }
        const std::vector<std::uint8_t> after = loaded.Bits();
        const std::size_t stride = static_cast<std::size_t>(RowStride(picture.width));
        for (std::size_t i = 0; i < after.size(); ++i) {
            const std::size_t row = i / stride;
            const std::size_t column = (i % stride) / 3;
            const bool interior = i < picture.dataSize && row >= 1 && row + 1 < static_cast<std::size_t>(picture.height) &&
                                  i % stride < static_cast<std::size_t>(3 * picture.width) && column >= 1 &&
                                  column + 1 < static_cast<std::size_t>(picture.width);
            if (!interior) {
                ASSERT_EQ(after[i], original[i]) << "byte " << i << " of " << size.first << " x " << size.second;
            }
        }
        for (int y = 1; y + 1 < picture.height; ++y) {
            for (int x = 1; x + 1 < picture.width; ++x) {
                const Colour c = PixelAt(picture, picture.bits, x, y);
                EXPECT_EQ(colours.count(c.blue | c.green << 8 | c.red << 16), 1u) << "pixel " << x << "," << y;
            }
        }
    }
}

TEST(StepPicture, ColourMovesAtMostOnePixelPerStep) {
    // A picture whose every pixel differs: after one step each interior pixel
    // holds its own or a 4-neighbour's original colour, never one from further
    // away, which it would if the step read pixels already written.
    SeedRandom(12345);
    Loaded loaded(Sized(12, 9));
    ASSERT_TRUE(loaded.ok);
    StepPicture(&loaded.picture);
    for (int y = 1; y < 8; ++y) {
        for (int x = 1; x < 11; ++x) {
            const Colour c = PixelAt(loaded.picture, loaded.picture.bits, x, y);
            EXPECT_TRUE(c == PatternColour(12, x, y) || c == PatternColour(12, x + 1, y) ||
                        c == PatternColour(12, x - 1, y) || c == PatternColour(12, x, y + 1) ||
                        c == PatternColour(12, x, y - 1))
                << "pixel " << x << "," << y;
        }
    }
}

TEST(StepPicture, UniformPictureStaysUniform) {
    BitmapRecipe recipe = Sized(8, 8);  // rows of 24 bytes: whole pixels, no fill
    std::vector<std::uint8_t> bytes = MakeBitmapBytes(recipe);
    for (std::size_t i = 54; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i % 3 == 0 ? 0x12 : i % 3 == 1 ? 0x34 : 0x56);
    }
    HDC surface = platform::GetDC(nullptr);
    Picture picture;
    ASSERT_TRUE(LoadPicture(surface, WriteTestFile(bytes).c_str(), &picture));
    platform::ReleaseDC(nullptr, surface);
    const std::vector<std::uint8_t> before(picture.bits, picture.bits + picture.dataSize);
    for (int step = 0; step < 50; ++step) {
        StepPicture(&picture);
    }
    EXPECT_TRUE(std::equal(before.begin(), before.end(), picture.bits));
    ReleasePicture(&picture);
}

}  // namespace
