// Host side of the bitmap calls: a device bitmap is accepted on the terms a
// display driver sets for a device-independent header, and refused otherwise.
#include <new>
#include <set>

#include "platform/host/host_internal.h"

namespace {

bool refuseBitmaps = false;

std::set<HGDIOBJ>& LiveBitmaps() {
    static std::set<HGDIOBJ> bitmaps;
    return bitmaps;
}

std::set<HGDIOBJ>& LiveBrushes() {
    static std::set<HGDIOBJ> brushes;
    return brushes;
}

// Header sizes the platform knows: the information header and its V2, V3, V4
// and V5 extensions. The driver reads the whole header by this size.
bool KnownHeaderSize(DWORD size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

}  // namespace

namespace host {

void RefuseBitmaps(bool refuse) { refuseBitmaps = refuse; }

bool BrushColour(HBRUSH brush, COLORREF* colour) {
    if (LiveBrushes().count(brush) == 0) {
        return false;
    }
    *colour = brush->colour;
    return true;
}

bool DescribeDib(const BITMAPINFOHEADER& header, DibLayout* layout) {
    if (!KnownHeaderSize(header.biSize) || header.biWidth <= 0 || header.biHeight == 0) {
        return false;
    }
    const long long width = header.biWidth;
    const long long rows = header.biHeight < 0 ? -static_cast<long long>(header.biHeight)
                                               : header.biHeight;
    const WORD depth = header.biBitCount;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) {
        return false;
    }
    long long masks = 0;
    switch (header.biCompression) {
        case BI_RGB:
            break;
        case BI_RLE8:
        case BI_RLE4:
            if (header.biHeight < 0 || depth != (header.biCompression == BI_RLE8 ? 8 : 4)) {
                return false;
            }
            break;
        case BI_BITFIELDS:
            if (depth != 16 && depth != 32) {
                return false;
            }
            masks = header.biSize == 40 ? 3 : 0;  // later headers hold the masks
            break;
        default:
            return false;
    }
    long long entries = header.biClrUsed;
    if (entries == 0 && depth <= 8) {
        entries = 1LL << depth;
    }
    if (entries > 65536) {
        return false;
    }
    const long long rowBytes = (width * depth + 31) / 32 * 4;
    // No driver makes a bitmap of a gigabyte or more.
    if (rowBytes * rows >= (1LL << 30)) {
        return false;
    }
    const bool encoded = header.biCompression == BI_RLE8 || header.biCompression == BI_RLE4;
    layout->rowBytes = encoded ? 0 : rowBytes;
    layout->rows = encoded ? 0 : rows;
    layout->colourEntries = masks + entries;
    return true;
}

void TouchDib(const BITMAPINFO* info, const DibLayout& layout, const void* bits) {
    volatile unsigned char sink = 0;
    const auto* header = reinterpret_cast<const unsigned char*>(info);
    const long long headerBytes = info->bmiHeader.biSize + layout.colourEntries * 4;
    for (long long i = 0; i < headerBytes; ++i) {
        sink = static_cast<unsigned char>(sink ^ header[i]);
    }
    if (bits == nullptr || layout.rowBytes == 0) {
        return;
    }
    // The first and last byte of every row: enough for the address sanitizer
    // to see any row beyond the block, without reading every pixel.
    const auto* pixels = static_cast<const unsigned char*>(bits);
    for (long long row = 0; row < layout.rows; ++row) {
        sink = static_cast<unsigned char>(sink ^ pixels[row * layout.rowBytes]);
        sink = static_cast<unsigned char>(sink ^ pixels[row * layout.rowBytes + layout.rowBytes - 1]);
    }
    (void)sink;
}

}  // namespace host

namespace platform {

HBITMAP CreateDIBitmap(HDC surface, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* colours, UINT usage) {
    host::Log("CreateDIBitmap");
    host::DibLayout layout;
    if (refuseBitmaps || surface == nullptr || header == nullptr || usage != DIB_RGB_COLORS ||
        !host::DescribeDib(*header, &layout)) {
        return nullptr;
    }
    if ((init & CBM_INIT) != 0) {
        host::DibLayout source;
        if (colours == nullptr || !host::DescribeDib(colours->bmiHeader, &source)) {
            return nullptr;
        }
        host::TouchDib(colours, source, bits);
    }
    auto* bitmap = new (std::nothrow) HBITMAP__{header->biWidth, header->biHeight};
    if (bitmap == nullptr) {
        return nullptr;
    }
    LiveBitmaps().insert(bitmap);
    ++host::Counts().bitmaps;
    return bitmap;
}

BOOL DeleteObject(HGDIOBJ object) {
    host::Log("DeleteObject");
    if (LiveBitmaps().erase(object) != 0) {
        delete static_cast<HBITMAP__*>(object);
        --host::Counts().bitmaps;
        return TRUE;
    }
    if (LiveBrushes().erase(object) != 0) {
        delete static_cast<HBRUSH__*>(object);
        --host::Counts().brushes;
        return TRUE;
    }
    return FALSE;
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    host::Log("CreateSolidBrush");
    auto* brush = new (std::nothrow) HBRUSH__{colour};
    if (brush != nullptr) {
        LiveBrushes().insert(brush);
        ++host::Counts().brushes;
    }
    return brush;
}

}  // namespace platform
