// Reads a Windows bitmap file into a Picture, accepting only uncompressed
// 24-bit pictures of less than 16 MiB of pixel data.
#pragma once

#include "picture/picture.h"

// Largest pixel data accepted is one byte below this.
constexpr std::uint32_t kDataSizeLimit = 0x01000000;
// Pixel data is read in chunks of this size, the largest the legacy read
// call was ever safe with.
constexpr std::uint32_t kReadChunk = 0xFFF0;

// Loads `path` (a NUL-terminated 8-bit path, bare names searched for as the
// platform's open call does). On success fills `loaded`, which the caller then
// owns and gives back with ReleasePicture, and returns true. On failure
// returns false, gives back everything it took and leaves `loaded` untouched.
// `surface` is a display-compatible drawing context; the device bitmap made on
// it from the loaded pixels is the last test of acceptance.
bool LoadPicture(HDC surface, const char* path, Picture* loaded);

// The same from the bytes of a bitmap file in memory (`size` of them), with
// the same acceptance rules: what the bytes lack of the pixel data is black.
bool LoadPictureFromMemory(HDC surface, const void* bytes, std::uint32_t size, Picture* loaded);
