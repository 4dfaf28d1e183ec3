// split_check_test.cpp: gridprobe-manager check on right, equivalent-cell,
// wrong and malformed answers, and the edges of the score rule.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "split_process.h"

namespace gridprobe_test {
namespace {

const char kWorked[] = "10 2 3 2 7 5 9 8 9\n";
// Rods sharing the cell (5,5): the shared cell may belong to either.
const char kShared[] = "10 5 2 5 5 5 5 9 5\n";

struct check_row {
  const char* name;
  std::string rods_in;
  std::optional<std::string> rods_out;  // nullopt: no such file
  std::vector<std::string> options;
  int exit_code;
  const char* score;    // stdout, with exit 0
  const char* message;  // part of the stderr line
};

std::string verdict(int count, const std::string& rods) {
  return std::to_string(count) + "\n" + rods;
}

std::vector<check_row> check_rows() {
  const std::string right = "2 3 2 7\n5 9 8 9\n";
  const std::vector<std::string> ten_twenty = {"--full", "10", "--zero", "20"};
  return {
      {"right",
       kWorked,
       verdict(3, right),
       {},
       0,
       "1\n",
       "Right answer with 3 calls."},
      {"right at the limit",
       kWorked,
       verdict(400, right),
       {},
       0,
       "1\n",
       "Right answer"},
      {"shared cell kept by rod 1",
       kShared,
       verdict(7, "5 2 5 5\n6 5 9 5\n"),
       {},
       0,
       "1\n",
       "Right answer"},
      {"shared cell kept by rod 2",
       kShared,
       verdict(7, "5 2 5 4\n5 5 9 5\n"),
       {},
       0,
       "1\n",
       "Right answer"},
      {"shared cell in both",
       kShared,
       verdict(7, "5 2 5 5\n5 5 9 5\n"),
       {},
       0,
       "1\n",
       "Right answer"},
      {"shared cell dropped",
       kShared,
       verdict(7, "5 2 5 4\n6 5 9 5\n"),
       {},
       0,
       "0\n",
       "Wrong answer."},
      {"one cell short",
       kWorked,
       verdict(3, "2 3 2 6\n5 9 8 9\n"),
       {},
       0,
       "0\n",
       "Wrong answer."},
      {"one cell more",
       kWorked,
       verdict(3, "2 3 2 7\n5 9 9 9\n"),
       {},
       0,
       "0\n",
       "Wrong answer."},
      {"rods swapped",
       kWorked,
       verdict(3, "5 9 8 9\n2 3 2 7\n"),
       {},
       0,
       "0\n",
       "Wrong answer."},
      {"rod given backwards",
       kWorked,
       verdict(3, "2 7 2 3\n5 9 8 9\n"),
       {},
       0,
       "0\n",
       "Wrong answer."},
      {"outside the grid",
       kWorked,
       verdict(3, "2 3 2 11\n5 9 8 9\n"),
       {},
       0,
       "0\n",
       "Wrong answer."},
      {"negative values",
       kWorked,
       verdict(3, "-2 3 -2 7\n5 9 8 9\n"),
       {},
       0,
       "0\n",
       "Wrong answer."},
      {"an error verdict",
       kWorked,
       std::string("0\nToo many rect() calls.\n"),
       {},
       0,
       "0\n",
       "Too many rect() calls."},
      {"empty rods.out",
       kWorked,
       std::string(""),
       {},
       0,
       "0\n",
       "Malformed rods.out."},
      {"words",
       kWorked,
       std::string("right answer\n"),
       {},
       0,
       "0\n",
       "Malformed rods.out."},
      {"eight numbers",
       kWorked,
       std::string("3\n2 3 2 7\n5 9 8\n"),
       {},
       0,
       "0\n",
       "Malformed rods.out."},
      {"ten numbers",
       kWorked,
       verdict(3, right + "1\n"),
       {},
       0,
       "0\n",
       "Malformed rods.out."},
      {"count 401",
       kWorked,
       verdict(401, right),
       {},
       0,
       "0\n",
       "Malformed rods.out."},
      {"count -1",
       kWorked,
       verdict(-1, right),
       {},
       0,
       "0\n",
       "Malformed rods.out."},
      {"number past 32 bits",
       kWorked,
       verdict(3, "2 3 2 4294967303\n5 9 8 9\n"),
       {},
       0,
       "0\n",
       "Malformed rods.out."},
      {"error without message",
       kWorked,
       std::string("0\n"),
       {},
       0,
       "0\n",
       "Malformed rods.out."},
      {"NUL byte",
       kWorked,
       std::string("3\n2 3 2 7\n5 9 8 9\n\0", 19),
       {},
       0,
       "0\n",
       "Malformed rods.out."},
      // The score rule, F = 10 and Z = 20.
      {"count F", kWorked, verdict(10, right), ten_twenty, 0, "1\n", "Right"},
      {"count F+1", kWorked, verdict(11, right), ten_twenty, 0, "0.9\n",
       "partial"},
      {"count halfway", kWorked, verdict(15, right), ten_twenty, 0, "0.5\n",
       "partial"},
      {"count Z-1", kWorked, verdict(19, right), ten_twenty, 0, "0.1\n",
       "partial"},
      {"count Z", kWorked, verdict(20, right), ten_twenty, 0, "0\n",
       "too many"},
      {"count past Z", kWorked, verdict(300, right), ten_twenty, 0, "0\n",
       "too many"},
      {"wrong within F", kWorked, verdict(5, "2 3 2 6\n5 9 8 9\n"), ten_twenty,
       0, "0\n", "Wrong answer."},
      {"F equal to Z",
       kWorked,
       verdict(31, right),
       {"--full", "30", "--zero", "30"},
       0,
       "0\n",
       "too many"},
      {"score line in rods.in",
       "10 2 3 2 7 5 9 8 9\nscore 100 300\n",
       verdict(200, right),
       {},
       0,
       "0.5\n",
       "partial"},
      {"options over the score line",
       "10 2 3 2 7 5 9 8 9\nscore 100 300\n",
       verdict(200, right),
       {"--full", "200"},
       0,
       "1\n",
       "Right"},
      {"other text after the case is ignored",
       "10 2 3 2 7 5 9 8 9 whatever follows\n",
       verdict(400, right),
       {},
       0,
       "1\n",
       "Right"},
      // Failures of the checker itself.
      // What a run without report leaves: score 0, and no verdict said.
      {"no rods.out", kWorked, std::nullopt, {}, 0, "0\n", "No verdict"},
      {"no rods.in", "", verdict(3, right), {}, 1, "", "cannot read"},
      {"invalid rods.in",
       "4 2 3 2 4 1 1 3 1\n",
       verdict(3, right),
       {},
       1,
       "",
       "N is out of range."},
      {"score line short",
       "10 2 3 2 7 5 9 8 9\nscore 5\n",
       verdict(3, right),
       {},
       1,
       "",
       "score"},
      {"score line reversed",
       "10 2 3 2 7 5 9 8 9\nscore 20 10\n",
       verdict(3, right),
       {},
       1,
       "",
       "score"},
      {"F over Z by options",
       kWorked,
       verdict(3, right),
       {"--full", "50", "--zero", "40"},
       1,
       "",
       "exceeds"},
      {"unknown option",
       kWorked,
       verdict(3, right),
       {"--half", "3"},
       1,
       "",
       "usage"},
      {"option without value",
       kWorked,
       verdict(3, right),
       {"--full"},
       1,
       "",
       "usage"},
      {"negative option",
       kWorked,
       verdict(3, right),
       {"--zero", "-1"},
       1,
       "",
       "usage"},
  };
}

TEST(Check, EveryRowAsTheTableSays) {
  for (const check_row& row : check_rows()) {
    SCOPED_TRACE(row.name);
    scratch_dir dir;
    if (std::string(row.name) != "no rods.in")
      write_file(dir.path() / "rods.in", row.rods_in);
    if (row.rods_out) write_file(dir.path() / "rods.out", *row.rods_out);
    std::vector<std::string> argv = {GRIDPROBE_MANAGER, "check",
                                     (dir.path() / "rods.in").string(),
                                     (dir.path() / "rods.out").string()};
    argv.insert(argv.end(), row.options.begin(), row.options.end());
    run_result run = run_program(argv, dir.path());
    EXPECT_TRUE(run.exited && run.exit_code == row.exit_code)
        << run.exit_code << " " << run.err;
    if (row.exit_code == 0) {
      EXPECT_EQ(run.out, row.score);
      // One message line.
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
  }
}

}  // namespace
// Options go before, between or after the two files; each usage error names
// what was wrong before the usage line.
TEST(Check, OptionsAnywhereAndUsageErrorsNamed) {
  scratch_dir dir;
  const std::string in = (dir.path() / "rods.in").string();
  const std::string out = (dir.path() / "rods.out").string();
  write_file(in, "10 2 3 2 7 5 9 8 9\n");
  write_file(out, verdict(15, "2 3 2 7\n5 9 8 9\n"));
  struct row {
    const char* name;
    std::vector<std::string> args;
    int exit_code;
    const char* out;      // stdout with exit 0
    const char* message;  // part of stderr
  } rows[] = {
      {"before",
       {"--full", "10", "--zero", "20", in, out},
       0,
       "0.5\n",
       "Right"},
      {"between",
       {in, "--zero", "20", out, "--full", "10"},
       0,
       "0.5\n",
       "Right"},
      {"after", {in, out, "--full", "10", "--zero", "20"}, 0, "0.5\n", "Right"},
      {"files after --",
       {"--full", "10", "--zero", "20", "--", in, out},
       0,
       "0.5\n",
       "Right"},
      {"not a count",
       {in, out, "--wall", "3"},
       1,
       "",
       "unknown option: --wall"},
      {"bad count",
       {in, out, "--full", "abc"},
       1,
       "",
       "not a count of calls: abc"},
      {"count missing",
       {in, out, "--zero"},
       1,
       "",
       "a count of calls must follow: --zero"},
      {"one file", {in}, 1, "", "RODS_IN and RODS_OUT are needed"},
      {"three files", {in, out, out}, 1, "", "one file too many"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<std::string> argv = {GRIDPROBE_MANAGER, "check"};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    run_result run = run_program(argv, dir.path());
    EXPECT_TRUE(run.exited && run.exit_code == r.exit_code)
        << run.exit_code << " " << run.err;
    EXPECT_EQ(run.out, r.out);
    EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
    if (r.exit_code != 0) {
      EXPECT_NE(run.err.find("usage: gridprobe-manager check"),
                std::string::npos)
          << run.err;
    }
  }
}

// --help is the usage on stdout with exit 0; --version the project version.
TEST(Manager, HelpAndVersion) {
  scratch_dir dir;
  run_result help = run_program({GRIDPROBE_MANAGER, "--help"}, dir.path());
  EXPECT_TRUE(help.exited && help.exit_code == 0) << help.err;
  EXPECT_NE(help.out.find("gridprobe-manager run"), std::string::npos);
  EXPECT_NE(help.out.find("gridprobe-manager check"), std::string::npos);
  EXPECT_EQ(help.err, "");
  run_result version =
      run_program({GRIDPROBE_MANAGER, "--version"}, dir.path());
  EXPECT_TRUE(version.exited && version.exit_code == 0);
  EXPECT_EQ(version.out, "gridprobe-manager " JUDGEKIT_VERSION "\n");
  run_result none = run_program({GRIDPROBE_MANAGER}, dir.path());
  EXPECT_TRUE(none.exited && none.exit_code == 1);
  EXPECT_NE(none.err.find("usage:"), std::string::npos);
  EXPECT_EQ(none.out, "");
}

}  // namespace gridprobe_test
