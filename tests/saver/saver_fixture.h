// What the saver tests share: a fresh process for every test in a folder of
// its own, pictures and screens made for the test, and a check that a test
// leaves nothing taken behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "folder_test.h"
#include "platform/host/host_control.h"
#include "saver/saver.h"

// The colour of pixel (x, y) of the test pictures and screens, 0x00RRGGBB.
std::uint32_t TestPixel(int x, int y, int salt = 0);
// A 24-bit bitmap file of width x height coloured by TestPixel(x, y, salt).
std::vector<unsigned char> BitmapBytes(int width, int height, int salt = 0, int bitCount = 24);
// A screen image of width x height coloured by TestPixel, or one colour.
std::vector<std::uint32_t> ScreenImage(int width, int height, int salt = 0);

HINSTANCE TestInstance();

class SaverTest : public FolderTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The virtual screen at (x, y), width x height, showing ScreenImage(salt).
    void SetScreen(int x, int y, int width, int height, int salt = 0);
    // The last window of the class, and its client pixel as 0x00RRGGBB.
    static HWND LastWindowOf(const std::string& className);
    static std::uint32_t ShownPixel(HWND window, int x, int y);
};

// Byte (x, y) of a picture as 0x00RRGGBB, y from the top.
std::uint32_t PicturePixel(const Picture& picture, int x, int y);
