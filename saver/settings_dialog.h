// mottler.scr /c: the settings dialog, built in memory, that chooses
// between the screen and a picture and keeps the choice in the registry.
#pragma once

#include <vector>

#include "platform/platform.h"

// The dialog's items.
constexpr int kScreenRadio = 101;
constexpr int kPictureRadio = 102;
constexpr int kPicturePath = 103;
constexpr int kChooseButton = 104;

// The dialog's template: DLGTEMPLATE, then each item's DLGITEMTEMPLATE on a
// 4-byte boundary, the arrays in UTF-16; held in DWORDs for that alignment.
std::vector<DWORD> BuildSettingsTemplate();
// Shows the dialog (owned by `owner`, or none); OK writes the choice, Cancel
// writes nothing. Returns the process's status: 0, or 1 when the dialog
// could not be shown or the choice not written.
int RunSettingsDialog(HINSTANCE instance, HWND owner);
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
