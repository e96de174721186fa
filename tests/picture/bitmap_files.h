// Builds bitmap files for the tests: a valid 24-bit picture by default, with
// any header field bent as a test needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture/picture.h"

struct BitmapRecipe {
    std::int32_t width = 5;
    std::int32_t height = 3;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;  // biSize; bytes beyond 40 are written as zero
    std::uint32_t colourCount = 0;  // biClrUsed (no table is written)
    std::uint32_t gap = 0;          // bytes between the headers and the pixel data
    std::uint8_t fillByte = 0xA5;   // value of the row-end fill bytes
    // Overrides of the computed bfOffBits and bfSize, when not 0xFFFFFFFF.
    std::uint32_t offBits = 0xFFFFFFFF;
    std::uint32_t fileSize = 0xFFFFFFFF;
    // Writes only this many bytes of the file, when smaller than its length.
    std::size_t truncateTo = static_cast<std::size_t>(-1);
};

// The colour the builder gives display pixel (x, y), as blue, green, red;
// distinct for every pixel of pictures up to 65,536 pixels.
struct Colour {
    std::uint8_t blue, green, red;
    bool operator==(const Colour& other) const {
        return blue == other.blue && green == other.green && red == other.red;
    }
};
Colour PatternColour(std::int32_t width, std::int32_t x, std::int32_t y);

std::vector<std::uint8_t> MakeBitmapBytes(const BitmapRecipe& recipe);
// Writes the bytes to a new file in the tests' temporary folder; returns its path.
std::string WriteTestFile(const std::vector<std::uint8_t>& bytes);
std::string WriteBitmap(const BitmapRecipe& recipe);
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
// The tests' temporary folder, made on first use and removed at exit.
std::string TestFolder();

Colour PixelAt(const Picture& picture, const std::uint8_t* buffer, std::int32_t x, std::int32_t y);
