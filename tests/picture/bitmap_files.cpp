#include "bitmap_files.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "tools/bitmap_writer.h"

namespace {

struct Folder {
    std::filesystem::path path;
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

Colour PatternColour(std::int32_t width, std::int32_t x, std::int32_t y) {
    const std::uint32_t index = static_cast<std::uint32_t>(y * width + x);
    return Colour{static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(index >> 8),
                  static_cast<std::uint8_t>(0x5A ^ (index * 7))};
}

namespace {

// PatternColour for the writer; the context is the recipe's width.
void PatternPixel(const void* width, std::int32_t x, std::int32_t y, std::uint8_t* bgr) {
    const Colour colour = PatternColour(*static_cast<const std::int32_t*>(width), x, y);
    bgr[0] = colour.blue;
    bgr[1] = colour.green;
    bgr[2] = colour.red;
}

}  // namespace

std::vector<std::uint8_t> MakeBitmapBytes(const BitmapRecipe& recipe) {
    const std::int64_t width = recipe.width > 0 ? recipe.width : 0;
    const std::int64_t height = recipe.height > 0 ? recipe.height : -static_cast<std::int64_t>(recipe.height);
    const std::uint64_t stride = BitmapRowBytes(width);
    const std::uint64_t headers = kFileHeaderBytes + std::uint64_t{recipe.headerSize} + recipe.gap;
    const std::uint64_t length = headers + stride * static_cast<std::uint64_t>(height);
    // Only the bytes that are written are made, so a truncated file may
    // declare a picture far larger than memory.
    const std::uint64_t kept = recipe.truncateTo < length ? recipe.truncateTo : length;
    const std::uint64_t minimum = kFileHeaderBytes + kInfoHeaderBytes;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kept < minimum ? minimum : kept), 0);
    const std::uint32_t offBits = recipe.offBits != 0xFFFFFFFF ? recipe.offBits : static_cast<std::uint32_t>(headers);
    const std::uint32_t fileSize = recipe.fileSize != 0xFFFFFFFF ? recipe.fileSize : static_cast<std::uint32_t>(length);
    PutFileHeader(bytes.data(), fileSize, offBits);
    InfoHeader info;
    info.size = recipe.headerSize;
    info.width = recipe.width;
    info.height = recipe.height;
    info.bitCount = recipe.bitCount;
    info.compression = recipe.compression;
    info.imageSize = static_cast<std::uint32_t>(stride * static_cast<std::uint64_t>(height));
    info.pixelsPerMetre = kBitmapResolution;
    info.colourCount = recipe.colourCount;
    PutInfoHeader(bytes.data() + kFileHeaderBytes, info);
    // The pixel rows after the headers and the gap, as many as the bytes kept hold.
    if (headers <= bytes.size()) {
        PutPixelRows(bytes.data() + headers, bytes.size() - headers, width, height, recipe.fillByte, PatternPixel,
                     &recipe.width);
    }
    if (kept < bytes.size()) {
        bytes.resize(static_cast<std::size_t>(kept));
    }
    return bytes;
}

std::string TestFolder() {
    static Folder folder{[] {
        // Unique enough for test processes running side by side.
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const auto path = std::filesystem::temp_directory_path() / ("mottler-tests-" + std::to_string(stamp));
        std::filesystem::create_directories(path);
        return path;
    }()};
    return folder.path.string();
}

std::string WriteTestFile(const std::vector<std::uint8_t>& bytes) {
    static std::atomic<int> counter{0};
    const std::string path =
        (std::filesystem::path(TestFolder()) / ("file" + std::to_string(counter++) + ".bmp")).string();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string WriteBitmap(const BitmapRecipe& recipe) { return WriteTestFile(MakeBitmapBytes(recipe)); }

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Colour PixelAt(const Picture& picture, const std::uint8_t* buffer, std::int32_t x, std::int32_t y) {
    const std::uint8_t* pixel = buffer + PixelOffset(picture, x, y);
    return Colour{pixel[0], pixel[1], pixel[2]};
}
