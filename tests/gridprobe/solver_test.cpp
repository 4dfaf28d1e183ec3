// solver_test.cpp: the example solvers, in all three languages, on many cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "process.h"

// Fewer where every run goes through an emulator.
#ifndef GRIDPROBE_SEEDED_CASES
#define GRIDPROBE_SEEDED_CASES 150
#endif
#ifndef GRIDPROBE_EXHAUSTIVE
#define GRIDPROBE_EXHAUSTIVE 1
#endif

namespace gridprobe_test {
namespace {

// A test case in rods.in order: rod 1 in row r, rod 2 in column c.
struct rods {
  int n, r, a, r_again, b, p, c, q, c_again;
};

rods make(int n, int r, int a, int b, int p, int q, int c) {
  return {n, r, a, r, b, p, c, q, c};
}

std::string rods_in(const rods& k) {
  std::ostringstream s;
  s << k.n << ' ' << k.r << ' ' << k.a << ' ' << k.r_again << ' ' << k.b << ' '
    << k.p << ' ' << k.c << ' ' << k.q << ' ' << k.c_again << '\n';
  return s.str();
}

// Queries see only the union of the rods' cells: an answer that rebuilds it
// is as good as the hidden one, even where two splits of it exist.
std::vector<std::pair<int, int>> cells(int r, int a, int b, int p, int q,
                                       int c) {
  std::vector<std::pair<int, int>> all;
  for (int x = a; x <= b; ++x) all.emplace_back(r, x);
  for (int y = p; y <= q; ++y) all.emplace_back(y, c);
  std::sort(all.begin(), all.end());
  all.erase(std::unique(all.begin(), all.end()), all.end());
  return all;
}

bool valid(const rods& k) {
  auto in = [&](int v) { return v >= 1 && v <= k.n; };
  return in(k.r) && in(k.a) && in(k.b) && in(k.p) && in(k.q) && in(k.c) &&
         k.a < k.b && k.p < k.q && k.r == k.r_again && k.c == k.c_again;
}

struct solver {
  const char* language;
  const char* path;
};
// Names the solver in test names and messages instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const solver& s, std::ostream* os) {
  *os << s.language;
}

const solver kSolvers[] = {{"C", GRIDPROBE_SOLVE_C},
                           {"C++", GRIDPROBE_SOLVE_CPP},
                           {"Pascal", GRIDPROBE_SOLVE_PAS}};

// Runs one solver on one case; the failure message names both.
void expect_solved(const solver& s, const rods& k, const fs::path& work) {
  write_file(work / "rods.in", rods_in(k));
  fs::remove(work / "rods.out");
  run_result run = run_target({s.path}, work);
  std::istringstream out(read_file(work / "rods.out"));
  int queries = 0;
  rods got{};
  got.n = k.n;
  out >> queries >> got.r >> got.a >> got.r_again >> got.b >> got.p >> got.c >>
      got.q >> got.c_again;
  std::string where = std::string(s.language) + " on " + rods_in(k);
  ASSERT_TRUE(run.exited && run.exit_code == 0 && out) << where << run.out;
  EXPECT_GE(queries, 1) << where;
  EXPECT_LE(queries, 400) << where;
  ASSERT_TRUE(valid(got)) << where << "answered "
                          << read_file(work / "rods.out");
  EXPECT_EQ(cells(got.r, got.a, got.b, got.p, got.q, got.c),
            cells(k.r, k.a, k.b, k.p, k.q, k.c))
      << where << "answered " << read_file(work / "rods.out");
}

// Hand-picked shapes at the edges of the grid and of each other.
std::vector<rods> adversarial() {
  std::vector<rods> all;
  for (int n : {5, 10000}) {
    const int m = n - 1;
    // Length-2 rods in the four corners, both ways round.
    all.push_back(make(n, 1, 1, 2, 2, 3, 1));
    all.push_back(make(n, n, m, n, 1, 2, n));
    all.push_back(make(n, 1, m, n, m, n, 1));
    all.push_back(make(n, n, 1, 2, 1, 2, 1));
    all.push_back(make(n, 1, 1, 2, 1, 2, 1));  // an L sharing the corner cell
    all.push_back(make(n, n, m, n, m, n, n));
    // Crossing in the middle, and full-length rods crossing.
    all.push_back(make(n, 3, 2, 4, 2, 4, 3));
    all.push_back(make(n, 1, 1, n, 1, n, 1));
    all.push_back(make(n, n, 1, n, 1, n, n));
    all.push_back(make(n, 2, 1, n, 1, n, 3));
    // T shapes: one rod's end on the other's middle, from each side.
    all.push_back(make(n, 3, 2, 4, 3, 5, 3));
    all.push_back(make(n, 3, 2, 4, 1, 3, 3));
    all.push_back(make(n, 3, 3, 5, 2, 4, 3));
    all.push_back(make(n, 3, 1, 3, 2, 4, 3));
    // Touching end to side without sharing, and far apart.
    all.push_back(make(n, 3, 1, 2, 1, 5, 3));
    all.push_back(make(n, 3, 4, 5, 1, 2, 3));
    all.push_back(make(n, 1, 1, 2, m, n, n));
    all.push_back(make(n, n, m, n, 1, 2, 1));
  }
  return all;
}

std::vector<rods> seeded(unsigned seed, int count) {
  std::mt19937 rng(seed);
  const int sizes[] = {5, 6, 7, 50, 1000, 9999, 10000};
  auto pick = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  std::vector<rods> all;
  while (static_cast<int>(all.size()) < count) {
    const int n = sizes[pick(0, 6)];
    // Short rods are the hard ones: lengths 2 and 3 come often.
    auto span = [&](int* lo, int* hi) {
      int len = pick(0, 2) == 0 ? pick(2, n) : pick(2, std::min(3, n));
      *lo = pick(1, n - len + 1);
      *hi = *lo + len - 1;
    };
    int a, b, p, q;
    span(&a, &b);
    span(&p, &q);
    int r = pick(1, n), c = pick(1, n);
    // Often put each rod's line through or next to the other rod.
    if (pick(0, 1) == 0) c = std::clamp(pick(a - 1, b + 1), 1, n);
    if (pick(0, 1) == 0) r = std::clamp(pick(p - 1, q + 1), 1, n);
    all.push_back(make(n, r, a, b, p, q, c));
  }
  return all;
}

TEST(Solvers, AdversarialAndSeededCases) {
  std::vector<rods> cases = adversarial();
  std::vector<rods> more = seeded(20261210u, GRIDPROBE_SEEDED_CASES);
  cases.insert(cases.end(), more.begin(), more.end());
  for (const solver& s : kSolvers) {
    scratch_dir work;
    for (const rods& k : cases) {
      ASSERT_TRUE(valid(k)) << rods_in(k);
      expect_solved(s, k, work.path());
    }
  }
}

// A program started without some of descriptors 0 to 2: the library's files
// must not take those numbers, where its own messages would land in them.
TEST(Solvers, StartedWithStandardDescriptorsClosed) {
  const std::vector<std::vector<int>> closed_sets = {{0}, {1}, {2}, {0, 1, 2}};
  const rods good = make(10, 2, 3, 7, 5, 8, 9);
  for (const solver& s : kSolvers) {
    for (const std::vector<int>& closed : closed_sets) {
      std::string which;
      for (int fd : closed) which += " " + std::to_string(fd);
      SCOPED_TRACE(std::string(s.language) + " without" + which);
      scratch_dir work;
      write_file(work.path() / "rods.in", rods_in(good));
      run_result run = run_target({s.path}, work.path(), closed);
      EXPECT_TRUE(run.exited && run.exit_code == 0) << run.err;
      std::string log = read_file(work.path() / "rods.log");
      EXPECT_EQ(log.substr(0, 16), "gridsize() = 10\n");
      EXPECT_NE(log.find("\nreport (2,3,2,7,5,9,8,9)\n"), std::string::npos)
          << log;
      std::string out = read_file(work.path() / "rods.out");
      EXPECT_NE(out.find("\n2 3 2 7\n5 9 8 9\n"), std::string::npos) << out;
      EXPECT_NE(out.substr(0, 2), "0\n") << out;

      // A failed load writes the message to standard output while rods.in
      // is still open.
      write_file(work.path() / "rods.in", "10 2 3 2 7 5 9 8 0\n");
      run = run_target({s.path}, work.path(), closed);
      EXPECT_TRUE(run.exited && run.exit_code == 0) << run.err;
      EXPECT_EQ(read_file(work.path() / "rods.out"),
                "0\nOne of the coordinates is out of range.\n");
      EXPECT_EQ(read_file(work.path() / "rods.in"), "10 2 3 2 7 5 9 8 0\n");
    }
  }
}

#if GRIDPROBE_EXHAUSTIVE
// Every test case there is on the smallest grid: 2500 per language.
class EveryCaseOfFive : public ::testing::TestWithParam<solver> {};

TEST_P(EveryCaseOfFive, Solved) {
  scratch_dir work;
  for (int r = 1; r <= 5; ++r)
    for (int a = 1; a <= 5; ++a)
      for (int b = a + 1; b <= 5; ++b)
        for (int c = 1; c <= 5; ++c)
          for (int p = 1; p <= 5; ++p)
            for (int q = p + 1; q <= 5; ++q)
              expect_solved(GetParam(), make(5, r, a, b, p, q, c), work.path());
}

INSTANTIATE_TEST_SUITE_P(Languages, EveryCaseOfFive,
                         ::testing::ValuesIn(kSolvers),
                         [](const ::testing::TestParamInfo<solver>& p) {
                           std::string name = p.param.language;
                           std::replace(name.begin(), name.end(), '+', 'p');
                           return name;
                         });
#endif

}  // namespace
}  // namespace gridprobe_test
