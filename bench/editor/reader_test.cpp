// reader_test.cpp: the benchmark's shared script reader and its baselines.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "baselines.h"
#include "script_reader.h"
#include "string_editor.h"

namespace editor_bench {
namespace {

// A yardstick that misreads scripts would make every ratio it prints void.
template <class Editor>
std::string replay(const std::string& raw) {
  std::string script = raw;
  text_mode_filter(script);
  script_reader in(script.data(), script.size());
  Editor ed;
  std::string got;
  out_buffer out(-1, &got);  // a 16-byte buffer in this build: flushes often
  run_commands(in, ed, out);
  out.flush();
  return got;
}

struct filter_case {
  const char* name;
  std::string raw, want;
};
const filter_case kTextMode[] = {
    {"crlf pair reads as lf", "a\r\nb", "a\nb"},
    {"lone cr is a byte", "a\rb", "a\rb"},
    {"cr at the very end", "ab\r", "ab\r"},
    {"cr before a crlf pair", "\r\r\n", "\r\n"},
    {"pairs in a row", "a\r\n\r\n", "a\n\n"},
    {"byte 26 ends input", std::string("ab\x1a") + "c\r\nd", "ab"},
    {"byte 26 first",
     "\x1a"
     "abc",
     ""},
    {"nul is a byte", std::string("a\0b", 3), std::string("a\0b", 3)},
};

TEST(BenchTextMode, Table) {
  for (const filter_case& c : kTextMode) {
    SCOPED_TRACE(c.name);
    std::string got = c.raw;
    text_mode_filter(got);
    EXPECT_EQ(got, c.want);
  }
}

struct number_case {
  const char* input;
  bool converts;
  int32_t value;
  size_t stops_at;  // what the read consumed
};
const number_case kNumbers[] = {
    {"  42x", true, 42, 4},
    {"007", true, 7, 3},
    {"+7 ", true, 7, 2},
    {"-2147483648", true, INT32_MIN, 11},
    {"2147483648", true, INT32_MIN, 10},  // stored as the low 32 bits
    {"4294967298", true, 2, 10},
    {"99999999999999999999", true, -1, 20},  // long saturates, then low bits
    {"-99999999999999999999", true, 0, 21},
    {"-", false, 0, 1},   // a lone sign is consumed
    {"-x", false, 0, 1},  // and the byte after it is not
    {"+ 5", false, 0, 1},
    {" \t\v\f\r\nG", false, 0, 6},  // white space goes, the word stays
    {"", false, 0, 0},
    {"   ", false, 0, 3},
};

TEST(BenchReadInt, Table) {
  for (const number_case& c : kNumbers) {
    SCOPED_TRACE(c.input);
    std::string s = c.input;
    script_reader in(s.data(), s.size());
    int32_t value = 0;
    EXPECT_EQ(in.read_int(value), c.converts);
    if (c.converts) {
      EXPECT_EQ(value, c.value);
    }
    EXPECT_EQ(in.offset(), c.stops_at);
  }
}

struct text_case {
  const char* name;
  std::string input;
  size_t n;
  std::string want;
  size_t present, stops_at;
};
const text_case kTexts[] = {
    {"line breaks skipped", "ab\ncd", 3, "abc", 3, 4},
    {"the break after the text stays", "\nx\n", 1, "x", 1, 2},
    {"runs of breaks", "a\n\n\nb", 2, "ab", 2, 5},
    {"cr and tab are text", "\r\t", 2, "\r\t", 2, 2},
    {"missing bytes are 255", "ab\ncd", 6, "abcd\xff\xff", 4, 5},
    {"nothing left", "", 2, "\xff\xff", 0, 0},
};

TEST(BenchReadText, Table) {
  for (const text_case& c : kTexts) {
    SCOPED_TRACE(c.name);
    script_reader in(c.input.data(), c.input.size());
    std::string got(c.n, '?');
    EXPECT_EQ(in.read_text(&got[0], c.n), c.present);
    EXPECT_EQ(got, c.want);
    EXPECT_EQ(in.offset(), c.stops_at);
  }
}

struct script_case {
  const char* name;
  std::string script, want;
};
const script_case kScripts[] = {
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

TEST(BenchBaselines, ScriptTable) {
  for (const script_case& c : kScripts) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(replay<string_editor>(c.script), c.want);
    EXPECT_EQ(replay<rope_editor>(c.script), c.want);
    EXPECT_EQ(replay<gap_editor>(c.script), c.want);
    EXPECT_EQ(replay<floor_editor>(c.script).size(), c.want.size());
  }
}

// Seeded scripts, valid and hostile, from a small command alphabet.
std::string random_script(uint64_t seed) {
  uint64_t state = seed * 0x9e3779b97f4a7c15ULL + 1;
  auto next = [&state](uint64_t bound) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state % bound;
  };
  static const char* const kWords[] = {"Insert", "Delete", "Get", "Move",
                                       "Next",   "Prev",   "I",   "G",
                                       "M",      "x",      "d"};
  static const char* const kNumberTexts[] = {"",   "0", "1", "-1",
                                             "+3", "-", "7"};
  std::string s = std::to_string(next(60)) + (next(2) ? "\r\n" : "\n");
  for (int i = 0, n = static_cast<int>(next(60)); i < n; ++i) {
    s += kWords[next(11)];
    s += ' ';
    if (next(3) == 0)
      s += kNumberTexts[next(7)];
    else
      s += std::to_string(static_cast<int64_t>(next(3000)) - 100);
    s += next(4) ? "\n" : "\r\n";
    // Text for whoever reads it: bytes, line breaks, CRs, sometimes a 26.
    for (int k = 0, m = static_cast<int>(next(5) == 0 ? next(5000) : 0); k < m;
         ++k) {
      uint64_t pick = next(100);
      s.push_back(pick < 3   ? '\n'
                  : pick < 5 ? '\r'
                             : static_cast<char>(32 + next(224)));
    }
    if (next(400) == 0) s.push_back('\x1a');
  }
  return s;
}

TEST(BenchBaselines, AgreeOnRandomScripts) {
  for (uint64_t seed = 1; seed <= 400; ++seed) {
    SCOPED_TRACE(seed);
    std::string script = random_script(seed);
    std::string want = replay<string_editor>(script);
    EXPECT_EQ(replay<rope_editor>(script), want);
    EXPECT_EQ(replay<gap_editor>(script), want);
    EXPECT_EQ(replay<floor_editor>(script).size(), want.size());
  }
}

}  // namespace
}  // namespace editor_bench
