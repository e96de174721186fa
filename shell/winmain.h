// The program's entry point, its start-up and its message loop, which doubles
// as the animation driver.
#pragma once

#include "platform/platform.h"

// Called by the platform's GUI start-up; returns the exit status. The
// declaration matches the one the Windows headers give.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand);

// Seeds the random source, registers the window class, creates the main window,
// measures its frame and shows the default picture. False when no window could
// be made.
bool InitApplication();

// What the loop does whenever it finds no message waiting: while a picture is
// held, one diffusion step and a redraw of the main window; otherwise nothing.
void RunIdlePass();
