// model_test.cpp: whole replays against the one-string model on many seeded
// random scripts, well-formed and hostile.
#include "model.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "editor_test_util.h"
#include "script_gen.h"
#include "text_probe.h"

namespace {

struct model_case {
  const char* name;
  unsigned seed;
  int scripts;
  script_shape shape;
};

const model_case kShapes[] = {
    {"well-formed, short texts", 1, 300, {false, 60, 200}},
    {"well-formed, texts over several blocks", 2, 60, {false, 9000, 20000}},
    {"hostile, short texts", 3, 400, {true, 60, 200}},
    {"hostile, texts over several blocks", 4, 60, {true, 9000, 20000}},
};

TEST(ModelCheck, ReplaysMatchTheOneStringModel) {
  for (const model_case& c : kShapes) {
    SCOPED_TRACE(c.name);
    std::mt19937 rng(c.seed);
    for (int i = 0; i < c.scripts; ++i) {
      std::string script = random_script(rng, c.shape);
      text x;
      std::string got = replay(script, x);
      model_result want = model_run(script, text::max_chars);
      ASSERT_EQ(got, want.out) << "script " << i << ":\n" << script;
      ASSERT_EQ(text_probe::contents(x), want.text) << "script " << i;
      ASSERT_EQ(text_probe::position(x), want.position) << "script " << i;
      ASSERT_TRUE(text_probe::consistent(x)) << "script " << i;
    }
  }
}

// Scripts that leave long runs of empty blocks and step, print and edit
// across them.
TEST(ModelCheck, LongEmptyRunsMatchTheModel) {
  std::mt19937 rng(8);
  for (int i = 0; i < 60; ++i) {
    std::string script = empty_run_script(rng, text::block_chars);
    text x;
    std::string got = replay(script, x);
    model_result want = model_run(script, text::max_chars);
    ASSERT_EQ(got, want.out) << "script " << i;
    ASSERT_EQ(text_probe::contents(x), want.text) << "script " << i;
    ASSERT_EQ(text_probe::position(x), want.position) << "script " << i;
    ASSERT_TRUE(text_probe::consistent(x)) << "script " << i;
  }
}

// Inserts far larger than the script: every missing character is byte 255.
TEST(ModelCheck, InsertCutShortByTheEnd) {
  const std::string scripts[] = {"1\nI 5000\nabc",
                                 "2\nI 9\nxy\x1a"
                                 "zz\nG 3\n",
                                 "1\r\nI 3\r\na\r\n"};
  for (const std::string& script : scripts) {
    SCOPED_TRACE(script);
    text x;
    replay(script, x);
    model_result want = model_run(script, text::max_chars);
    EXPECT_EQ(text_probe::contents(x), want.text);
    EXPECT_NE(want.text.find('\xff'), std::string::npos);
  }
}

}  // namespace
