// Times one diffusion step per interior pixel with each of its kernels (the
// SIMD128, AVX-512, AVX2 or NEON and scalar row kernels, each the step's
// choice when capped at it), the plain transcription they replace, and a copy
// of dataSize bytes as the floor, on three picture sizes. After the run a
// summary gives, for each, the median nanoseconds per interior pixel over the
// repetitions and the speed-up over the plain step, so the kernels' speed-ups
// stand side by side.
//
// Run: build/host/bench/mottle-bench --benchmark_repetitions=5
//      (Windows: wine build/win32/bench/mottle-bench.exe;
//       arm64 under emulation: qemu-aarch64-static build/arm64/bench/mottle-bench;
//       the web build, which has no Google Benchmark, times the step with
//       step_speed.cpp)
#include <benchmark/benchmark.h>

#include <algorithm>
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

enum Subject { kSimd128, kAvx512, kAvx2, kNeon, kScalar, kPlain, kCopyFloor, kSubjectCount };
const char* const kSubjectNames[kSubjectCount] = {
    "StepPicture, SIMD128 kernel", "StepPicture, AVX-512 kernel", "StepPicture, AVX2 kernel",
    "StepPicture, NEON kernel",    "StepPicture, scalar kernel",  "plain step (baseline)",
    "memcpy of dataSize (floor)"};
const StepDrawing kSubjectDrawing[kSubjectCount] = {kDrawSimd128, kDrawAvx512, kDrawAvx2,  kDrawNeon,
                                                    kDrawScalar,  kDrawScalar, kDrawScalar};

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

// Each counted run of each benchmark: its iterations and nanoseconds per
// interior pixel. The repetitions run as many iterations as the longest of
// the library's first, calibrating runs, which the summary leaves out.
struct Run {
    std::int64_t iterations;
    double nanosecondsPerPixel;
};
constexpr int kMostRuns = 64;
Run runs[kSubjectCount][kSizeCount][kMostRuns];
int runCount[kSubjectCount][kSizeCount];

// The median over a benchmark's repetitions; 0 where it did not run
// (filtered out, or a kernel the processor doesn't have).
double MedianNanosecondsPerPixel(int subject, int sizeIndex) {
    const int count = runCount[subject][sizeIndex];
    std::int64_t iterations = 0;
    for (int run = 0; run < count; ++run) {
        iterations = std::max(iterations, runs[subject][sizeIndex][run].iterations);
    }
    double values[kMostRuns];
    int valueCount = 0;
    for (int run = 0; run < count; ++run) {
        if (runs[subject][sizeIndex][run].iterations == iterations) {
            values[valueCount++] = runs[subject][sizeIndex][run].nanosecondsPerPixel;
        }
    }
    if (valueCount == 0) {
        return 0;
    }
    std::sort(values, values + valueCount);
    return valueCount % 2 == 1 ? values[valueCount / 2] : (values[valueCount / 2 - 1] + values[valueCount / 2]) / 2;
}

void RunStep(benchmark::State& state, Subject subject) {
    const int sizeIndex = static_cast<int>(state.range(0));
    const Size size = kSizes[sizeIndex];
    MemoryPicture memory;
    if (!MakeMemoryPicture(size.width, size.height, 7, &memory)) {
        state.SkipWithError("no memory for the picture");
        return;
    }
    Picture* picture = &memory.picture;
    if (subject != kPlain && subject != kCopyFloor && LimitStepDrawing(kSubjectDrawing[subject]) != kSubjectDrawing[subject]) {
        ResetStepDrawing();
        state.SkipWithError("this processor doesn't have the kernel");
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
    int& count = runCount[subject][sizeIndex];
    if (elapsed >= kShortestCountedRun && count < kMostRuns) {
        runs[subject][sizeIndex][count++] = {static_cast<std::int64_t>(state.iterations()), perPixel};
    }
    state.counters["ns/px"] = perPixel;
    state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}

void PrintSummary(StepDrawing shipped) {
    std::printf("\nns per interior pixel, median over the repetitions by thread time (speed-up over the plain step)\n");
    std::printf("%-38s", "");
    for (const Size& size : kSizes) {
        std::printf("  %18s", (std::to_string(size.width) + "x" + std::to_string(size.height)).c_str());
    }
    std::printf("\n");
    for (int subject = 0; subject < kSubjectCount; ++subject) {
        const bool isShipped = subject <= kScalar && kSubjectDrawing[subject] == shipped;
        std::printf("%-38s", (std::string(kSubjectNames[subject]) + (isShipped ? " (shipped)" : "")).c_str());
        for (int sizeIndex = 0; sizeIndex < kSizeCount; ++sizeIndex) {
            const double value = MedianNanosecondsPerPixel(subject, sizeIndex);
            const double plain = MedianNanosecondsPerPixel(kPlain, sizeIndex);
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

BENCHMARK_CAPTURE(RunStep, StepPicture_Simd128, kSimd128)->DenseRange(0, kSizeCount - 1);
BENCHMARK_CAPTURE(RunStep, StepPicture_Avx512, kAvx512)->DenseRange(0, kSizeCount - 1);
BENCHMARK_CAPTURE(RunStep, StepPicture_Avx2, kAvx2)->DenseRange(0, kSizeCount - 1);
BENCHMARK_CAPTURE(RunStep, StepPicture_Neon, kNeon)->DenseRange(0, kSizeCount - 1);
BENCHMARK_CAPTURE(RunStep, StepPicture_Scalar, kScalar)->DenseRange(0, kSizeCount - 1);
BENCHMARK_CAPTURE(RunStep, PlainStep, kPlain)->DenseRange(0, kSizeCount - 1);
BENCHMARK_CAPTURE(RunStep, CopyFloor, kCopyFloor)->DenseRange(0, kSizeCount - 1);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const StepDrawing shipped = ResetStepDrawing();
    std::printf("step uses: %s\n", shipped == kDrawSimd128  ? "SIMD128"
                                   : shipped == kDrawAvx512 ? "AVX-512"
                                   : shipped == kDrawAvx2   ? "AVX2"
                                   : shipped == kDrawNeon   ? "NEON"
                                                            : "no vector kernel");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary(shipped);
    return 0;
}
