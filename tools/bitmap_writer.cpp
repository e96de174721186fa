#include "tools/bitmap_writer.h"

#include <cstring>

void PutLittle16(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLittle32(std::uint8_t* out, std::uint32_t value) {
    PutLittle16(out, value);
    PutLittle16(out + 2, value >> 16);
}

void PutFileHeader(std::uint8_t* out, std::uint32_t fileSize, std::uint32_t offBits) {
    out[0] = 'B';
    out[1] = 'M';
    PutLittle32(out + 2, fileSize);
    PutLittle32(out + 6, 0);
    PutLittle32(out + 10, offBits);
}

void PutInfoHeader(std::uint8_t* out, const InfoHeader& header) {
    PutLittle32(out, header.size);
    PutLittle32(out + 4, static_cast<std::uint32_t>(header.width));
    PutLittle32(out + 8, static_cast<std::uint32_t>(header.height));
    PutLittle16(out + 12, 1);
    PutLittle16(out + 14, header.bitCount);
    PutLittle32(out + 16, header.compression);
    PutLittle32(out + 20, header.imageSize);
    PutLittle32(out + 24, static_cast<std::uint32_t>(header.pixelsPerMetre));
    PutLittle32(out + 28, static_cast<std::uint32_t>(header.pixelsPerMetre));
    PutLittle32(out + 32, header.colourCount);
    PutLittle32(out + 36, 0);  // biClrImportant
}

std::uint64_t BitmapRowBytes(std::int64_t width) {
    return static_cast<std::uint64_t>(3 * width + width % 4);
}

void PutPixelRows(std::uint8_t* data, std::uint64_t room, std::int64_t width, std::int64_t height,
                  std::uint8_t fill, PixelColour colour, const void* context) {
    if (width <= 0) {
        return;  // rows of no bytes
    }
    const std::uint64_t stride = BitmapRowBytes(width);
    for (std::int64_t row = 0; row < height && static_cast<std::uint64_t>(row + 1) * stride <= room; ++row) {
        const auto y = static_cast<std::int32_t>(height - 1 - row);
        std::uint8_t* out = data + static_cast<std::size_t>(static_cast<std::uint64_t>(row) * stride);
        for (std::int32_t x = 0; x < width; ++x) {
            colour(context, x, y, out + 3 * static_cast<std::size_t>(x));
        }
        std::memset(out + 3 * static_cast<std::size_t>(width), fill,
                    static_cast<std::size_t>(stride - 3 * static_cast<std::uint64_t>(width)));
    }
}

std::vector<std::uint8_t> PaintedBitmapFile(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                                            PixelColour colour, const void* context) {
    const std::uint64_t dataSize = BitmapRowBytes(width) * static_cast<std::uint64_t>(height);
    const std::uint32_t offBits = kFileHeaderBytes + kInfoHeaderBytes;
    std::vector<std::uint8_t> bytes(offBits + static_cast<std::size_t>(dataSize), 0);
    PutFileHeader(bytes.data(), static_cast<std::uint32_t>(bytes.size()), offBits);
    InfoHeader info;
    info.width = width;
    info.height = height;
    info.bitCount = bitCount;
    PutInfoHeader(bytes.data() + kFileHeaderBytes, info);
    PutPixelRows(bytes.data() + offBits, dataSize, width, height, 0, colour, context);
    return bytes;
}

std::vector<std::uint8_t> BitmapFileBytes(const void* info, const std::uint8_t* bits, std::uint32_t dataSize) {
    const std::uint32_t offBits = kFileHeaderBytes + kInfoHeaderBytes;
    std::vector<std::uint8_t> bytes(offBits + static_cast<std::size_t>(dataSize));
    PutFileHeader(bytes.data(), offBits + dataSize, offBits);
    std::memcpy(bytes.data() + kFileHeaderBytes, info, kInfoHeaderBytes);
    if (dataSize > 0) {
        std::memcpy(bytes.data() + offBits, bits, dataSize);
    }
    return bytes;
}
