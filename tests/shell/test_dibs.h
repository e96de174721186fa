// Device-independent bitmaps for the tests of the platform layer's drawing.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

// A W x H DIB whose pixel (x, y from the top) has blue x, green y, red 0x80,
// and whose row padding is 0xEE, which must never show.
struct Dib {
    BITMAPINFOHEADER header{};
    std::vector<unsigned char> bits;
};

inline Dib MakeDib(int width, int height, int depth, bool bottomUp) {
    Dib dib;
    dib.header.biSize = 40;
    dib.header.biWidth = width;
    dib.header.biHeight = bottomUp ? height : -height;
    dib.header.biPlanes = 1;
    dib.header.biBitCount = static_cast<WORD>(depth);
    const int rowBytes = (width * depth + 31) / 32 * 4;
    dib.bits.assign(static_cast<std::size_t>(rowBytes) * height, 0xEE);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = &dib.bits[static_cast<std::size_t>(bottomUp ? height - 1 - y : y) * rowBytes];
        for (int x = 0; x < width; ++x) {
            unsigned char* pixel = row + x * depth / 8;
            pixel[0] = static_cast<unsigned char>(x);
            pixel[1] = static_cast<unsigned char>(y);
            pixel[2] = 0x80;
        }
    }
    return dib;
}

// A device bitmap made from `dib` on a screen context.
inline HBITMAP Bitmap(const Dib& dib) {
    HDC screen = platform::GetDC(nullptr);
    HBITMAP bitmap = platform::CreateDIBitmap(screen, &dib.header, CBM_INIT, dib.bits.data(),
                                              reinterpret_cast<const BITMAPINFO*>(&dib.header), DIB_RGB_COLORS);
    platform::ReleaseDC(nullptr, screen);
    return bitmap;
}
