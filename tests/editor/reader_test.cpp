// reader_test.cpp: the script reader: Windows text mode, Getchar, and the
// "%s %d" reads checked against glibc's own fscanf.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "driver.h"
#include "editor_test_util.h"
#include "model.h"
#include "script_cases.h"
#include "text_probe.h"

namespace {

// Every Getchar result up to the first end-of-input value.
std::string getchar_all(const std::string& raw) {
  script_feed feed(raw);
  std::string got;
  for (size_t i = 0; i <= raw.size(); ++i) {
    char c = Getchar();
    if (c == char(-1)) break;
    got += c;
  }
  return got;
}

struct filter_case {
  const char* name;
  std::string raw;
  std::string want;
};

std::string repeat(const std::string& s, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += s;
  return all;
}

const filter_case kTextMode[] = {
    {"crlf pair reads as lf, which Getchar skips", "a\r\nb", "ab"},
    {"lone cr is a byte", "a\rb", "a\rb"},
    {"cr cr lf keeps the first cr", "a\r\r\nb", "a\rb"},
    {"lf cr keeps the cr", "a\n\rb", "a\rb"},
    {"byte 26 ends input",
     std::string("ab\x1a"
                 "cd"),
     "ab"},
    {"byte 26 first: nothing at all",
     std::string("\x1a"
                 "abc"),
     ""},
    {"cr before byte 26 is a byte", std::string("a\r\x1a\n"), "a\r"},
    {"cr at the very end is a byte", "ab\r", "ab\r"},
    {"only newlines are skipped", "\n\na\n\n b\t\v\f\n", "a b\t\v\f"},
    {"bytes 128 to 255 pass unchanged", "\x80\xfe", "\x80\xfe"},
    {"crlf across every buffer boundary", repeat("xyz\r\n", 300),
     repeat("xyz", 300)},
    {"cr runs across boundaries", repeat("\r\r\r\n", 200), repeat("\r\r", 200)},
    {"cr before a crlf pair", "\r\r\n", "\r"},
    {"crlf pairs in a row", "a\r\n\r\n", "a"},
    {"nul is a byte", std::string("a\0b", 3), std::string("a\0b", 3)},
    {"byte 26 then a crlf pair", std::string("ab\x1a") + "c\r\nd", "ab"},
    {"byte 26 deep in the input", repeat("ab\r\n", 500) + "c\x1a" + "dd",
     repeat("ab", 500) + "c"},
};

TEST(ScriptReader, WindowsTextModeThroughGetchar) {
  for (const filter_case& c : kTextMode) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(getchar_all(c.raw), c.want);
  }
}

TEST(ScriptReader, GetcharAtTheEndKeepsReturningMinusOne) {
  script_feed feed("a");
  EXPECT_EQ(Getchar(), 'a');
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Getchar(), char(-1));
}

TEST(ScriptReader, ReadTextSkipsNewlinesAndPadsWith255) {
  script_feed feed("ab\ncd\r\n\n e");
  char got[9];
  read_text(got, 9);
  EXPECT_EQ(std::string(got, 9), std::string("abcd e\xff\xff\xff"));
}

// What read_text takes and how many of the characters were there.
struct text_case {
  const char* name;
  std::string input;
  int32_t n;
  std::string want;
  int32_t present;
  int next;  // what Getchar returns afterwards, EOF at the end
};

const text_case kTexts[] = {
    {"line breaks skipped", "ab\ncd", 3, "abc", 3, 'd'},
    {"the break after the text stays unread", "\nx\ny", 1, "x", 1, 'y'},
    {"runs of breaks", "a\n\n\nb", 2, "ab", 2, EOF},
    {"cr and tab are text", "\r\t", 2, "\r\t", 2, EOF},
    {"missing bytes are 255", "ab\ncd", 6, "abcd\xff\xff", 4, EOF},
    {"nothing left", "", 2, "\xff\xff", 0, EOF},
};

TEST(ScriptReader, ReadTextCountsWhatWasThere) {
  for (const text_case& c : kTexts) {
    SCOPED_TRACE(c.name);
    script_feed feed(c.input);
    std::string got(size_t(c.n), '?');
    EXPECT_EQ(read_text(&got[0], c.n), c.present);
    EXPECT_EQ(got, c.want);
    char after = Getchar();
    EXPECT_EQ(after == char(-1) ? EOF : int(after), c.next);
  }
}

// Whole scripts through the reader and the command loop.
TEST(ScriptReader, ScriptsReplayAsWritten) {
  for (const script_case& c : kScriptCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(replay(c.script), c.want);
  }
}

// A stream that cannot be read is known when the script is started, before
// any command runs.
TEST(ScriptReader, UnreadableStreamIsFoundAtTheStart) {
  FILE* dir = std::fopen("/", "r");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(script_start(dir), EISDIR);
  EXPECT_EQ(input_error(), EISDIR);
  std::fclose(dir);
  EXPECT_EQ(script_open("/nonexistent/editor.in"), ENOENT);
  EXPECT_EQ(F, nullptr);
  EXPECT_EQ(Getchar(), char(-1));
  script_feed feed("7");
  EXPECT_EQ(input_error(), 0);
}

struct number_case {
  const char* name;
  std::string raw;
  bool ok;
  int32_t value;
  int next;  // first byte of the word read next, or EOF
};

const number_case kNumbers[] = {
    {"plain", "42", true, 42, EOF},
    {"negative", "-17 x", true, -17, 'x'},
    {"plus sign", "+5", true, 5, EOF},
    {"leading zeros", "007", true, 7, EOF},
    {"every white space first", " \t\n\v\f\r 8", true, 8, EOF},
    {"stops at a letter", "12abc", true, 12, 'a'},
    {"a word is no number and stays unread", "xyz", false, 0, 'x'},
    {"a lone sign is consumed", "-x", false, 0, 'x'},
    {"a sign at the end is consumed", "-", false, 0, EOF},
    {"two signs: the first is consumed", "+-3", false, 0, '-'},
    {"nothing but white space", " \n ", false, 0, EOF},
    {"largest int", "2147483647", true, 2147483647, EOF},
    {"smallest int", "-2147483648", true, INT32_MIN, EOF},
    {"one past the largest int wraps", "2147483648", true, INT32_MIN, EOF},
    {"past 32 bits keeps the low bits", "4294967297", true, 1, EOF},
    {"past long saturates to -1", "99999999999999999999", true, -1, EOF},
    {"past long negative saturates to 0", "-99999999999999999999", true, 0,
     EOF},
    {"white space, then digits, then a letter", "  42x", true, 42, 'x'},
    {"plus sign then white space", "+7 ", true, 7, EOF},
    {"past 32 bits, low bits 2", "4294967298", true, 2, EOF},
    {"a sign and a space: the sign is consumed", "+ 5", false, 0, '5'},
    {"white space of every kind before a word", " \t\v\f\r\nG", false, 0, 'G'},
    {"nothing at all", "", false, 0, EOF},
};

TEST(ScriptReader, NumbersAsGlibcReadsThem) {
  for (const number_case& c : kNumbers) {
    SCOPED_TRACE(c.name);
    script_feed feed(c.raw);
    int32_t value = 0;
    EXPECT_EQ(read_number(value), c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    }
    unsigned char first = 0;
    bool more = read_word(first);
    EXPECT_EQ(more ? int(first) : EOF, c.next);
  }
}

TEST(ScriptReader, WordsOfAnyLengthKeepTheirFirstByte) {
  std::string raw = "  I" + std::string(100000, 'x') + " 3\n\xe9t\xe9 -1";
  script_feed feed(raw);
  unsigned char first = 0;
  int32_t n = 0;
  ASSERT_TRUE(read_word(first));
  EXPECT_EQ(first, 'I');
  ASSERT_TRUE(read_number(n));
  EXPECT_EQ(n, 3);
  ASSERT_TRUE(read_word(first));
  EXPECT_EQ(first, 0xe9);
  ASSERT_TRUE(read_number(n));
  EXPECT_EQ(n, -1);
  EXPECT_FALSE(read_word(first));
}

struct scan_step {
  int result;  // what fscanf returned: EOF, 1 or 2
  int first;
  int number;
  bool operator==(const scan_step& o) const {
    return result == o.result && first == o.first && number == o.number;
  }
};

std::vector<scan_step> with_fscanf(const std::string& raw) {
  std::vector<scan_step> steps;
  std::string held = raw + '\0';
  FILE* f = fmemopen(&held[0], raw.size(), "r");
  std::vector<char> word(raw.size() + 2);
  for (;;) {
    int number = 0;
    int r = std::fscanf(f, "%s %d", word.data(), &number);
    if (r == EOF) break;
    steps.push_back({r, (unsigned char)word[0], r == 2 ? number : 0});
  }
  std::fclose(f);
  return steps;
}

std::vector<scan_step> with_reader(const std::string& raw) {
  std::vector<scan_step> steps;
  script_feed feed(raw);
  unsigned char first = 0;
  while (read_word(first)) {
    int32_t number = 0;
    bool numbered = read_number(number);
    steps.push_back({numbered ? 2 : 1, first, numbered ? number : 0});
  }
  return steps;
}

// The reader and glibc's fscanf(F, "%s %d") agree on every read of random
// command-like input (byte 26 aside, which only the reader treats specially).
TEST(ScriptReader, AgreesWithGlibcFscanf) {
  const char* pieces[] = {" ",
                          "  ",
                          "\t",
                          "\n",
                          "\r\n",
                          "\v",
                          "\f",
                          "\r",
                          "-",
                          "+",
                          "0",
                          "7",
                          "42",
                          "-3",
                          "+9",
                          "2147483648",
                          "99999999999",
                          "4294967296",
                          "9223372036854775807",
                          "9223372036854775808",
                          "-9223372036854775809",
                          "123456789012345678901",
                          "I",
                          "Insert",
                          "g",
                          "x-1",
                          "M+",
                          "\xff",
                          "\x80",
                          "ab12",
                          "--5",
                          "+-"};
  std::mt19937 rng(11);
  for (int round = 0; round < 3000; ++round) {
    std::string raw;
    int count = int(rng() % 14);
    for (int i = 0; i < count; ++i)
      raw += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
    SCOPED_TRACE(raw);
    std::vector<scan_step> want = with_fscanf(raw);
    std::vector<scan_step> got = with_reader(raw);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].result, want[i].result) << "read " << i;
      EXPECT_EQ(got[i].first, want[i].first) << "read " << i;
      EXPECT_EQ(got[i].number, want[i].number) << "read " << i;
    }
  }
}


std::vector<scan_step> with_command_reads(const std::string& raw) {
  std::vector<scan_step> steps;
  script_feed feed(raw);
  unsigned char first = 0;
  int32_t number = 0;
  bool numbered = false;
  while (read_command(first, number, numbered))
    steps.push_back({numbered ? 2 : 1, first, numbered ? number : 0});
  return steps;
}

// The in-place command reads agree with fscanf(F, "%s %d") on random
// command-like input, long digit runs and every kind of white space included.
TEST(ScriptReader, CommandReadsAgreeWithGlibcFscanf) {
  const char* pieces[] = {" ",
                          "\t",
                          "\n",
                          "\r\n",
                          "\v",
                          "\f",
                          "\r",
                          "-",
                          "+",
                          "0",
                          "7",
                          "-3",
                          "+9",
                          "Move",
                          "I",
                          "Insert",
                          "Delete",
                          "Get",
                          "Next",
                          "Prev",
                          "Mov",
                          "Moves",
                          "Gett",
                          "x-1",
                          "12345",
                          "1234567",
                          "12345678",
                          "123456789",
                          "00000009",
                          "90000000",
                          "4095",
                          ":",
                          "/",
                          "?",
                          "\x39\x3a",
                          "\xb0",
                          "\xb9",
                          "\xff",
                          "2147483648",
                          "4294967297",
                          "999999999999999999",
                          "1000000000000000000",
                          "9223372036854775807",
                          "9223372036854775808",
                          "-9223372036854775808",
                          "-9223372036854775809",
                          "18446744073709551617",
                          "00000000000000000000000000042",
                          "-0000000000000000000000000001",
                          "123456789012345678901234567890"};
  std::mt19937 rng(12);
  for (int round = 0; round < 4000; ++round) {
    std::string raw;
    int count = int(rng() % 16);
    for (int i = 0; i < count; ++i)
      raw += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
    SCOPED_TRACE(raw);
    std::vector<scan_step> want = with_fscanf(raw);
    std::vector<scan_step> got = with_command_reads(raw);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].result, want[i].result) << "read " << i;
      EXPECT_EQ(got[i].first, want[i].first) << "read " << i;
      EXPECT_EQ(got[i].number, want[i].number) << "read " << i;
    }
  }
}

// A script whose commands `tail` begin `before` bytes ahead of a boundary
// of the reader's buffer: its count line, then blanks, which "%s" skips.
std::string across_boundary(const std::string& tail, int commands,
                            size_t before) {
  std::string head = std::to_string(commands) + "\n";
  size_t boundary = SCRIPT_BUFFER_BYTES;
  while (boundary < head.size() + before) boundary += SCRIPT_BUFFER_BYTES;
  head.append(boundary - before - head.size(), ' ');
  return head + tail;
}

struct boundary_case {
  const char* name;
  std::string tail;
  int commands;
};

const boundary_case kBoundaries[] = {
    {"one-character insert, then get", "Insert 1\nx\nGet 1\n", 2},
    {"newlines before the text", "Insert 1\n\n\n\nq\nNext\nPrev\nGet 1\n", 4},
    {"text over lines", "Insert 3\na\nb\nc\nMove 1\nGet 2\n", 3},
    {"space after the number is text", "Insert 2 x\nMove 0\nGet 2\n", 3},
    {"short words", "I 1\nx\nN\nP\nG 1\n", 4},
    {"a long word", "Insertttttttttttttttttttttttt 2\nxy\nGet 2\n", 2},
    {"a long digit run", "Insert 2\nab\nMove 000000000000000000000000001\nGet 1\n",
     3},
    {"a number past every long", "Insert 2\nab\nMove 99999999999999999999\nGet 2\n",
     3},
    {"seven, eight and nine digits", "Insert 3\nabc\nMove 0000001\nGet 1\n"
     "Move 00000002\nGet 1\nMove 000000001\nGet 2\n", 7},
    {"words near the usual ones", "Inser 1\nMovee 1\nInsert 1\nx\nGett 1\n"
     "Get 1\n", 5},
    {"18 and 19 digits", "Insert 2\nab\nMove 999999999999999999\nGet 1\nM "
     "1000000000000000001\nG 2\n", 5},
    {"signs", "Insert 2\nab\nMove -\nGet 1\nMove +1\nGet 1\nMove -5\nGet 1\n",
     7},
    {"odd white space", "Insert\v2\f\nab\nMove\t\r 1\nG\v\f1\n", 3},
    {"crlf line ends", "Insert 2\r\nab\r\nMove 1\r\nGet 1\r\n", 3},
    {"a number at the end of the script", "Insert 2\nab\nMove 1\nGet 1", 3},
    {"an insert cut by the end", "Insert 3\nab", 1},
    {"a lone sign at the end", "Insert 1\nz\nGet -", 2},
};

// Every item of the script meets the end of the buffered bytes at every
// place: the replay still equals the model's.
TEST(ScriptReader, CommandsAcrossBufferBoundaries) {
  for (const boundary_case& c : kBoundaries) {
    SCOPED_TRACE(c.name);
    for (size_t before = 0; before <= c.tail.size() + 1; ++before) {
      SCOPED_TRACE(before);
      std::string script = across_boundary(c.tail, c.commands, before);
      text x;
      model_result want = model_run(script, text::max_chars);
      ASSERT_EQ(replay(script, x), want.out);
      ASSERT_EQ(text_probe::contents(x), want.text);
    }
  }
}

// One-character Insert texts at the end of the buffered bytes, after a run
// of newlines that ends there, or at the end of the script.
TEST(ScriptReader, OneCharacterTextAtTheEnd) {
  struct text_end_case {
    const char* name;
    std::string raw;
    std::string want;
    int next;
  };
  const text_end_case rows[] = {
      {"the character itself", "q", "q", EOF},
      {"after newlines", "\n\n\nq\nr", "q", 'r'},
      {"nothing but newlines", "\n\n", "\xff", EOF},
      {"nothing", "", "\xff", EOF},
      {"a space is text", " \n", " ", EOF},
  };
  for (const text_end_case& c : rows) {
    SCOPED_TRACE(c.name);
    for (size_t before = 0; before <= c.raw.size(); ++before) {
      std::string raw(SCRIPT_BUFFER_BYTES * 2 - before, '\n');
      raw += c.raw;
      script_feed feed(raw);
      char got = '?';
      read_text(&got, 1);
      EXPECT_EQ(std::string(1, got), c.want);
      char after = Getchar();
      EXPECT_EQ(after == char(-1) ? EOF : int(after), c.next);
    }
  }
}

}  // namespace
