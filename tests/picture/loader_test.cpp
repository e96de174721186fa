// The loader against real files: what it accepts, what it refuses, and the
// exact layout of what it holds.
#include <gtest/gtest.h>

#include <cstring>

#include "bitmap_files.h"
#include "picture/bitmap_loader.h"

namespace {

class LoadPictureTest : public ::testing::Test {
protected:
    void SetUp() override { surface_ = platform::GetDC(nullptr); }
    void TearDown() override {
        if (loaded_) {
            ReleasePicture(&picture_);
        }
        platform::ReleaseDC(nullptr, surface_);
    }

    bool Load(const std::string& path) {
        if (loaded_) {
            ReleasePicture(&picture_);
        }
        loaded_ = LoadPicture(surface_, path.c_str(), &picture_);
        return loaded_;
    }
    bool Load(const BitmapRecipe& recipe) { return Load(WriteBitmap(recipe)); }

    // The first dataSize bytes of bits must be the file's bytes from `offset`
    // on, zero where the file has ended; everything after them is zero.
    void ExpectPixelsFromFile(const std::vector<std::uint8_t>& file, std::size_t offset) {
        for (std::size_t i = 0; i < picture_.dataSize; ++i) {
            const std::uint8_t expected = offset + i < file.size() ? file[offset + i] : 0;
            ASSERT_EQ(picture_.bits[i], expected) << "pixel byte " << i;
        }
        ExpectZero(picture_.bits + picture_.dataSize, kSpareBytes, "spare bytes");
        ExpectZero(picture_.snapshot, picture_.dataSize + kSpareBytes, "snapshot");
    }

    static void ExpectZero(const std::uint8_t* bytes, std::size_t count, const char* what) {
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(bytes[i], 0) << what << " byte " << i;
        }
    }

    HDC surface_ = nullptr;
    Picture picture_;
    bool loaded_ = false;
};

TEST_F(LoadPictureTest, KeepsTheFileLayoutOfAFiveByThreePicture) {
    const std::string path = WriteBitmap(BitmapRecipe{});
    ASSERT_TRUE(Load(path));
    EXPECT_EQ(picture_.width, 5);
    EXPECT_EQ(picture_.height, 3);
    EXPECT_EQ(picture_.dataSize, 48u);
    EXPECT_NE(picture_.deviceBitmap, nullptr);
    ExpectPixelsFromFile(ReadWholeFile(path), 54);
    // Rows of 16 bytes, bottom-up: the bottom row starts at byte 0, the top
    // row at byte 32, and display pixel (1, 1) lies at byte 19.
    const Colour bottomLeft = PatternColour(5, 0, 2);
    const Colour topLeft = PatternColour(5, 0, 0);
    const Colour middle = PatternColour(5, 1, 1);
    EXPECT_EQ((Colour{picture_.bits[0], picture_.bits[1], picture_.bits[2]}), bottomLeft);
    EXPECT_EQ((Colour{picture_.bits[32], picture_.bits[33], picture_.bits[34]}), topLeft);
    EXPECT_EQ((Colour{picture_.bits[19], picture_.bits[20], picture_.bits[21]}), middle);
    EXPECT_EQ(picture_.bits[15], 0xA5) << "row-end fill bytes are kept";
    // The header is held as the file has it.
    EXPECT_EQ(picture_.info->biSize, 40u);
    EXPECT_EQ(picture_.info->biWidth, 5);
    EXPECT_EQ(picture_.info->biHeight, 3);
    EXPECT_EQ(picture_.info->biBitCount, 24);
    EXPECT_EQ(picture_.info->biXPelsPerMeter, 2835);
}

TEST_F(LoadPictureTest, ReadsLargePicturesWhole) {
    BitmapRecipe recipe;
    recipe.width = 301;  // rows of 904 bytes: the data spans several read chunks
    recipe.height = 150;
    const std::string path = WriteBitmap(recipe);
    ASSERT_TRUE(Load(path));
    EXPECT_EQ(picture_.dataSize, 904u * 150u);
    ExpectPixelsFromFile(ReadWholeFile(path), 54);
}

TEST_F(LoadPictureTest, LocatesPixelDataByOffsetAlone) {
    // A gap between the headers and the pixels is skipped.
    BitmapRecipe gap;
    gap.gap = 1000;
    std::string path = WriteBitmap(gap);
    ASSERT_TRUE(Load(path));
    EXPECT_EQ(picture_.dataSize, 48u);
    ExpectPixelsFromFile(ReadWholeFile(path), 1054);

    // An offset below 54 reads the pixel data from inside the headers.
    for (std::uint32_t offset : {0u, 20u, 53u}) {
        BitmapRecipe inside;
        inside.offBits = offset;
        inside.fileSize = offset + 48;
        path = WriteBitmap(inside);
        ASSERT_TRUE(Load(path)) << "offset " << offset;
        ExpectPixelsFromFile(ReadWholeFile(path), offset);
    }

    // An offset the seek can reach but the file does not: all black.
    BitmapRecipe beyondEnd;
    beyondEnd.offBits = 0x7FFFFF00;
    beyondEnd.fileSize = 0x7FFFFF00 + 48;
    ASSERT_TRUE(Load(beyondEnd));
    ExpectZero(picture_.bits, picture_.dataSize + kSpareBytes, "pixels past the end of the file");
}

TEST_F(LoadPictureTest, TruncatedFileLoadsWithBlackTail) {
    BitmapRecipe recipe;
    recipe.truncateTo = 54 + 20;
    const std::string path = WriteBitmap(recipe);
    ASSERT_TRUE(Load(path));
    EXPECT_EQ(picture_.dataSize, 48u);
    ExpectPixelsFromFile(ReadWholeFile(path), 54);
    ExpectZero(picture_.bits + 20, 28, "missing tail");
}

TEST_F(LoadPictureTest, RefusesWhatIsNotABitmapFile) {
    EXPECT_FALSE(Load(TestFolder() + "/no-such-file.bmp"));
    EXPECT_FALSE(Load(TestFolder()));  // a folder
    const std::vector<std::uint8_t> good = MakeBitmapBytes(BitmapRecipe{});
    for (const char* magic : {"MB", "BA", "bm", "\0\0"}) {
        std::vector<std::uint8_t> bytes = good;
        bytes[0] = static_cast<std::uint8_t>(magic[0]);
        bytes[1] = static_cast<std::uint8_t>(magic[1]);
        EXPECT_FALSE(Load(WriteTestFile(bytes))) << "magic " << magic;
    }
    for (std::size_t length : {0, 1, 13, 14, 30, 53}) {
        std::vector<std::uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(length));
        EXPECT_FALSE(Load(WriteTestFile(bytes))) << length << " bytes";
    }
}

TEST_F(LoadPictureTest, RefusesOtherDepthsAndAnyCompression) {
    for (std::uint16_t depth : {1, 4, 8, 16, 32, 0, 23, 48}) {
        BitmapRecipe recipe;
        recipe.bitCount = depth;
        EXPECT_FALSE(Load(recipe)) << depth << "-bit";
    }
    for (std::uint32_t compression : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 0x80000000u}) {
        BitmapRecipe recipe;
        recipe.compression = compression;
        EXPECT_FALSE(Load(recipe)) << "compression " << compression;
    }
}

TEST_F(LoadPictureTest, PixelDataLimitIsOneByteBelowSixteenMebibytes) {
    // As many rows of 1024 pixels as the data holds, within every display's
    // largest side; the file itself stops after the headers, so the pixels
    // read as black.
    BitmapRecipe recipe;
    recipe.width = 1024;
    recipe.height = 16777215 / 3072;
    recipe.truncateTo = 54;
    recipe.fileSize = 54 + 16777215;
    ASSERT_TRUE(Load(recipe));
    EXPECT_EQ(picture_.dataSize, 16777215u);
    EXPECT_EQ(picture_.bits[16777215 + kSpareBytes - 1], 0);

    recipe.fileSize = 54 + 16777216;
    EXPECT_FALSE(Load(recipe));
}

TEST_F(LoadPictureTest, RefusesOffsetsBeyondTheDeclaredSizeOrTheSeek) {
    // The unsigned difference wraps to a huge size.
    BitmapRecipe beyond;
    beyond.fileSize = 100;
    for (std::uint32_t offset : {101u, 100u + 4278190080u}) {
        beyond.offBits = offset;
        EXPECT_FALSE(Load(beyond)) << "offset " << offset;
    }
    // A small difference, but an offset the 32-bit seek cannot reach.
    BitmapRecipe unreachable;
    unreachable.offBits = 0x80000000u;
    unreachable.fileSize = 0x80000000u + 48;
    EXPECT_FALSE(Load(unreachable));
    unreachable.offBits = 0xFFFFFFC0u;
    unreachable.fileSize = 0xFFFFFFF0u;
    EXPECT_FALSE(Load(unreachable));
}

TEST_F(LoadPictureTest, RefusesDimensionsTheDataCannotHold) {
    const std::int32_t dimensions[][2] = {{0, 3}, {5, 0}, {-5, 3}, {5, -3}, {0x7FFFFFFF, 3},
                                          {5, 0x7FFFFFFF}, {-0x7FFFFFFF - 1, 1}};
    for (const auto& size : dimensions) {
        BitmapRecipe recipe;
        recipe.width = size[0];
        recipe.height = size[1];
        recipe.truncateTo = 54;
        recipe.fileSize = 54 + 48;
        EXPECT_FALSE(Load(recipe)) << size[0] << " x " << size[1];
    }
    // One byte short of the rows the header promises is refused; exactly
    // enough (fill bytes included) loads.
    BitmapRecipe recipe;
    recipe.fileSize = 54 + 47;
    EXPECT_FALSE(Load(recipe));
    recipe.fileSize = 54 + 48;
    EXPECT_TRUE(Load(recipe));
}

TEST_F(LoadPictureTest, HeldHeaderNeverPointsBeyondItsFortyBytes) {
    // Later header versions load as the 40-byte header they begin with.
    for (std::uint32_t headerSize : {52u, 56u, 108u, 124u, 4096u}) {
        BitmapRecipe recipe;
        recipe.headerSize = headerSize;
        const std::string path = WriteBitmap(recipe);
        ASSERT_TRUE(Load(path)) << "header size " << headerSize;
        EXPECT_EQ(picture_.info->biSize, 40u);
        EXPECT_EQ(picture_.info->biWidth, 5);
        ExpectPixelsFromFile(ReadWholeFile(path), 14 + headerSize);
    }
    // Shorter headers are another layout altogether.
    for (std::uint32_t headerSize : {0u, 12u, 16u, 39u}) {
        BitmapRecipe recipe;
        recipe.headerSize = headerSize;
        recipe.offBits = 54;
        EXPECT_FALSE(Load(recipe)) << "header size " << headerSize;
    }
    // 24-bit pixels use no colour table, whatever the count says.
    for (std::uint32_t colours : {1u, 256u, 0xFFFFFFFFu}) {
        BitmapRecipe recipe;
        recipe.colourCount = colours;
        ASSERT_TRUE(Load(recipe)) << colours << " colours";
        EXPECT_EQ(picture_.info->biClrUsed, 0u);
    }
}

TEST_F(LoadPictureTest, LoadsNeverTouchTheCurrentPicture) {
    ASSERT_TRUE(Load(BitmapRecipe{}));
    const Picture current = picture_;
    const std::vector<std::uint8_t> pixels(current.bits, current.bits + current.dataSize + kSpareBytes);
    BITMAPINFOHEADER header;
    std::memcpy(&header, current.info, sizeof header);

    BitmapRecipe eightBit;
    eightBit.bitCount = 8;
    BitmapRecipe other;
    other.width = 9;
    other.height = 7;
    for (const BitmapRecipe& next : {eightBit, other}) {
        Picture result;
        std::memset(static_cast<void*>(&result), 0x3C, sizeof result);
        const Picture before = result;
        const bool ok = LoadPicture(surface_, WriteBitmap(next).c_str(), &result);
        if (ok) {
            ReleasePicture(&result);
        } else {
            EXPECT_EQ(std::memcmp(&before, &result, sizeof result), 0) << "a failed load writes nothing";
        }
        EXPECT_EQ(picture_.bits, current.bits);
        EXPECT_EQ(picture_.deviceBitmap, current.deviceBitmap);
        EXPECT_EQ(picture_.width, 5);
        EXPECT_EQ(picture_.height, 3);
        EXPECT_EQ(std::memcmp(picture_.info, &header, sizeof header), 0);
        EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), picture_.bits));
    }
}

TEST_F(LoadPictureTest, ReleaseLeavesAnEmptyRecord) {
    ASSERT_TRUE(Load(BitmapRecipe{}));
    ReleasePicture(&picture_);
    loaded_ = false;
    EXPECT_EQ(picture_.info, nullptr);
    EXPECT_EQ(picture_.bits, nullptr);
    EXPECT_EQ(picture_.snapshot, nullptr);
    EXPECT_EQ(picture_.deviceBitmap, nullptr);
    EXPECT_EQ(picture_.dataSize, 0u);
}

}  // namespace
