// Every file of the BMP Suite corpus is loaded or refused without harm; the
// uncompressed 24-bit ones load with exactly the file's pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "bitmap_files.h"
#include "picture/bitmap_loader.h"
#include "picture/diffusion.h"

namespace {

std::uint32_t Little32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

TEST(Corpus, LoadsExactlyTheUncompressed24BitFiles) {
    const std::filesystem::path root = std::filesystem::path(MOTTLER_TEST_DATA) / "bmpsuite";
    std::set<std::string> loaded;
    int files = 0;
    HDC surface = platform::GetDC(nullptr);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".bmp") {
            continue;
        }
        ++files;
        const std::string path = entry.path().string();
        Picture picture;
        if (!LoadPicture(surface, path.c_str(), &picture)) {
            continue;
        }
        loaded.insert(entry.path().parent_path().filename().string() + "/" + entry.path().filename().string());
        const std::vector<std::uint8_t> file = ReadWholeFile(path);
        const std::uint32_t offset = Little32(file, 10);
        EXPECT_EQ(picture.dataSize, Little32(file, 2) - offset) << path;
        for (std::uint32_t i = 0; i < picture.dataSize; ++i) {
            const std::uint8_t expected = offset + i < file.size() ? file[offset + i] : 0;
            ASSERT_EQ(picture.bits[i], expected) << path << " byte " << i;
        }
        for (int step = 0; step < 5; ++step) {
            StepPicture(&picture);
        }
        ReleasePicture(&picture);
    }
    platform::ReleaseDC(nullptr, surface);
    EXPECT_GT(files, 90);
    const std::set<std::string> expected = {"g/rgb24.bmp",         "g/rgb24pal.bmp",   "q/rgb24largepal.bmp",
                                            "q/rgb24prof.bmp",     "q/rgb24lprof.bmp", "q/rgb24prof2.bmp"};
    EXPECT_EQ(loaded, expected);
}

}  // namespace
