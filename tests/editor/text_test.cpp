// text_test.cpp: white-box tests of the block layout at full block size.
#include "text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "block_model.h"
#include "editor_test_util.h"
#include "text_probe.h"

namespace {

using lens = std::vector<int32_t>;

// Distinct, position-revealing characters, so a misplaced run shows.
std::string pattern(size_t n, char seed = 'a') {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += char(seed + int(i % 23));
  return s;
}

struct cursor_form {
  int32_t cur;
  int32_t off;
};

void expect_cursor(const text& x, cursor_form want) {
  EXPECT_EQ(text_probe::cur(x), want.cur);
  EXPECT_EQ(text_probe::off(x), want.off);
}

TEST(TextBlocks, NewTextIsOneEmptyBlock) {
  text x;
  EXPECT_EQ(text_probe::nblk(x), 1);
  EXPECT_EQ(text_probe::lengths(x), lens{0});
  EXPECT_EQ(text_probe::total(x), 0);
  x.Move(0);
  expect_cursor(x, {0, 0});
  EXPECT_EQ(get_text(x, 0), "\n");
  EXPECT_TRUE(text_probe::consistent(x));
}

struct fresh_insert_case {
  const char* name;
  int32_t n;
  lens want;
};

const fresh_insert_case kFreshInserts[] = {
    {"one character", 1, {1}},
    {"exactly one block fits", 4088, {4088}},
    {"one past a block: no tail, block 0 stays empty", 4089, {0, 4088, 1}},
    {"full block then remainder", 5000, {0, 4088, 912}},
    {"two full blocks, no empty remainder", 8176, {0, 4088, 4088}},
    {"two full blocks and one", 8177, {0, 4088, 4088, 1}},
};

TEST(TextBlocks, InsertIntoEmptyText) {
  for (const fresh_insert_case& c : kFreshInserts) {
    SCOPED_TRACE(c.name);
    text x;
    std::string chars = pattern(size_t(c.n));
    insert_chars(x, chars);
    EXPECT_EQ(text_probe::lengths(x), c.want);
    EXPECT_EQ(text_probe::nblk(x), int32_t(c.want.size()));
    expect_cursor(x, {0, 0});
    EXPECT_EQ(text_probe::total(x), c.n);
    EXPECT_EQ(get_text(x, c.n), chars + "\n");
    EXPECT_TRUE(text_probe::consistent(x));
  }
}

struct edit_case {
  const char* name;
  std::vector<std::string> blocks;  // the layout before the edit
  int32_t move_to;                  // Move first, unless negative
  int32_t nexts;                    // then this many Next steps
  int32_t n;                        // Insert (n > 0 chars) or Delete (-n)
  lens want;
  cursor_form cursor;
};

// clang-format off
const edit_case kInserts[] = {
    {"10 at offset 100 of a full block: tail of 3988",
     {pattern(4088)}, 100, 0, 10, {110, 3988}, {0, 100}},
    {"5000 at offset 100: block refilled, remainder before the tail",
     {pattern(4088)}, 100, 0, 5000, {4088, 1012, 3988}, {0, 100}},
    {"1 at offset 0 of a full block: all of it becomes the tail",
     {pattern(4088)}, 0, 0, 1, {1, 4088}, {0, 0}},
    {"at the end of a full last block: a new block",
     {pattern(4088)}, 4088, 0, 3, {4088, 3}, {0, 4088}},
    {"100 at the end of 4000: no tail, free slots stay free",
     {pattern(4000)}, 4000, 0, 100, {4000, 100}, {0, 4000}},
    {"88 at the end of 4000: appended in place",
     {pattern(4000)}, 4000, 0, 88, {4088}, {0, 4000}},
    {"in a middle block: blocks after it keep their place",
     {pattern(10), pattern(4088), pattern(10)}, 110, 0, 5000,
     {10, 4088, 1012, 3988, 10}, {1, 100}},
    {"exhausted form at a full block: new block before the next",
     {pattern(4088), pattern(5)}, 4087, 1, 3, {4088, 3, 5}, {0, 4088}},
    {"same position in the boundary form: fits the next block",
     {pattern(4088), pattern(5)}, 4088, 0, 3, {4088, 8}, {1, 0}},
    {"exhausted form with room: appended to the exhausted block",
     {pattern(10), pattern(5)}, 9, 1, 3, {13, 5}, {0, 10}},
    {"into an empty middle block",
     {pattern(3), "", pattern(2)}, 3, 0, 4, {3, 0, 6}, {2, 0}},
};
// clang-format on

// clang-format off
const edit_case kDeletes[] = {
    {"within a block", {pattern(10)}, 2, 0, -3, {7}, {0, 2}},
    {"a whole block from offset 0 leaves it empty",
     {pattern(10), pattern(5)}, 0, 0, -10, {0, 5}, {0, 0}},
    {"from offset 0 past the end: the block stays, empty",
     {pattern(10), pattern(10)}, 0, 0, -15, {0, 5}, {1, 0}},
    {"10,10,10 at (0,5) delete 20: middle released",
     {pattern(10), pattern(10), pattern(10)}, 5, 0, -20, {5, 5}, {1, 0}},
    {"to the end of the text: cursor at the end",
     {pattern(10), pattern(10), pattern(10)}, 5, 0, -25, {5}, {0, 5}},
    {"ends inside its block though only empty blocks follow",
     {pattern(10), ""}, 5, 0, -5, {5, 0}, {0, 5}},
    {"to the end over empty blocks: cursor at the last one",
     {pattern(10), "", pattern(10), ""}, 5, 0, -15, {5, 0}, {1, 0}},
    {"empty blocks after the range go with it",
     {pattern(10), pattern(10), "", "", pattern(10)}, 5, 0, -15, {5, 10},
     {1, 0}},
    {"empty blocks before the range stay",
     {pattern(10), "", pattern(10)}, 5, 0, -10, {5, 0, 5}, {2, 0}},
    {"from the exhausted form: trims the next block",
     {pattern(10), pattern(10)}, 9, 1, -3, {10, 7}, {1, 0}},
    {"more than remain: deletes to the end",
     {pattern(10), pattern(10)}, 5, 0, -100, {5}, {0, 5}},
    {"at the end of the text: nothing",
     {pattern(10), ""}, 10, 0, -5, {10, 0}, {1, 0}},
    {"a Delete 0 keeps even the exhausted form",
     {pattern(10), pattern(10)}, 9, 1, 0, {10, 10}, {0, 10}},
};
// clang-format on

void run_edit_table(const edit_case* rows, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const edit_case& c = rows[i];
    SCOPED_TRACE(c.name);
    text x;
    text_probe::fill_blocks(x, c.blocks);
    std::string before = text_probe::contents(x);
    if (c.move_to >= 0) x.Move(c.move_to);
    for (int32_t k = 0; k < c.nexts; ++k) x.Next();
    int32_t at = text_probe::position(x);
    std::string chars = pattern(size_t(c.n > 0 ? c.n : 0), 'A');
    std::string want_text = before;
    if (c.n > 0) {
      insert_chars(x, chars);
      want_text.insert(size_t(at), chars);
    } else {
      x.Delete(-c.n);
      want_text.erase(size_t(at), size_t(-c.n));
    }
    EXPECT_EQ(text_probe::lengths(x), c.want);
    expect_cursor(x, c.cursor);
    EXPECT_EQ(text_probe::position(x), at);
    EXPECT_EQ(text_probe::contents(x), want_text);
    EXPECT_TRUE(text_probe::consistent(x));
  }
}

TEST(TextBlocks, InsertLayouts) {
  run_edit_table(kInserts, sizeof kInserts / sizeof kInserts[0]);
}

TEST(TextBlocks, DeleteLayouts) {
  run_edit_table(kDeletes, sizeof kDeletes / sizeof kDeletes[0]);
}

struct move_case {
  const char* name;
  std::vector<std::string> blocks;
  int32_t p;
  cursor_form want;
};

// first, then `empties` empty blocks, then last: longer than a chunk of
// the block table when empties is large.
std::vector<std::string> around_empties(const std::string& first, int empties,
                                        const std::string& last) {
  std::vector<std::string> blocks{first};
  blocks.insert(blocks.end(), size_t(empties), std::string());
  blocks.push_back(last);
  return blocks;
}

// clang-format off
const move_case kMoves[] = {
    {"inside the first of two full blocks",
     {pattern(4088), pattern(4088)}, 4087, {0, 4087}},
    {"a boundary lands at offset 0 of the later block",
     {pattern(4088), pattern(4088)}, 4088, {1, 0}},
    {"the end of the text", {pattern(4088), pattern(4088)}, 8176, {1, 4088}},
    {"an empty first block is passed over", {"", pattern(5)}, 0, {1, 0}},
    {"the last of a run of blocks sharing a start",
     {pattern(3), "", "", pattern(2)}, 3, {3, 0}},
    {"the end, when the last block is empty", {pattern(3), ""}, 3, {1, 0}},
    {"the character after a run of empty blocks, in one chunk",
     around_empties(pattern(5), 20, pattern(1)), 5, {21, 0}},
    {"the character after a run of empty blocks longer than a chunk",
     around_empties(pattern(5), 40, pattern(1)), 5, {41, 0}},
    {"the first block's last character, before a run of empty blocks",
     around_empties(pattern(2), 20, pattern(1)), 1, {0, 1}},
    {"a block in the later half of a chunk of short blocks",
     {"ab", "cd", "ef", "gh", "ij"}, 5, {2, 1}},
    {"a block in the earlier half of a chunk of short blocks",
     {"ab", "cd", "ef", "gh", "ij"}, 2, {1, 0}},
    {"below 0 goes to position 0", {"", pattern(5)}, -7, {1, 0}},
    {"past the end goes to the end", {pattern(5), pattern(2)}, 99, {1, 2}},
    {"the most negative position", {pattern(5)}, INT32_MIN, {0, 0}},
    {"the largest position", {pattern(5)}, INT32_MAX, {0, 5}},
};
// clang-format on

TEST(TextCursor, Move) {
  for (const move_case& c : kMoves) {
    SCOPED_TRACE(c.name);
    text x;
    text_probe::fill_blocks(x, c.blocks);
    x.Move(c.p);
    expect_cursor(x, c.want);
    EXPECT_TRUE(text_probe::consistent(x));
  }
}

TEST(TextCursor, PrevPassesOverEmptyBlocks) {
  text x;
  text_probe::fill_blocks(x, {"abc", "", "de"});
  x.Move(3);
  expect_cursor(x, {2, 0});
  x.Prev();
  expect_cursor(x, {0, 2});
  EXPECT_EQ(get_text(x, 3), "cde\n");
}

TEST(TextCursor, NextLeavesExhaustedFormAndGetReadsOn) {
  text x;
  text_probe::fill_blocks(x, {"abc", "", "de"});
  x.Move(2);
  x.Next();
  expect_cursor(x, {0, 3});
  EXPECT_EQ(get_text(x, 2), "de\n");
  expect_cursor(x, {0, 3});  // Get keeps the form
  x.Prev();
  expect_cursor(x, {0, 2});
  x.Next();
  x.Next();
  expect_cursor(x, {2, 1});
}

TEST(TextCursor, EndsOfTheTextStopTheCursor) {
  text x;
  text_probe::fill_blocks(x, {"", "", "ab", "", ""});
  x.Move(0);
  expect_cursor(x, {2, 0});
  x.Prev();  // nothing precedes: the cursor keeps even its form
  expect_cursor(x, {2, 0});
  x.Move(2);
  expect_cursor(x, {4, 0});
  x.Next();
  expect_cursor(x, {4, 0});
  EXPECT_EQ(get_text(x, 5), "\n");
  x.Move(1);
  EXPECT_EQ(get_text(x, 5), "b\n");  // only what exists
  EXPECT_EQ(get_text(x, -3), "\n");
  EXPECT_TRUE(text_probe::consistent(x));
}

TEST(TextCursor, NextStepsMatchMove) {
  std::mt19937 rng(7);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::string> blocks;
    int count = 1 + int(rng() % 12);
    for (int i = 0; i < count; ++i)
      blocks.push_back(rng() % 3 == 0 ? "" : pattern(1 + rng() % 40));
    text x;
    text_probe::fill_blocks(x, blocks);
    int32_t from = int32_t(rng() % uint32_t(text_probe::total(x) + 1));
    int32_t steps = int32_t(rng() % uint32_t(text_probe::total(x) - from + 1));
    x.Move(from);
    for (int32_t i = 0; i < steps; ++i) x.Next();
    text y;
    text_probe::fill_blocks(y, blocks);
    y.Move(from + steps);
    EXPECT_EQ(text_probe::position(x), from + steps);
    EXPECT_EQ(get_text(x, 50), get_text(y, 50));
  }
}

TEST(TextCursor, InsertAndDeleteOfZeroChangeNothing) {
  text x;
  text_probe::fill_blocks(x, {"abc", "de"});
  x.Move(2);
  x.Next();
  expect_cursor(x, {0, 3});
  x.Insert(0);
  x.Delete(0);
  x.Insert(-4);
  x.Delete(-4);
  expect_cursor(x, {0, 3});
  EXPECT_EQ(text_probe::lengths(x), (lens{3, 2}));
}

TEST(TextRecalc, RebuildsStartTotalAndIdx) {
  text x;
  text_probe::fill_blocks(x, {"abc", "", "de", "f"});
  text_probe::recalc(x);
  EXPECT_EQ(text_probe::total(x), 6);
  const int32_t want_start[] = {0, 3, 3, 5};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(text_probe::start(x, i), want_start[i]);
    EXPECT_EQ(text_probe::blk(x, i).idx, i);
  }
}

// Random edits against the literal block rules: same layout and cursor form
// after every step, at the real block size.
TEST(TextBlocks, LayoutFollowsTheBlockRules) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 20; ++round) {
    text x;
    block_model want(text::block_chars, TEXT_MAX_BLOCKS);
    for (int step = 0; step < 200; ++step) {
      int32_t total = want.total();
      switch (rng() % 6) {
        case 0:
        case 1: {
          uint32_t size =
              uint32_t(rng() % 3 == 0 ? 4000 + rng() % 9000 : rng() % 200);
          std::string chars = pattern(size, char('a' + rng() % 3));
          insert_chars(x, chars);
          want.Insert(chars);
          break;
        }
        case 2: {
          int32_t n = int32_t(rng() % 6000);
          x.Delete(n);
          want.Delete(n);
          break;
        }
        case 3: {
          int32_t p = int32_t(rng() % uint32_t(total + 1));
          x.Move(p);
          want.Move(p);
          break;
        }
        case 4:
          x.Next();
          want.Next();
          break;
        default:
          x.Prev();
          want.Prev();
          break;
      }
      ASSERT_EQ(text_probe::lengths(x), want.lengths())
          << "round " << round << " step " << step;
      ASSERT_EQ(text_probe::cur(x), want.cur);
      ASSERT_EQ(text_probe::off(x), want.off);
      ASSERT_TRUE(text_probe::consistent(x));
    }
    EXPECT_EQ(get_text(x, 100), want.Get(100));
  }
}

}  // namespace
