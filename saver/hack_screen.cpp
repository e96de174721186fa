#include "saver/hack_screen.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "picture/picture.h"

namespace {

int trappedErrors = 0;
int CountError(Display*, XErrorEvent*) {
    ++trappedErrors;
    return 0;
}

}  // namespace

XErrorHandler BeginErrorTrap(Display* display) {
    XSync(display, False);
    trappedErrors = 0;
    return XSetErrorHandler(CountError);
}

bool EndErrorTrap(Display* display, XErrorHandler previous) {
    XSync(display, False);
    XSetErrorHandler(previous);
    return trappedErrors == 0;
}

namespace {

// The screenshot xscreensaver keeps of the screen it covered: a pixmap named
// by the _SCREENSAVER_SCREENSHOT property of the window it gives the program.
bool Screenshot(Display* x, ::Window saver, Drawable* pixmap) {
    if (saver == None) {
        return false;
    }
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const XErrorHandler previous = BeginErrorTrap(x);
    const bool read = XGetWindowProperty(x, saver, XInternAtom(x, "_SCREENSAVER_SCREENSHOT", False), 0, 1, False,
                                         XA_PIXMAP, &type, &format, &count, &after, &data) == Success;
    EndErrorTrap(x, previous);
    // Format 32 properties come as longs, whatever their size on the wire.
    const bool found = read && data != nullptr && type == XA_PIXMAP && format == 32 && count == 1;
    *pixmap = found ? static_cast<Drawable>(*reinterpret_cast<const unsigned long*>(data)) : None;
    if (data != nullptr) {
        XFree(data);
    }
    return found && *pixmap != None;
}

// Reads a rectangle of `source` into `pixels` (rows of `width`), black where
// the drawable has no pixels; false when it cannot be read.
bool ReadDrawable(Display* xdisplay, Drawable source, int x, int y, int width, int height,
                  std::uint32_t* pixels) {
    ::Window root;
    int at = 0;
    unsigned int sourceWidth = 0;
    unsigned int sourceHeight = 0;
    unsigned int border = 0;
    unsigned int depth = 0;
    XErrorHandler previous = BeginErrorTrap(xdisplay);
    const Status known = XGetGeometry(xdisplay, source, &root, &at, &at, &sourceWidth, &sourceHeight, &border, &depth);
    EndErrorTrap(xdisplay, previous);
    if (known == 0) {
        return false;
    }
    const long long left = std::max<long long>(x, 0);
    const long long top = std::max<long long>(y, 0);
    const long long right = std::min<long long>(static_cast<long long>(x) + width, sourceWidth);
    const long long bottom = std::min<long long>(static_cast<long long>(y) + height, sourceHeight);
    std::fill_n(pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    if (right <= left || bottom <= top) {
        return true;  // all outside: black
    }
    previous = BeginErrorTrap(xdisplay);
    XImage* image = XGetImage(xdisplay, source, static_cast<int>(left), static_cast<int>(top),
                              static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top), AllPlanes,
                              ZPixmap);
    const bool failed = !EndErrorTrap(xdisplay, previous);
    if (image == nullptr || failed) {
        if (image != nullptr) {
            XDestroyImage(image);
        }
        return false;
    }
    // A pixmap's image has no visual, so no colour masks: a pixmap of the
    // screen's depth holds its pixels as the screen's visual does.
    Visual* visual = DefaultVisual(xdisplay, DefaultScreen(xdisplay));
    const bool ownMasks = image->red_mask != 0 && image->green_mask != 0 && image->blue_mask != 0;
    PixelLayout layout{image->bits_per_pixel, image->byte_order == MSBFirst,
                                ownMasks ? image->red_mask : visual->red_mask,
                                ownMasks ? image->green_mask : visual->green_mask,
                                ownMasks ? image->blue_mask : visual->blue_mask, image->bytes_per_line};
    const bool converted =
        (ownMasks || image->depth == DefaultDepth(xdisplay, DefaultScreen(xdisplay))) &&
        ConvertRows(layout, reinterpret_cast<const unsigned char*>(image->data), image->width, image->height,
                             pixels + (top - y) * width + (left - x), width);
    XDestroyImage(image);
    return converted;
}

}  // namespace

bool ConvertRows(const PixelLayout& layout, const unsigned char* data, int width, int height, std::uint32_t* out,
                 int outStride) {
    const int bytes = layout.bitsPerPixel / 8;
    const unsigned long masks[3] = {layout.redMask, layout.greenMask, layout.blueMask};
    if ((bytes != 2 && bytes != 3 && bytes != 4) || layout.bitsPerPixel % 8 != 0 || width < 0 || height < 0 ||
        outStride < width || static_cast<long long>(layout.bytesPerLine) < static_cast<long long>(width) * bytes) {
        return false;
    }
    int shifts[3];
    unsigned long widest[3];
    for (int channel = 0; channel < 3; ++channel) {
        const unsigned long mask = masks[channel] & 0xFFFFFFFFUL;
        if (mask == 0 || (bytes < 4 && (mask >> (8 * bytes)) != 0)) {
            return false;
        }
        shifts[channel] = __builtin_ctzl(mask);
        widest[channel] = mask >> shifts[channel];
        if ((widest[channel] & (widest[channel] + 1)) != 0) {
            return false;  // not one run of bits
        }
    }
    for (int row = 0; row < height; ++row) {
        const unsigned char* in = data + static_cast<std::size_t>(row) * static_cast<std::size_t>(layout.bytesPerLine);
        std::uint32_t* to = out + static_cast<std::size_t>(row) * static_cast<std::size_t>(outStride);
        for (int column = 0; column < width; ++column, in += bytes) {
            unsigned long value = 0;
            for (int b = 0; b < bytes; ++b) {
                const int significance = layout.mostSignificantFirst ? bytes - 1 - b : b;
                value |= static_cast<unsigned long>(in[b]) << (8 * significance);
            }
            std::uint32_t pixel = 0;
            for (int channel = 0; channel < 3; ++channel) {
                const unsigned long level = (value & masks[channel]) >> shifts[channel];
                // To 8 bits: a narrower channel's full scale becomes 255.
                const unsigned long eight =
                    widest[channel] >= 255 ? level >> (__builtin_popcountl(widest[channel]) - 8)
                                           : (level * 255 + widest[channel] / 2) / widest[channel];
                pixel = pixel << 8 | static_cast<std::uint32_t>(eight);
            }
            to[column] = pixel;
        }
    }
    return true;
}

bool ReadScreenArea(Display* display, ::Window saver, int x, int y, int width, int height,
                    std::vector<std::uint8_t>* rows) {
    if (width <= 0 || height <= 0) {
        return false;
    }
    std::vector<std::uint32_t> words(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    Drawable screenshot = None;
    if (!(Screenshot(display, saver, &screenshot) && ReadDrawable(display, screenshot, x, y, width, height, words.data())) &&
        !ReadDrawable(display, DefaultRootWindow(display), x, y, width, height, words.data())) {
        return false;
    }
    const std::size_t stride = static_cast<std::size_t>(RowStride(width));
    rows->assign(stride * static_cast<std::size_t>(height), 0);
    for (int row = 0; row < height; ++row) {
        const std::uint32_t* from = words.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
        std::uint8_t* to = rows->data() + static_cast<std::size_t>(height - 1 - row) * stride;
        for (int column = 0; column < width; ++column, to += 3) {
            to[0] = static_cast<std::uint8_t>(from[column]);
            to[1] = static_cast<std::uint8_t>(from[column] >> 8);
            to[2] = static_cast<std::uint8_t>(from[column] >> 16);
        }
    }
    return true;
}
