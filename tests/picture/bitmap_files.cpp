#include "bitmap_files.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    Put16(out, at, value);
    Put16(out, at + 2, value >> 16);
}

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

std::vector<std::uint8_t> MakeBitmapBytes(const BitmapRecipe& recipe) {
    const std::int64_t width = recipe.width > 0 ? recipe.width : 0;
    const std::int64_t height = recipe.height > 0 ? recipe.height : -static_cast<std::int64_t>(recipe.height);
    const std::uint64_t stride = RowStride(width);
    const std::uint64_t headers = 14 + std::uint64_t{recipe.headerSize} + recipe.gap;
    const std::uint64_t length = headers + stride * static_cast<std::uint64_t>(height);
    // Only the bytes that are written are made, so a truncated file may
    // declare a picture far larger than memory.
    const std::uint64_t kept = recipe.truncateTo < length ? recipe.truncateTo : length;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kept < 54 ? 54 : kept), 0);
    const std::uint32_t offBits = recipe.offBits != 0xFFFFFFFF ? recipe.offBits : static_cast<std::uint32_t>(headers);
    const std::uint32_t fileSize = recipe.fileSize != 0xFFFFFFFF ? recipe.fileSize : static_cast<std::uint32_t>(length);
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(bytes, 2, fileSize);
    Put32(bytes, 10, offBits);
    Put32(bytes, 14, recipe.headerSize);
    Put32(bytes, 18, static_cast<std::uint32_t>(recipe.width));
    Put32(bytes, 22, static_cast<std::uint32_t>(recipe.height));
    Put16(bytes, 26, 1);
    Put16(bytes, 28, recipe.bitCount);
    Put32(bytes, 30, recipe.compression);
    Put32(bytes, 34, static_cast<std::uint32_t>(stride * static_cast<std::uint64_t>(height)));
    Put32(bytes, 38, 2835);
    Put32(bytes, 42, 2835);
    Put32(bytes, 46, recipe.colourCount);
    // Rows bottom-up: the file's first row is the picture's bottom row.
    for (std::int64_t row = 0; row < height && headers + (row + 1) * stride <= bytes.size(); ++row) {
        const std::int32_t y = static_cast<std::int32_t>(height - 1 - row);
        std::uint8_t* out = bytes.data() + headers + static_cast<std::size_t>(row * stride);
        for (std::int32_t x = 0; x < width; ++x) {
            const Colour colour = PatternColour(recipe.width, x, y);
            out[3 * x] = colour.blue;
            out[3 * x + 1] = colour.green;
            out[3 * x + 2] = colour.red;
        }
        std::memset(out + 3 * width, recipe.fillByte, static_cast<std::size_t>(stride - 3 * width));
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
