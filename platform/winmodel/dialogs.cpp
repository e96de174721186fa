// The open-file dialog and the message box as Windows runs them: modal, so
// that the program's own loop, and every step with it, waits until they are
// done, while the paints that fall due go to the window procedure; what the
// side's events queue meanwhile (a close of the owner, say) is taken in order
// afterwards. Also the live counts and the entries of the call log.
#include <cstdio>
#include <cstring>

#include "platform/winmodel/backend.h"

namespace winmodel {

bool LiveCounts::operator==(const LiveCounts& other) const {
    return openFiles == other.openFiles && globalBlocks == other.globalBlocks && lockedBlocks == other.lockedBlocks &&
           heapBlocks == other.heapBlocks && bitmaps == other.bitmaps && drawingContexts == other.drawingContexts &&
           brushes == other.brushes && windows == other.windows;
}

LiveCounts& Counts() {
    static LiveCounts counts;
    return counts;
}

void Note(const char* call, std::initializer_list<long long> numbers) {
    if (backend::Recording()) {
        std::string entry = call;
        for (long long number : numbers) {
            entry += " " + std::to_string(number);
        }
        backend::NoteCall(entry);
    }
}

void NoteMessage(const char* call, UINT message) {
    if (backend::Recording()) {
        char entry[64];
        std::snprintf(entry, sizeof entry, "%s 0x%04X", call, message);
        backend::NoteCall(entry);
    }
}

void RunModal(const bool* done) {
    for (;;) {
        PaintWaiting();
        if (*done) {
            return;
        }
        backend::PumpEvents(true);
    }
}

std::vector<std::string> FilterStrings(const char* list) {
    std::vector<std::string> strings;
    while (list != nullptr && *list != '\0' && strings.size() < 64) {
        strings.emplace_back(list);
        list += strings.back().size() + 1;
    }
    return strings;
}

}  // namespace winmodel

namespace platform {

BOOL GetOpenFileNameA(OPENFILENAMEA* request) {
    winmodel::Note("GetOpenFileNameA");
    if (request == nullptr) {
        return FALSE;
    }
    winmodel::backend::NoteOpenDialog(*request);
    // A record of another size than the 32-bit one without and with the later
    // members, or an owner that is gone: the dialog does not open.
    if ((request->lStructSize != 76 && request->lStructSize != 88) ||
        (request->hwndOwner != nullptr && !winmodel::IsLive(request->hwndOwner))) {
        return FALSE;
    }
    winmodel::PaintWaiting();
    std::string path;
    if (!winmodel::backend::RunOpenDialog(*request, &path) || request->lpstrFile == nullptr) {
        return FALSE;
    }
    const std::size_t needed = path.size() + 1;
    if (needed > request->nMaxFile) {
        // Too small a buffer ends the dialog in an error; its first two bytes
        // then give the size needed.
        if (request->nMaxFile >= 2) {
            request->lpstrFile[0] = static_cast<char>(needed & 0xFF);
            request->lpstrFile[1] = static_cast<char>((needed >> 8) & 0xFF);
        }
        return FALSE;
    }
    std::memcpy(request->lpstrFile, path.c_str(), needed);
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    request->nFileOffset = static_cast<WORD>(name);
    request->nFileExtension = static_cast<WORD>(dot != std::string::npos && dot >= name ? dot + 1 : path.size());
    return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    winmodel::Note("MessageBoxA");
    if (owner != nullptr && !winmodel::IsLive(owner)) {
        return 0;
    }
    winmodel::PaintWaiting();
    winmodel::backend::RunMessageBox(owner, text, caption, type);
    return IDOK;
}

}  // namespace platform
