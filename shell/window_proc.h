// The main window's procedure, drawing, the open-file dialog and loading a
// picture into the window.
#pragma once

#include "platform/platform.h"

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Copies the current picture, unscaled, to the top-left of `surface`.
void DrawPicture(HDC surface);

// Lets the user pick a bitmap file into currentFile; the previous path stays
// when the dialog is cancelled. True when a file was confirmed.
bool ChooseFile(HWND owner);

// Loads currentFile. On success it becomes the current picture, the caption
// shows its path, it is drawn and the window is fitted to it; on failure the
// one error message is shown and nothing else changes.
void OpenAndShow(HWND window);
