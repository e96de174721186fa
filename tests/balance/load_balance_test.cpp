// Every way LoadPicture can end gives back exactly what it took: the file,
// the header block, both pixel blocks and their locks, the device bitmap.
// A success holds exactly one of each until ReleasePicture returns them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap_files.h"
#include "picture/bitmap_loader.h"
#include "picture/diffusion.h"
#include "platform/host/host_control.h"

namespace {

// Writes the default 5 x 3 picture with one change made to its recipe.
std::string Written(void (*change)(BitmapRecipe*)) {
    BitmapRecipe recipe;
    change(&recipe);
    return WriteBitmap(recipe);
}

std::string WrittenWithWrongMagic() {
    std::vector<std::uint8_t> bytes = MakeBitmapBytes(BitmapRecipe{});
    bytes[0] = 'M';
    bytes[1] = 'B';
    return WriteTestFile(bytes);
}

struct NamedFile {
    const char* name;
    std::string path;
};

std::string Describe(const host::LiveCounts& counts) {
    return "files " + std::to_string(counts.openFiles) + ", global blocks " +
           std::to_string(counts.globalBlocks) + ", locks " + std::to_string(counts.lockedBlocks) +
           ", heap blocks " + std::to_string(counts.heapBlocks) + ", bitmaps " +
           std::to_string(counts.bitmaps) + ", drawing contexts " +
           std::to_string(counts.drawingContexts);
}

class LoadBalance : public ::testing::Test {
protected:
    void SetUp() override {
        host::ClearFaults();
        surface_ = platform::GetDC(nullptr);
        ASSERT_NE(surface_, nullptr);
        start_ = host::CurrentCounts();
    }
    void TearDown() override {
        host::ClearFaults();
        platform::ReleaseDC(nullptr, surface_);
    }

    // Loads `path` and expects it to fail with every count where it was.
    void ExpectRefusedCleanly(const std::string& path, const std::string& why) {
        SCOPED_TRACE(why);
        Picture untouched;
        untouched.width = 77;
        EXPECT_FALSE(LoadPicture(surface_, path.c_str(), &untouched));
        EXPECT_EQ(untouched.width, 77) << "a failed load wrote into the caller's picture";
        EXPECT_EQ(untouched.info, nullptr);
        EXPECT_TRUE(host::CurrentCounts() == start_) << Describe(host::CurrentCounts());
    }

    HDC surface_ = nullptr;
    host::LiveCounts start_;
};

TEST_F(LoadBalance, RefusalsBeforeAnyAllocationTakeNothing) {
    const NamedFile cases[] = {
        {"empty file", Written([](BitmapRecipe* r) { r->truncateTo = 0; })},
        {"13 bytes", Written([](BitmapRecipe* r) { r->truncateTo = 13; })},
        {"53 bytes", Written([](BitmapRecipe* r) { r->truncateTo = 53; })},
        {"wrong magic", WrittenWithWrongMagic()},
        {"compression 1", Written([](BitmapRecipe* r) { r->compression = 1; })},
        {"compression 3", Written([](BitmapRecipe* r) { r->compression = 3; })},
        {"dataSize 16 MiB", Written([](BitmapRecipe* r) { r->fileSize = 54 + 0x01000000; })},
        {"bfOffBits past bfSize", Written([](BitmapRecipe* r) { r->fileSize = 10; })},
        {"width 0", Written([](BitmapRecipe* r) { r->width = 0; r->fileSize = 54 + 48; })},
        {"negative width", Written([](BitmapRecipe* r) { r->width = -5; r->fileSize = 54 + 48; })},
        {"negative height", Written([](BitmapRecipe* r) { r->height = -3; r->fileSize = 54 + 48; })},
        {"rows beyond the data", Written([](BitmapRecipe* r) { r->fileSize = 54 + 47; })},
        {"header size 12", Written([](BitmapRecipe* r) { r->headerSize = 12; })},
        {"bfOffBits of 2^31", Written([](BitmapRecipe* r) {
             r->offBits = 0x80000000U;
             r->fileSize = 0x80000000U + 48;
         })},
    };
    for (const NamedFile& c : cases) {
        ExpectRefusedCleanly(c.path, c.name);
    }
    ExpectRefusedCleanly(TestFolder() + "/no such file.bmp", "missing file");
    ExpectRefusedCleanly(TestFolder(), "a folder, which opens but cannot be read");
}

TEST_F(LoadBalance, FailuresAfterAllocationGiveEverythingBack) {
    const std::string good = WriteBitmap(BitmapRecipe{});

    host::FailAfter(host::Fault::HeapAlloc, 0);
    ExpectRefusedCleanly(good, "no header block");
    host::ClearFaults();

    host::FailAfter(host::Fault::GlobalAlloc, 0);
    ExpectRefusedCleanly(good, "no block for the pixels");
    host::ClearFaults();

    host::FailAfter(host::Fault::GlobalAlloc, 1);
    ExpectRefusedCleanly(good, "no block for the snapshot");
    host::ClearFaults();

    host::FailAfter(host::Fault::Bitmap, 0);
    ExpectRefusedCleanly(good, "device bitmap refused");
    host::ClearFaults();

    // Uncompressed files of other depths pass the header checks, take their
    // blocks and fail on the bit depth.
    for (std::uint16_t depth : {1, 4, 8, 16, 32}) {
        BitmapRecipe recipe;
        recipe.bitCount = depth;
        recipe.fileSize = 54 + 64;
        ExpectRefusedCleanly(WriteBitmap(recipe),
                             "bit depth " + std::to_string(depth));
    }
}

TEST_F(LoadBalance, FailedLoadsReallyTookTheirBlocks) {
    // The failure paths above are only worth checking if they got as far as
    // taking blocks: the call log shows the allocations before the give-back.
    const std::string depth32 = [&] {
        BitmapRecipe recipe;
        recipe.bitCount = 32;
        recipe.fileSize = 54 + 64;
        return WriteBitmap(recipe);
    }();
    host::ClearCallLog();
    host::RecordCalls(true);
    Picture picture;
    EXPECT_FALSE(LoadPicture(surface_, depth32.c_str(), &picture));
    host::RecordCalls(false);
    int allocations = 0;
    int frees = 0;
    for (const std::string& call : host::CallLog()) {
        allocations += call.rfind("GlobalAlloc", 0) == 0 || call.rfind("malloc", 0) == 0;
        frees += call == "GlobalFree" || call == "free";
    }
    host::ClearCallLog();
    EXPECT_EQ(allocations, 3);
    EXPECT_EQ(frees, 3);
}

TEST_F(LoadBalance, SuccessHoldsOneOfEachUntilReleased) {
    const std::string good = WriteBitmap(BitmapRecipe{});
    Picture picture;
    ASSERT_TRUE(LoadPicture(surface_, good.c_str(), &picture));
    host::LiveCounts held = start_;
    held.heapBlocks += 1;
    held.globalBlocks += 2;
    held.lockedBlocks += 2;
    held.bitmaps += 1;
    EXPECT_TRUE(host::CurrentCounts() == held) << Describe(host::CurrentCounts());

    StepPicture(&picture);
    EXPECT_TRUE(host::CurrentCounts() == held) << "a step took or gave back resources";

    ReleasePicture(&picture);
    EXPECT_TRUE(host::CurrentCounts() == start_) << Describe(host::CurrentCounts());
    EXPECT_EQ(picture.info, nullptr);
    EXPECT_EQ(picture.bits, nullptr);
    EXPECT_EQ(picture.deviceBitmap, nullptr);
}

TEST_F(LoadBalance, OddButAcceptedFilesBalanceToo) {
    const NamedFile cases[] = {
        {"truncated pixel data", Written([](BitmapRecipe* r) { r->truncateTo = 60; })},
        {"bfOffBits inside the headers", Written([](BitmapRecipe* r) { r->offBits = 20; r->fileSize = 20 + 48; })},
        {"gap before the pixels", Written([](BitmapRecipe* r) { r->gap = 400 - 54; })},
        {"V5 header size", Written([](BitmapRecipe* r) { r->headerSize = 124; })},
        {"huge biClrUsed", Written([](BitmapRecipe* r) { r->colourCount = 0xFFFFFFFFU; })},
    };
    for (const NamedFile& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string& path = c.path;
        Picture picture;
        ASSERT_TRUE(LoadPicture(surface_, path.c_str(), &picture));
        StepPicture(&picture);
        ReleasePicture(&picture);
        EXPECT_TRUE(host::CurrentCounts() == start_) << Describe(host::CurrentCounts());
    }
}

// Loads and releases good and bad files over and over. The counts must come
// back after every cycle; heap leaks outside the counted calls are left to
// LeakSanitizer (sanitizer build) and valgrind (plain build), which check this
// process when it ends.
TEST(LoadReleaseCycles, ThousandCyclesOfGoodAndBadFilesLeakNothing) {
    std::vector<std::string> paths = {
        WriteBitmap(BitmapRecipe{}),
        Written([](BitmapRecipe* r) { r->truncateTo = 60; }),
        Written([](BitmapRecipe* r) { r->bitCount = 8; r->fileSize = 54 + 64; }),
        WrittenWithWrongMagic(),
        Written([](BitmapRecipe* r) { r->truncateTo = 30; }),
        Written([](BitmapRecipe* r) { r->compression = 1; }),
        std::string(MOTTLER_TEST_DATA) + "/bmpsuite/g/rgb24.bmp",
        std::string(MOTTLER_TEST_DATA) + "/bmpsuite/g/pal8.bmp",
        std::string(MOTTLER_TEST_DATA) + "/bmpsuite/b/shortfile.bmp",
        TestFolder() + "/missing.bmp",
    };
    HDC surface = platform::GetDC(nullptr);
    const host::LiveCounts start = host::CurrentCounts();
    int loaded = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        // Faults now and then, so that the late failure paths run too.
        if (cycle % 7 == 3) {
            host::FailAfter(host::Fault::GlobalAlloc, cycle % 2);
        } else if (cycle % 11 == 5) {
            host::FailAfter(host::Fault::Bitmap, 0);
        }
        Picture picture;
        if (LoadPicture(surface, paths[static_cast<std::size_t>(cycle) % paths.size()].c_str(),
                        &picture)) {
            ++loaded;
            StepPicture(&picture);
            ReleasePicture(&picture);
        }
        host::ClearFaults();
        ASSERT_TRUE(host::CurrentCounts() == start)
            << "cycle " << cycle << ": " << Describe(host::CurrentCounts());
    }
    platform::ReleaseDC(nullptr, surface);
    // The mix must hold loads as well as refusals to mean anything.
    EXPECT_GT(loaded, 100);
    EXPECT_LT(loaded, 900);
}

}  // namespace
