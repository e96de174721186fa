// What the shell tests share: a fresh process state for every test, a folder
// of bitmap files made for the test, and readers for the host's records.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "folder_test.h"
#include "platform/host/host_control.h"
#include "shell/app_state.h"

// The colour the test pictures give display pixel (x, y), as 0x00BBGGRR.
COLORREF TestColour(int x, int y);

// The bytes of a bitmap file of `width` x `height` pixels coloured by
// TestColour, with the given bit depth in its header (pixel data is always
// laid out at 24 bits, which is all the loader needs to refuse other depths).
std::vector<unsigned char> BitmapFile(int width, int height, int bitCount = 24);

class ShellTest : public FolderTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts a 24-bit "mottle.bmp" of width x height into the test's folder,
    // which is the current folder during each test.
    std::string WriteDefaultPicture(int width, int height);

    // Calls for which the log holds `entry`, and whether `first` comes before
    // `second` (both present).
    static int CountCalls(const std::string& entry);
    static bool Before(const std::string& first, const std::string& second);
    // Dispatches what the queue holds until it is empty, as a loop would.
    static void Pump();

    // Does the client area of the main window show the current picture at its
    // top-left, pixel for pixel?
    static bool ClientShowsPicture();
    // The current picture's pixel (x, y) as 0x00BBGGRR.
    static COLORREF PicturePixel(int x, int y);
};

// The shell's own texts, as the bytes the platform must receive.
extern const std::string kErrorTextBytes;
extern const std::string kErrorCaptionBytes;
extern const std::string kDialogTitleBytes;
