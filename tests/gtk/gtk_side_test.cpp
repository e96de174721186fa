// The GTK side's calls that need no display: the device bitmap made from a
// device-independent one (colour order, row order, row padding), the headers
// it refuses, the file calls with their search beside the program, and the
// global blocks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/gtk/gtk_internal.h"

namespace {

// A W x H DIB whose pixel (x, y from the top) has blue x, green y, red 0x80,
// and whose row padding is 0xEE, which must never show.
struct Dib {
    BITMAPINFOHEADER header{};
    std::vector<unsigned char> bits;
};

Dib MakeDib(int width, int height, int depth, bool bottomUp) {
    Dib dib;
    dib.header.biSize = 40;
    dib.header.biWidth = width;
    dib.header.biHeight = bottomUp ? height : -height;
    dib.header.biPlanes = 1;
    dib.header.biBitCount = static_cast<WORD>(depth);
    const int rowBytes = (width * depth + 31) / 32 * 4;
    dib.bits.assign(static_cast<std::size_t>(rowBytes) * height, 0xEE);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = &dib.bits[static_cast<std::size_t>(bottomUp ? height - 1 - y : y) * rowBytes];
        for (int x = 0; x < width; ++x) {
            unsigned char* pixel = row + x * depth / 8;
            pixel[0] = static_cast<unsigned char>(x);
            pixel[1] = static_cast<unsigned char>(y);
            pixel[2] = 0x80;
        }
    }
    return dib;
}

HBITMAP Bitmap(const Dib& dib) {
    return platform::CreateDIBitmap(platform::GetDC(nullptr), &dib.header, CBM_INIT, dib.bits.data(),
                                    reinterpret_cast<const BITMAPINFO*>(&dib.header), DIB_RGB_COLORS);
}

TEST(GtkSide, DeviceBitmapHoldsTheDibPixelsTopRowFirst) {
    for (int depth : {24, 32}) {
        for (bool bottomUp : {true, false}) {
            SCOPED_TRACE(std::to_string(depth) + (bottomUp ? " bottom-up" : " top-down"));
            const Dib dib = MakeDib(5, 3, depth, bottomUp);
            HBITMAP bitmap = Bitmap(dib);
            ASSERT_NE(bitmap, nullptr);
            cairo_surface_flush(bitmap->image);
            const unsigned char* pixels = cairo_image_surface_get_data(bitmap->image);
            const int stride = cairo_image_surface_get_stride(bitmap->image);
            for (int y = 0; y < 3; ++y) {
                for (int x = 0; x < 5; ++x) {
                    std::uint32_t value;
                    std::memcpy(&value, pixels + y * stride + 4 * x, 4);
                    EXPECT_EQ(value & 0x00FFFFFFu, 0x800000u | static_cast<std::uint32_t>(y) << 8 | x)
                        << "pixel " << x << "," << y;
                }
            }
            EXPECT_TRUE(platform::DeleteObject(bitmap));
            EXPECT_FALSE(platform::DeleteObject(bitmap));
        }
    }
}

TEST(GtkSide, DeviceBitmapIsRefusedForHeadersItCannotDraw) {
    const Dib good = MakeDib(4, 4, 24, true);
    auto refused = [&](void (*change)(BITMAPINFOHEADER*)) {
        Dib dib = good;
        change(&dib.header);
        return Bitmap(dib) == nullptr;
    };
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biBitCount = 8; }));
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biCompression = BI_RLE8; }));
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biWidth = 0; }));
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biHeight = 0; }));
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biSize = 12; }));
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biWidth = 40000; }));
    EXPECT_EQ(platform::CreateDIBitmap(nullptr, &good.header, CBM_INIT, good.bits.data(),
                                       reinterpret_cast<const BITMAPINFO*>(&good.header), DIB_RGB_COLORS),
              nullptr);
}

TEST(GtkSide, BareNamesAreFoundInTheWorkingFolderThenBesideTheProgram) {
    char program[4096];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    ASSERT_GT(length, 0);
    const std::string self(program, static_cast<std::size_t>(length));
    const std::string folder = self.substr(0, self.find_last_of('/') + 1);
    const std::string name = "gtk-side-test-" + std::to_string(getpid()) + ".bin";
    std::FILE* beside = std::fopen((folder + name).c_str(), "wb");
    ASSERT_NE(beside, nullptr);
    std::fputs("0123456789", beside);
    std::fclose(beside);
    char elsewhere[] = "/tmp/gtk-side-test-XXXXXX";
    ASSERT_NE(mkdtemp(elsewhere), nullptr);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(elsewhere), 0);

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
    const HFILE opened = platform::OpenFile(elsewhere, OF_READ);
    ASSERT_NE(opened, HFILE_ERROR);
    EXPECT_EQ(platform::_lread(opened, buffer, 4), static_cast<UINT>(HFILE_ERROR));
    platform::_lclose(opened);

    ASSERT_EQ(chdir(previous), 0);
    rmdir(elsewhere);
    std::remove((folder + name).c_str());
}

// Writes `text` into a new file at `path`.
void WriteFile(const std::string& path, const char* text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fputs(text, file);
    std::fclose(file);
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
TEST(GtkSide, BareNamesAreFoundInTheWorkingFolderBesideTheProgramThenInTheDataFolder) {
    char program[4096];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    ASSERT_GT(length, 0);
    const std::string self(program, static_cast<std::size_t>(length));
    const std::string folder = self.substr(0, self.find_last_of('/') + 1);
    const std::string share = folder + "../share";
    const std::string data = share + "/mottler";
    const bool shareExisted = access(share.c_str(), F_OK) == 0;
    const bool dataExisted = access(data.c_str(), F_OK) == 0;
    mkdir(share.c_str(), 0755);
    mkdir(data.c_str(), 0755);
    const std::string name = "gtk-side-search-" + std::to_string(getpid()) + ".bin";
    char working[] = "/tmp/gtk-side-test-XXXXXX";
    ASSERT_NE(mkdtemp(working), nullptr);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(working), 0);
    WriteFile(std::string(working) + "/" + name, "W");
    WriteFile(folder + name, "B");
    WriteFile(data + "/" + name, "D");

    EXPECT_EQ(FirstByteOf(name), 'W');
    std::remove((std::string(working) + "/" + name).c_str());
    EXPECT_EQ(FirstByteOf(name), 'B');
    std::remove((folder + name).c_str());
    EXPECT_EQ(FirstByteOf(name), 'D');
    // A name with a folder is opened as it stands, never in the data folder.
    EXPECT_EQ(FirstByteOf("./" + name), 0);
    std::remove((data + "/" + name).c_str());
    EXPECT_EQ(FirstByteOf(name), 0);

    ASSERT_EQ(chdir(previous), 0);
    rmdir(working);
    if (!dataExisted) {
        rmdir(data.c_str());
    }
    if (!shareExisted) {
        rmdir(share.c_str());
    }
}

TEST(GtkSide, GlobalBlocksAreZeroedAndCountTheirLocks) {
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
