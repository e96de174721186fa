// The screensaver's drawing calls: memory contexts and DIB sections, copies
// from the screen or a window into them, the desktop window and the
// pointer's display count.
#include <algorithm>
#include <cstdlib>
#include <set>

#include "platform/winmodel/model.h"

namespace {

std::set<HDC> memoryContexts;
int cursorCount = 0;                  // ShowCursor's display count; shown while >= 0
HBITMAP__ stockBitmap{1, 1, nullptr};  // what a fresh memory context holds

bool IsMemoryContext(HDC surface) { return surface != nullptr && memoryContexts.count(surface) != 0; }

// Pixels 0x00RRGGBB of the source rectangle, rows from the top: from the
// screen (the virtual screen's coordinates) or from a window's client area
// (what it shows; unpainted pixels are black).
bool SourcePixels(HDC source, int x, int y, int width, int height, std::vector<std::uint32_t>* pixels) {
    pixels->assign(static_cast<std::size_t>(width) * height, 0);
    if (!winmodel::IsLiveContext(source)) {
        return false;
    }
    if (source->window == nullptr) {
        return winmodel::backend::ReadScreen(x, y, width, height, pixels->data());
    }
    HWND window = source->window;
    if (!winmodel::IsLive(window)) {
        return false;
    }
    winmodel::SettlePixels(window);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const long long wx = static_cast<long long>(x) + column;
            const long long wy = static_cast<long long>(y) + row;
            if (wx >= 0 && wy >= 0 && wx < window->clientWidth && wy < window->clientHeight) {
                const std::uint32_t pixel = window->pixels[static_cast<std::size_t>(wy * window->pixelWidth + wx)];
                (*pixels)[static_cast<std::size_t>(row) * width + column] =
                    (pixel & winmodel::kUnpaintedPixel) != window->pixels.drawnTop ? 0 : pixel & 0x00FFFFFFu;
            }
        }
    }
    return true;
}

}  // namespace

namespace platform {

HDC CreateCompatibleDC(HDC surface) {
    if (surface != nullptr && !winmodel::IsLiveContext(surface) && !IsMemoryContext(surface)) {
        return nullptr;
    }
    HDC context = new HDC__{nullptr, false, &stockBitmap};
    memoryContexts.insert(context);
    ++winmodel::Counts().memoryContexts;
    return context;
}

BOOL DeleteDC(HDC surface) {
    if (!IsMemoryContext(surface)) {
        return FALSE;
    }
    --surface->selected->selections;
    memoryContexts.erase(surface);
    delete surface;
    --winmodel::Counts().memoryContexts;
    return TRUE;
}

HBITMAP CreateDIBSection(HDC surface, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    if (bits != nullptr) {
        *bits = nullptr;
    }
    // A 24-bit uncompressed header of a size the system knows, no side above
    // 65535 and less than a gigabyte of rows: what a section is made from.
    const BITMAPINFOHEADER* header = info != nullptr ? &info->bmiHeader : nullptr;
    if (usage != DIB_RGB_COLORS || section != nullptr || offset != 0 || bits == nullptr || header == nullptr ||
        (header->biSize != 40 && header->biSize != 108 && header->biSize != 124) || header->biBitCount != 24 ||
        header->biCompression != BI_RGB || header->biWidth <= 0 || header->biWidth > 65535 || header->biHeight == 0 ||
        header->biHeight > 65535 || header->biHeight < -65535 ||
        (surface != nullptr && !winmodel::IsLiveContext(surface) && !IsMemoryContext(surface))) {
        return nullptr;
    }
    const long long width = header->biWidth;
    const long long height = header->biHeight;
    const long long rows = height < 0 ? -height : height;
    const long long rowBytes = (width * 24 + 31) / 32 * 4;
    if (rowBytes * rows >= (1LL << 30)) {
        return nullptr;
    }
    auto* sectionBits = static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(rowBytes * rows), 1));
    if (sectionBits == nullptr) {
        return nullptr;
    }
    HBITMAP bitmap = new HBITMAP__{width, height, nullptr, sectionBits, 0};
    winmodel::KeepBitmap(bitmap);
    *bits = sectionBits;
    return bitmap;
}

// Only bitmaps go into memory contexts here; the previous one is returned.
HGDIOBJ SelectObject(HDC surface, HGDIOBJ object) {
    auto* bitmap = static_cast<HBITMAP>(object);
    if (!IsMemoryContext(surface) || (bitmap != &stockBitmap && !winmodel::IsLiveBitmap(object))) {
        return nullptr;
    }
    HBITMAP previous = surface->selected;
    --previous->selections;
    ++bitmap->selections;
    surface->selected = bitmap;
    return previous;
}

// Copies into a DIB section selected into a memory context, from the screen
// or a window; the parts of the target outside its section are left out.
BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD operation) {
    if (!IsMemoryContext(target) || target->selected->sectionBits == nullptr || operation != SRCCOPY ||
        width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        return FALSE;
    }
    std::vector<std::uint32_t> pixels;
    if (!SourcePixels(source, sourceX, sourceY, width, height, &pixels)) {
        return FALSE;
    }
    const HBITMAP section = target->selected;
    const long long rows = section->height < 0 ? -section->height : section->height;
    const long long rowBytes = (section->width * 24 + 31) / 32 * 4;
    for (long long row = std::max(0, -y); row < height && y + row < rows; ++row) {
        const long long line = section->height > 0 ? rows - 1 - (y + row) : y + row;
        unsigned char* to = section->sectionBits + line * rowBytes;
        for (long long column = std::max(0, -x); column < width && x + column < section->width; ++column) {
            const std::uint32_t pixel = pixels[static_cast<std::size_t>(row * width + column)];
            unsigned char* bgr = to + (x + column) * 3;
            bgr[0] = static_cast<unsigned char>(pixel);
            bgr[1] = static_cast<unsigned char>(pixel >> 8);
            bgr[2] = static_cast<unsigned char>(pixel >> 16);
        }
    }
    return TRUE;
}

HWND GetDesktopWindow() {
    return winmodel::backend::DesktopWindow();
}

// The pointer shows while the count is zero or more; the system hears of it
// only when that changes.
int ShowCursor(BOOL show) {
    const bool before = cursorCount >= 0;
    cursorCount += show ? 1 : -1;
    if (before != (cursorCount >= 0)) {
        winmodel::backend::ShowSystemCursor(cursorCount >= 0);
    }
    return cursorCount;
}

}  // namespace platform

namespace winmodel {

void ResetScreenState() {
    for (HDC context : memoryContexts) {
        delete context;
    }
    memoryContexts.clear();
    Counts().memoryContexts = 0;
    stockBitmap.selections = 0;
    cursorCount = 0;
}

}  // namespace winmodel
