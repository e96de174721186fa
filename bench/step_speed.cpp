// The step's speed by plain timing, for builds without Google Benchmark (the
// web build, run under Node): nanoseconds per interior pixel of the plain step
// and of each kernel the processor has, at 640 x 480 and 1920 x 1080, and each
// kernel's speed-up over the plain step. The subjects take turns round after
// round, so that all see the same load, after a first round that is not
// counted (a WebAssembly engine optimises a function only after it has run a
// while); each figure is the median over the counted rounds, in wall time.
//
// Run: node build/web/mottle-step-speed.js (host: build/host/bench/mottle-step-speed)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "picture/diffusion.h"
#include "picture/random_source.h"
#include "tests/picture/memory_picture.h"

namespace {

struct Subject {
    const char* name;
    bool plain;
    StepDrawing drawing;  // the step's kernel, capped at it, when not plain
};
constexpr Subject kSubjects[] = {{"plain step (baseline)", true, kDrawScalar},
                                 {"StepPicture, scalar kernel", false, kDrawScalar},
                                 {"StepPicture, AVX2 kernel", false, kDrawAvx2},
                                 {"StepPicture, AVX-512 kernel", false, kDrawAvx512},
                                 {"StepPicture, SIMD128 kernel", false, kDrawSimd128}};
constexpr int kSubjectCount = sizeof kSubjects / sizeof kSubjects[0];
constexpr std::int32_t kSizes[][2] = {{640, 480}, {1920, 1080}};
constexpr int kSizeCount = sizeof kSizes / sizeof kSizes[0];
constexpr int kRounds = 8;  // the first one not counted
constexpr double kRoundSeconds = 0.3;

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Steps the picture for about kRoundSeconds; nanoseconds per interior pixel.
double TimeRound(const Subject& subject, Picture* picture) {
    if (!subject.plain) {
        LimitStepDrawing(subject.drawing);
    }
    int steps = 0;
    const double start = Seconds();
    double now = start;
    do {
        if (subject.plain) {
            PlainStepPicture(picture);
        } else {
            StepPicture(picture);
        }
        ++steps;
        now = Seconds();
    } while (now - start < kRoundSeconds);
    ResetStepDrawing();
    const double pixels = static_cast<double>(picture->width - 2) * (picture->height - 2);
    return (now - start) * 1e9 / (steps * pixels);
}

}  // namespace

int main() {
    bool available[kSubjectCount];
    for (int subject = 0; subject < kSubjectCount; ++subject) {
        const Subject& named = kSubjects[subject];
        available[subject] = named.plain || LimitStepDrawing(named.drawing) == named.drawing;
    }
    ResetStepDrawing();
    double median[kSubjectCount][kSizeCount] = {};
    for (int size = 0; size < kSizeCount; ++size) {
        MemoryPicture memory;
        if (!MakeMemoryPicture(kSizes[size][0], kSizes[size][1], 7, &memory)) {
            std::fprintf(stderr, "no memory for a %dx%d picture\n", kSizes[size][0], kSizes[size][1]);
            return 1;
        }
        SeedRandom(1);
        double rounds[kSubjectCount][kRounds];
        for (int round = 0; round < kRounds; ++round) {
            for (int subject = 0; subject < kSubjectCount; ++subject) {
                rounds[subject][round] = available[subject] ? TimeRound(kSubjects[subject], &memory.picture) : 0;
            }
        }
        for (int subject = 0; subject < kSubjectCount; ++subject) {
            double* counted = rounds[subject] + 1;
            std::sort(counted, counted + kRounds - 1);
            median[subject][size] = (counted[(kRounds - 2) / 2] + counted[(kRounds - 1) / 2]) / 2;
        }
    }
    std::printf("ns per interior pixel, median of %d rounds (speed-up over the plain step)\n", kRounds - 1);
    std::printf("%-30s", "");
    for (const auto& size : kSizes) {
        std::printf("  %17s", (std::to_string(size[0]) + "x" + std::to_string(size[1])).c_str());
    }
    std::printf("\n");
    for (int subject = 0; subject < kSubjectCount; ++subject) {
        if (!available[subject]) {
            continue;
        }
        std::printf("%-30s", kSubjects[subject].name);
        for (int size = 0; size < kSizeCount; ++size) {
            std::printf("  %9.3f (%5.1fx)", median[subject][size], median[0][size] / median[subject][size]);
        }
        std::printf("\n");
    }
    return 0;
}
