// A Picture whose two pixel blocks are pages of their own between two
// inaccessible pages, for the tests and the benchmark: pictures of any size
// without files, in which a read or write that strays out of a block's data
// faults at once, a vector load as much as any other, where a heap block would
// let it pass unseen.
#pragma once

#include <cstddef>
#include <cstdint>

#include "picture/picture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

// Which end of its data each block places against an inaccessible page.
enum GuardedEnd {
    kGuardAfterData,   // the data ends at the page: the spare bytes fall in it
    kGuardBeforeData,  // the data starts right after the page; the spare bytes follow it
};

struct MemoryPicture {
    MemoryPicture() = default;
    MemoryPicture(const MemoryPicture&) = delete;
    MemoryPicture& operator=(const MemoryPicture&) = delete;
    ~MemoryPicture();

    Picture picture;
    // Bytes of each block that may be touched from its start: dataSize, and
    // the spare bytes when they are not in the guard page.
    std::size_t accessible = 0;
    std::uint8_t* mappings[2] = {nullptr, nullptr};
    std::size_t mappingSize = 0;
};

// The system's pages: their size, a run of them readable and writable (null
// when there is no memory to give), one made inaccessible, a run given back.
#ifdef _WIN32
inline std::size_t PageSize() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    return system.dwPageSize;
}
inline std::uint8_t* MapPages(std::size_t bytes) {
    return static_cast<std::uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}
inline bool GuardPage(std::uint8_t* page) {
    DWORD before;
    return VirtualProtect(page, PageSize(), PAGE_NOACCESS, &before) != 0;
}
inline void UnmapPages(std::uint8_t* pages, std::size_t) { VirtualFree(pages, 0, MEM_RELEASE); }
#else
inline std::size_t PageSize() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }
inline std::uint8_t* MapPages(std::size_t bytes) {
    void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return pages == MAP_FAILED ? nullptr : static_cast<std::uint8_t*>(pages);
}
// Under Emscripten mprotect does nothing: WebAssembly has no page protection.
inline bool GuardPage(std::uint8_t* page) { return mprotect(page, PageSize(), PROT_NONE) == 0; }
inline void UnmapPages(std::uint8_t* pages, std::size_t bytes) { munmap(pages, bytes); }
#endif

inline MemoryPicture::~MemoryPicture() {
    for (std::uint8_t* pages : mappings) {
        if (pages != nullptr) {
            UnmapPages(pages, mappingSize);
        }
    }
}

// Makes a W x H picture (stride x H data bytes, `extraData` more data bytes
// after the rows, as a file may declare, and the spare bytes where they are
// accessible) with both blocks guarded at `end`. The bits are filled from a
// simple generator of its own, so that no two neighbouring bytes are alike and
// the fill and spare bytes are non-zero too; the snapshot starts zero. The
// program's random source is not touched. Returns false when the memory could
// not be had (the picture is then empty).
inline bool MakeMemoryPicture(std::int32_t width, std::int32_t height, std::uint32_t pattern, MemoryPicture* out,
                              std::uint32_t extraData = 0, GuardedEnd end = kGuardAfterData) {
    const auto dataSize =
        static_cast<std::uint32_t>(RowStride(width) * static_cast<std::uint64_t>(height)) + extraData;
    const std::size_t page = PageSize();
    const std::size_t dataPages = (dataSize + kSpareBytes + page - 1) / page * page;
    out->mappingSize = dataPages + 2 * page;
    out->accessible = end == kGuardAfterData ? dataSize : dataSize + kSpareBytes;
    std::uint8_t* blocks[2];
    for (int block = 0; block < 2; ++block) {
        std::uint8_t* pages = MapPages(out->mappingSize);
        out->mappings[block] = pages;
        if (pages == nullptr || !GuardPage(pages) || !GuardPage(pages + out->mappingSize - page)) {
            return false;
        }
        blocks[block] = end == kGuardAfterData ? pages + page + dataPages - dataSize : pages + page;
    }
    std::uint32_t value = pattern * 2654435761U + 12345U;
    for (std::size_t i = 0; i < out->accessible; ++i) {
        value = value * 1664525U + 1013904223U;
        blocks[0][i] = static_cast<std::uint8_t>((value >> 24) | 1U);
    }
    out->picture = Picture{};
    out->picture.width = width;
    out->picture.height = height;
    out->picture.dataSize = dataSize;
    out->picture.bits = blocks[0];
    out->picture.snapshot = blocks[1];
    return true;
}
