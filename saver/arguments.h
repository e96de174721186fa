// The saver programs' arguments: the splitter of a Windows command line and
// the parser of the Windows screensaver's arguments, and the parser of the
// XScreenSaver hack's options, which it is given one by one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// Splits a command line into its arguments: whitespace outside double quotes
// separates; `"` toggles quoting; `\"` is a literal quote; `\\` directly
// before a `"` is one backslash; other backslashes are literal.
std::vector<std::string> SplitCommandLine(const char* commandLine);

// A number of decimal digits, or with `hexAllowed` also 0x and hex digits,
// no larger than `largest`; nothing else (no sign, no space).
bool ParseNumber(const std::string& text, bool hexAllowed, std::uint64_t largest, std::uint64_t* value);

// The largest window number mottler.scr takes: window handles are 32-bit
// numbers.
constexpr std::uint64_t kLargestWindowNumber = 0xFFFFFFFFu;
HWND WindowFromNumber(std::uint64_t number);

// mottler.scr: /s, /p N or /p:N, /c, /c:N or /c N, or nothing (the settings).
// Option letters in any case, after `/` or `-`.
enum class ScrMode { FullScreen, Preview, Settings };
struct ScrArguments {
    ScrMode mode = ScrMode::Settings;
    HWND window = nullptr;  // the preview's parent, or the settings' owner
};
bool ParseScrArguments(const char* commandLine, ScrArguments* parsed);

// An X window id, decimal or 0x hex, as mottlescreen takes it from its
// options and from XSCREENSAVER_WINDOW: X resource ids have 29 bits. 0 is a
// number, and names no window.
constexpr std::uint64_t kLargestWindowId = 0x1FFFFFFFu;
bool ParseWindowId(const std::string& text, std::uint64_t* id);

// mottlescreen: --window-id ID, --root, --picture FILE, --delay MICROSECONDS,
// each also with one dash, in the `count` arguments after the program's name.
// The last of --window-id and --root given counts.
enum class HackTarget { Environment, WindowId, Root };
struct HackArguments {
    HackTarget target = HackTarget::Environment;
    std::uint64_t windowId = 0;
    std::string picture;  // empty: none given
    std::uint32_t delayMicroseconds = 0;
};
bool ParseHackArguments(int count, const char* const* arguments, HackArguments* parsed);
