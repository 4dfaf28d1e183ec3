// script_cases.h: whole scripts and what editor.out must hold, for the
// editor and for every baseline of its benchmark.
#pragma once

#include <string>

struct script_case {
  const char* name;
  std::string script, want;
};
inline const script_case kScriptCases[] = {
    {"text over lines, get from the middle",
     "5\nInsert 5\nhel\nlo\nGet 5\nMove 2\nGet 10\nGet 0\n", "hello\nllo\n\n"},
    {"crlf script", "4\r\nI 3\r\nab\r\nc\r\nG 3\r\nG 1", "abc\na\n"},
    {"space after the number is text", "3\nI 3 a\rb\nG 9", " a\r\n"},
    {"insert cut by byte 26 pads with 255", "3\nG 0\nI 4\nab\x1aG 4", "\n"},
    {"next and prev without numbers", "4\nI 3\nabc\nN\nP\nG 3", "abc\n"},
    {"a number after next is ignored", "5\nI 3\nabc\nNext\nNext 7\nG 3\nP",
     "c\n"},
    {"lone sign before a line end", "3\nI 2\nxy\nN -\nG 2", "y\n"},
    {"lone sign eats only itself", "3\nI 2\nxy\nN -G 2\nG 1", "y\n"},
    {"move without number does nothing", "3\nI 2\nxy\nM\nG 2", "xy\n"},
    {"no stale number reruns", "4\nI 2\nxy\nG 1\nG\nG 2", "x\nxy\n"},
    {"safe move, get, delete", "7\nI 3\nabc\nM 99\nG 5\nM -4\nD 99\nG 3",
     "\n\n"},
    {"negative counts do nothing", "6\nI 3\nabc\nM 1\nG 99\nD -5\nI -2\nG 9",
     "bc\nbc\n"},
    {"lower case selects nothing", "3\nI 2\nab\ng 2\nG 2", "ab\n"},
    {"insert count wraps to 32 bits", "3\nI 4294967298\nabcdefgh\nG 2", "ab\n"},
    {"script shorter than its count", "4\nI 5\nab", ""},
    {"count smaller than the script", "2\nI 1\nx\nG 1\nG 1\nG 1", "x\n"},
    {"negative count", "-3\nI 1\nx\nG 1", ""},
    {"no count", "I 1\nx\nG 1", ""},
    {"prev at position 0", "3\nP\nI 1\nz\nG 1", "z\n"},
    {"high bytes kept", "3\nI 2\n\xc8\xff\nD 1\nG 5", "\xff\n"},
    // Stale bytes left behind a moving gap must never show.
    {"edits before, then after, the cursor",
     "8\nI 5\nabcde\nM 0\nI 1\nx\nM 5\nI 1\ny\nM 0\nG 7", "xabcdye\n"},
    {"a growing buffer keeps the text after the cursor",
     "5\nI 3\nabc\nM 1\nI 5000\n" + std::string(5000, 'q') + "\nM 5001\nG 2",
     "bc\n"},
    {"long get crosses the out buffer",
     "3\nI 40\n0123456789012345678901234567890123456789\nG 40\nG 40",
     "0123456789012345678901234567890123456789\n"
     "0123456789012345678901234567890123456789\n"},
};
