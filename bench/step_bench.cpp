// Times one diffusion step per interior pixel: StepPicture as shipped, the
// plain transcription it replaced, and a copy of dataSize bytes as the floor,
// on three picture sizes. After the run a summary gives nanoseconds per
// interior pixel and the speed-up of the shipped step over the plain one.
//
// Run: build/host/bench/mottle-bench   (Windows: wine build/win32/bench/mottle-bench.exe)
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#ifdef _WIN32
#include <windows.h>
#endif

#include "picture/diffusion.h"
#include "picture/random_source.h"
#include "tests/picture/memory_picture.h"

namespace {

struct Size {
    std::int32_t width;
    std::int32_t height;
};
constexpr Size kSizes[] = {{640, 480}, {1920, 1080}, {4096, 1365}};
constexpr int kSizeCount = sizeof kSizes / sizeof kSizes[0];

enum Subject { kShipped, kShippedAvx2, kShippedScalar, kPlain, kCopyFloor, kSubjectCount };
const char* const kSubjectNames[kSubjectCount] = {
    "StepPicture (shipped)", "StepPicture, AVX2 at most", "StepPicture, no vectors",
    "plain step (baseline)", "memcpy of dataSize (floor)"};

// Processor time of this thread, which is what the figures are taken from:
// on a machine shared with other work, wall time also counts the others.
double ThreadSeconds() {
#ifdef _WIN32
    FILETIME creation;
    FILETIME exit;
    FILETIME kernel;
    FILETIME user;
    GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user);
    const auto ticks = [](const FILETIME& time) {
        return static_cast<double>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) * 1e-7;
#else
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

// Below this much processor time a run is too short to count (the Windows
// thread clock ticks coarsely): the library's first, calibrating runs.
constexpr double kShortestCountedRun = 0.05;

// Best (least) nanoseconds per interior pixel over the counted runs of each
// benchmark; 0 where it did not run (filtered out, or unsupported).
double nanosecondsPerPixel[kSubjectCount][kSizeCount];

void RunStep(benchmark::State& state, Subject subject) {
    const int sizeIndex = static_cast<int>(state.range(0));
    const Size size = kSizes[sizeIndex];
    MemoryPicture memory;
    if (!MakeMemoryPicture(size.width, size.height, 7, &memory)) {
        state.SkipWithError("no memory for the picture");
        return;
    }
    Picture* picture = &memory.picture;
    const StepDrawing used = subject == kShippedAvx2     ? LimitStepDrawing(kDrawAvx2)
                             : subject == kShippedScalar ? LimitStepDrawing(kDrawScalar)
                                                         : ResetStepDrawing();
    if (subject == kShippedAvx2 && used != kDrawAvx2) {
        ResetStepDrawing();
        state.SkipWithError("the AVX2 kernel is not used on this processor");
        return;
    }
    SeedRandom(1);
    const double pixels = static_cast<double>(size.width - 2) * (size.height - 2);
    const double start = ThreadSeconds();
    for (auto _ : state) {
        switch (subject) {
            case kPlain: PlainStepPicture(picture); break;
            case kCopyFloor: std::memcpy(picture->snapshot, picture->bits, picture->dataSize); break;
            default: StepPicture(picture); break;
        }
        benchmark::DoNotOptimize(picture->bits);
        benchmark::ClobberMemory();
    }
    const double elapsed = ThreadSeconds() - start;
    ResetStepDrawing();
    const double perPixel = elapsed * 1e9 / (static_cast<double>(state.iterations()) * pixels);
    double& best = nanosecondsPerPixel[subject][sizeIndex];
    if (elapsed >= kShortestCountedRun && (best == 0 || perPixel < best)) {
        best = perPixel;
    }
    state.counters["ns/px"] = perPixel;
    state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}

void PrintSummary() {
    std::printf("\nns per interior pixel, best run by thread time (speed-up over the plain step)\n");
    std::printf("%-28s", "");
    for (const Size& size : kSizes) {
        std::printf("  %18s", (std::to_string(size.width) + "x" + std::to_string(size.height)).c_str());
    }
    std::printf("\n");
    for (int subject = 0; subject < kSubjectCount; ++subject) {
        std::printf("%-28s", kSubjectNames[subject]);
        for (int sizeIndex = 0; sizeIndex < kSizeCount; ++sizeIndex) {
            const double value = nanosecondsPerPixel[subject][sizeIndex];
            const double plain = nanosecondsPerPixel[kPlain][sizeIndex];
            if (value <= 0) {
                std::printf("  %18s", "-");
            } else if (plain <= 0) {
                std::printf("  %18.3f", value);
            } else {
                std::printf("  %9.3f (%5.1fx)", value, plain / value);
            }
        }
        std::printf("\n");
    }
}

}  // namespace

BENCHMARK_CAPTURE(RunStep, StepPicture, kShipped)->DenseRange(0, kSizeCount - 1);
BENCHMARK_CAPTURE(RunStep, StepPicture_Avx2, kShippedAvx2)->DenseRange(0, kSizeCount - 1);
BENCHMARK_CAPTURE(RunStep, StepPicture_Scalar, kShippedScalar)->DenseRange(0, kSizeCount - 1);
BENCHMARK_CAPTURE(RunStep, PlainStep, kPlain)->DenseRange(0, kSizeCount - 1);
BENCHMARK_CAPTURE(RunStep, CopyFloor, kCopyFloor)->DenseRange(0, kSizeCount - 1);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const StepDrawing shipped = ResetStepDrawing();
    std::printf("step uses: %s\n", shipped == kDrawAvx512 ? "AVX-512" : shipped == kDrawAvx2 ? "AVX2" : "no vector kernel");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    return 0;
}
