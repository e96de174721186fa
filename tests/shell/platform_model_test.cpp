// The Windows model the Linux sides share, in what needs no window: the
// device bitmap made from a device-independent one (colour order, row order,
// row padding), the file calls with their search beside the program, the
// global blocks, the filter lists of the open-file dialog. It runs against
// the test stand-in and against the GTK side alike.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/winmodel/model.h"
#include "test_dibs.h"

namespace {

TEST(WindowsModel, DeviceBitmapHoldsTheDibPixelsTopRowFirst) {
    for (int depth : {24, 32}) {
        for (bool bottomUp : {true, false}) {
            SCOPED_TRACE(std::to_string(depth) + (bottomUp ? " bottom-up" : " top-down"));
            const Dib dib = MakeDib(5, 3, depth, bottomUp);
            HBITMAP bitmap = Bitmap(dib);
            ASSERT_NE(bitmap, nullptr);
            ASSERT_EQ(bitmap->width, 5);
            ASSERT_EQ(bitmap->height, 3);
            for (int y = 0; y < 3; ++y) {
                for (int x = 0; x < 5; ++x) {
                    const std::uint32_t value = bitmap->pixels[y * 5 + x];
                    EXPECT_EQ(value & 0x00FFFFFFu, 0x800000u | static_cast<std::uint32_t>(y) << 8 | x)
                        << "pixel " << x << "," << y;
                }
            }
            EXPECT_TRUE(platform::DeleteObject(bitmap));
            EXPECT_FALSE(platform::DeleteObject(bitmap));
        }
    }
}

TEST(WindowsModel, BlocksHeapAndFilesAreCountedUntilGivenBack) {
    const winmodel::LiveCounts before = winmodel::Counts();
    HGLOBAL block = platform::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16);
    ASSERT_NE(platform::GlobalLock(block), nullptr);
    ASSERT_NE(platform::GlobalLock(block), nullptr);
    void* heap = platform::malloc(40);
    const HFILE file = platform::OpenFile("/proc/self/exe", OF_READ);
    ASSERT_NE(file, HFILE_ERROR);
    HDC screen = platform::GetDC(nullptr);
    winmodel::LiveCounts held = before;
    held.globalBlocks += 1;
    held.lockedBlocks += 2;
    held.heapBlocks += 1;
    held.openFiles += 1;
    held.drawingContexts += 1;
    EXPECT_TRUE(winmodel::Counts() == held);
    // A block freed while locked takes its locks with it.
    EXPECT_EQ(platform::GlobalFree(block), nullptr);
    platform::free(heap);
    EXPECT_EQ(platform::_lclose(file), 0);
    EXPECT_EQ(platform::ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(platform::ReleaseDC(nullptr, screen), 0);  // given back once only
    EXPECT_TRUE(winmodel::Counts() == before);
    EXPECT_EQ(platform::GlobalAlloc(GMEM_MOVEABLE, SIZE_T{1} << 30), nullptr);  // beyond a 32-bit process
}

// Only a handle OpenFile gave is read, moved or closed: any other descriptor
// of the process is left alone.
TEST(WindowsModel, FilesNotOpenedHereAreNeitherReadNorClosed) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], "xy", 2), 2);
    char buffer[4] = {};
    EXPECT_EQ(platform::_lread(ends[0], buffer, 2), static_cast<UINT>(HFILE_ERROR));
    EXPECT_EQ(platform::_llseek(ends[0], 0, FILE_BEGIN), HFILE_ERROR);
    EXPECT_EQ(platform::_lclose(ends[0]), HFILE_ERROR);
    EXPECT_EQ(read(ends[0], buffer, 2), 2);  // still open, nothing taken
    EXPECT_STREQ(buffer, "xy");
    close(ends[0]);
    close(ends[1]);
}

TEST(WindowsModel, DeviceBitmapsRefuseWhatNoDisplayHolds) {
    Dib dib = MakeDib(2, 2, 24, true);
    dib.header.biClrUsed = 65537;  // a colour table no driver reads
    EXPECT_EQ(Bitmap(dib), nullptr);
    dib.header.biClrUsed = 0;
    dib.header.biWidth = 20000;  // a gigabyte and more, whatever the display
    dib.header.biHeight = 20000;
    HDC screen = platform::GetDC(nullptr);
    EXPECT_EQ(platform::CreateDIBitmap(screen, &dib.header, 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
    dib.header.biWidth = 2;
    dib.header.biHeight = 2;
    // Without CBM_INIT a bitmap is made from the header alone; with it, the
    // pixels must come.
    HBITMAP blank = platform::CreateDIBitmap(screen, &dib.header, 0, nullptr, nullptr, DIB_RGB_COLORS);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank->pixels[3], 0u);
    EXPECT_TRUE(platform::DeleteObject(blank));
    EXPECT_EQ(platform::CreateDIBitmap(screen, &dib.header, CBM_INIT, nullptr,
                                       reinterpret_cast<const BITMAPINFO*>(&dib.header), DIB_RGB_COLORS),
              nullptr);
    platform::ReleaseDC(nullptr, screen);
}

TEST(WindowsModel, DrawingOnTheScreenKeepsNothingButTakesTheLines) {
    const Dib dib = MakeDib(3, 4, 24, true);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(&dib.header);
    HDC screen = platform::GetDC(nullptr);
    EXPECT_EQ(platform::SetDIBitsToDevice(screen, 0, 0, 3, 4, 0, 0, 0, 4, dib.bits.data(), info, DIB_RGB_COLORS), 4);
    // Scan lines from the third on: only two are left.
    EXPECT_EQ(platform::SetDIBitsToDevice(screen, 0, 0, 3, 4, 0, 0, 2, 9, dib.bits.data(), info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(platform::SetDIBitsToDevice(screen, 0, 0, 3, 4, 0, 0, 4, 1, dib.bits.data(), info, DIB_RGB_COLORS), 0);
    platform::ReleaseDC(nullptr, screen);
    EXPECT_EQ(platform::SetDIBitsToDevice(screen, 0, 0, 3, 4, 0, 0, 0, 4, dib.bits.data(), info, DIB_RGB_COLORS), 0);
}

TEST(WindowsModel, FilterListsArePairsOfStringsEndedByAnEmptyOne) {
    EXPECT_EQ(winmodel::FilterStrings("Exe Files(*.bmp)\0*.bmp\0All Files(*.*)\0*.*\0"),
              (std::vector<std::string>{"Exe Files(*.bmp)", "*.bmp", "All Files(*.*)", "*.*"}));
    EXPECT_TRUE(winmodel::FilterStrings(nullptr).empty());
    EXPECT_TRUE(winmodel::FilterStrings("").empty());
    std::string many;
    for (int i = 0; i < 70; ++i) {
        many += std::to_string(i) + '\0';
    }
    const std::vector<std::string> strings = winmodel::FilterStrings(many.c_str());
    ASSERT_EQ(strings.size(), 64u);  // a list that does not end is cut short
    EXPECT_EQ(strings.back(), "63");
}

// The folder this test program is in, with its final slash.
std::string ProgramFolder() {
    char program[4096];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    const std::string self(program, length > 0 ? static_cast<std::size_t>(length) : 0);
    return self.substr(0, self.find_last_of('/') + 1);
}

// Writes `text` into a new file at `path`.
void WriteFile(const std::string& path, const char* text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fputs(text, file);
    std::fclose(file);
}

// While it lives, the working folder is a new empty one, elsewhere than the
// program; the old one comes back after.
struct FreshWorkingFolder {
    char path[32] = "/tmp/gtk-side-test-XXXXXX";
    char previous[4096] = {};
    FreshWorkingFolder() {
        if (mkdtemp(path) == nullptr || getcwd(previous, sizeof previous) == nullptr || chdir(path) != 0) {
            ADD_FAILURE() << "no fresh working folder";
        }
    }
    ~FreshWorkingFolder() {
        EXPECT_EQ(chdir(previous), 0);
        rmdir(path);
    }
};

TEST(WindowsModel, BareNamesAreFoundInTheWorkingFolderThenBesideTheProgram) {
    const std::string folder = ProgramFolder();
    const std::string name = "gtk-side-test-" + std::to_string(getpid()) + ".bin";
    WriteFile(folder + name, "0123456789");
    FreshWorkingFolder elsewhere;

    const HFILE file = platform::OpenFile(name.c_str(), OF_READ);
    ASSERT_NE(file, HFILE_ERROR);
    char buffer[16] = {};
    EXPECT_EQ(platform::_lread(file, buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer), "0123");
    std::memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(platform::_llseek(file, 8, FILE_BEGIN), 8);
    EXPECT_EQ(platform::_lread(file, buffer, sizeof buffer), 2u);  // short at the end
    EXPECT_STREQ(buffer, "89");
    EXPECT_EQ(platform::_llseek(file, -1, FILE_BEGIN), HFILE_ERROR);
    EXPECT_EQ(platform::_lclose(file), 0);
    // A name with a folder in it is opened as it stands, nowhere else.
    EXPECT_EQ(platform::OpenFile(("./" + name).c_str(), OF_READ), HFILE_ERROR);
    // A folder opens, but a read of it fails.
    const HFILE opened = platform::OpenFile(elsewhere.path, OF_READ);
    ASSERT_NE(opened, HFILE_ERROR);
    EXPECT_EQ(platform::_lread(opened, buffer, 4), static_cast<UINT>(HFILE_ERROR));
    platform::_lclose(opened);
    std::remove((folder + name).c_str());
}

// The first byte of the file a bare name opens, or 0 when none opens.
char FirstByteOf(const std::string& name) {
    const HFILE file = platform::OpenFile(name.c_str(), OF_READ);
    if (file == HFILE_ERROR) {
        return 0;
    }
    char first = 0;
    platform::_lread(file, &first, 1);
    platform::_lclose(file);
    return first;
}

// The three places in order: the working folder, beside the program, then
// the installed data folder share/mottler one level above the program's
// folder. Each copy holds a different first byte, and each is taken away in
// turn to uncover the next.
TEST(WindowsModel, BareNamesAreFoundInTheWorkingFolderBesideTheProgramThenInTheDataFolder) {
    const std::string folder = ProgramFolder();
    const std::string share = folder + "../share";
    const std::string data = share + "/mottler";
    const bool shareExisted = access(share.c_str(), F_OK) == 0;
    const bool dataExisted = access(data.c_str(), F_OK) == 0;
    mkdir(share.c_str(), 0755);
    mkdir(data.c_str(), 0755);
    const std::string name = "gtk-side-search-" + std::to_string(getpid()) + ".bin";
    FreshWorkingFolder working;
    WriteFile(name, "W");
    WriteFile(folder + name, "B");
    WriteFile(data + "/" + name, "D");

    EXPECT_EQ(FirstByteOf(name), 'W');
    std::remove(name.c_str());
    EXPECT_EQ(FirstByteOf(name), 'B');
    std::remove((folder + name).c_str());
    EXPECT_EQ(FirstByteOf(name), 'D');
    // A name with a folder is opened as it stands, never in the data folder.
    EXPECT_EQ(FirstByteOf("./" + name), 0);
    std::remove((data + "/" + name).c_str());
    EXPECT_EQ(FirstByteOf(name), 0);

    if (!dataExisted) {
        rmdir(data.c_str());
    }
    if (!shareExisted) {
        rmdir(share.c_str());
    }
}

TEST(WindowsModel, GlobalBlocksAreZeroedAndCountTheirLocks) {
    HGLOBAL block = platform::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4096);
    ASSERT_NE(block, nullptr);
    auto* data = static_cast<unsigned char*>(platform::GlobalLock(block));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(data, data + 4096), std::vector<unsigned char>(4096, 0));
    EXPECT_EQ(platform::GlobalLock(block), data);  // fixed while locked
    EXPECT_TRUE(platform::GlobalUnlock(block));    // still locked once
    EXPECT_FALSE(platform::GlobalUnlock(block));
    EXPECT_FALSE(platform::GlobalUnlock(block));   // not locked at all
    EXPECT_EQ(platform::GlobalFree(block), nullptr);
}

}  // namespace
