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

}  // namespace

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
