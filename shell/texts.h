// The message a picture the loader refuses gets, in the desktop program and
// in the screensaver's settings alike.
#pragma once

// "ファイルが１６Ｍ色モードではありません。" (the file is not in 16M-colour
// mode), in Shift_JIS.
inline constexpr char kLoadErrorText[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x82\x50\x82\x55\x82\x6C\x90\x46\x83\x82"
    "\x81\x5B\x83\x68\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42";
static_assert(sizeof kLoadErrorText == 41, "error text is 40 bytes");

// "エラー発生" (an error occurred), in Shift_JIS.
inline constexpr char kLoadErrorCaption[] = "\x83\x47\x83\x89\x81\x5B\x94\xAD\x90\xB6";
static_assert(sizeof kLoadErrorCaption == 11, "error caption is 10 bytes");
