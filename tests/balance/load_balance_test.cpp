// Every way LoadPicture can end gives back exactly what it took: the file,
// the header block, both pixel blocks and their locks, the device bitmap.
// A success holds exactly one of each until ReleasePicture returns them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "picture/bitmap_loader.h"
#include "picture/diffusion.h"
#include "platform/host/host_control.h"

namespace {

// Fields of a bitmap file as the tests vary them.
struct BitmapRecipe {
    std::int32_t width = 5;
    std::int32_t height = 3;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    std::uint32_t clrUsed = 0;
    std::uint32_t offBits = 54;
    std::int64_t pixelBytes = -1;  // -1: stride times height
    std::int64_t declaredSize = -1;  // -1: offBits + pixelBytes
    std::int64_t keepBytes = -1;   // -1: the whole file
    bool badMagic = false;
};

void Put16(std::vector<unsigned char>* out, std::size_t at, std::uint32_t value) {
    (*out)[at] = static_cast<unsigned char>(value);
    (*out)[at + 1] = static_cast<unsigned char>(value >> 8);
}

void Put32(std::vector<unsigned char>* out, std::size_t at, std::uint32_t value) {
    Put16(out, at, value);
    Put16(out, at + 2, value >> 16);
}

std::vector<unsigned char> MakeBitmap(const BitmapRecipe& recipe) {
    const std::int64_t stride = (3 * static_cast<std::int64_t>(recipe.width) + 3) / 4 * 4;
    const std::int64_t pixels = recipe.pixelBytes >= 0 ? recipe.pixelBytes : stride * recipe.height;
    // The pixels follow the headers, or sit at bfOffBits when that is a
    // reasonable distance into the file.
    const std::size_t start = recipe.offBits < 54 || recipe.offBits > 0x10000 ? 54 : recipe.offBits;
    std::vector<unsigned char> file(start + static_cast<std::size_t>(pixels));
    file[0] = recipe.badMagic ? 'M' : 'B';
    file[1] = recipe.badMagic ? 'B' : 'M';
    const std::int64_t declared = recipe.declaredSize >= 0 ? recipe.declaredSize : recipe.offBits + pixels;
    Put32(&file, 2, static_cast<std::uint32_t>(declared));
    Put32(&file, 10, recipe.offBits);
    Put32(&file, 14, recipe.headerSize);
    Put32(&file, 18, static_cast<std::uint32_t>(recipe.width));
    Put32(&file, 22, static_cast<std::uint32_t>(recipe.height));
    Put16(&file, 26, 1);
    Put16(&file, 28, recipe.bitCount);
    Put32(&file, 30, recipe.compression);
    Put32(&file, 46, recipe.clrUsed);
    for (std::size_t i = start; i < file.size(); ++i) {
        file[i] = static_cast<unsigned char>(i * 7 + 1);
    }
    if (recipe.keepBytes >= 0) {
        file.resize(static_cast<std::size_t>(recipe.keepBytes));
    }
    return file;
}

// A scratch folder of bitmap files, removed with the fixture.
class ScratchFiles {
public:
    ScratchFiles() {
        char pattern[] = "/tmp/mottler-balance-XXXXXX";
        const char* made = mkdtemp(pattern);
        folder_ = made != nullptr ? made : "";
    }
    ~ScratchFiles() {
        for (const std::string& path : written_) {
            unlink(path.c_str());
        }
        rmdir(folder_.c_str());
    }
    bool ready() const { return !folder_.empty(); }
    std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) {
        const std::string path = folder_ + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
            written_.push_back(path);
        }
        return path;
    }
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
    std::vector<std::string> written_;
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
        ASSERT_TRUE(files_.ready());
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

    ScratchFiles files_;
    HDC surface_ = nullptr;
    host::LiveCounts start_;
};

TEST_F(LoadBalance, RefusalsBeforeAnyAllocationTakeNothing) {
    struct Case {
        const char* name;
        BitmapRecipe recipe;
    };
    std::vector<Case> cases;
    auto add = [&cases](const char* name, auto change) {
        BitmapRecipe recipe;
        change(&recipe);
        cases.push_back({name, recipe});
    };
    add("empty file", [](BitmapRecipe* s) { s->keepBytes = 0; });
    add("13 bytes", [](BitmapRecipe* s) { s->keepBytes = 13; });
    add("53 bytes", [](BitmapRecipe* s) { s->keepBytes = 53; });
    add("wrong magic", [](BitmapRecipe* s) { s->badMagic = true; });
    add("compression 1", [](BitmapRecipe* s) { s->compression = 1; });
    add("compression 3", [](BitmapRecipe* s) { s->compression = 3; });
    add("dataSize 16 MiB", [](BitmapRecipe* s) { s->declaredSize = 54 + 0x01000000; });
    add("bfOffBits past bfSize", [](BitmapRecipe* s) { s->declaredSize = 10; });
    add("width 0", [](BitmapRecipe* s) { s->width = 0; s->pixelBytes = 48; });
    add("negative width", [](BitmapRecipe* s) { s->width = -5; s->pixelBytes = 48; });
    add("negative height", [](BitmapRecipe* s) { s->height = -3; s->pixelBytes = 48; });
    add("rows beyond the data", [](BitmapRecipe* s) { s->pixelBytes = 47; });
    add("header size 12", [](BitmapRecipe* s) { s->headerSize = 12; });
    add("bfOffBits of 2^31", [](BitmapRecipe* s) {
        s->offBits = 0x80000000U;
        s->declaredSize = 0x80000000LL + 48;
        s->pixelBytes = 48;
    });
    for (const Case& c : cases) {
        ExpectRefusedCleanly(files_.Write("refused.bmp", MakeBitmap(c.recipe)), c.name);
    }
    ExpectRefusedCleanly(files_.folder() + "/no such file.bmp", "missing file");
    ExpectRefusedCleanly(files_.folder(), "a folder, which opens but cannot be read");
}

TEST_F(LoadBalance, FailuresAfterAllocationGiveEverythingBack) {
    const std::string good = files_.Write("good.bmp", MakeBitmap(BitmapRecipe{}));

    host::FailHeapAllocAfter(0);
    ExpectRefusedCleanly(good, "no header block");
    host::ClearFaults();

    host::FailGlobalAllocAfter(0);
    ExpectRefusedCleanly(good, "no block for the pixels");
    host::ClearFaults();

    host::FailGlobalAllocAfter(1);
    ExpectRefusedCleanly(good, "no block for the snapshot");
    host::ClearFaults();

    host::RefuseBitmaps(true);
    ExpectRefusedCleanly(good, "device bitmap refused");
    host::ClearFaults();

    // Uncompressed files of other depths pass the header checks, take their
    // blocks and fail on the bit depth.
    for (std::uint16_t depth : {1, 4, 8, 16, 32}) {
        BitmapRecipe recipe;
        recipe.bitCount = depth;
        recipe.pixelBytes = 64;
        ExpectRefusedCleanly(files_.Write("depth.bmp", MakeBitmap(recipe)),
                             "bit depth " + std::to_string(depth));
    }
}

TEST_F(LoadBalance, FailedLoadsReallyTookTheirBlocks) {
    // The failure paths above are only worth checking if they got as far as
    // taking blocks: the call log shows the allocations before the give-back.
    const std::string depth32 = [&] {
        BitmapRecipe recipe;
        recipe.bitCount = 32;
        recipe.pixelBytes = 64;
        return files_.Write("depth32.bmp", MakeBitmap(recipe));
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
    const std::string good = files_.Write("good.bmp", MakeBitmap(BitmapRecipe{}));
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
    struct Case {
        const char* name;
        BitmapRecipe recipe;
    };
    std::vector<Case> cases;
    auto add = [&cases](const char* name, auto change) {
        BitmapRecipe recipe;
        change(&recipe);
        cases.push_back({name, recipe});
    };
    add("truncated pixel data", [](BitmapRecipe* s) { s->keepBytes = 60; });
    add("bfOffBits inside the headers", [](BitmapRecipe* s) { s->offBits = 20; });
    add("gap before the pixels", [](BitmapRecipe* s) { s->offBits = 400; });
    add("V5 header size", [](BitmapRecipe* s) { s->headerSize = 124; s->offBits = 138; });
    add("huge biClrUsed", [](BitmapRecipe* s) { s->clrUsed = 0xFFFFFFFFU; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = files_.Write("odd.bmp", MakeBitmap(c.recipe));
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
    ScratchFiles files;
    ASSERT_TRUE(files.ready());
    std::vector<std::string> paths = {
        files.Write("good.bmp", MakeBitmap(BitmapRecipe{})),
        files.Write("truncated.bmp", [] { BitmapRecipe s; s.keepBytes = 60; return MakeBitmap(s); }()),
        files.Write("depth8.bmp", [] { BitmapRecipe s; s.bitCount = 8; s.pixelBytes = 64; return MakeBitmap(s); }()),
        files.Write("magic.bmp", [] { BitmapRecipe s; s.badMagic = true; return MakeBitmap(s); }()),
        files.Write("short.bmp", [] { BitmapRecipe s; s.keepBytes = 30; return MakeBitmap(s); }()),
        files.Write("rle.bmp", [] { BitmapRecipe s; s.compression = 1; return MakeBitmap(s); }()),
        std::string(MOTTLER_TEST_DATA) + "/bmpsuite/g/rgb24.bmp",
        std::string(MOTTLER_TEST_DATA) + "/bmpsuite/g/pal8.bmp",
        std::string(MOTTLER_TEST_DATA) + "/bmpsuite/b/shortfile.bmp",
        files.folder() + "/missing.bmp",
    };
    HDC surface = platform::GetDC(nullptr);
    const host::LiveCounts start = host::CurrentCounts();
    int loaded = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        // Faults now and then, so that the late failure paths run too.
        if (cycle % 7 == 3) {
            host::FailGlobalAllocAfter(cycle % 2);
        } else if (cycle % 11 == 5) {
            host::RefuseBitmaps(true);
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
