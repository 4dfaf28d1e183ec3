// small_test.cpp: white-box tests at 4-character blocks and a 3-block table,
// where splits, repacks, table growth and chunk splits come within a few edits.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "block_model.h"
#include "editor_test_util.h"
#include "text.h"

namespace {

using lens = std::vector<int32_t>;

static_assert(TEXT_BLOCK_CHARS == 4 && TEXT_MAX_BLOCKS == 3,
              "these rows are written for the small-block build");

TEST(SmallBlocks, SplitsFollowTheRules) {
  text x;
  insert_chars(x, "abcd");
  EXPECT_EQ(x.lengths(), lens{4});
  x.Move(1);
  insert_chars(x, "XY");  // tail "bcd", block refilled to "aXY"
  EXPECT_EQ(x.lengths(), (lens{3, 3}));
  EXPECT_EQ(x.contents(), "aXYbcd");
  EXPECT_EQ(x.cur, 0);
  EXPECT_EQ(x.off, 1);
  EXPECT_EQ(x.table_limit(), 3);
}

TEST(SmallBlocks, FullTableRepacksAndKeepsTextAndPosition) {
  text x;
  text::fill_blocks(x, {"a", "b", "c"});
  x.Move(1);  // (1, 0)
  // Needs a tail block: 4 blocks do not fit a 3-block table.
  insert_chars(x, "WXYZ");
  // Repacked to "abc" in one block, cursor back at position 1 as (0, 1); then
  // the tail "bc", the block refilled to "aWXY", and a block for "Z".
  EXPECT_EQ(x.lengths(), (lens{4, 1, 2}));
  EXPECT_EQ(x.contents(), "aWXYZbc");
  EXPECT_EQ(x.cur, 0);
  EXPECT_EQ(x.off, 1);
  EXPECT_EQ(x.position(), 1);
  EXPECT_GE(x.table_limit(), 6);
  EXPECT_TRUE(x.consistent());
}

TEST(SmallBlocks, TableGrowsWhenTheTextNoLongerFits) {
  text x;
  std::string chars(13, 'q');
  insert_chars(x, chars);  // 5 blocks under the rules: 0, 4, 4, 4, 1
  EXPECT_EQ(x.lengths(), (lens{0, 4, 4, 4, 1}));
  EXPECT_GE(x.table_limit(), 5);
  EXPECT_EQ(x.contents(), chars);
  EXPECT_TRUE(x.consistent());
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
    EXPECT_EQ(x.lengths(), layouts[i]);
    EXPECT_EQ(want.lengths(), layouts[i]);
  }
  EXPECT_EQ(x.contents(), "abczyxd");
  for (int i = 0; i < 3000; ++i) {
    std::string c(1, char('a' + i % 26));
    insert_chars(x, c);
    want.Insert(c);
    ASSERT_EQ(x.lengths(), want.lengths()) << "insert " << i;
    ASSERT_EQ(x.cur, want.cur);
    ASSERT_EQ(x.off, want.off);
    ASSERT_LE(x.nblk, x.table_limit());
    ASSERT_TRUE(x.consistent());
  }
  EXPECT_EQ(get_text(x, 4000), want.Get(4000));
}

TEST(SmallBlocks, ManyBlocksSplitAndMergeChunks) {
  text x;
  std::string all;
  for (int i = 0; i < 200; ++i) all += char('A' + i % 26);
  insert_chars(x, all);
  ASSERT_TRUE(x.consistent());
  // Delete from the middle in pieces that cross many chunks.
  x.Move(37);
  x.Delete(101);
  all.erase(37, 101);
  EXPECT_EQ(x.contents(), all);
  EXPECT_EQ(x.position(), 37);
  EXPECT_TRUE(x.consistent());
  x.Move(0);
  x.Delete(1000);
  EXPECT_EQ(x.contents(), "");
  EXPECT_EQ(x.total, 0);
  EXPECT_GE(x.nblk, 1);
  EXPECT_TRUE(x.consistent());
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
      ASSERT_EQ(x.lengths(), want.lengths())
          << "round " << round << " step " << step;
      ASSERT_EQ(x.cur, want.cur);
      ASSERT_EQ(x.off, want.off);
      ASSERT_EQ(x.table_limit(), want.limit);
      ASSERT_TRUE(x.consistent());
    }
  }
}

TEST(SmallBlocks, TextStopsAtItsSizeLimit) {
  text x;
  std::string script(TEXT_MAX_CHARS + 10, 'z');
  script += "tail";
  script_feed feed(script);
  x.Insert(TEXT_MAX_CHARS + 10);
  EXPECT_EQ(x.total, TEXT_MAX_CHARS);
  // The characters past the limit are read and dropped: the script stays in
  // step.
  EXPECT_EQ(Getchar(), 't');
  x.Move(text::max_chars);
  x.Insert(1);
  EXPECT_EQ(x.total, TEXT_MAX_CHARS);
  EXPECT_EQ(Getchar(), 'i');  // the skipped 'a'
  EXPECT_TRUE(x.consistent());
}

}  // namespace
