// The legacy file calls on POSIX files, global blocks as zero-filled heap
// blocks with a lock count, and the heap, all counted with the live resources.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <unistd.h>

#include "platform/winmodel/model.h"

namespace {

struct GlobalBlock {
    int locks;
    void* data;
};

winmodel::LiveCounts counts;
// The data of every live global block, by its address, with its size.
std::map<std::uintptr_t, SIZE_T> globalData;
std::set<HFILE> openFiles;  // only these are read or closed

int OpenForReading(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

}  // namespace

namespace winmodel {

static_assert(sizeof(LiveCounts) == 10 * sizeof(int), "ten counts and nothing between them");
bool LiveCounts::operator==(const LiveCounts& other) const { return std::memcmp(this, &other, sizeof other) == 0; }

LiveCounts& Counts() { return counts; }

bool InGlobalBlock(const void* bytes, long long count) {
    const auto start = reinterpret_cast<std::uintptr_t>(bytes);
    auto block = globalData.upper_bound(start);
    if (block == globalData.begin() || count < 0) {
        return false;
    }
    --block;
    return start - block->first <= block->second && static_cast<SIZE_T>(count) <= block->second - (start - block->first);
}

}  // namespace winmodel

namespace platform {

using winmodel::Counts;

// A bare name is looked for in the working folder, then beside the program,
// as the Windows open call looks, and last in an installed program's data
// folder, share/mottler beside its bin/ (or, for the screensaver hack in
// libexec/xscreensaver/, two levels up): a program started from a menu (in
// the home folder) or by xscreensaver finds its picture under any prefix.
HFILE OpenFile(const char* path, UINT style) {
    if (path == nullptr || style != OF_READ) {
        return HFILE_ERROR;
    }
    int file = OpenForReading(path);
    char program[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
    if (file < 0 && std::strchr(path, '/') == nullptr && path[0] != '\0' && length > 0) {
        const std::string self(program, static_cast<std::size_t>(length));
        const std::string folder = self.substr(0, self.find_last_of('/') + 1);
        file = OpenForReading(folder + path);
        file = file < 0 ? OpenForReading(folder + "../share/mottler/" + path) : file;
        file = file < 0 ? OpenForReading(folder + "../../share/mottler/" + path) : file;
    }
    if (file < 0) {
        return HFILE_ERROR;
    }
    openFiles.insert(file);
    ++Counts().openFiles;
    return file;
}

// Reads until `count` bytes came or the file ended; a failed read with
// nothing read reports HFILE_ERROR (a folder opens, but cannot be read).
UINT _lread(HFILE file, void* buffer, UINT count) {
    if (openFiles.count(file) == 0) {
        return static_cast<UINT>(HFILE_ERROR);
    }
    UINT got = 0;
    for (ssize_t read = 1; got < count && read != 0;) {
        read = ::read(file, static_cast<unsigned char*>(buffer) + got, count - got);
        if (read < 0 && errno != EINTR) {
            return got > 0 ? got : static_cast<UINT>(HFILE_ERROR);
        }
        got += read > 0 ? static_cast<UINT>(read) : 0;
    }
    return got;
}

LONG _llseek(HFILE file, LONG offset, int origin) {
    if (openFiles.count(file) == 0 || origin != FILE_BEGIN || offset < 0 || ::lseek(file, offset, SEEK_SET) < 0) {
        return HFILE_ERROR;
    }
    return offset;
}

HFILE _lclose(HFILE file) {
    if (openFiles.erase(file) == 0) {
        return HFILE_ERROR;
    }
    --Counts().openFiles;
    return ::close(file) == 0 ? 0 : HFILE_ERROR;
}

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes) {
    // No block of 1 GiB or more, as in a 32-bit process.
    if (bytes >= (SIZE_T{1} << 30)) {
        return nullptr;
    }
    // Zeroed, and exactly the size asked for: the address sanitizer catches
    // any access past its end.
    void* data = std::calloc(std::max<SIZE_T>(bytes, 1), 1);
    if (data == nullptr) {
        return nullptr;
    }
    ++Counts().globalBlocks;
    globalData[reinterpret_cast<std::uintptr_t>(data)] = bytes;
    return new GlobalBlock{0, data};
}

void* GlobalLock(HGLOBAL handle) {
    if (handle == nullptr) {
        return nullptr;
    }
    auto* block = static_cast<GlobalBlock*>(handle);
    ++block->locks;
    ++Counts().lockedBlocks;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL handle) {
    auto* block = static_cast<GlobalBlock*>(handle);
    if (block == nullptr || block->locks == 0) {
        return FALSE;
    }
    --block->locks;
    --Counts().lockedBlocks;
    return block->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    if (handle == nullptr) {
        return nullptr;
    }
    auto* block = static_cast<GlobalBlock*>(handle);
    // Freeing a locked block is allowed by the real call; its locks go with it.
    Counts().lockedBlocks -= block->locks;
    --Counts().globalBlocks;
    if (winmodel::drawingWaits) {
        winmodel::SettleAllPixels();  // a waiting draw may read this block
    }
    globalData.erase(reinterpret_cast<std::uintptr_t>(block->data));
    std::free(block->data);
    delete block;
    return nullptr;
}

void* malloc(std::size_t bytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    Counts().heapBlocks += block != nullptr ? 1 : 0;
    return block;
}

void free(void* block) {
    if (block != nullptr) {
        --Counts().heapBlocks;
        std::free(block);
    }
}

}  // namespace platform
