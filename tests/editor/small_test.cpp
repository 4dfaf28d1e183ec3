// small_test.cpp: white-box tests at 4-character blocks and a 3-block table,
// where splits, repacks, table growth and chunk splits come within a few edits.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "block_model.h"
#include "editor_test_util.h"
#include "text.h"
#include "text_probe.h"

namespace {

using lens = std::vector<int32_t>;

static_assert(TEXT_BLOCK_CHARS == 4 && TEXT_MAX_BLOCKS == 3,
              "these rows are written for the small-block build");

TEST(SmallBlocks, SplitsFollowTheRules) {
  text x;
  insert_chars(x, "abcd");
  EXPECT_EQ(text_probe::lengths(x), lens{4});
  x.Move(1);
  insert_chars(x, "XY");  // tail "bcd", block refilled to "aXY"
  EXPECT_EQ(text_probe::lengths(x), (lens{3, 3}));
  EXPECT_EQ(text_probe::contents(x), "aXYbcd");
  EXPECT_EQ(text_probe::cur(x), 0);
  EXPECT_EQ(text_probe::off(x), 1);
  EXPECT_EQ(text_probe::table_limit(x), 3);
}

TEST(SmallBlocks, FullTableRepacksAndKeepsTextAndPosition) {
  text x;
  text_probe::fill_blocks(x, {"a", "b", "c"});
  x.Move(1);  // (1, 0)
  // Needs a tail block: 4 blocks do not fit a 3-block table.
  insert_chars(x, "WXYZ");
  // Repacked to "abc" in one block, cursor back at position 1 as (0, 1); then
  // the tail "bc", the block refilled to "aWXY", and a block for "Z".
  EXPECT_EQ(text_probe::lengths(x), (lens{4, 1, 2}));
  EXPECT_EQ(text_probe::contents(x), "aWXYZbc");
  EXPECT_EQ(text_probe::cur(x), 0);
  EXPECT_EQ(text_probe::off(x), 1);
  EXPECT_EQ(text_probe::position(x), 1);
  EXPECT_GE(text_probe::table_limit(x), 6);
  EXPECT_TRUE(text_probe::consistent(x));
}

TEST(SmallBlocks, TableGrowsWhenTheTextNoLongerFits) {
  text x;
  std::string chars(13, 'q');
  insert_chars(x, chars);  // 5 blocks under the rules: 0, 4, 4, 4, 1
  EXPECT_EQ(text_probe::lengths(x), (lens{0, 4, 4, 4, 1}));
  EXPECT_GE(text_probe::table_limit(x), 5);
  EXPECT_EQ(text_probe::contents(x), chars);
  EXPECT_TRUE(text_probe::consistent(x));
}

// The pinned-typing pattern: every Insert at one cursor splits the full block
// and adds a one-character block right after it.
TEST(SmallBlocks, PinnedTypingSplitsThenRepacks) {
  text x;
  block_model want(text::block_chars, TEXT_MAX_BLOCKS);
  insert_chars(x, "abcd");
  want.Insert("abcd");
  x.Move(3);
  want.Move(3);
  const std::vector<lens> layouts = {
      {4, 1},     // "abcx" + "d"
      {4, 1, 1},  // "abcy" + "x" + "d"
      {4, 1, 2},  // repacked to "abcy" "xd", then split again
  };
  std::string typed = "xyz";
  for (size_t i = 0; i < typed.size(); ++i) {
    insert_chars(x, typed.substr(i, 1));
    want.Insert(typed.substr(i, 1));
    EXPECT_EQ(text_probe::lengths(x), layouts[i]);
    EXPECT_EQ(want.lengths(), layouts[i]);
  }
  EXPECT_EQ(text_probe::contents(x), "abczyxd");
  for (int i = 0; i < 3000; ++i) {
    std::string c(1, char('a' + i % 26));
    insert_chars(x, c);
    want.Insert(c);
    ASSERT_EQ(text_probe::lengths(x), want.lengths()) << "insert " << i;
    ASSERT_EQ(text_probe::cur(x), want.cur);
    ASSERT_EQ(text_probe::off(x), want.off);
    ASSERT_LE(text_probe::nblk(x), text_probe::table_limit(x));
    ASSERT_TRUE(text_probe::consistent(x));
  }
  EXPECT_EQ(get_text(x, 4000), want.Get(4000));
}

TEST(SmallBlocks, ManyBlocksSplitAndMergeChunks) {
  text x;
  std::string all;
  for (int i = 0; i < 200; ++i) all += char('A' + i % 26);
  insert_chars(x, all);
  ASSERT_TRUE(text_probe::consistent(x));
  // Delete from the middle in pieces that cross many chunks.
  x.Move(37);
  x.Delete(101);
  all.erase(37, 101);
  EXPECT_EQ(text_probe::contents(x), all);
  EXPECT_EQ(text_probe::position(x), 37);
  EXPECT_TRUE(text_probe::consistent(x));
  x.Move(0);
  x.Delete(1000);
  EXPECT_EQ(text_probe::contents(x), "");
  EXPECT_EQ(text_probe::total(x), 0);
  EXPECT_GE(text_probe::nblk(x), 1);
  EXPECT_TRUE(text_probe::consistent(x));
  insert_chars(x, "again");
  EXPECT_EQ(get_text(x, 9), "again\n");
}

// Random edits against the literal block rules, repacks included.
TEST(SmallBlocks, LayoutFollowsTheBlockRules) {
  std::mt19937 rng(99);
  for (int round = 0; round < 40; ++round) {
    text x;
    block_model want(text::block_chars, TEXT_MAX_BLOCKS);
    for (int step = 0; step < 300; ++step) {
      int32_t total = want.total();
      switch (rng() % 7) {
        case 0:
        case 1: {
          std::string chars;
          uint32_t size = uint32_t(rng() % 4 == 0 ? rng() % 40 : rng() % 6);
          for (uint32_t i = 0; i < size; ++i) chars += char('a' + rng() % 26);
          insert_chars(x, chars);
          want.Insert(chars);
          break;
        }
        case 2: {
          int32_t n = int32_t(rng() % 30);
          x.Delete(n);
          want.Delete(n);
          break;
        }
        case 3: {
          int32_t p = int32_t(rng() % uint32_t(total + 3)) - 1;
          x.Move(p);
          want.Move(p);
          break;
        }
        case 4:
          x.Next();
          want.Next();
          break;
        case 5:
          x.Prev();
          want.Prev();
          break;
        default: {
          int32_t n = int32_t(rng() % 10);
          ASSERT_EQ(get_text(x, n), want.Get(n));
          break;
        }
      }
      ASSERT_EQ(text_probe::lengths(x), want.lengths())
          << "round " << round << " step " << step;
      ASSERT_EQ(text_probe::cur(x), want.cur);
      ASSERT_EQ(text_probe::off(x), want.off);
      ASSERT_EQ(text_probe::table_limit(x), want.limit);
      ASSERT_TRUE(text_probe::consistent(x));
    }
  }
}

TEST(SmallBlocks, TextStopsAtItsSizeLimit) {
  text x;
  std::string script(TEXT_MAX_CHARS + 10, 'z');
  script += "tail";
  script_feed feed(script);
  x.Insert(TEXT_MAX_CHARS + 10);
  EXPECT_EQ(text_probe::total(x), TEXT_MAX_CHARS);
  // The characters past the limit are read and dropped: the script stays in
  // step.
  EXPECT_EQ(Getchar(), 't');
  x.Move(text::max_chars);
  x.Insert(1);
  EXPECT_EQ(text_probe::total(x), TEXT_MAX_CHARS);
  EXPECT_EQ(Getchar(), 'i');  // the skipped 'a'
  EXPECT_TRUE(text_probe::consistent(x));
}

}  // namespace

namespace {

// A text and its literal model laid out block by block the same way.
void lay_out(text& x, block_model& want,
             const std::vector<std::string>& blocks) {
  text_probe::fill_blocks(x, blocks);
  want.blk = blocks;
  want.limit = text_probe::table_limit(x);
  want.cur = 0;
  want.off = 0;
}

// Blocks from a pattern: a string is one block, a number that many empty ones.
std::vector<std::string> blocks_of(const std::vector<std::string>& pattern) {
  std::vector<std::string> blocks;
  for (const std::string& p : pattern) {
    if (!p.empty() && p[0] == '#')
      blocks.resize(blocks.size() + size_t(std::stoi(p.substr(1))));
    else
      blocks.push_back(p);
  }
  return blocks;
}

#define EXPECT_SAME_CURSOR(x, want, what)              \
  do {                                                 \
    ASSERT_EQ(text_probe::cur(x), (want).cur) << what; \
    ASSERT_EQ(text_probe::off(x), (want).off) << what; \
  } while (0)

struct empty_run_case {
  const char* name;
  std::vector<std::string> pattern;  // "#k" stands for k empty blocks
};

// Runs of empty blocks far longer than a chunk, at the start, inside and at
// the end of the text.
const empty_run_case kEmptyRuns[] = {
    {"one run between two characters", {"a", "#500", "b"}},
    {"runs everywhere", {"#300", "ab", "#257", "c", "#3", "d", "#400"}},
    {"full blocks around a run", {"abcd", "#1000", "efgh"}},
    {"runs of every length up to two chunks",
     {"a", "#1", "b", "#2", "c", "#3", "d", "#4", "e", "#5", "f", "#7", "g",
      "#8", "h", "#9", "i"}},
};

}  // namespace

// Next, Prev and Get across long empty runs leave the cursor in exactly the
// form the block rules give, from every starting form.
TEST(SmallBlocks, CursorFormsAcrossLongEmptyRuns) {
  for (const empty_run_case& c : kEmptyRuns) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> blocks = blocks_of(c.pattern);
    text x;
    block_model want(text::block_chars, TEXT_MAX_BLOCKS);
    lay_out(x, want, blocks);
    int32_t total = want.total();
    // Forward to the end and one step past it, then back to 0 and past it.
    for (int32_t i = 0; i <= total; ++i) {
      x.Next();
      want.Next();
      EXPECT_SAME_CURSOR(x, want, "Next " << i);
      ASSERT_EQ(get_text(x, 3), want.Get(3)) << "after Next " << i;
      EXPECT_SAME_CURSOR(x, want, "Get after Next " << i);
    }
    for (int32_t i = 0; i <= total; ++i) {
      x.Prev();
      want.Prev();
      EXPECT_SAME_CURSOR(x, want, "Prev " << i);
      ASSERT_EQ(get_text(x, total), want.Get(total)) << "after Prev " << i;
    }
    // From every Move position: Next, Prev, and Get of the whole rest.
    for (int32_t p = 0; p <= total; ++p) {
      for (int step = 0; step < 2; ++step) {
        x.Move(p);
        want.Move(p);
        EXPECT_SAME_CURSOR(x, want, "Move " << p);
        if (step == 0) {
          x.Next();
          want.Next();
        } else {
          x.Prev();
          want.Prev();
        }
        EXPECT_SAME_CURSOR(x, want, "step " << step << " from " << p);
        ASSERT_EQ(get_text(x, total), want.Get(total));
      }
    }
    EXPECT_TRUE(text_probe::consistent(x));
  }
}

// Delete and Insert from the exhausted form before a long empty run: the
// passed empty blocks stay, the deleted ones go, as the rules say.
TEST(SmallBlocks, EditsNextToLongEmptyRuns) {
  for (const empty_run_case& c : kEmptyRuns) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> blocks = blocks_of(c.pattern);
    int32_t total = 0;
    for (const std::string& b : blocks) total += int32_t(b.size());
    for (int32_t p = 0; p <= total; ++p) {
      for (int32_t n : {1, 2, 5}) {
        text x;
        block_model want(text::block_chars, TEXT_MAX_BLOCKS);
        lay_out(x, want, blocks);
        x.Move(p);
        want.Move(p);
        if (p > 0) {  // the exhausted form of the same position
          x.Prev();
          want.Prev();
          x.Next();
          want.Next();
        }
        x.Delete(n);
        want.Delete(n);
        ASSERT_EQ(text_probe::lengths(x), want.lengths()) << p << " " << n;
        EXPECT_SAME_CURSOR(x, want, "Delete " << n << " at " << p);
        std::string chars(size_t(n), 'z');
        insert_chars(x, chars);
        want.Insert(chars);
        ASSERT_EQ(text_probe::lengths(x), want.lengths()) << p << " " << n;
        EXPECT_SAME_CURSOR(x, want, "Insert " << n << " at " << p);
        ASSERT_EQ(get_text(x, total + n), want.Get(total + n));
        ASSERT_TRUE(text_probe::consistent(x));
      }
    }
  }
}

// The hostile pattern built by commands alone: pinned typing, then each typed
// block emptied by Move and Delete 1, then the run crossed again and again.
TEST(SmallBlocks, EmptiedBlocksCrossedByCommands) {
  text x;
  block_model want(text::block_chars, TEXT_MAX_BLOCKS);
  insert_chars(x, "abcd");
  want.Insert("abcd");
  x.Move(3);
  want.Move(3);
  const int typed = 400;
  for (int i = 0; i < typed; ++i) {
    std::string c(1, char('A' + i % 26));
    insert_chars(x, c);
    want.Insert(c);
  }
  // Each typed block in turn: Move lands in the last block of the emptied
  // run, the next one to empty.
  for (int i = 0; i + 1 < typed; ++i) {
    x.Move(4);
    want.Move(4);
    x.Delete(1);
    want.Delete(1);
    ASSERT_EQ(text_probe::cur(x), want.cur) << i;
  }
  ASSERT_EQ(text_probe::lengths(x), want.lengths());
  std::vector<int32_t> lens = text_probe::lengths(x);
  ASSERT_GE(std::count(lens.begin(), lens.end(), 0), 100);
  for (int round = 0; round < 3; ++round) {
    x.Move(3);
    want.Move(3);
    const char* steps = "NNNPPPGNNGPPG";
    for (const char* s = steps; *s; ++s) {
      if (*s == 'N') {
        x.Next();
        want.Next();
      } else if (*s == 'P') {
        x.Prev();
        want.Prev();
      } else {
        ASSERT_EQ(get_text(x, 3), want.Get(3));
      }
      EXPECT_SAME_CURSOR(x, want, "round " << round << " step " << *s);
    }
  }
  EXPECT_TRUE(text_probe::consistent(x));
}
