// GTK side of the file and memory calls: files through POSIX calls, global
// blocks as zero-filled heap blocks with a lock count.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <unistd.h>

#include "platform/gtk/gtk_internal.h"

namespace {

struct GlobalBlock {
    int locks;
    void* data;
};

// Where an installed program's data lies, from the folder the program is in.
constexpr const char* kInstalledDataFolder = "../share/mottler/";

int OpenForReading(const char* path) { return ::open(path, O_RDONLY | O_CLOEXEC); }

// The folder the program was started from, with its final slash.
std::string ProgramFolder() {
    char program[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0) {
        return std::string();
    }
    std::string folder(program, static_cast<std::size_t>(length));
    return folder.substr(0, folder.find_last_of('/') + 1);
}

}  // namespace

namespace platform {

// A bare name is looked for in the working folder, then beside the program,
// as the Windows open call looks for one, and last in the data folder of an
// installed program: share/mottler beside its bin/, found from where the
// program is, so that a program started from a menu (working folder: home)
// finds its picture under any prefix.
HFILE OpenFile(const char* path, UINT style) {
    if (path == nullptr || style != OF_READ) {
        return HFILE_ERROR;
    }
    int file = OpenForReading(path);
    if (file < 0 && std::strchr(path, '/') == nullptr && path[0] != '\0') {
        const std::string folder = ProgramFolder();
        if (!folder.empty()) {
            file = OpenForReading((folder + path).c_str());
        }
        if (file < 0 && !folder.empty()) {
            file = OpenForReading((folder + kInstalledDataFolder + path).c_str());
        }
    }
    return file < 0 ? HFILE_ERROR : file;
}

// Reads until `count` bytes came or the file ended; a failed read with
// nothing read reports HFILE_ERROR (a folder opens, but cannot be read).
UINT _lread(HFILE file, void* buffer, UINT count) {
    auto* into = static_cast<unsigned char*>(buffer);
    UINT got = 0;
    while (got < count) {
        const ssize_t read = ::read(file, into + got, count - got);
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read < 0) {
            return got > 0 ? got : static_cast<UINT>(HFILE_ERROR);
        }
        if (read == 0) {
            break;
        }
        got += static_cast<UINT>(read);
    }
    return got;
}

LONG _llseek(HFILE file, LONG offset, int origin) {
    if (origin != FILE_BEGIN || offset < 0 || ::lseek(file, offset, SEEK_SET) < 0) {
        return HFILE_ERROR;
    }
    return offset;
}

HFILE _lclose(HFILE file) { return ::close(file) == 0 ? 0 : HFILE_ERROR; }

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    void* data = (flags & GMEM_ZEROINIT) != 0 ? std::calloc(bytes == 0 ? 1 : bytes, 1)
                                              : std::malloc(bytes == 0 ? 1 : bytes);
    if (data == nullptr) {
        return nullptr;
    }
    auto* block = new (std::nothrow) GlobalBlock{0, data};
    if (block == nullptr) {
        std::free(data);
    }
    return block;
}

void* GlobalLock(HGLOBAL handle) {
    if (handle == nullptr) {
        return nullptr;
    }
    auto* block = static_cast<GlobalBlock*>(handle);
    ++block->locks;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL handle) {
    auto* block = static_cast<GlobalBlock*>(handle);
    if (block == nullptr || block->locks == 0) {
        return FALSE;
    }
    --block->locks;
    return block->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    auto* block = static_cast<GlobalBlock*>(handle);
    if (block != nullptr) {
        std::free(block->data);
        delete block;
    }
    return nullptr;
}

void* malloc(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void free(void* block) { std::free(block); }

}  // namespace platform
