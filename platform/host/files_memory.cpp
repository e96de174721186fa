// Host side of the file and memory calls: files through the C library, global
// blocks as zero-filled heap blocks with a lock count, all counted and logged.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>

#include "platform/host/host_internal.h"

namespace {

struct GlobalBlock {
    int locks;
    void* data;
};

// Open files by handle; handles start at 3 as descriptors do.
std::map<HFILE, std::FILE*>& OpenFiles() {
    static std::map<HFILE, std::FILE*> files;
    return files;
}

int globalAllocsLeft = -1;
int heapAllocsLeft = -1;

// Applies a fault counter: true when this call is to fail.
bool TakeFault(int* allowance) {
    if (*allowance < 0) {
        return false;
    }
    if (*allowance == 0) {
        return true;
    }
    --*allowance;
    return false;
}

}  // namespace

namespace host {

void FailGlobalAllocAfter(int successes) { globalAllocsLeft = successes; }

void FailHeapAllocAfter(int successes) { heapAllocsLeft = successes; }

}  // namespace host

namespace platform {

HFILE OpenFile(const char* path, UINT style) {
    host::Log("OpenFile");
    if (style != OF_READ) {
        return HFILE_ERROR;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return HFILE_ERROR;
    }
    HFILE handle = 3;
    while (OpenFiles().count(handle) != 0) {
        ++handle;
    }
    OpenFiles()[handle] = file;
    ++host::Counts().openFiles;
    return handle;
}

UINT _lread(HFILE file, void* buffer, UINT count) {
    host::Log("_lread " + std::to_string(count));
    auto found = OpenFiles().find(file);
    if (found == OpenFiles().end()) {
        return static_cast<UINT>(HFILE_ERROR);
    }
    std::size_t got = std::fread(buffer, 1, count, found->second);
    if (got < count && std::ferror(found->second)) {
        // A directory opens but cannot be read: report the read as failed.
        std::clearerr(found->second);
        return static_cast<UINT>(HFILE_ERROR);
    }
    return static_cast<UINT>(got);
}

LONG _llseek(HFILE file, LONG offset, int origin) {
    host::Log("_llseek " + std::to_string(offset));
    auto found = OpenFiles().find(file);
    if (found == OpenFiles().end() || origin != FILE_BEGIN || offset < 0) {
        return HFILE_ERROR;
    }
    if (std::fseek(found->second, offset, SEEK_SET) != 0) {
        return HFILE_ERROR;
    }
    return offset;
}

HFILE _lclose(HFILE file) {
    host::Log("_lclose");
    auto found = OpenFiles().find(file);
    if (found == OpenFiles().end()) {
        return HFILE_ERROR;
    }
    std::fclose(found->second);
    OpenFiles().erase(found);
    --host::Counts().openFiles;
    return 0;
}

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    host::Log("GlobalAlloc " + std::to_string(bytes));
    // A 32-bit process never gets a block of 1 GiB or more.
    if (TakeFault(&globalAllocsLeft) || bytes >= (SIZE_T{1} << 30)) {
        return nullptr;
    }
    // Each block's data is a heap block of exactly the size asked for, so the
    // address sanitizer catches any access past its end.
    void* data = (flags & GMEM_ZEROINIT) != 0 ? std::calloc(bytes == 0 ? 1 : bytes, 1)
                                              : std::malloc(bytes == 0 ? 1 : bytes);
    if (data == nullptr) {
        return nullptr;
    }
    auto* block = new (std::nothrow) GlobalBlock{0, data};
    if (block == nullptr) {
        std::free(data);
        return nullptr;
    }
    ++host::Counts().globalBlocks;
    return block;
}

void* GlobalLock(HGLOBAL handle) {
    host::Log("GlobalLock");
    if (handle == nullptr) {
        return nullptr;
    }
    auto* block = static_cast<GlobalBlock*>(handle);
    ++block->locks;
    ++host::Counts().lockedBlocks;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL handle) {
    host::Log("GlobalUnlock");
    auto* block = static_cast<GlobalBlock*>(handle);
    if (block == nullptr || block->locks == 0) {
        return FALSE;
    }
    --block->locks;
    --host::Counts().lockedBlocks;
    return block->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    host::Log("GlobalFree");
    if (handle == nullptr) {
        return nullptr;
    }
    auto* block = static_cast<GlobalBlock*>(handle);
    // Freeing a locked block is allowed by the real call; its locks go with it.
    host::Counts().lockedBlocks -= block->locks;
    std::free(block->data);
    delete block;
    --host::Counts().globalBlocks;
    return nullptr;
}

void* malloc(std::size_t bytes) {
    host::Log("malloc " + std::to_string(bytes));
    if (TakeFault(&heapAllocsLeft)) {
        return nullptr;
    }
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr) {
        ++host::Counts().heapBlocks;
    }
    return block;
}

void free(void* block) {
    host::Log("free");
    if (block != nullptr) {
        --host::Counts().heapBlocks;
        std::free(block);
    }
}

}  // namespace platform
