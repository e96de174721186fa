// GTK side of the bitmap and brush calls. Device-independent pixels (24- or
// 32-bit, uncompressed, rows bottom-up or top-down, padded to 4 bytes) are
// turned into cairo's RGB24 pixels: on a little-endian machine each is the
// bytes blue, green, red and one unused, so a pixel moves as it is stored.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <set>

#include "platform/gtk/gtk_internal.h"

namespace {

// cairo's largest image and, like any display driver, no bitmap of a
// gigabyte or more.
constexpr long long kLargestSide = 32767;
constexpr long long kLargestBytes = 1LL << 30;

struct DibLayout {
    long long width = 0;
    long long rows = 0;
    long long rowBytes = 0;
    int pixelBytes = 0;
    bool bottomUp = true;
};

// What this side draws: true-colour pixels without compression. The header
// is read for its first 40 bytes only.
bool DescribeDib(const BITMAPINFOHEADER& header, DibLayout* layout) {
    if (header.biSize < 40 || header.biWidth <= 0 || header.biHeight == 0 || header.biCompression != BI_RGB ||
        (header.biBitCount != 24 && header.biBitCount != 32)) {
        return false;
    }
    layout->width = header.biWidth;
    layout->rows = header.biHeight < 0 ? -static_cast<long long>(header.biHeight) : header.biHeight;
    layout->pixelBytes = header.biBitCount / 8;
    layout->rowBytes = (layout->width * header.biBitCount + 31) / 32 * 4;
    layout->bottomUp = header.biHeight > 0;
    return layout->width <= kLargestSide && layout->rows <= kLargestSide &&
           layout->rowBytes * layout->rows < kLargestBytes;
}

std::set<HGDIOBJ>& LiveBitmaps() {
    static std::set<HGDIOBJ> bitmaps;
    return bitmaps;
}

std::set<HGDIOBJ>& LiveBrushes() {
    static std::set<HGDIOBJ> brushes;
    return brushes;
}

struct Placement {
    int x, y;                 // destination of the first pixel
    long long width, height;  // of the destination rectangle
    long long sourceX, sourceY;
    long long startScan, lines;  // the scan lines `bits` holds
};

// Writes the DIB's pixels into `target` as SetDIBitsToDevice places them.
// Scan lines count in storage order, from the bottom row for a bottom-up DIB:
// row j of the rectangle, from its top, comes from scan line
// sourceY + height - 1 - j there, from sourceY + j in a top-down one. Only
// rows and columns that exist on both sides are touched.
void WritePixels(cairo_surface_t* target, const DibLayout& layout, const unsigned char* bits, const Placement& at) {
    cairo_surface_flush(target);
    unsigned char* pixels = cairo_image_surface_get_data(target);
    const int stride = cairo_image_surface_get_stride(target);
    const long long targetWidth = cairo_image_surface_get_width(target);
    const long long targetHeight = cairo_image_surface_get_height(target);
    const long long firstRow = std::max<long long>(0, -static_cast<long long>(at.y));
    const long long endRow = std::min(at.height, targetHeight - at.y);
    const long long firstColumn = std::max({0LL, -static_cast<long long>(at.x), -at.sourceX});
    const long long endColumn = std::min({at.width, targetWidth - at.x, layout.width - at.sourceX});
    if (firstColumn >= endColumn) {
        return;
    }
    const long long count = endColumn - firstColumn;
    for (long long j = firstRow; j < endRow; ++j) {
        const long long scan = layout.bottomUp ? at.sourceY + at.height - 1 - j : at.sourceY + j;
        if (scan < at.startScan || scan >= at.startScan + at.lines) {
            continue;
        }
        const unsigned char* from = bits + (scan - at.startScan) * layout.rowBytes +
                                    (at.sourceX + firstColumn) * layout.pixelBytes;
        auto* to = reinterpret_cast<std::uint32_t*>(pixels + (at.y + j) * stride) + at.x + firstColumn;
        if (layout.pixelBytes == 4) {
            std::memcpy(to, from, static_cast<std::size_t>(count) * 4);
            continue;
        }
        for (long long i = 0; i < count; ++i) {
            const unsigned char* pixel = from + 3 * i;
            to[i] = static_cast<std::uint32_t>(pixel[0]) | static_cast<std::uint32_t>(pixel[1]) << 8 |
                    static_cast<std::uint32_t>(pixel[2]) << 16;
        }
    }
    cairo_surface_mark_dirty(target);
}

}  // namespace

namespace gtkside {

bool BrushColour(HBRUSH brush, COLORREF* colour) {
    if (LiveBrushes().count(brush) == 0) {
        return false;
    }
    *colour = brush->colour;
    return true;
}

}  // namespace gtkside

namespace platform {

// The device bitmap is a cairo image of the picture, as the display would
// hold it: made only for a header this side can draw and a size it can hold.
HBITMAP CreateDIBitmap(HDC surface, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* colours, UINT usage) {
    DibLayout layout;
    if (surface == nullptr || header == nullptr || usage != DIB_RGB_COLORS || !DescribeDib(*header, &layout)) {
        return nullptr;
    }
    DibLayout source;
    const bool initialise = (init & CBM_INIT) != 0;
    if (initialise && (colours == nullptr || bits == nullptr || !DescribeDib(colours->bmiHeader, &source))) {
        return nullptr;
    }
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(layout.width),
                                                        static_cast<int>(layout.rows));
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return nullptr;
    }
    if (initialise) {
        WritePixels(image, source, static_cast<const unsigned char*>(bits),
                    Placement{0, 0, layout.width, layout.rows, 0, 0, 0, source.rows});
    }
    auto* bitmap = new (std::nothrow) HBITMAP__{image};
    if (bitmap == nullptr) {
        cairo_surface_destroy(image);
        return nullptr;
    }
    LiveBitmaps().insert(bitmap);
    return bitmap;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (LiveBitmaps().erase(object) != 0) {
        cairo_surface_destroy(static_cast<HBITMAP>(object)->image);
        delete static_cast<HBITMAP>(object);
        return TRUE;
    }
    if (LiveBrushes().erase(object) != 0) {
        delete static_cast<HBRUSH>(object);
        return TRUE;
    }
    return FALSE;
}

int SetDIBitsToDevice(HDC surface, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY,
                      UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage) {
    DibLayout layout;
    if (surface == nullptr || info == nullptr || bits == nullptr || usage != DIB_RGB_COLORS ||
        !DescribeDib(info->bmiHeader, &layout) || startScan >= layout.rows) {
        return 0;
    }
    const long long lines = std::min<long long>(scanLines, layout.rows - startScan);
    HWND window = surface->window;
    if (!gtkside::IsLive(window)) {
        return static_cast<int>(lines);  // the screen keeps nothing
    }
    WritePixels(window->pixels, layout, static_cast<const unsigned char*>(bits),
                Placement{x, y, width, height, sourceX, sourceY, startScan, lines});
    if (!surface->paint) {
        const int left = std::max(x, 0);
        const int top = std::max(y, 0);
        const int right = static_cast<int>(std::min<long long>(static_cast<long long>(x) + width, window->clientWidth));
        const int bottom = static_cast<int>(std::min<long long>(static_cast<long long>(y) + height, window->clientHeight));
        if (left < right && top < bottom) {
            gtkside::Show(window, left, top, right - left, bottom - top);
        }
    }
    return static_cast<int>(lines);
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    auto* brush = new (std::nothrow) HBRUSH__{colour};
    if (brush != nullptr) {
        LiveBrushes().insert(brush);
    }
    return brush;
}

}  // namespace platform
