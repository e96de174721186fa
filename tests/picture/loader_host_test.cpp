// The loader against the host platform: the order of its calls, the size of
// its reads, and that every failure gives back exactly what it took.
#include <gtest/gtest.h>

#include "bitmap_files.h"
#include "picture/bitmap_loader.h"
#include "platform/host/host_control.h"

namespace {

using Log = std::vector<std::string>;

class LoaderHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        surface_ = platform::GetDC(nullptr);
        baseline_ = host::CurrentCounts();
        host::ClearCallLog();
        host::RecordCalls(true);
    }
    void TearDown() override {
        host::RecordCalls(false);
        host::ClearCallLog();
        host::ClearFaults();
        platform::ReleaseDC(nullptr, surface_);
    }

    bool Load(const std::string& path, Picture* picture) {
        host::ClearCallLog();
        return LoadPicture(surface_, path.c_str(), picture);
    }

    HDC surface_ = nullptr;
    host::LiveCounts baseline_;
};

TEST_F(LoaderHostTest, MakesItsCallsInOrder) {
    const std::string path = WriteBitmap(BitmapRecipe{});
    Picture picture;
    ASSERT_TRUE(Load(path, &picture));
    const Log expected = {"OpenFile",      "_lread 14",   "_lread 40",     "malloc 40",   "_llseek 14",
                          "_lread 40",     "_llseek 54",  "GlobalAlloc 1072", "GlobalLock", "GlobalAlloc 1072",
                          "GlobalLock",    "_lread 48",   "_lclose",       "CreateDIBitmap"};
    EXPECT_EQ(host::CallLog(), expected);

    host::LiveCounts held = baseline_;
    held.globalBlocks += 2;
    held.lockedBlocks += 2;
    held.heapBlocks += 1;
    held.bitmaps += 1;
    EXPECT_EQ(host::CurrentCounts(), held);

    host::ClearCallLog();
    ReleasePicture(&picture);
    const Log released = {"DeleteObject", "GlobalUnlock", "GlobalFree", "GlobalUnlock", "GlobalFree", "free"};
    EXPECT_EQ(host::CallLog(), released);
    EXPECT_EQ(host::CurrentCounts(), baseline_);
}

TEST_F(LoaderHostTest, ReadsPixelDataInChunksOf65520Bytes) {
    BitmapRecipe recipe;
    recipe.width = 100;  // 300-byte rows
    recipe.height = 437;
    recipe.fileSize = 54 + 2 * 65520 + 100;  // 40 bytes more than the rows need
    Picture picture;
    ASSERT_TRUE(Load(WriteBitmap(recipe), &picture));
    Log reads;
    for (const std::string& call : host::CallLog()) {
        if (call.rfind("_lread", 0) == 0) {
            reads.push_back(call);
        }
    }
    EXPECT_EQ(reads, (Log{"_lread 14", "_lread 40", "_lread 40", "_lread 65520", "_lread 65520", "_lread 100"}));
    ReleasePicture(&picture);
}

TEST_F(LoaderHostTest, WrongMagicStopsAfterTheFileHeader) {
    std::vector<std::uint8_t> bytes = MakeBitmapBytes(BitmapRecipe{});
    bytes[1] = 'A';
    Picture picture;
    EXPECT_FALSE(Load(WriteTestFile(bytes), &picture));
    EXPECT_EQ(host::CallLog(), (Log{"OpenFile", "_lread 14", "_lclose"}));
}

TEST_F(LoaderHostTest, EveryFailureGivesBackWhatItTook) {
    struct Case {
        const char* name;
        void (*fault)();
        BitmapRecipe recipe;
    };
    BitmapRecipe good;
    BitmapRecipe eightBit;
    eightBit.bitCount = 8;
    BitmapRecipe compressed;
    compressed.compression = 1;
    BitmapRecipe tooShort;
    tooShort.fileSize = 54 + 47;
    const Case cases[] = {
        {"no header block", [] { host::FailAfter(host::Fault::HeapAlloc, 0); }, good},
        {"no pixel block", [] { host::FailAfter(host::Fault::GlobalAlloc, 0); }, good},
        {"no snapshot block", [] { host::FailAfter(host::Fault::GlobalAlloc, 1); }, good},
        {"bitmap refused", [] { host::FailAfter(host::Fault::Bitmap, 0); }, good},
        {"8-bit pixels", [] {}, eightBit},
        {"compressed", [] {}, compressed},
        {"data too short", [] {}, tooShort},
    };
    for (const Case& test : cases) {
        test.fault();
        Picture picture;
        EXPECT_FALSE(Load(WriteBitmap(test.recipe), &picture)) << test.name;
        EXPECT_EQ(host::CurrentCounts(), baseline_) << test.name;
        EXPECT_EQ(host::CurrentCounts().openFiles, 0) << test.name;
        host::ClearFaults();
    }
    // The refusals before any allocation close the file and take nothing.
    Picture picture;
    EXPECT_FALSE(Load(WriteBitmap(compressed), &picture));
    EXPECT_EQ(host::CallLog(), (Log{"OpenFile", "_lread 14", "_lread 40", "_lclose"}));
}

TEST_F(LoaderHostTest, BitmapIsMadeOnTheCallersSurfaceFromTheHeldPixels) {
    Picture picture;
    EXPECT_FALSE(LoadPicture(nullptr, WriteBitmap(BitmapRecipe{}).c_str(), &picture))
        << "no device bitmap without a drawing context";
    EXPECT_EQ(host::CurrentCounts(), baseline_);
}

}  // namespace
