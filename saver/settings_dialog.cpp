#include "saver/settings_dialog.h"

#include <cstring>

#include "saver/saver.h"
#include "shell/picture_window.h"
#include "shell/texts.h"

namespace {

constexpr char kCaption[] = "MOTTLER Screensaver";
constexpr char kNoPicture[] = "(none)";
constexpr char kChooseTitle[] = "Choose a picture";
// Shown name and pattern pairs, each string NUL-terminated; the literal's
// own NUL ends the list with an empty string.
constexpr char kFilter[] = "Bitmaps (*.bmp)\0*.bmp\0All files (*.*)\0*.*\0";
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;
constexpr DWORD kItemStyle = WS_CHILD | WS_VISIBLE;

struct ItemLayout {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    WORD classOrdinal;
    const char* text;
};

// In dialog units.
const ItemLayout kItems[] = {
    {BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 10, 10, 120, 12, kScreenRadio, kButtonClass, "The screen"},
    {BS_AUTORADIOBUTTON, 10, 26, 56, 12, kPictureRadio, kButtonClass, "A picture:"},
    {SS_LEFT | SS_PATHELLIPSIS | WS_GROUP, 68, 28, 150, 10, kPicturePath, kStaticClass, kNoPicture},
    {BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 68, 42, 60, 14, kChooseButton, kButtonClass, "Choose..."},
    {BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 112, 78, 50, 14, IDOK, kButtonClass, "OK"},
    {BS_PUSHBUTTON | WS_TABSTOP, 168, 78, 50, 14, IDCANCEL, kButtonClass, "Cancel"},
};

// Template bytes as 16-bit words, a record or text at a time.
void PutRecord(std::vector<WORD>* words, const void* record, std::size_t bytes) {
    const std::size_t at = words->size();
    words->resize(at + bytes / 2);
    std::memcpy(words->data() + at, record, bytes);
}

// ASCII texts only: each byte is its UTF-16 code.
void PutText(std::vector<WORD>* words, const char* text) {
    for (const char* at = text; *at != '\0'; ++at) {
        words->push_back(static_cast<WORD>(static_cast<unsigned char>(*at)));
    }
    words->push_back(0);
}

void ShowPath(HWND dialog, const char* path) {
    platform::SetDlgItemTextA(dialog, kPicturePath, path[0] != '\0' ? path : kNoPicture);
}

void OnInitDialog(HWND dialog) {
    const bool picture = saverState.chosen.source == kSourcePicture;
    platform::CheckRadioButton(dialog, kScreenRadio, kPictureRadio, picture ? kPictureRadio : kScreenRadio);
    ShowPath(dialog, saverState.chosen.picture);
}

// A picture the loader refuses gets the desktop program's message and is
// not taken; one it accepts becomes the choice.
void OnChoose(HWND dialog) {
    char path[kPicturePathSize];
    std::memcpy(path, saverState.chosen.picture, sizeof path);
    OPENFILENAMEA request;
    std::memset(&request, 0, sizeof request);
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = dialog;
    request.lpstrFilter = kFilter;
    request.lpstrFile = path;
    request.nMaxFile = sizeof path;
    request.lpstrTitle = kChooseTitle;
    request.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    const BOOL chosen = platform::GetOpenFileNameA(&request);
    path[sizeof path - 1] = '\0';
    if (!chosen) {
        return;
    }
    Picture loaded;
    const bool accepted = LoadPictureForScreen(path, &loaded);
    if (accepted) {
        ReleasePicture(&loaded);
    }
    if (!accepted) {
        platform::MessageBoxA(dialog, kLoadErrorText, kLoadErrorCaption, MB_OK);
        return;
    }
    std::memcpy(saverState.chosen.picture, path, sizeof path);
    ShowPath(dialog, path);
    platform::CheckRadioButton(dialog, kScreenRadio, kPictureRadio, kPictureRadio);
}

void OnOk(HWND dialog) {
    saverState.chosen.source =
        platform::IsDlgButtonChecked(dialog, kPictureRadio) == BST_CHECKED ? kSourcePicture : kSourceScreen;
    platform::EndDialog(dialog, WriteSettings(saverState.chosen) ? IDOK : -1);
}

}  // namespace

std::vector<DWORD> BuildSettingsTemplate() {
    std::vector<WORD> words;
    DLGTEMPLATE dialog{DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0,
                       static_cast<WORD>(sizeof kItems / sizeof kItems[0]), 0, 0, 228, 100};
    PutRecord(&words, &dialog, sizeof dialog);
    words.push_back(0);  // no menu
    words.push_back(0);  // the dialog class
    PutText(&words, kCaption);
    for (const ItemLayout& layout : kItems) {
        if (words.size() % 2 != 0) {
            words.push_back(0);  // to a 4-byte boundary
        }
        DLGITEMTEMPLATE item{layout.style | kItemStyle, 0, layout.x, layout.y, layout.cx, layout.cy, layout.id};
        PutRecord(&words, &item, sizeof item);
        words.push_back(0xFFFF);
        words.push_back(layout.classOrdinal);
        PutText(&words, layout.text);
        words.push_back(0);  // no creation data
    }
    std::vector<DWORD> dwords((words.size() + 1) / 2, 0);
    std::memcpy(dwords.data(), words.data(), words.size() * sizeof(WORD));
    return dwords;
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kChooseButton:
                    OnChoose(dialog);
                    return TRUE;
                case IDOK:
                    OnOk(dialog);
                    return TRUE;
                case IDCANCEL:
                    platform::EndDialog(dialog, IDCANCEL);
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

int RunSettingsDialog(HINSTANCE instance, HWND owner) {
    saverState = SaverState{};
    saverState.instance = instance;
    ReadSettings(&saverState.chosen);
    const std::vector<DWORD> dialogTemplate = BuildSettingsTemplate();
    const INT_PTR result =
        platform::DialogBoxIndirectParamA(instance, reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()), owner,
                                          SettingsDialogProc, 0);
    return result == IDOK || result == IDCANCEL ? 0 : 1;
}
