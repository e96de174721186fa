#include "saver/source.h"

#include <cstring>

#include "shell/picture_window.h"

namespace {

constexpr char kBundledResource[] = "MOTTLE";
constexpr char kBundledFile[] = "mottle.bmp";

bool KeepPicture(const Picture& loaded, Source* source) {
    source->picture = loaded;
    source->image = SourceImage{loaded.bits, loaded.width, loaded.height};
    return true;
}

}  // namespace

bool LoadSourceFile(const char* path, Source* source) {
    Picture loaded;
    return path != nullptr && path[0] != '\0' && LoadPictureForScreen(path, &loaded) && KeepPicture(loaded, source);
}

bool LoadBundledPicture(HINSTANCE instance, Source* source) {
    const HRSRC resource = platform::FindResourceA(instance, kBundledResource, RT_RCDATA);
    if (resource == nullptr) {
        return LoadSourceFile(kBundledFile, source);
    }
    const HGLOBAL data = platform::LoadResource(instance, resource);
    const void* bytes = data != nullptr ? platform::LockResource(data) : nullptr;
    Picture loaded;
    return LoadPictureForScreen(bytes, platform::SizeofResource(instance, resource), &loaded) &&
           KeepPicture(loaded, source);
}

bool IsBlank(const SourceImage& image) {
    const std::uint64_t stride = RowStride(image.width);
    const std::uint8_t* first = image.bits;
    for (std::int32_t row = 0; row < image.height; ++row) {
        const std::uint8_t* line = image.bits + row * stride;
        for (std::int32_t column = 0; column < image.width; ++column) {
            if (std::memcmp(line + 3 * column, first, 3) != 0) {
                return false;
            }
        }
    }
    return true;
}

void ReleaseSource(Source* source) {
    if (source->picture.info != nullptr) {
        ReleasePicture(&source->picture);
    }
    if (source->releaseCapture != nullptr) {
        source->releaseCapture(source);
    }
    *source = Source{};
}

bool ObtainSource(const SourceOrder& order, bool (*capture)(Source* source), Source* source) {
    *source = Source{};
    if (order.preferred != nullptr && LoadSourceFile(order.preferred, source)) {
        return true;
    }
    if (capture(source)) {
        if (!IsBlank(source->image)) {
            return true;
        }
        ReleaseSource(source);
    }
    return (order.fallback != nullptr && LoadSourceFile(order.fallback, source)) ||
           LoadBundledPicture(order.instance, source);
}

bool FitPicture(const SourceImage& image, std::int32_t width, std::int32_t height, Picture* fitted) {
    width = width < 1 ? 1 : width;
    height = height < 1 ? 1 : height;
    if (image.bits == nullptr || image.width <= 0 || image.height <= 0 || width > kLargestSourceSide ||
        height > kLargestSourceSide) {
        return false;
    }
    const std::uint64_t dataSize = RowStride(width) * static_cast<std::uint64_t>(height);
    if (dataSize + kSpareBytes >= (std::uint64_t{1} << 31)) {
        return false;
    }
    Picture fresh;
    fresh.dataSize = static_cast<std::uint32_t>(dataSize);
    fresh.info = static_cast<BITMAPINFOHEADER*>(platform::malloc(kSourceInfoSize));
    if (fresh.info == nullptr || !ObtainPixelBlocks(&fresh)) {
        ReleasePicture(&fresh);
        return false;
    }
    std::memset(fresh.info, 0, kSourceInfoSize);
    fresh.info->biSize = kSourceInfoSize;
    fresh.info->biWidth = width;
    fresh.info->biHeight = height;
    fresh.info->biPlanes = 1;
    fresh.info->biBitCount = 24;
    fresh.info->biCompression = BI_RGB;
    fresh.info->biSizeImage = static_cast<DWORD>(dataSize);
    fresh.width = width;
    fresh.height = height;

    // The scaled size: the whole width or the whole height, whichever the
    // proportions allow, the other side in proportion (at least 1).
    const std::int64_t sw = image.width;
    const std::int64_t sh = image.height;
    std::int64_t fw = width;
    std::int64_t fh = height;
    if (sw * height > sh * width) {
        fh = sh * width / sw;
    } else {
        fw = sw * height / sh;
    }
    fw = fw < 1 ? 1 : fw;
    fh = fh < 1 ? 1 : fh;
    const std::int64_t left = (width - fw) / 2;
    const std::int64_t top = (height - fh) / 2;
    const std::uint64_t sourceStride = RowStride(image.width);
    for (std::int64_t y = 0; y < fh; ++y) {
        // Each target pixel takes the source pixel under its centre.
        const std::int64_t sy = (2 * y + 1) * sh / (2 * fh);
        const std::uint8_t* from = image.bits + (sh - 1 - sy) * sourceStride;
        std::uint8_t* to = fresh.bits + PixelOffset(fresh, static_cast<std::int32_t>(left), static_cast<std::int32_t>(top + y));
        if (fw == sw) {
            std::memcpy(to, from, static_cast<std::size_t>(3 * fw));
            continue;
        }
        for (std::int64_t x = 0; x < fw; ++x) {
            const std::int64_t sx = (2 * x + 1) * sw / (2 * fw);
            std::memcpy(to + 3 * x, from + 3 * sx, 3);
        }
    }
    *fitted = fresh;
    return true;
}
