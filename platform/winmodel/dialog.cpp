// The dialog manager for dialogs made from a template in memory: the
// template read as Windows reads it (DLGTEMPLATE, then the menu, class and
// title arrays, then each item on a 4-byte boundary: DLGITEMTEMPLATE, its
// class, its title and its creation data), the dialog a window of the
// model's, its items kept as records (their texts and check marks), and the
// modal run left to the side (backend::RunDialog). Texts become 8-bit:
// characters beyond ASCII read as '?'.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/winmodel/model.h"

namespace {

constexpr char kDialogClass[] = "#32770";

struct OpenDialog {
    HWND window;
    DLGPROC procedure;
    std::vector<winmodel::DialogItem> items;
    bool ended;
    INT_PTR result;
};

std::vector<OpenDialog> dialogs;  // innermost last

OpenDialog* Find(HWND window) {
    const auto found =
        std::find_if(dialogs.begin(), dialogs.end(), [window](const OpenDialog& each) { return each.window == window; });
    return found != dialogs.end() ? &*found : nullptr;
}

winmodel::DialogItem* Item(HWND dialog, int id) {
    OpenDialog* open = Find(dialog);
    if (open == nullptr) {
        return nullptr;
    }
    const auto found = std::find_if(open->items.begin(), open->items.end(),
                                    [id](const winmodel::DialogItem& item) { return item.id == id; });
    return found != open->items.end() ? &*found : nullptr;
}

WORD ReadWord(const unsigned char** at) {
    WORD value;
    std::memcpy(&value, *at, sizeof value);
    *at += sizeof value;
    return value;
}

// A menu, class or title array: 0 for none, 0xFFFF and an ordinal, or a
// NUL-terminated UTF-16 string.
std::string ReadArray(const unsigned char** at) {
    const WORD first = ReadWord(at);
    if (first == 0xFFFF) {
        const WORD ordinal = ReadWord(at);
        char text[8];
        std::snprintf(text, sizeof text, "#0x%04X", ordinal);
        return text;
    }
    std::string text;
    for (WORD character = first; character != 0; character = ReadWord(at)) {
        text += character < 0x80 ? static_cast<char>(character) : '?';
    }
    return text;
}

// The dialog's items from its template, or false when the template's
// records cannot be read as dialog records (an extended template).
bool ReadTemplate(const DLGTEMPLATE* dialogTemplate, std::string* caption, std::vector<winmodel::DialogItem>* items) {
    const auto* start = reinterpret_cast<const unsigned char*>(dialogTemplate);
    const unsigned char* at = start;
    if (ReadWord(&at) == 1 && ReadWord(&at) == 0xFFFF) {
        return false;  // DLGTEMPLATEEX, which the program does not make
    }
    at = start + sizeof(DLGTEMPLATE);
    ReadArray(&at);  // menu
    ReadArray(&at);  // class
    *caption = ReadArray(&at);
    if ((dialogTemplate->style & 0x40L) != 0) {  // DS_SETFONT: point size and typeface
        ReadWord(&at);
        ReadArray(&at);
    }
    for (WORD i = 0; i < dialogTemplate->cdit; ++i) {
        at = start + (at - start + 3) / 4 * 4;  // on a 4-byte boundary
        DLGITEMTEMPLATE item;
        std::memcpy(&item, at, sizeof item);
        at += sizeof item;
        std::string className = ReadArray(&at);
        className = className == "#0x0080" ? "BUTTON" : className == "#0x0082" ? "STATIC" : className;
        std::string text = ReadArray(&at);
        const WORD creationBytes = ReadWord(&at);  // counting its own size word
        at += creationBytes > 2 ? creationBytes - 2 : 0;
        items->push_back(winmodel::DialogItem{item.id, className, text, item.style, false});
    }
    return true;
}

// A dialog's window: its procedure first, then the defaults of the dialog
// manager (closing is the cancel button).
LRESULT CALLBACK DialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    OpenDialog* open = Find(window);
    if (open != nullptr && open->procedure != nullptr && open->procedure(window, message, wParam, lParam) != 0) {
        return TRUE;
    }
    if (open != nullptr && message == WM_CLOSE) {
        winmodel::Send(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 0;
    }
    return platform::DefWindowProcA(window, message, wParam, lParam);
}

bool HasDialogClass() {
    WNDCLASSA dialogClass{};
    dialogClass.lpfnWndProc = DialogWindowProc;
    dialogClass.lpszClassName = kDialogClass;
    return winmodel::FindClass(kDialogClass, &dialogClass) || platform::RegisterClassA(&dialogClass) != 0;
}

bool IsAutoRadio(const winmodel::DialogItem& item) {
    return item.className == "BUTTON" && (item.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

}  // namespace

namespace winmodel {

std::vector<DialogItem> DialogItems(HWND dialog) {
    OpenDialog* open = Find(dialog);
    return open != nullptr ? open->items : std::vector<DialogItem>{};
}

bool DialogEnded(HWND dialog) {
    OpenDialog* open = Find(dialog);
    return open == nullptr || open->ended;
}

// A click on an automatic radio button checks it and unchecks the other
// automatic radio buttons of its group (from the item marked WS_GROUP before
// it to the next one so marked).
void PressDialogButton(HWND dialog, int id) {
    OpenDialog* open = Find(dialog);
    if (open == nullptr) {
        return;
    }
    auto& items = open->items;
    const auto pressed =
        std::find_if(items.begin(), items.end(), [id](const DialogItem& item) { return item.id == id; });
    if (pressed == items.end()) {
        return;
    }
    if (IsAutoRadio(*pressed)) {
        auto first = pressed;
        while (first != items.begin() && (first->style & WS_GROUP) == 0) {
            --first;
        }
        for (auto each = first; each != items.end() && (each == first || (each->style & WS_GROUP) == 0); ++each) {
            each->checked = IsAutoRadio(*each) ? each == pressed : each->checked;
        }
    }
    Send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

}  // namespace winmodel

namespace platform {

// The dialog's window is made hidden, gets WM_INITDIALOG, and runs until its
// procedure calls EndDialog; its result is EndDialog's, or -1 when the
// dialog could not be made.
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                DLGPROC procedure, LPARAM initParam) {
    std::string caption;
    std::vector<winmodel::DialogItem> items;
    if (dialogTemplate == nullptr || (owner != nullptr && !IsWindow(owner)) ||
        !ReadTemplate(dialogTemplate, &caption, &items) || !HasDialogClass()) {
        return -1;
    }
    HWND window = CreateWindowExA(dialogTemplate->dwExtendedStyle, kDialogClass, caption.c_str(),
                                  dialogTemplate->style & ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD),
                                  dialogTemplate->x * 2, dialogTemplate->y * 2, dialogTemplate->cx * 2,
                                  dialogTemplate->cy * 2, owner, nullptr, instance, nullptr);
    if (window == nullptr) {
        return -1;
    }
    dialogs.push_back(OpenDialog{window, procedure, items, false, 0});
    winmodel::Send(window, WM_INITDIALOG, 0, initParam);
    if (!winmodel::DialogEnded(window)) {
        winmodel::PaintWaiting();
        winmodel::backend::RunDialog(window);
    }
    const INT_PTR result = Find(window)->result;
    dialogs.erase(dialogs.begin() + (Find(window) - dialogs.data()));
    DestroyWindow(window);
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    OpenDialog* open = Find(dialog);
    if (open == nullptr) {
        return FALSE;
    }
    open->ended = true;
    open->result = result;
    return TRUE;
}

BOOL CheckRadioButton(HWND dialog, int firstButton, int lastButton, int checkButton) {
    OpenDialog* open = Find(dialog);
    if (open == nullptr) {
        return FALSE;
    }
    for (auto& item : open->items) {
        if (item.id >= firstButton && item.id <= lastButton) {
            item.checked = item.id == checkButton;
        }
    }
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int button) {
    const winmodel::DialogItem* item = Item(dialog, button);
    return item != nullptr && item->checked ? BST_CHECKED : BST_UNCHECKED;
}

BOOL SetDlgItemTextA(HWND dialog, int item, LPCSTR text) {
    winmodel::DialogItem* found = Item(dialog, item);
    if (found == nullptr) {
        return FALSE;
    }
    found->text = text != nullptr ? text : "";
    return TRUE;
}

}  // namespace platform
