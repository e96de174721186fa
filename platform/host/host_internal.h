// State shared by the host platform's own source files; never used outside
// platform/host.
#pragma once

#include <string>
#include <vector>

#include "platform/host/host_control.h"
#include "platform/platform.h"

namespace host {

// Adds an entry to the call log.
void Log(const std::string& entry);
LiveCounts& Counts();

// How the bitmap calls understand a header, as a display driver would: the
// number of bytes a row takes, how many rows, and how many colour-table
// entries follow the header. Returns false for headers a driver refuses.
struct DibLayout {
    long long rowBytes = 0;
    long long rows = 0;
    long long colourEntries = 0;
};
bool DescribeDib(const BITMAPINFOHEADER& header, DibLayout* layout);

// Reads every byte the platform would read from a header, its colour table and
// `bits`, so that a header promising more than its blocks hold is caught by
// the address sanitizer in host tests just as it would crash a real driver.
void TouchDib(const BITMAPINFO* info, const DibLayout& layout, const void* bits);

}  // namespace host

struct HBITMAP__ {
    long width;
    long height;
};

struct HBRUSH__ {
    COLORREF colour;
};

// A drawing context: of a window's client area, or of the screen when
// `window` is null. `paint` marks one from BeginPaint, given back by EndPaint.
struct HDC__ {
    HWND window;
    bool paint;
};

struct HCURSOR__ {
    int id;
};

// A window: what it was created with, its frame and client area, its paint
// state and the pixels of its client area (0x00BBGGRR, row by row from the
// top, host::kUnpainted where nothing was painted).
struct HWND__ {
    host::WindowCreation creation;
    WNDPROC procedure;
    HBRUSH background;
    std::string caption;
    RECT rect;  // outer rectangle, screen coordinates
    bool alive;
    bool destroying;
    bool needsPaint;
    bool needsErase;
    int clientWidth;
    int clientHeight;
    std::vector<COLORREF> pixels;
};

namespace host {

// Is `surface` a drawing context handed out and not yet given back?
bool IsLiveContext(HDC surface);

}  // namespace host
