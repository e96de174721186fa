#include "picture/diffusion.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "picture/step_rows.h"

// The step as defined, one pixel at a time by display coordinates.
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

namespace {

// The plain step's draw and copy for each pixel in turn, the switch as a table
// of source offsets. Pixels are copied as 4 bytes whose last lands on the next
// pixel, which is written right after; the row's last pixel is copied as 3.
// Unrolled: under an instruction translator every loop branch costs a lookup.
void StepRowScalar(std::uint64_t state, std::uint8_t* target, const std::uint8_t* source, std::int32_t count,
                   std::int32_t stride) {
    const std::int32_t offsets[5] = {3, -3, -stride, 0, stride};
#pragma GCC unroll 4
    for (std::int32_t i = 0; i < count - 1; ++i) {
        std::memcpy(target + 3 * i, source + 3 * i + offsets[Draw(&state)], 4);
    }
    std::memcpy(target + 3 * (count - 1), source + 3 * (count - 1) + offsets[Draw(&state)], 3);
}

bool drawingLimited = false;
StepDrawing drawingLimit = kDrawFastest;

StepDrawing AvailableDrawing() { return ProcessorDrawing(drawingLimit, drawingLimited); }

StepRow ChooseRow(StepDrawing drawing) { return drawing == kDrawScalar ? StepRowScalar : ProcessorStepRow(drawing); }

}  // namespace

StepDrawing LimitStepDrawing(StepDrawing limit) {
    drawingLimited = true;
    drawingLimit = limit;
    return AvailableDrawing();
}

StepDrawing ResetStepDrawing() {
    drawingLimited = false;
    drawingLimit = kDrawFastest;
    return AvailableDrawing();
}

void StepPicture(Picture* picture) {
    const std::int32_t width = picture->width;
    const std::int32_t height = picture->height;
    const std::uint64_t rowBytes = RowStride(width) * static_cast<std::uint64_t>(height < 0 ? 0 : height);
    // No interior, or (never from the loader) rows that don't fit the data:
    // only the snapshot copy, so nothing outside the blocks is touched.
    if (width < 3 || height < 3 || rowBytes > picture->dataSize) {
        std::memcpy(picture->snapshot, picture->bits, picture->dataSize);
        return;
    }
    // The rows fit in dataSize, below 2^32, and there are at least 3.
    const auto stride = static_cast<std::int32_t>(RowStride(width));
    // The snapshot is copied in bands of rows just ahead of the rows that read
    // them, while they are still in cache. The copy is the same: every byte is
    // copied before it is read and before its row of bits is rewritten (row y
    // is written only after rows up to y + 1 are copied), and the bytes after
    // the last row are copied first.
    std::memcpy(picture->snapshot + rowBytes, picture->bits + rowBytes,
                picture->dataSize - static_cast<std::size_t>(rowBytes));
    constexpr std::int32_t kBandRows = 8;
    std::int32_t copiedRows = 0;  // display rows 0 .. copiedRows - 1 are in the snapshot
    const StepRow stepRow = ChooseRow(AvailableDrawing());
    const Jump row = JumpAhead(static_cast<std::uint32_t>(width - 2));
    std::uint64_t state = ReadRandomState();
    for (std::int32_t y = 1; y < height - 1; ++y) {
        if (copiedRows <= y + 1) {
            const std::int32_t band = height - copiedRows < kBandRows ? height - copiedRows : kBandRows;
            const std::size_t bandStart = static_cast<std::size_t>(height - copiedRows - band) * stride;
            std::memcpy(picture->snapshot + bandStart, picture->bits + bandStart,
                        static_cast<std::size_t>(band) * stride);
            copiedRows += band;
        }
        const std::size_t first = PixelOffset(*picture, 1, y);
        stepRow(state, picture->bits + first, picture->snapshot + first, width - 2, stride);
        state = row.multiplier * state + row.increment;
    }
    WriteRandomState(state);
}
