// libFuzzer target: any bytes, written to a file, handed to LoadPicture as a
// bitmap file. A file that loads is stepped and drawn into a window by the
// shell's own DrawPicture, as the program would, then released. Afterwards every count of live platform resources (files,
// global blocks and their locks, heap blocks, bitmaps, drawing contexts) must
// be where it was before the load; an imbalance aborts, so the fuzzer reports
// the input just as it reports a sanitizer finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "picture/bitmap_loader.h"
#include "picture/diffusion.h"
#include "picture/random_source.h"
#include "platform/host/host_control.h"
#include "shell/app_state.h"
#include "shell/window_proc.h"

namespace {

// Stepping costs a random draw per pixel: a step of the largest picture takes
// most of a second under the sanitizers, and a 54-byte input can declare one.
// Pictures up to this many pixels get a few steps; larger ones are loaded,
// checked, drawn and released without stepping, which keeps the run at
// hundreds of inputs a second. The step addresses no more than the checked
// stride times height bytes, whatever the size.
constexpr std::int64_t kStepPixelLimit = 1 << 16;
constexpr int kSteps = 3;

// A small window whose drawing context the pictures are loaded on and drawn
// into: pictures larger than its client area are clipped by the platform, as
// on the screen, while the platform still reads the whole header and every
// row's ends of the pixel block.
constexpr char kWindowClass[] = "MottlerFuzz";
constexpr int kWindowSize = 96;

HWND& TargetWindow() {
    static HWND window = nullptr;
    return window;
}

void MakeTargetWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = platform::DefWindowProcA;
    windowClass.lpszClassName = kWindowClass;
    TargetWindow() = platform::RegisterClassA(&windowClass) != 0
                         ? platform::CreateWindowExA(0, kWindowClass, "fuzz", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                                     0, 0, kWindowSize, kWindowSize, nullptr, nullptr,
                                                     nullptr, nullptr)
                         : nullptr;
    if (TargetWindow() == nullptr) {
        std::fprintf(stderr, "mottler fuzz: no host window to draw into\n");
        std::abort();
    }
}

std::string& InputPath() {
    static std::string path;
    return path;
}

// The file LoadPicture reads: one per process, in memory-backed /dev/shm
// when there is one, removed at exit.
void MakeInputFile() {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : nullptr;
    if (folder == nullptr) {
        folder = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp";
    }
    std::string pattern = std::string(folder) + "/mottler-fuzz-XXXXXX";
    const int descriptor = mkstemp(&pattern[0]);
    if (descriptor < 0) {
        std::perror("mottler fuzz: mkstemp");
        std::abort();
    }
    close(descriptor);
    InputPath() = pattern;
    std::atexit([] { unlink(InputPath().c_str()); });
}

void WriteInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::perror("mottler fuzz: writing the input file");
        std::abort();
    }
}

void CheckBalance(const host::LiveCounts& before, const char* when) {
    const host::LiveCounts after = host::CurrentCounts();
    if (after != before) {
        std::fprintf(stderr,
                     "mottler fuzz: resources not given back %s: files %d->%d, global blocks %d->%d, "
                     "locks %d->%d, heap blocks %d->%d, bitmaps %d->%d, drawing contexts %d->%d\n",
                     when, before.openFiles, after.openFiles, before.globalBlocks, after.globalBlocks,
                     before.lockedBlocks, after.lockedBlocks, before.heapBlocks, after.heapBlocks,
                     before.bitmaps, after.bitmaps, before.drawingContexts, after.drawingContexts);
        std::abort();
    }
}

// Checks what a loaded picture promises: the fields the step and the drawing
// rely on, and blocks that were really taken.
void CheckLoaded(const Picture& picture) {
    if (picture.info == nullptr || picture.bits == nullptr || picture.snapshot == nullptr ||
        picture.deviceBitmap == nullptr || picture.width <= 0 || picture.height <= 0 ||
        picture.dataSize >= kDataSizeLimit ||
        RowStride(picture.width) * static_cast<std::uint64_t>(picture.height) > picture.dataSize) {
        std::fprintf(stderr, "mottler fuzz: a loaded picture breaks its own invariants\n");
        std::abort();
    }
}

// Steps the picture and draws it through the shell, which draws whatever
// picture the application state holds; the state is empty again afterwards.
void ExercisePicture(const Picture& picture, HDC surface) {
    appState.currentPicture = picture;
    appState.pictureReady = 1;
    SeedRandom(1);
    const std::int64_t pixels = static_cast<std::int64_t>(picture.width) * picture.height;
    const int steps = pixels <= kStepPixelLimit ? kSteps : 0;
    for (int step = 0; step < steps; ++step) {
        StepPicture(&appState.currentPicture);
    }
    DrawPicture(surface);
    ReleasePicture(&appState.currentPicture);
    appState.pictureReady = 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeInputFile();
    MakeTargetWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WriteInput(data, size);
    const host::LiveCounts before = host::CurrentCounts();
    HDC surface = platform::GetDC(TargetWindow());
    Picture picture;
    const bool loaded = LoadPicture(surface, InputPath().c_str(), &picture);
    if (loaded) {
        CheckLoaded(picture);
        ExercisePicture(picture, surface);
    }
    platform::ReleaseDC(TargetWindow(), surface);
    CheckBalance(before, loaded ? "after load, step, draw and release" : "after a refused file");
    return 0;
}
