// The arguments of both saver programs: the splitter, the numbers, and each
// program's arguments, good and bad.
#include <gtest/gtest.h>

#include "saver/arguments.h"

namespace {

using Strings = std::vector<std::string>;

std::uint64_t Number(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

TEST(SplitCommandLine, UndoesHowTheArgumentsWereJoined) {
    EXPECT_EQ(SplitCommandLine(""), Strings{});
    EXPECT_EQ(SplitCommandLine(nullptr), Strings{});
    EXPECT_EQ(SplitCommandLine("  /s  "), Strings{"/s"});
    EXPECT_EQ(SplitCommandLine("/p\t1234"), (Strings{"/p", "1234"}));
    // Quoted: spaces kept, an empty argument kept.
    EXPECT_EQ(SplitCommandLine("--picture \"a b.bmp\" \"\""), (Strings{"--picture", "a b.bmp", ""}));
    // Quotes inside: \" is a quote; quoting toggles mid-argument.
    EXPECT_EQ(SplitCommandLine("\"say \\\"hi\\\"\" x\"y z\""), (Strings{"say \"hi\"", "xy z"}));
    // Backslashes: literal unless before a quote, where pairs are one each.
    EXPECT_EQ(SplitCommandLine("C:\\dir\\file.bmp"), Strings{"C:\\dir\\file.bmp"});
    EXPECT_EQ(SplitCommandLine("\"C:\\dir with space\\\\\" next"), (Strings{"C:\\dir with space\\", "next"}));
    EXPECT_EQ(SplitCommandLine("a\\\\\\\"b"), Strings{"a\\\"b"});
    // An unclosed quote runs to the end.
    EXPECT_EQ(SplitCommandLine("\"open ended"), Strings{"open ended"});
}

TEST(ParseNumber, DecimalHexAndOverflow) {
    std::uint64_t value = 7;
    EXPECT_TRUE(ParseNumber("0", false, 0xFFFFFFFFu, &value));
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(ParseNumber("4294967295", false, 0xFFFFFFFFu, &value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_TRUE(ParseNumber("0x1A00003", true, 0xFFFFFFFFu, &value));
    EXPECT_EQ(value, 0x1A00003u);
    EXPECT_TRUE(ParseNumber("0XfFfFfFfF", true, 0xFFFFFFFFu, &value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    value = 7;
    for (const char* bad : {"", "4294967296", "99999999999999999999999", "-1", "+1", " 1", "1 ", "12a", "0x",
                            "0x100000000", "1e3"}) {
        EXPECT_FALSE(ParseNumber(bad, true, 0xFFFFFFFFu, &value)) << bad;
    }
    EXPECT_FALSE(ParseNumber("0x10", false, 0xFFFFFFFFu, &value));  // hex only where allowed
    EXPECT_EQ(value, 7u);  // untouched by a failure
}

TEST(ParseScrArguments, EveryFormWindowsUses) {
    ScrArguments parsed;
    ASSERT_TRUE(ParseScrArguments("/s", &parsed));
    EXPECT_EQ(parsed.mode, ScrMode::FullScreen);
    ASSERT_TRUE(ParseScrArguments("-S", &parsed));
    EXPECT_EQ(parsed.mode, ScrMode::FullScreen);
    for (const char* preview : {"/p 1234", "/P:1234", "-p 1234"}) {
        parsed = ScrArguments{};
        ASSERT_TRUE(ParseScrArguments(preview, &parsed)) << preview;
        EXPECT_EQ(parsed.mode, ScrMode::Preview);
        EXPECT_EQ(Number(parsed.window), 1234u);
    }
    for (const char* settings : {"", "   ", "/c", "/C"}) {
        parsed = ScrArguments{ScrMode::FullScreen, nullptr};
        ASSERT_TRUE(ParseScrArguments(settings, &parsed)) << settings;
        EXPECT_EQ(parsed.mode, ScrMode::Settings);
        EXPECT_EQ(parsed.window, nullptr);
    }
    for (const char* owned : {"/c:5678", "/c 5678", "-c:5678"}) {
        ASSERT_TRUE(ParseScrArguments(owned, &parsed)) << owned;
        EXPECT_EQ(parsed.mode, ScrMode::Settings);
        EXPECT_EQ(Number(parsed.window), 5678u);
    }
}

TEST(ParseScrArguments, AnythingElseIsRefused) {
    for (const char* bad : {"/x", "s", "/s extra", "/sx", "/p", "/p:", "/p x", "/p 12 13", "/p:0x10", "/p -5",
                            "/p 4294967296", "/c:", "/c x", "/c 1 2", "/c:1 2", "--s", "/", "-"}) {
        ScrArguments parsed{ScrMode::FullScreen, nullptr};
        EXPECT_FALSE(ParseScrArguments(bad, &parsed)) << bad;
        EXPECT_EQ(parsed.mode, ScrMode::FullScreen) << bad;  // untouched
    }
}

TEST(ParseWindowId, DecimalAndHexIdsOfXResources) {
    std::uint64_t id = 7;
    EXPECT_TRUE(ParseWindowId("6291464", &id));
    EXPECT_EQ(id, 6291464u);
    EXPECT_TRUE(ParseWindowId("0x600008", &id));
    EXPECT_EQ(id, 0x600008u);
    EXPECT_TRUE(ParseWindowId("0X1fffFFFF", &id));
    EXPECT_EQ(id, 0x1FFFFFFFu);
    EXPECT_TRUE(ParseWindowId("0x0", &id));  // a number, which names no window
    EXPECT_EQ(id, 0u);
    for (const char* bad : {"", "0x", "0x20000000", "536870912", "99999999999999999999999", "12a",
                            "-5", " 5", "5 ", "0x-1", "ab"}) {
        id = 7;
        EXPECT_FALSE(ParseWindowId(bad, &id)) << bad;
    }
}

bool ParseHack(std::vector<const char*> arguments, HackArguments* parsed) {
    return ParseHackArguments(static_cast<int>(arguments.size()), arguments.data(), parsed);
}

TEST(ParseHackArguments, OptionsWithOneOrTwoDashes) {
    HackArguments parsed;
    ASSERT_TRUE(ParseHack({}, &parsed));
    EXPECT_EQ(parsed.target, HackTarget::Environment);
    EXPECT_TRUE(parsed.picture.empty());
    EXPECT_EQ(parsed.delayMicroseconds, 0u);

    ASSERT_TRUE(ParseHack({"--window-id", "0x2a00007", "--picture", "/tmp/a b.bmp", "-delay", "20000"}, &parsed));
    EXPECT_EQ(parsed.target, HackTarget::WindowId);
    EXPECT_EQ(parsed.windowId, 0x2a00007u);
    EXPECT_EQ(parsed.picture, "/tmp/a b.bmp");
    EXPECT_EQ(parsed.delayMicroseconds, 20000u);

    ASSERT_TRUE(ParseHack({"-window-id", "77", "-root"}, &parsed));
    EXPECT_EQ(parsed.target, HackTarget::Root);  // the last given counts
    ASSERT_TRUE(ParseHack({"--root", "--window-id", "77"}, &parsed));
    EXPECT_EQ(parsed.target, HackTarget::WindowId);
    EXPECT_EQ(parsed.windowId, 77u);
}

TEST(ParseHackArguments, UnknownOptionsAndBadNumbersAreRefused) {
    const std::vector<std::vector<const char*>> bad{
        {"--bogus"}, {"root"}, {"---root"}, {"--window-id"}, {"--window-id", "x"}, {"--window-id", "-1"},
        {"--window-id", "0x100000000"}, {"--window-id", "0x20000000"}, {"--delay"}, {"--delay", "0x10"},
        {"--delay", "4294967296"}, {"--delay", "-1"}, {"--delay", "1.5"}, {"--picture"}, {"--picture", ""},
        {"--root", "extra"}, {"--help"}};
    for (const auto& arguments : bad) {
        HackArguments parsed;
        parsed.delayMicroseconds = 9;
        EXPECT_FALSE(ParseHack(arguments, &parsed)) << arguments[0];
        EXPECT_EQ(parsed.delayMicroseconds, 9u) << arguments[0];
    }
}

}  // namespace
