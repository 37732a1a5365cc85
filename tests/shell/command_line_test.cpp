#include <gtest/gtest.h>

#include "shell/command_line.h"

namespace {

struct Case {
    const char* line;
    SaverMode mode;
    uint32_t hostWindow;
    bool foreground;
};

void ExpectDecodes(const Case& c) {
    SCOPED_TRACE(c.line == nullptr ? "(null)" : c.line);
    const CommandLine decoded = DecodeCommandLine(c.line);
    EXPECT_EQ(decoded.mode, c.mode);
    EXPECT_EQ(decoded.hostWindow, c.hostWindow);
    EXPECT_EQ(decoded.ownerIsForeground, c.foreground);
}

TEST(CommandLine, TheHostsSwitches) {
    const Case cases[] = {
        {"tazroscr.scr /p 1234", SaverMode::Preview, 1234, false},
        {"tazroscr.scr /p:1234", SaverMode::Preview, 1234, false},
        {"tazroscr.scr -P1234", SaverMode::Preview, 1234, false},
        {"tazroscr.scr /l 1234", SaverMode::Preview, 1234, false},
        {"tazroscr.scr /L::  77", SaverMode::Preview, 77, false},
        {"tazroscr.scr /s", SaverMode::FullScreen, 0, false},
        {"tazroscr.scr -S", SaverMode::FullScreen, 0, false},
        {"tazroscr.scr S", SaverMode::FullScreen, 0, false},
        {"tazroscr.scr /s 1234 whatever", SaverMode::FullScreen, 0, false},
        {"tazroscr.scr /c", SaverMode::Configure, 0, true},
        {"tazroscr.scr /c   ", SaverMode::Configure, 0, true},
        {"tazroscr.scr /c:4660", SaverMode::Configure, 4660, false},
        {"tazroscr.scr /c 4660", SaverMode::Configure, 4660, false},
        {"tazroscr.scr /a 99", SaverMode::ChangePassword, 99, false},
        {"tazroscr.scr -A:5", SaverMode::ChangePassword, 5, false},
    };
    for (const Case& c : cases)
        ExpectDecodes(c);
}

TEST(CommandLine, NoSwitchOrAnUnknownOneMeansConfigureWithoutOwner) {
    const Case cases[] = {
        {"tazroscr.scr", SaverMode::Configure, 0, false},
        {"tazroscr.scr ", SaverMode::Configure, 0, false},
        {"tazroscr.scr     ", SaverMode::Configure, 0, false},
        {"", SaverMode::Configure, 0, false},
        {nullptr, SaverMode::Configure, 0, false},
        {"tazroscr.scr /x", SaverMode::Configure, 0, false},
        {"tazroscr.scr /x 1234", SaverMode::Configure, 0, false},
        {"tazroscr.scr /", SaverMode::Configure, 0, false},
        {"tazroscr.scr -", SaverMode::Configure, 0, false},
        {"tazroscr.scr //s", SaverMode::Configure, 0, false},
    };
    for (const Case& c : cases)
        ExpectDecodes(c);
}

TEST(CommandLine, ProgramNameIsSkippedWhole) {
    const Case cases[] = {
        {"\"C:\\Program Files\\Tazro Saver\\tazroscr.scr\" /p 1234", SaverMode::Preview, 1234,
         false},
        {"\"C:\\My Savers\\tazroscr.scr\" /s", SaverMode::FullScreen, 0, false},
        // No blank after the closing quote: the switch may follow it directly.
        {"\"C:\\a b\\t.scr\"/s", SaverMode::FullScreen, 0, false},
        {"\"C:\\a b\\t.scr\"x/s", SaverMode::Configure, 0, false},
        // An unterminated quote swallows the whole line.
        {"\"C:\\a b\\t.scr /s", SaverMode::Configure, 0, false},
        {"C:\\WINDOWS\\TAZROSCR.SCR /S", SaverMode::FullScreen, 0, false},
    };
    for (const Case& c : cases)
        ExpectDecodes(c);
}

TEST(CommandLine, OnlySpacesAreBlanks) {
    // A tab does not end the program name, so the whole line is the name.
    ExpectDecodes({"tazroscr.scr\t/s", SaverMode::Configure, 0, false});
    // A tab after the switch letter is not stepped over by the decoder, but
    // the number is read like atoi, which skips leading white space.
    ExpectDecodes({"tazroscr.scr /p\t1234", SaverMode::Preview, 1234, false});
    // A tab before the switch is the switch character itself: unrecognised.
    ExpectDecodes({"tazroscr.scr \t/s", SaverMode::Configure, 0, false});
    // /c followed by a tab is not "/c alone": it has a (zero) number.
    ExpectDecodes({"tazroscr.scr /c\t", SaverMode::Configure, 0, false});
}

TEST(CommandLine, WindowNumbersReadLikeAtoiWithoutOverflow) {
    EXPECT_EQ(ParseWindowNumber("1234abc"), 1234u);
    EXPECT_EQ(ParseWindowNumber("abc"), 0u);
    EXPECT_EQ(ParseWindowNumber(""), 0u);
    EXPECT_EQ(ParseWindowNumber("+42"), 42u);
    EXPECT_EQ(ParseWindowNumber("4294967295"), 4294967295u);
    // Too long for 32 bits: names no window, instead of undefined behaviour.
    EXPECT_EQ(ParseWindowNumber("4294967296"), 0u);
    EXPECT_EQ(ParseWindowNumber("99999999999999999999999999999999"), 0u);
    // A sign-extended handle written as a negative number.
    EXPECT_EQ(ParseWindowNumber("-2"), 0xFFFFFFFEu);
    ExpectDecodes({"tazroscr.scr /p 123456789012345678901234567890", SaverMode::Preview, 0, false});
    ExpectDecodes({"tazroscr.scr /c:18446744073709551617", SaverMode::Configure, 0, false});
}

} // namespace
