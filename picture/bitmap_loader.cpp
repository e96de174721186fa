#include "picture/bitmap_loader.h"

#include <cstring>

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoSize = 40;
constexpr std::uint16_t kBitmapMagic = 0x4D42;  // "BM"

struct FileHeader {
    std::uint16_t bfType;
    std::uint32_t bfSize;
    std::uint32_t bfOffBits;
};

std::uint32_t ReadLittle32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The file header from its 14 bytes; false unless it starts with "BM".
bool ParseFileHeader(const unsigned char* fileBytes, FileHeader* header) {
    *header = FileHeader{static_cast<std::uint16_t>(fileBytes[0] | fileBytes[1] << 8), ReadLittle32(fileBytes + 2),
                         ReadLittle32(fileBytes + 10)};
    return header->bfType == kBitmapMagic;
}

// Reads exactly `count` bytes or reports failure; a failed read counts as none.
bool ReadExactly(HFILE file, void* buffer, UINT count) {
    return platform::_lread(file, buffer, count) == count;
}

// The header checks made before anything is allocated. Besides the format's
// own rules (compression 0, less than 16 MiB of data) they refuse headers
// whose pixel data the step and the drawing could not address safely: a
// width or height of zero or below, fewer data bytes than the rows need, a
// data offset the 32-bit seek cannot reach, and a header shorter than the
// 40 bytes taken.
bool HeadersAcceptable(const FileHeader& file, const BITMAPINFOHEADER& info, std::uint32_t dataSize) {
    if (dataSize >= kDataSizeLimit || info.biCompression != BI_RGB) {
        return false;
    }
    if (info.biSize < kInfoSize || file.bfOffBits >= 0x80000000U) {
        return false;
    }
    if (info.biWidth <= 0 || info.biHeight <= 0) {
        return false;
    }
    return RowStride(info.biWidth) * static_cast<std::uint64_t>(info.biHeight) <= dataSize;
}

// Keeps the accepted header in `fresh`, whose info block holds it. The
// platform reads a header by its own size field and a colour table of
// biClrUsed entries after it; the block holds exactly 40 bytes and 24-bit
// pixels need no table.
void KeepHeader(const BITMAPINFOHEADER& info, std::uint32_t dataSize, Picture* fresh) {
    fresh->info->biSize = kInfoSize;
    fresh->info->biClrUsed = 0;
    fresh->width = info.biWidth;
    fresh->height = info.biHeight;
    fresh->dataSize = dataSize;
}

// Reads the headers and the pixel data of an open file into `fresh`. Whatever
// the file does not supply stays zero. On failure `fresh` holds what was
// obtained so far, for the caller to give back.
bool ReadPictureFile(HFILE file, Picture* fresh) {
    unsigned char fileBytes[kFileHeaderSize];
    if (!ReadExactly(file, fileBytes, kFileHeaderSize)) {
        return false;
    }
    FileHeader header;
    if (!ParseFileHeader(fileBytes, &header)) {
        return false;
    }
    BITMAPINFOHEADER info;
    if (!ReadExactly(file, &info, kInfoSize)) {
        return false;
    }
    const std::uint32_t dataSize = header.bfSize - header.bfOffBits;
    if (!HeadersAcceptable(header, info, dataSize)) {
        return false;
    }

    fresh->info = static_cast<BITMAPINFOHEADER*>(platform::malloc(kInfoSize));
    if (fresh->info == nullptr) {
        return false;
    }
    platform::_llseek(file, kFileHeaderSize, FILE_BEGIN);
    // The stored header must be the one checked: a file changed between the
    // two reads would otherwise hand the platform unchecked dimensions.
    if (!ReadExactly(file, fresh->info, kInfoSize) ||
        std::memcmp(fresh->info, &info, kInfoSize) != 0) {
        return false;
    }
    KeepHeader(info, dataSize, fresh);

    platform::_llseek(file, static_cast<LONG>(header.bfOffBits), FILE_BEGIN);
    if (!ObtainPixelBlocks(fresh)) {
        return false;
    }
    // A short or failed read is not an error: the destination moves on by
    // the size asked for and what the file lacks stays zero (black).
    for (std::uint32_t asked = 0; asked < dataSize;) {
        const std::uint32_t chunk = dataSize - asked < kReadChunk ? dataSize - asked : kReadChunk;
        platform::_lread(file, fresh->bits + asked, chunk);
        asked += chunk;
    }
    return true;
}

// The same from a file's bytes in memory: the same checks, and what the
// bytes lack of the pixel data stays zero, as what a file lacks does.
bool ReadPictureBytes(const unsigned char* bytes, std::uint32_t size, Picture* fresh) {
    FileHeader header;
    if (size < kFileHeaderSize + kInfoSize || !ParseFileHeader(bytes, &header)) {
        return false;
    }
    BITMAPINFOHEADER info;
    std::memcpy(&info, bytes + kFileHeaderSize, kInfoSize);
    const std::uint32_t dataSize = header.bfSize - header.bfOffBits;
    if (!HeadersAcceptable(header, info, dataSize)) {
        return false;
    }
    fresh->info = static_cast<BITMAPINFOHEADER*>(platform::malloc(kInfoSize));
    if (fresh->info == nullptr) {
        return false;
    }
    std::memcpy(fresh->info, &info, kInfoSize);
    KeepHeader(info, dataSize, fresh);
    if (!ObtainPixelBlocks(fresh)) {
        return false;
    }
    if (header.bfOffBits < size) {
        const std::uint32_t present = size - header.bfOffBits;
        std::memcpy(fresh->bits, bytes + header.bfOffBits, present < dataSize ? present : dataSize);
    }
    return true;
}

// The last test of acceptance, the device bitmap, for a picture read whole
// or in part; on failure everything read is given back.
bool AcceptPicture(HDC surface, bool read, Picture* fresh, Picture* loaded) {
    if (read && fresh->info->biBitCount == 24) {
        fresh->deviceBitmap = platform::CreateDIBitmap(
            surface, fresh->info, CBM_INIT, fresh->bits, reinterpret_cast<const BITMAPINFO*>(fresh->info),
            DIB_RGB_COLORS);
    }
    if (fresh->deviceBitmap == nullptr) {
        ReleasePicture(fresh);
        return false;
    }
    *loaded = *fresh;
    return true;
}

}  // namespace

bool LoadPicture(HDC surface, const char* path, Picture* loaded) {
    const HFILE file = platform::OpenFile(path, OF_READ);
    if (file == HFILE_ERROR) {
        return false;
    }
    Picture fresh;
    const bool read = ReadPictureFile(file, &fresh);
    platform::_lclose(file);
    return AcceptPicture(surface, read, &fresh, loaded);
}

bool LoadPictureFromMemory(HDC surface, const void* bytes, std::uint32_t size, Picture* loaded) {
    if (bytes == nullptr) {
        return false;
    }
    Picture fresh;
    const bool read = ReadPictureBytes(static_cast<const unsigned char*>(bytes), size, &fresh);
    return AcceptPicture(surface, read, &fresh, loaded);
}
