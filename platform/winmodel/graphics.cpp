// The drawing contexts, and the bitmap, brush and drawing calls. Device-independent pixels (24- or
// 32-bit, uncompressed, rows bottom-up or top-down, padded to 4 bytes) become
// window pixels 0x00RRGGBB, on a little-endian machine the bytes blue, green,
// red and a zero: a 24-bit pixel moves as it is stored.
#include <algorithm>
#include <cstdlib>
#include <set>

#ifdef __SSE2__
#include <emmintrin.h>
#elif defined(__ARM_NEON)
#include <arm_neon.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

#include "platform/winmodel/model.h"

namespace {

using winmodel::DibLayout;
using winmodel::Placement;

std::set<HDC> contexts;  // handed out, not given back
std::set<HGDIOBJ> liveBitmaps;
std::set<HGDIOBJ> liveBrushes;

// A header as a display driver takes it: of a size the system knows, read
// whole, with a colour table of biClrUsed entries after it; true-colour
// pixels without compression; no side longer than the display shows; less
// than a gigabyte.
bool DescribeDib(const BITMAPINFOHEADER& header, DibLayout* layout) {
    const DWORD size = header.biSize;
    if ((size != 40 && size != 52 && size != 56 && size != 108 && size != 124) || header.biWidth <= 0 ||
        header.biHeight == 0 || header.biCompression != BI_RGB ||
        (header.biBitCount != 24 && header.biBitCount != 32) || header.biClrUsed > 65536) {
        return false;
    }
    const long long rows = header.biHeight < 0 ? -static_cast<long long>(header.biHeight) : header.biHeight;
    const long long rowBytes = (static_cast<long long>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
    *layout = DibLayout{header.biWidth, rows, rowBytes, header.biClrUsed, header.biBitCount / 8, header.biHeight > 0};
    const long long largest = winmodel::backend::kLargestBitmapSide;
    return layout->width <= largest && rows <= largest && layout->rowBytes * rows < (1LL << 30);
}

// Reads what a driver reads of a header and its colour table, and the ends of
// the `rows` rows `bits` holds: a header promising more than its blocks hold is
// caught by the address sanitizer, as it would crash a real driver.
void TouchDib(const BITMAPINFO* info, const DibLayout& layout, long long rows, const void* bits) {
    volatile unsigned char sink = 0;
    const auto* header = reinterpret_cast<const unsigned char*>(info);
    for (long long i = 0; i < info->bmiHeader.biSize + layout.colourEntries * 4; ++i) {
        sink = static_cast<unsigned char>(sink ^ header[i]);
    }
    const auto* row = static_cast<const unsigned char*>(bits);
    for (long long i = 0; i < rows; ++i, row += layout.rowBytes) {
        sink = static_cast<unsigned char>(sink ^ row[0] ^ row[layout.rowBytes - 1]);
    }
}

}  // namespace

namespace winmodel {

// 24-bit pixels go four at a time where the processor
// has SSE2 (every x86-64 one) or WebAssembly's SIMD: one 16-byte load holds
// them, each moved to a 32-bit lane (SSE2: by byte shifts; WebAssembly: by one
// byte shuffle) and the top byte set. The load reads 16 bytes of the 12 it
// uses, so it runs only while 16 bytes of the row are left; the last pixels go
// one by one, as all do elsewhere. On arm64 (NEON, which every arm64 processor
// has) they go sixteen at a time: a load of 48 bytes parts their blue, green
// and red bytes and a store interleaves them again with the top byte.
void RowToWindow(const unsigned char* from, int pixelBytes, std::uint32_t* to, long long count, std::uint32_t top,
                 bool redFirst) {
    long long i = 0;
#ifdef __SSE2__
    const __m128i lowBytes = _mm_set1_epi32(0x00FFFFFF);
    const __m128i topBytes = _mm_set1_epi32(static_cast<int>(top));
    for (; pixelBytes == 3 && !redFirst && i + 6 <= count; i += 4) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * i));
        const __m128i first = _mm_unpacklo_epi32(four, _mm_srli_si128(four, 3));
        const __m128i second = _mm_unpacklo_epi32(_mm_srli_si128(four, 6), _mm_srli_si128(four, 9));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i),
                         _mm_or_si128(_mm_and_si128(_mm_unpacklo_epi64(first, second), lowBytes), topBytes));
    }
#elif defined(__ARM_NEON)
    for (; pixelBytes == 3 && i + 16 <= count; i += 16) {
        const uint8x16x3_t colours = vld3q_u8(from + 3 * i);
        const uint8x16x4_t pixels = {{colours.val[redFirst ? 2 : 0], colours.val[1], colours.val[redFirst ? 0 : 2],
                                      vdupq_n_u8(static_cast<std::uint8_t>(top >> 24))}};
        vst4q_u8(reinterpret_cast<std::uint8_t*>(to + i), pixels);
    }
#elif defined(__wasm_simd128__)
    const v128_t lowBytes = wasm_i32x4_splat(0x00FFFFFF);
    const v128_t topBytes = wasm_i32x4_splat(static_cast<int>(top));
    for (; pixelBytes == 3 && i + 6 <= count; i += 4) {
        const v128_t four = wasm_v128_load(from + 3 * i);
        const v128_t spread =
            redFirst ? wasm_i8x16_shuffle(four, four, 2, 1, 0, 0, 5, 4, 3, 3, 8, 7, 6, 6, 11, 10, 9, 9)
                     : wasm_i8x16_shuffle(four, four, 0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8, 8, 9, 10, 11, 11);
        wasm_v128_store(to + i, wasm_v128_or(wasm_v128_and(spread, lowBytes), topBytes));
    }
#endif
    for (; i < count; ++i) {
        const unsigned char* pixel = from + pixelBytes * i;
        to[i] = static_cast<std::uint32_t>(pixel[redFirst ? 2 : 0]) | static_cast<std::uint32_t>(pixel[1]) << 8 |
                static_cast<std::uint32_t>(pixel[redFirst ? 0 : 2]) << 16 | top;
    }
}

}  // namespace winmodel

namespace {

// Does WritePixels write every one of the window's pixels? Its columns run
// from x + first to x + end, its rows from y + top to y + bottom, each from a
// scan line that must be among those given: the first and last rows' are
// the extremes.
bool WritesWhole(const HWND__& window, const DibLayout& layout, const Placement& at) {
    const long long first = std::max({0LL, -at.x, -at.sourceX});
    const long long end = std::min({at.width, window.clientWidth - at.x, layout.width - at.sourceX});
    const long long top = std::max(0LL, -at.y);
    const long long bottom = std::min(at.height, window.clientHeight - at.y);
    const auto given = [&](long long j) {
        const long long scan = layout.bottomUp ? at.sourceY + at.height - 1 - j : at.sourceY + j;
        return scan >= at.startScan && scan < at.startScan + at.lines;
    };
    return at.x + first == 0 && at.x + end == window.pixelWidth && at.y + top == 0 &&
           at.y + bottom == window.pixelHeight && given(top) && given(bottom - 1);
}

// Writes the DIB's pixels into `target` (`stride` pixels a row) as
// SetDIBitsToDevice places them, within its first `clipWidth` columns and
// `clipHeight` rows. Row j of the rectangle, from its top, comes from scan line
// sourceY + height - 1 - j of a bottom-up DIB, sourceY + j of a top-down one.
// Each pixel gets the top byte `top`.
void WritePixels(std::uint32_t* target, long long stride, long long clipWidth, long long clipHeight,
                 const DibLayout& layout, const void* bits, const Placement& at, std::uint32_t top,
                 bool redFirst = false) {
    const long long first = std::max({0LL, -at.x, -at.sourceX});
    const long long end = std::min({at.width, clipWidth - at.x, layout.width - at.sourceX});
    for (long long j = std::max(0LL, -at.y); first < end && j < std::min(at.height, clipHeight - at.y); ++j) {
        const long long scan = layout.bottomUp ? at.sourceY + at.height - 1 - j : at.sourceY + j;
        if (scan < at.startScan || scan >= at.startScan + at.lines) {
            continue;
        }
        const auto* line = static_cast<const unsigned char*>(bits) + (scan - at.startScan) * layout.rowBytes;
        winmodel::RowToWindow(line + (at.sourceX + first) * layout.pixelBytes, layout.pixelBytes,
                    target + (at.y + j) * stride + at.x + first, end - first, top, redFirst);
    }
}

}  // namespace

namespace winmodel {

bool drawingWaits = false;

bool CopyWaitingDraw(HWND window, std::uint32_t* target, std::uint32_t top, bool redFirst) {
    const WaitingDraw& draw = window->pixels.waiting;
    if (draw.bits == nullptr) {
        return false;
    }
    WritePixels(target, window->pixelWidth, window->clientWidth, window->clientHeight, draw.layout, draw.bits, draw.at,
                top, redFirst);
    return true;
}

bool WaitingRows(HWND window, const unsigned char** rows, long long* rowBytes) {
    const WaitingDraw& draw = window->pixels.waiting;
    const DibLayout& layout = draw.layout;
    const Placement& at = draw.at;
    if (draw.bits == nullptr || layout.pixelBytes != 3 || !layout.bottomUp || at.x != 0 || at.y != 0 ||
        at.sourceX != 0 || at.sourceY != 0 || at.startScan != 0 || at.lines < layout.rows || at.width != layout.width ||
        at.height != layout.rows || layout.width != window->pixelWidth || layout.width != window->clientWidth ||
        layout.rows != window->pixelHeight || layout.rows != window->clientHeight) {
        return false;
    }
    *rows = static_cast<const unsigned char*>(draw.bits);
    *rowBytes = layout.rowBytes;
    return true;
}

HDC NewContext(HWND window, bool paint) {
    HDC context = *contexts.insert(new HDC__{window, paint}).first;
    ++Counts().drawingContexts;
    return context;
}

void DropContext(HDC context) {
    contexts.erase(context);
    delete context;
    --Counts().drawingContexts;
}

bool IsLiveContext(HDC surface) { return contexts.count(surface) != 0; }

void DropContexts() {
    while (!contexts.empty()) {
        DropContext(*contexts.begin());
    }
}

void KeepBitmap(HBITMAP bitmap) {
    liveBitmaps.insert(bitmap);
    ++Counts().bitmaps;
}

bool IsLiveBitmap(HGDIOBJ object) { return object != nullptr && liveBitmaps.count(object) != 0; }

bool BrushColour(HBRUSH brush, COLORREF* colour) {
    *colour = liveBrushes.count(brush) != 0 ? brush->colour : *colour;
    return liveBrushes.count(brush) != 0;
}

}  // namespace winmodel

namespace platform {

HBITMAP CreateDIBitmap(HDC surface, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* colours, UINT usage) {
    DibLayout layout{};
    DibLayout source{};
    const bool initialise = (init & CBM_INIT) != 0;
    if (surface == nullptr || header == nullptr || usage != DIB_RGB_COLORS || !DescribeDib(*header, &layout) ||
        (initialise && (colours == nullptr || bits == nullptr || !DescribeDib(colours->bmiHeader, &source)))) {
        return nullptr;
    }
    auto* pixels = static_cast<std::uint32_t*>(std::calloc(static_cast<std::size_t>(layout.width * layout.rows), 4));
    if (pixels == nullptr) {
        return nullptr;
    }
    if (initialise) {
        TouchDib(colours, source, source.rows, bits);
        WritePixels(pixels, layout.width, layout.width, layout.rows, source, bits,
                    Placement{0, 0, layout.width, layout.rows, 0, 0, 0, source.rows}, 0);
    }
    auto* bitmap = new HBITMAP__{layout.width, layout.rows, pixels};
    winmodel::KeepBitmap(bitmap);
    return bitmap;
}

BOOL DeleteObject(HGDIOBJ object) {
    // A bitmap selected into a memory context stays, as on Windows.
    if (liveBitmaps.count(object) != 0 && static_cast<HBITMAP>(object)->selections == 0) {
        liveBitmaps.erase(object);
        std::free(static_cast<HBITMAP>(object)->pixels);
        std::free(static_cast<HBITMAP>(object)->sectionBits);
        delete static_cast<HBITMAP>(object);
        --winmodel::Counts().bitmaps;
        return TRUE;
    }
    if (liveBrushes.erase(object) != 0) {
        delete static_cast<HBRUSH>(object);
        --winmodel::Counts().brushes;
        return TRUE;
    }
    return FALSE;
}

int SetDIBitsToDevice(HDC surface, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY,
                      UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage) {
    DibLayout layout{};
    if (!winmodel::IsLiveContext(surface) || info == nullptr || bits == nullptr || usage != DIB_RGB_COLORS ||
        !DescribeDib(info->bmiHeader, &layout) || startScan >= layout.rows) {
        return 0;
    }
    // `bits` holds the scan lines from startScan on, as many as given.
    const long long lines = std::min<long long>(scanLines, layout.rows - startScan);
    TouchDib(info, layout, lines, bits);
    HWND window = surface->window;
    if (!winmodel::IsLive(window)) {
        return static_cast<int>(lines);  // the screen keeps nothing
    }
    const Placement at{x, y, width, height, sourceX, sourceY, startScan, lines};
    const bool whole = WritesWhole(*window, layout, at);
    winmodel::BeforeWriting(window, whole);
    if (whole && winmodel::drawingWaits && winmodel::InGlobalBlock(bits, lines * layout.rowBytes)) {
        window->pixels.waiting = winmodel::WaitingDraw{bits, layout, at};
    } else {
        WritePixels(window->pixels.data(), window->pixelWidth, window->clientWidth, window->clientHeight, layout,
                    bits, at, window->pixels.drawnTop);
    }
    // Drawn through a paint context, it shows at EndPaint.
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = static_cast<int>(std::min<long long>(static_cast<long long>(x) + width, window->clientWidth));
    const int bottom = static_cast<int>(std::min<long long>(static_cast<long long>(y) + height, window->clientHeight));
    if (!surface->paint && left < right && top < bottom) {
        winmodel::backend::Present(window, left, top, right - left, bottom - top);
    }
    return static_cast<int>(lines);
}

HDC GetDC(HWND window) {
    return window == nullptr || winmodel::IsLive(window) ? winmodel::NewContext(window, false) : nullptr;
}

int ReleaseDC(HWND window, HDC surface) {
    if (!winmodel::IsLiveContext(surface) || surface->paint || surface->window != window) {
        return 0;
    }
    winmodel::DropContext(surface);
    return 1;
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    auto* brush = new HBRUSH__{colour};
    liveBrushes.insert(brush);
    ++winmodel::Counts().brushes;
    return brush;
}

}  // namespace platform
