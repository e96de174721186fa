// Where the picture comes from, in what order, and how it is fitted.
#include <cstring>

#include "picture/bitmap_loader.h"
#include "saver/source.h"
#include "saver_fixture.h"

namespace {

// A source image of width x height coloured by TestPixel, held by the test.
struct TestImage {
    std::vector<std::uint8_t> bytes;
    SourceImage image;
};

TestImage MakeImage(int width, int height, int salt = 0) {
    TestImage made;
    made.bytes.assign(RowStride(width) * height, 0xEE);  // padding that must never show
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = made.bytes.data() + (height - 1 - y) * RowStride(width) + 3 * x;
            const std::uint32_t colour = TestPixel(x, y, salt);
            pixel[0] = static_cast<std::uint8_t>(colour);
            pixel[1] = static_cast<std::uint8_t>(colour >> 8);
            pixel[2] = static_cast<std::uint8_t>(colour >> 16);
        }
    }
    made.image = SourceImage{made.bytes.data(), width, height};
    return made;
}

using FitTest = SaverTest;

TEST_F(FitTest, ASourceOfTheWindowsSizeIsCopiedAsItIs) {
    for (int width : {1, 2, 3, 4, 5, 17}) {
        const TestImage source = MakeImage(width, 9);
        Picture fitted;
        ASSERT_TRUE(FitPicture(source.image, width, 9, &fitted));
        for (int row = 0; row < 9; ++row) {
            EXPECT_EQ(std::memcmp(fitted.bits + row * RowStride(width), source.bytes.data() + row * RowStride(width),
                                  3 * width),
                      0)
                << width << " " << row;
        }
        EXPECT_EQ(fitted.info->biWidth, width);
        EXPECT_EQ(fitted.info->biHeight, 9);
        EXPECT_EQ(fitted.info->biBitCount, 24);
        EXPECT_EQ(fitted.dataSize, RowStride(width) * 9);
        ReleasePicture(&fitted);
    }
}

// A wide source in a square window: the whole width, black bands above and
// below of equal height (to a pixel), each pixel the source's under it.
TEST_F(FitTest, KeepsProportionsCentredWithBlackMargins) {
    const TestImage source = MakeImage(20, 10);
    Picture fitted;
    ASSERT_TRUE(FitPicture(source.image, 40, 40, &fitted));
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool inside = y >= 10 && y < 30;
            const std::uint32_t expected = inside ? TestPixel(x / 2, (y - 10) / 2) : 0;
            ASSERT_EQ(PicturePixel(fitted, x, y), expected) << x << "," << y;
        }
    }
    ReleasePicture(&fitted);

    // A tall source in a wide window: bands left and right.
    const TestImage tall = MakeImage(3, 12);
    ASSERT_TRUE(FitPicture(tall.image, 10, 6, &fitted));
    for (int y = 0; y < 6; ++y) {
        EXPECT_EQ(PicturePixel(fitted, 3, y), 0u);  // margin: the picture is 1.5 wide at 6 high -> 1
        EXPECT_EQ(PicturePixel(fitted, 6, y), 0u);
        EXPECT_EQ(PicturePixel(fitted, 4, y), TestPixel(1, 2 * y + 1)) << y;
    }
    ReleasePicture(&fitted);
}

TEST_F(FitTest, ShrinksByTakingThePixelUnderEachCentre) {
    const TestImage source = MakeImage(9, 9);
    Picture fitted;
    ASSERT_TRUE(FitPicture(source.image, 3, 3, &fitted));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(PicturePixel(fitted, x, y), TestPixel(3 * x + 1, 3 * y + 1));
        }
    }
    ReleasePicture(&fitted);
}

TEST_F(FitTest, OnePixelSourcesAndWindows) {
    const TestImage dot = MakeImage(1, 1, 3);
    Picture fitted;
    ASSERT_TRUE(FitPicture(dot.image, 5, 3, &fitted));  // a square in the middle, 3 x 3
    EXPECT_EQ(PicturePixel(fitted, 0, 1), 0u);
    EXPECT_EQ(PicturePixel(fitted, 1, 1), TestPixel(0, 0, 3));
    EXPECT_EQ(PicturePixel(fitted, 3, 2), TestPixel(0, 0, 3));
    EXPECT_EQ(PicturePixel(fitted, 4, 0), 0u);
    ReleasePicture(&fitted);

    const TestImage big = MakeImage(30, 20);
    ASSERT_TRUE(FitPicture(big.image, 1, 1, &fitted));
    EXPECT_EQ(PicturePixel(fitted, 0, 0), TestPixel(15, 10));
    ReleasePicture(&fitted);
    // A line of a picture in a window one pixel high; a client of no size
    // gets a picture of one pixel, which draws nothing there.
    ASSERT_TRUE(FitPicture(big.image, 60, 1, &fitted));
    EXPECT_EQ(fitted.width, 60);
    ReleasePicture(&fitted);
    ASSERT_TRUE(FitPicture(big.image, 0, -4, &fitted));
    EXPECT_EQ(fitted.width, 1);
    EXPECT_EQ(fitted.height, 1);
    ReleasePicture(&fitted);
}

TEST_F(FitTest, RefusesWhatCannotBeHeld) {
    const TestImage source = MakeImage(4, 4);
    Picture fitted;
    EXPECT_FALSE(FitPicture(source.image, 40000, 10, &fitted));
    EXPECT_FALSE(FitPicture(SourceImage{}, 10, 10, &fitted));
    host::FailAfter(host::Fault::GlobalAlloc, 1);  // the second block fails: the first goes back
    EXPECT_FALSE(FitPicture(source.image, 10, 10, &fitted));
    host::ClearFaults();
    EXPECT_EQ(fitted.info, nullptr);
}

using SourceTest = SaverTest;

TEST_F(SourceTest, CapturesTheVirtualScreenFromItsOrigin) {
    SetScreen(-30, 5, 13, 7, 1);
    host::RecordCalls(true);
    Source source;
    ASSERT_TRUE(CaptureScreen(&source));
    ASSERT_EQ(source.image.width, 13);
    ASSERT_EQ(source.image.height, 7);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 13; ++x) {
            const std::uint8_t* pixel = source.image.bits + (6 - y) * RowStride(13) + 3 * x;
            const std::uint32_t colour = pixel[0] | pixel[1] << 8 | pixel[2] << 16;
            ASSERT_EQ(colour, TestPixel(x, y, 1)) << x << "," << y;
        }
    }
    EXPECT_NE(std::find(host::CallLog().begin(), host::CallLog().end(), "BitBlt 0 0 13 7 -30 5"),
              host::CallLog().end());
    EXPECT_FALSE(IsBlank(source.image));
    ReleaseSource(&source);
}

TEST_F(SourceTest, OneColourIsBlank) {
    const TestImage one = MakeImage(1, 1);
    EXPECT_TRUE(IsBlank(one.image));
    host::SetVirtualScreen(0, 0, 6, 5);
    host::SetScreenImage(6, 5, std::vector<std::uint32_t>(30, 0x123456));
    Source source;
    ASSERT_TRUE(CaptureScreen(&source));
    EXPECT_TRUE(IsBlank(source.image));  // the padding bytes do not count
    ReleaseSource(&source);
}

TEST_F(SourceTest, ACaptureFailsWithoutTheScreenOrItsBitmap) {
    Source source;
    EXPECT_FALSE(CaptureScreen(&source));  // the system gives no pixels
    SetScreen(0, 0, 8, 8);
    host::FailAfter(host::Fault::Bitmap, 0);
    EXPECT_FALSE(CaptureScreen(&source));
    host::FailAfter(host::Fault::Bitmap, -1);
    host::SetVirtualScreen(0, 0, 0, 8);
    EXPECT_FALSE(CaptureScreen(&source));
}

TEST_F(SourceTest, TheOrderOfTheSources) {
    const std::string preferred = WriteFile("preferred.bmp", BitmapBytes(5, 4, 1));
    const std::string fallback = WriteFile("fallback.bmp", BitmapBytes(6, 4, 2));
    const std::string refused = WriteFile("eight.bmp", BitmapBytes(5, 4, 1, 8));
    Source source;
    // The preferred picture when it loads.
    SetScreen(0, 0, 7, 4);
    ASSERT_TRUE(ObtainSource(SourceOrder{preferred.c_str(), fallback.c_str(), nullptr}, CaptureScreen, &source));
    EXPECT_EQ(source.image.width, 5);
    ReleaseSource(&source);
    // Otherwise the screen.
    ASSERT_TRUE(ObtainSource(SourceOrder{refused.c_str(), fallback.c_str(), nullptr}, CaptureScreen, &source));
    EXPECT_EQ(source.image.width, 7);
    EXPECT_NE(source.section, nullptr);
    ReleaseSource(&source);
    // A blank screen: the fallback picture.
    host::SetScreenImage(7, 4, std::vector<std::uint32_t>(28, 0));
    ASSERT_TRUE(ObtainSource(SourceOrder{nullptr, fallback.c_str(), nullptr}, CaptureScreen, &source));
    EXPECT_EQ(source.image.width, 6);
    ReleaseSource(&source);
    // Then the bundled picture: "mottle.bmp" where there is no resource.
    WriteFile("mottle.bmp", BitmapBytes(3, 2, 4));
    ASSERT_TRUE(ObtainSource(SourceOrder{nullptr, refused.c_str(), nullptr}, CaptureScreen, &source));
    EXPECT_EQ(source.image.width, 3);
    EXPECT_EQ(PicturePixel(source.picture, 2, 1), TestPixel(2, 1, 4));
    ReleaseSource(&source);
    // The resource, where the program has one, whatever the folder holds.
    winmodel::RegisterResource("MOTTLE", RT_RCDATA, BitmapBytes(9, 2, 5));
    ASSERT_TRUE(ObtainSource(SourceOrder{nullptr, nullptr, TestInstance()}, CaptureScreen, &source));
    EXPECT_EQ(source.image.width, 9);
    EXPECT_EQ(PicturePixel(source.picture, 8, 1), TestPixel(8, 1, 5));
    ReleaseSource(&source);
}

TEST_F(SourceTest, NoSourceAtAllIsAFailureThatKeepsNothing) {
    winmodel::RegisterResource("MOTTLE", RT_RCDATA, BitmapBytes(4, 4, 0, 8));  // refused
    Source source;
    EXPECT_FALSE(ObtainSource(SourceOrder{"missing.bmp", "missing.bmp", TestInstance()}, CaptureScreen, &source));
    EXPECT_EQ(source.picture.info, nullptr);
    EXPECT_EQ(source.memory, nullptr);
}

// The bytes in memory go through the file loader's checks: what one accepts
// or refuses, so does the other, and the pixels agree.
TEST_F(SourceTest, MemoryPicturesMeetTheFileLoadersRules) {
    std::vector<std::vector<unsigned char>> files = {BitmapBytes(5, 3), BitmapBytes(1, 1), BitmapBytes(4, 4, 0, 32),
                                                     BitmapBytes(4, 4, 0, 8), {}};
    std::vector<unsigned char> cut = BitmapBytes(7, 5);  // pixel data cut short: the rest is black
    cut.resize(cut.size() - 30);
    files.push_back(cut);
    std::vector<unsigned char> wrongMagic = BitmapBytes(3, 3);
    wrongMagic[0] = 'X';
    files.push_back(wrongMagic);
    std::vector<unsigned char> headerOnly = BitmapBytes(3, 3);
    headerOnly.resize(53);
    files.push_back(headerOnly);
    std::vector<unsigned char> hugeOffset = BitmapBytes(3, 3);
    hugeOffset[10] = 0xFF;
    hugeOffset[11] = 0xFF;
    files.push_back(hugeOffset);
    HDC screen = platform::GetDC(nullptr);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string path = WriteFile("case.bmp", files[i]);
        Picture fromFile;
        Picture fromMemory;
        const bool file = LoadPicture(screen, path.c_str(), &fromFile);
        const bool memory = LoadPictureFromMemory(screen, files[i].data(), static_cast<std::uint32_t>(files[i].size()),
                                                  &fromMemory);
        ASSERT_EQ(file, memory) << "case " << i;
        if (file) {
            EXPECT_EQ(fromFile.dataSize, fromMemory.dataSize);
            EXPECT_EQ(std::memcmp(fromFile.info, fromMemory.info, 40), 0);
            EXPECT_EQ(std::memcmp(fromFile.bits, fromMemory.bits, fromFile.dataSize + kSpareBytes), 0) << i;
            ReleasePicture(&fromFile);
            ReleasePicture(&fromMemory);
        }
    }
    Picture none;
    EXPECT_FALSE(LoadPictureFromMemory(screen, nullptr, 100, &none));
    platform::ReleaseDC(nullptr, screen);
}

}  // namespace
