// show_test.cpp: a transcript read against its case, the page data it gives,
// and the page's self-containment; then the real solvers' transcripts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

extern "C" {
#include "show.h"
#include "show_page.h"
}

namespace {

using testkit::read_file;
using testkit::run_program;
using testkit::run_result;
using testkit::scratch_dir;
using testkit::write_file;

gp_case make_case(int n, std::vector<int> k) {
  gp_case c{};
  c.n = n;
  for (int i = 0; i < 8; ++i) c.coord[i] = k[static_cast<size_t>(i)];
  c.full = c.zero = 400;
  return c;
}

// The worked case: N 10, rod 1 in row 2 over columns 3..7, rod 2 in column 9
// over rows 5..8.
const gp_case kTen = make_case(10, {2, 3, 2, 7, 5, 9, 8, 9});
const gp_case kFive = make_case(5, {1, 1, 1, 2, 1, 5, 2, 5});
const gp_case kBig =
    make_case(10000, {5000, 6990, 5000, 7000, 1, 20, 9999, 20});

// The grader's own answer, for transcripts made in the test.
int answer(const gp_case& c, int r1, int r2, int c1, int c2) {
  const int* k = c.coord;
  if (k[2] >= r1 && k[0] <= r2 && k[3] >= c1 && k[1] <= c2) return 1;
  return k[6] >= r1 && k[4] <= r2 && k[7] >= c1 && k[5] <= c2;
}

std::string rect_line(const gp_case& c, int count, int r1, int r2, int c1,
                      int c2) {
  char line[128];
  snprintf(line, sizeof line, "%d : rect (%d,%d,%d,%d) = %d\n", count, r1, r2,
           c1, c2, answer(c, r1, r2, c1, c2));
  return line;
}

// count answered calls of the single cell (1,1).
std::string many_calls(const gp_case& c, int count) {
  std::string log;
  for (int i = 1; i <= count; ++i) log += rect_line(c, i, 1, 1, 1, 1);
  return log;
}

// A row-by-row search for the last column of rod 1 on the big grid, the
// way a solver narrows down: rect(5000, 5000, 1, x) for a shrinking range.
std::string narrowing(const gp_case& c, int* calls) {
  std::string log = "gridsize() = 10000\n";
  int count = 0, lo = 1, hi = 10000;
  log += rect_line(c, ++count, 1, 10000, 1, 10000);
  while (lo < hi) {
    int mid = lo + (hi - lo + 1) / 2;
    int a = answer(c, 5000, 5000, mid, 10000);
    log += rect_line(c, ++count, 5000, 5000, mid, 10000);
    if (a)
      lo = mid;
    else
      hi = mid - 1;
  }
  *calls = count;
  return log;
}

std::unique_ptr<gp_show> read(const gp_case& c, const std::string& log,
                              int* ok) {
  std::unique_ptr<gp_show> s(new gp_show);
  *ok = gp_show_read(s.get(), &c, log.data(), log.size());
  return s;
}

const char kWorked[] =
    "gridsize() = 10\n1 : rect (1,10,1,10) = 1\n2 : rect (3,4,1,10) = 0\n"
    "3 : rect (5,5,9,9) = 1\n";

struct good_case {
  const char* name;
  const gp_case* c;
  std::string log;
  gp_show_end end;
  int error;  // with GP_SHOW_ERROR
  int calls;
  int last_answer;  // of the last call, when there are calls
  gp_verdict verdict;
  const char* message;
  int broken_line;
};

std::vector<good_case> good_cases() {
  int big_calls = 0;
  std::string big = narrowing(kBig, &big_calls);
  return {
      {"right", &kTen, std::string(kWorked) + "report (2,3,2,7,5,9,8,9)\n",
       GP_SHOW_REPORTED, -1, 3, 1, GP_RIGHT, "Right answer with 3 calls.", 0},
      {"wrong", &kTen, std::string(kWorked) + "report (2,3,2,6,5,9,8,9)\n",
       GP_SHOW_REPORTED, -1, 3, 1, GP_WRONG, "Wrong answer.", 0},
      {"reported values off the grid", &kTen,
       std::string(kWorked) + "report (-1,0,11,2147483647,5,9,8,9)\n",
       GP_SHOW_REPORTED, -1, 3, 1, GP_WRONG, "Wrong answer.", 0},
      {"400 calls, then a right report", &kTen,
       many_calls(kTen, 400) + "report (2,3,2,7,5,9,8,9)\n", GP_SHOW_REPORTED,
       -1, 400, 0, GP_RIGHT, "Right answer with 400 calls.", 0},
      {"error 7: a refused rect", &kTen,
       std::string(kWorked) + "4 : rect (0,-2147483648,11,3) = Invalid "
                              "library function call.\n",
       GP_SHOW_ERROR, 7, 4, -1, GP_FAILED, "Invalid library function call.", 0},
      {"error 7: a request the manager could not read", &kTen,
       "gridsize() = 10\nInvalid library function call.\n", GP_SHOW_ERROR, 7, 0,
       0, GP_FAILED, "Invalid library function call.", 0},
      {"error 8: the 401st call", &kTen,
       many_calls(kTen, 400) +
           "401 : rect (1,1,1,1) = Too many rect() calls.\n",
       GP_SHOW_ERROR, 8, 401, -1, GP_FAILED, "Too many rect() calls.", 0},
      {"error 9: report before any rect", &kTen,
       "gridsize() = 10\nreport (2,3,2,7,5,9,8,9)\n", GP_SHOW_ERROR, 9, 0, 0,
       GP_FAILED, "No rect() call.", 0},
      {"no report", &kTen, kWorked, GP_SHOW_NO_REPORT, -1, 3, 1, GP_FAILED,
       "The program ended without calling report.", 0},
      {"empty transcript", &kTen, "", GP_SHOW_NO_REPORT, -1, 0, 0, GP_FAILED,
       "The program ended without calling report.", 0},
      {"cut off inside a rect line", &kTen,
       std::string(kWorked) + "4 : rect (1,", GP_SHOW_NO_REPORT, -1, 3, 1,
       GP_FAILED, "The program ended without calling report.", 5},
      {"cut off after the equals sign", &kTen,
       std::string(kWorked) + "4 : rect (1,1,1,1) = ", GP_SHOW_NO_REPORT, -1, 3,
       1, GP_FAILED, "The program ended without calling report.", 5},
      {"cut off inside gridsize's value", &kTen,
       std::string(kWorked) + "gridsize() = 1", GP_SHOW_NO_REPORT, -1, 3, 1,
       GP_FAILED, "The program ended without calling report.", 5},
      {"last line whole but without its line feed", &kTen,
       std::string(kWorked) + "report (2,3,2,7,5,9,8,9)", GP_SHOW_REPORTED, -1,
       3, 1, GP_RIGHT, "Right answer with 3 calls.", 0},
      {"lines ending in CR LF", &kTen,
       "gridsize() = 10\r\n1 : rect (1,10,1,10) = 1\r\n"
       "report (2,3,2,7,5,9,8,9)\r\n",
       GP_SHOW_REPORTED, -1, 1, 1, GP_RIGHT, "Right answer with 1 calls.", 0},
      {"N = 5", &kFive,
       "gridsize() = 5\n1 : rect (1,5,1,5) = 1\n2 : rect (5,5,1,4) = 0\n"
       "3 : rect (1,2,5,5) = 1\nreport (1,1,1,2,1,5,2,5)\n",
       GP_SHOW_REPORTED, -1, 3, 1, GP_RIGHT, "Right answer with 3 calls.", 0},
      {"N = 10000", &kBig, big + "report (5000,6990,5000,7000,1,20,9999,20)\n",
       GP_SHOW_REPORTED, -1, big_calls, 0, GP_RIGHT,
       nullptr /* count checked below */, 0},
  };
}

TEST(ShowRead, TranscriptsThatBelong) {
  for (const good_case& g : good_cases()) {
    SCOPED_TRACE(g.name);
    int ok = 0;
    auto s = read(*g.c, g.log, &ok);
    ASSERT_EQ(ok, 1) << s->problem;
    EXPECT_EQ(s->end, g.end);
    if (g.end == GP_SHOW_ERROR) {
      EXPECT_EQ(s->error, g.error);
    }
    EXPECT_EQ(s->ncalls, g.calls);
    if (g.calls > 0) {
      EXPECT_EQ(s->calls[g.calls - 1].answer, g.last_answer);
      EXPECT_EQ(s->calls[g.calls - 1].number, g.calls);
    }
    EXPECT_EQ(s->verdict.verdict, g.verdict);
    if (g.message != nullptr) {
      EXPECT_STREQ(s->verdict.message, g.message);
    }
    EXPECT_EQ(s->broken_line, g.broken_line);
  }
}

TEST(ShowRead, CallsKeepTheirLinesAndAnswers) {
  int ok = 0;
  auto s = read(kTen, std::string(kWorked) + "report (2,3,2,7,5,9,8,9)\n", &ok);
  ASSERT_EQ(ok, 1);
  ASSERT_EQ(s->ncalls, 3);
  EXPECT_EQ(s->gridsize_calls, 1);
  const int answers[] = {1, 0, 1};
  const int lines[] = {2, 3, 4};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(s->calls[i].answer, answers[i]);
    EXPECT_EQ(s->calls[i].line, lines[i]);
  }
  EXPECT_STREQ(s->calls[1].text, "2 : rect (3,4,1,10) = 0");
  EXPECT_EQ(s->calls[1].box.r1, 3);
  EXPECT_EQ(s->calls[1].box.r2, 4);
  EXPECT_EQ(s->calls[1].box.c1, 1);
  EXPECT_EQ(s->calls[1].box.c2, 10);
  EXPECT_STREQ(s->end_text, "report (2,3,2,7,5,9,8,9)");
  EXPECT_EQ(s->answer[3], 7);
  // A refused call keeps its arguments as written, bad ones included.
  s = read(kTen,
           "1 : rect (0,-2147483648,11,3) = Invalid library function "
           "call.\n",
           &ok);
  ASSERT_EQ(ok, 1);
  EXPECT_EQ(s->calls[0].box.r2, -2147483647 - 1);
  EXPECT_EQ(s->calls[0].box.c1, 11);
}

TEST(ShowRead, ScoreLineOfTheCaseJudgesTheCount) {
  gp_case scored = kTen;
  scored.full = 1;
  scored.zero = 5;
  int ok = 0;
  gp_show s;
  std::string log = std::string(kWorked) + "report (2,3,2,7,5,9,8,9)\n";
  ok = gp_show_read(&s, &scored, log.data(), log.size());
  ASSERT_EQ(ok, 1);
  EXPECT_EQ(s.verdict.verdict, GP_PARTIAL);
  EXPECT_DOUBLE_EQ(s.verdict.score, 0.5);
}

struct bad_case {
  const char* name;
  const gp_case* c;
  std::string log;
  const char* problem;  // the message holds this
};

const bad_case kBad[] = {
    {"answer the case does not give", &kTen,
     "gridsize() = 10\n1 : rect (3,4,1,10) = 1\n",
     "line 2: rect (3,4,1,10) is answered 1, but the rods of this case give 0"},
    {"a transcript of another case", &kFive, kWorked,
     "line 1: gridsize() = 10, but the grid of this case is 5"},
    {"a miss where the case has a rod", &kTen, "1 : rect (2,2,7,7) = 0\n",
     "answered 0, but the rods of this case give 1"},
    {"arguments off this grid answered", &kTen, "1 : rect (11,12,1,1) = 0\n",
     "is answered, but on a grid of 10 the grader refuses it"},
    {"a valid call refused as invalid", &kTen,
     "1 : rect (1,1,1,1) = Invalid library function call.\n",
     "refused as invalid, but it is valid on a grid of 10"},
    {"a gap in the call numbers", &kTen,
     "1 : rect (1,10,1,10) = 1\n3 : rect (1,1,1,1) = 0\n",
     "line 2: rect call number 3, but 1 rect calls came before it"},
    {"numbers starting past 1", &kTen, "2 : rect (1,10,1,10) = 1\n",
     "rect call number 2, but 0 rect calls came before it"},
    {"a line after the report", &kTen,
     std::string(kWorked) + "report (2,3,2,7,5,9,8,9)\ngridsize() = 10\n",
     "line 6: the run already ended in line 5"},
    {"a line after a refused call", &kTen,
     "1 : rect (0,1,1,1) = Invalid library function call.\n"
     "2 : rect (1,1,1,1) = 0\n",
     "line 2: the run already ended in line 1"},
    {"the 401st call answered", &kTen,
     many_calls(kTen, 400) + "401 : rect (1,1,1,1) = 0\n",
     "rect call 401 is answered, but the grader refuses every call past 400"},
    {"too many before the 401st", &kTen,
     "1 : rect (1,1,1,1) = Too many rect() calls.\n",
     "refused as one too many, but only call 401 is"},
    {"too many where invalid comes first", &kTen,
     many_calls(kTen, 400) + "401 : rect (0,1,1,1) = Too many rect() calls.\n",
     "it is invalid, which comes first"},
    {"a line the grader never writes", &kTen, "hello\n",
     "line 1: \"hello\" is not a line the grader writes"},
    {"a leading zero", &kTen, "01 : rect (1,1,1,1) = 0\n",
     "is not a line the grader writes"},
    {"a value past 32 bits", &kTen, "1 : rect (1,1,1,2147483648) = 0\n",
     "is not a line the grader writes"},
    {"an answer of 2", &kTen, "1 : rect (1,1,1,1) = 2\n",
     "is not a line the grader writes"},
    {"blank line", &kTen, "gridsize() = 10\n\n", "line 2: \"\" is not a line"},
    {"a control byte", &kTen, std::string("gridsize() = 10\0\n", 17),
     "\"gridsize() = 10?\" is not a line"},
    {"a line longer than any the grader writes", &kTen,
     "gridsize() = 10" + std::string(300, ' ') + "\n",
     "is not a line the grader writes"},
    {"a broken line that is not the last", &kTen,
     "1 : rect (1,\n2 : rect (1,1,1,1) = 0\n", "line 1: \"1 : rect (1,\""},
};

TEST(ShowRead, TranscriptsThatDoNotBelongAreRefused) {
  for (const bad_case& b : kBad) {
    SCOPED_TRACE(b.name);
    int ok = 1;
    auto s = read(*b.c, b.log, &ok);
    EXPECT_EQ(ok, 0);
    EXPECT_NE(std::string(s->problem).find(b.problem), std::string::npos)
        << s->problem;
  }
}

// The step is the first of 1, 2, 5, 10, 20, ... of which N holds at most ten.
TEST(ShowScale, TickSteps) {
  const struct {
    int n, step;
  } rows[] = {
      {5, 1},   {10, 1},   {11, 2},   {21, 2},       {22, 5},
      {64, 10}, {109, 10}, {110, 20}, {10000, 1000}, {9999, 1000},
  };
  for (auto r : rows) {
    SCOPED_TRACE(r.n);
    EXPECT_EQ(gp_show_tick_step(r.n), r.step);
  }
  EXPECT_TRUE(gp_show_cells(5));
  EXPECT_TRUE(gp_show_cells(GP_SHOW_CELLS_MAX));
  EXPECT_FALSE(gp_show_cells(GP_SHOW_CELLS_MAX + 1));
  EXPECT_FALSE(gp_show_cells(10000));
}

bool same_box(const gp_show_box& a, const gp_show_box& b) {
  return a.r1 == b.r1 && a.r2 == b.r2 && a.c1 == b.c1 && a.c2 == b.c2;
}

TEST(ShowScale, WhereTwoCallsDiffer) {
  const struct {
    const char* name;
    gp_show_box a, b;
    int differ;
    gp_show_box want;
  } rows[] = {
      {"same block", {1, 5, 1, 5}, {1, 5, 1, 5}, 0, {}},
      {"right edge moved", {7, 7, 1, 5}, {7, 7, 1, 8}, 1, {7, 7, 6, 8}},
      {"bottom edge moved", {1, 40, 3, 9}, {1, 37, 3, 9}, 1, {38, 40, 3, 9}},
      {"nested: the frame of the larger",
       {1, 10, 1, 10},
       {4, 5, 4, 5},
       1,
       {1, 10, 1, 10}},
      {"apart: both", {1, 1, 1, 1}, {9, 9, 9, 9}, 1, {1, 9, 1, 9}},
      {"crossed", {5, 5, 1, 10}, {1, 10, 5, 5}, 1, {1, 10, 1, 10}},
  };
  for (auto r : rows) {
    SCOPED_TRACE(r.name);
    gp_show_box got{};
    ASSERT_EQ(gp_show_difference(&r.a, &r.b, &got), r.differ);
    if (r.differ) {
      EXPECT_TRUE(same_box(got, r.want));
    }
  }
}

TEST(ShowScale, ZoomFollowsTheNarrowing) {
  int calls = 0, ok = 0;
  auto s = read(
      kBig,
      narrowing(kBig, &calls) + "report (5000,6990,5000,7000,1,20,9999,20)\n",
      &ok);
  ASSERT_EQ(ok, 1);
  ASSERT_GT(calls, 10);
  for (int i = 0; i < s->ncalls; ++i) {
    SCOPED_TRACE(i);
    const gp_show_box& z = s->calls[i].zoom;
    EXPECT_GE(z.r1, 1);
    EXPECT_GE(z.c1, 1);
    EXPECT_LE(z.r2, 10000);
    EXPECT_LE(z.c2, 10000);
    EXPECT_EQ(z.r2 - z.r1, z.c2 - z.c1) << "a square";
    EXPECT_GE(z.r2 - z.r1 + 1, GP_SHOW_ZOOM_MIN);
  }
  // The first call is the whole grid; the last ones home in on column 7000.
  EXPECT_TRUE(same_box(s->calls[0].zoom, gp_show_box{1, 10000, 1, 10000}));
  const gp_show_box& z = s->calls[s->ncalls - 1].zoom;
  EXPECT_LE(z.r2 - z.r1 + 1, 64);
  EXPECT_LE(z.r1, 5000);
  EXPECT_GE(z.r2, 5000);
  EXPECT_LE(z.c1, 7000);
  EXPECT_GE(z.c2, 7000);
  // A grid's corner cell: the frame is pushed inside, not cut.
  std::string corner = "1 : rect (1,1,1,1) = 0\n";
  s = read(kBig, corner, &ok);
  ASSERT_EQ(ok, 1);
  EXPECT_TRUE(same_box(s->calls[0].zoom,
                       gp_show_box{1, GP_SHOW_ZOOM_MIN, 1, GP_SHOW_ZOOM_MIN}));
  // A refused call off the grid still gets a frame on the grid.
  s = read(kBig, "1 : rect (0,-5,20000,3) = Invalid library function call.\n",
           &ok);
  ASSERT_EQ(ok, 1);
  EXPECT_GE(s->calls[0].zoom.r1, 1);
  EXPECT_LE(s->calls[0].zoom.c2, 10000);
}

std::string page_of(const gp_show& s, const char* title) {
  char* bytes = nullptr;
  size_t len = 0;
  FILE* out = open_memstream(&bytes, &len);
  gp_show_page(out, &s, title);
  fclose(out);
  std::string page(bytes, len);
  free(bytes);
  return page;
}

size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + 1))
    ++n;
  return n;
}

TEST(ShowPage, SelfContainedWithEveryCall) {
  for (const good_case& g : good_cases()) {
    SCOPED_TRACE(g.name);
    int ok = 0;
    auto s = read(*g.c, g.log, &ok);
    ASSERT_EQ(ok, 1);
    std::string page = page_of(*s, "a <run> & \"its\" log");
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(occurrences(page, "<rect class=\"call "),
              static_cast<size_t>(s->ncalls));
    EXPECT_EQ(occurrences(page, "<rect class=\"rod\""), 2u);
    EXPECT_EQ(occurrences(page, "id=\"reported\""),
              g.end == GP_SHOW_REPORTED ? 1u : 0u);
    EXPECT_EQ(occurrences(page, "id=\"zoom\""),
              gp_show_cells(g.c->n) ? 0u : 1u);
    EXPECT_NE(page.find("a &lt;run&gt; &amp; &quot;its&quot; log"),
              std::string::npos);
    EXPECT_NE(page.find(s->verdict.message), std::string::npos);
    // Nothing is fetched: no source, link, import or url() anywhere; the
    // only address is SVG's namespace name.
    for (const char* fetch : {"src=", "<link", "@import", "url(", "https:"})
      EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
    EXPECT_EQ(occurrences(page, "http:"),
              occurrences(page, "http://www.w3.org/2000/svg"));
    // The slider runs from before the first call to the last line.
    int last = s->ncalls + (s->end_text[0] != '\0' ? 1 : 0);
    EXPECT_NE(page.find("max=\"" + std::to_string(last) + "\""),
              std::string::npos);
  }
}

#ifdef GRIDPROBE_MANAGER
// The transcripts that the linked solvers and the manager's run form write
// are read as they are, and shown as right.
TEST(ShowCommand, SolversTranscripts) {
  const char* solvers[] = {GRIDPROBE_SOLVE_C, GRIDPROBE_SOLVE_PAS};
  const char* cases[] = {"12\n6 2 6 9\n3 4 11 4\n", "5 5 1 5 2 1 5 4 5\n",
                         "10000 1 1 1 10000 2 10000 10000 10000\n"};
  for (const char* solver : solvers)
    for (const char* rods : cases) {
      SCOPED_TRACE(std::string(solver) + " on " + rods);
      scratch_dir dir;
      write_file(dir / "rods.in", rods);
      testkit::run_options opt;
      opt.dir = dir.path();
      run_result r = run_program({solver}, opt);
      ASSERT_TRUE(r.exited);
      r = run_program(
          {GRIDPROBE_MANAGER, "show", "rods.in", "rods.log", "-o", "run.html"},
          opt);
      EXPECT_EQ(r.exit_code, 0) << r.err;
      std::string page = read_file(dir / "run.html");
      EXPECT_NE(page.find("Right answer with"), std::string::npos);
      EXPECT_NE(page.find("class=\"right\""), std::string::npos);
    }
}

TEST(ShowCommand, ErrorsAndUsage) {
  scratch_dir dir;
  write_file(dir / "rods.in", "10 2 3 2 7 5 9 8 9\n");
  write_file(dir / "bad.in", "10 2 3 3 7 5 9 8 9\n");
  write_file(dir / "rods.log", kWorked);
  write_file(dir / "other.log", "1 : rect (1,1,3,3) = 1\n");
  testkit::run_options opt;
  opt.dir = dir.path();
  const struct {
    std::vector<std::string> args;
    int status;
    const char* err;  // standard error holds this
  } rows[] = {
      {{"show", "rods.in", "rods.log"}, 0, ""},
      {{"show", "rods.in"}, 1, "usage: gridprobe-manager show"},
      {{"show", "rods.in", "rods.log", "extra"}, 1, "usage:"},
      {{"show", "rods.in", "rods.log", "--bogus"}, 1, "usage:"},
      {{"show", "missing.in", "rods.log"}, 1, "missing.in: No such file"},
      {{"show", "bad.in", "rods.log"}, 1, "bad.in: ROD1 is not valid."},
      {{"show", "rods.in", "missing.log"}, 1, "missing.log: No such file"},
      {{"show", "rods.in", "other.log"},
       1,
       "other.log does not belong to rods.in: line 1: rect (1,1,3,3) is "
       "answered 1, but the rods of this case give 0"},
      {{"show", "rods.in", "rods.log", "-o", "no/such/dir/x.html"},
       1,
       "no/such/dir/x.html:"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> argv = {GRIDPROBE_MANAGER};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    SCOPED_TRACE(row.args.back());
    run_result r = run_program(argv, opt);
    EXPECT_EQ(r.exit_code, row.status) << r.err;
    EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    if (row.status == 0) {
      EXPECT_EQ(r.out.rfind("<!DOCTYPE html>", 0), 0u);
      EXPECT_NE(r.out.find("The program ended without calling report."),
                std::string::npos);
    } else {
      EXPECT_EQ(r.out, "");
    }
  }
}
#endif

}  // namespace
