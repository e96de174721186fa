// A Picture whose two pixel blocks are plain vectors, for the benchmark and
// the tests that need pictures of any size without files or platform memory.
#pragma once

#include <cstdint>
#include <vector>

#include "picture/picture.h"

struct MemoryPicture {
    std::vector<std::uint8_t> bits;
    std::vector<std::uint8_t> snapshot;
    Picture picture;
};

// Fills a W x H picture (stride x H data bytes, `extraData` more data bytes
// after the rows, as a file may declare, and the spare bytes) from a
// simple generator of its own, so that no two neighbouring bytes are alike and
// the fill and spare bytes are non-zero too. The program's random source is
// not touched.
inline void MakeMemoryPicture(std::int32_t width, std::int32_t height, std::uint32_t pattern,
                              MemoryPicture* out, std::uint32_t extraData = 0) {
    const auto dataSize =
        static_cast<std::uint32_t>(RowStride(width) * static_cast<std::uint64_t>(height)) + extraData;
    out->bits.resize(dataSize + kSpareBytes);
    out->snapshot.assign(dataSize + kSpareBytes, 0);
    std::uint32_t value = pattern * 2654435761U + 12345U;
    for (std::uint8_t& cell : out->bits) {
        value = value * 1664525U + 1013904223U;
        cell = static_cast<std::uint8_t>((value >> 24) | 1U);
    }
    out->picture = Picture{};
    out->picture.width = width;
    out->picture.height = height;
    out->picture.dataSize = dataSize;
    out->picture.bits = out->bits.data();
    out->picture.snapshot = out->snapshot.data();
}
