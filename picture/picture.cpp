#include "picture/picture.h"

namespace {

// Unlocks and frees one pixel block; a block that was never obtained is skipped.
void ReleaseBlock(HGLOBAL* block, std::uint8_t** data) {
    if (*block != nullptr) {
        if (*data != nullptr) {
            platform::GlobalUnlock(*block);
        }
        platform::GlobalFree(*block);
    }
    *block = nullptr;
    *data = nullptr;
}

// Obtains one zero-filled pixel block and locks it in place.
bool ObtainPixelBlock(std::uint32_t dataSize, HGLOBAL* block, std::uint8_t** data) {
    *block = platform::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, dataSize + kSpareBytes);
    if (*block == nullptr) {
        return false;
    }
    *data = static_cast<std::uint8_t*>(platform::GlobalLock(*block));
    return *data != nullptr;
}

}  // namespace

bool ObtainPixelBlocks(Picture* picture) {
    return ObtainPixelBlock(picture->dataSize, &picture->bitsBlock, &picture->bits) &&
           ObtainPixelBlock(picture->dataSize, &picture->snapshotBlock, &picture->snapshot);
}

void ReleasePicture(Picture* picture) {
    if (picture->deviceBitmap != nullptr) {
        platform::DeleteObject(picture->deviceBitmap);
    }
    ReleaseBlock(&picture->bitsBlock, &picture->bits);
    ReleaseBlock(&picture->snapshotBlock, &picture->snapshot);
    if (picture->info != nullptr) {
        platform::free(picture->info);
    }
    *picture = Picture{};
}
