// baselines_test.cpp: the benchmark's baselines replay scripts exactly as the
// editor does; a yardstick that misreads scripts would void every ratio.
#include "baselines.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "editor_test_util.h"
#include "script_cases.h"
#include "string_editor.h"

namespace editor_bench {
namespace {

template <class Editor>
std::string replay_on(const std::string& script) {
  script_feed feed(script);
  output_capture out;
  Editor ed;
  run_items(ed);
  return out.text();
}

TEST(BenchBaselines, ScriptTable) {
  for (const script_case& c : kScriptCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(replay_on<string_editor>(c.script), c.want);
    EXPECT_EQ(replay_on<rope_editor>(c.script), c.want);
    EXPECT_EQ(replay_on<gap_editor>(c.script), c.want);
    EXPECT_EQ(replay_on<count_editor>(c.script).size(), c.want.size());
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

// Every baseline agrees with the editor itself on seeded scripts.
TEST(BenchBaselines, AgreeWithTheEditorOnRandomScripts) {
  for (uint64_t seed = 1; seed <= 400; ++seed) {
    SCOPED_TRACE(seed);
    std::string script = random_script(seed);
    std::string want = replay(script);
    EXPECT_EQ(replay_on<string_editor>(script), want);
    EXPECT_EQ(replay_on<rope_editor>(script), want);
    EXPECT_EQ(replay_on<gap_editor>(script), want);
    EXPECT_EQ(replay_on<count_editor>(script).size(), want.size());
  }
}

}  // namespace
}  // namespace editor_bench
