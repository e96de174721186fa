#include "bench/plain_step.h"

#include <cstdint>
#include <cstring>

#include "picture/random_source.h"

void PlainStepPicture(Picture* picture) {
    std::memcpy(picture->snapshot, picture->bits, picture->dataSize);
    const std::int32_t width = picture->width;
    const std::int32_t height = picture->height;
    for (std::int32_t y = 1; y < height - 1; ++y) {
        for (std::int32_t x = 1; x < width - 1; ++x) {
            std::int32_t sx = x;
            std::int32_t sy = y;
            switch (NextRandom() % 5) {
                case 0: sx = x + 1; break;
                case 1: sx = x - 1; break;
                case 2: sy = y + 1; break;
                case 3: break;
                default: sy = y - 1; break;
            }
            std::memcpy(picture->bits + PixelOffset(*picture, x, y),
                        picture->snapshot + PixelOffset(*picture, sx, sy), 3);
        }
    }
}
