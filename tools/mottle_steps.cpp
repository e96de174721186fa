// mottle-steps INPUT.bmp SEED STEPS OUTPUT.bmp
//
// Loads INPUT as the program does, seeds the random source with SEED, runs
// STEPS generations of the dissolve and writes the result as a bitmap file:
// the file header, the picture's 40-byte header as held and its pixel data.
// This is how a generation is looked at, compared or turned into pictures
// outside the program, so the output is exactly what the program holds.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "picture/diffusion.h"
#include "picture/random_source.h"
#include "shell/picture_window.h"
#include "tools/bitmap_writer.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: mottle-steps INPUT.bmp SEED STEPS OUTPUT.bmp\n");
    return 2;
}

// Parses a decimal number of at most `limit`; digits only, no sign.
bool ParseDecimal(const char* text, unsigned long long limit, unsigned long long* value) {
    if (*text == '\0') {
        return false;
    }
    unsigned long long result = 0;
    for (const char* digit = text; *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9') {
            return false;
        }
        result = result * 10 + static_cast<unsigned>(*digit - '0');
        if (result > limit) {
            return false;
        }
    }
    *value = result;
    return true;
}

bool WritePicture(const char* path, const Picture& picture) {
    const std::vector<std::uint8_t> bytes = BitmapFileBytes(picture.info, picture.bits, picture.dataSize);
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    written = std::fclose(out) == 0 && written;
    return written;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long long seed = 0;
    unsigned long long steps = 0;
    if (argc != 5 || !ParseDecimal(argv[2], 0xFFFFFFFFULL, &seed) ||
        !ParseDecimal(argv[3], 1000000000000000ULL, &steps)) {
        return Usage();
    }
    Picture picture;
    if (!LoadPictureForScreen(argv[1], &picture)) {
        std::fprintf(stderr, "mottle-steps: %s: not an uncompressed 24-bit bitmap that can be loaded\n",
                     argv[1]);
        return 1;
    }
#ifdef MOTTLE_STEPS_FASTEST_KERNEL
    // The tests' variant: the processor's fastest kernel even under an
    // instruction translator, where the step would keep the scalar loop, so
    // that runs under emulation check the vector kernel too.
    LimitStepDrawing(kDrawFastest);
#endif
    SeedRandom(static_cast<std::uint32_t>(seed));
    for (unsigned long long step = 0; step < steps; ++step) {
        StepPicture(&picture);
    }
    const bool written = WritePicture(argv[4], picture);
    ReleasePicture(&picture);
    if (!written) {
        std::fprintf(stderr, "mottle-steps: %s: %s\n", argv[4], std::strerror(errno));
        return 1;
    }
    return 0;
}
