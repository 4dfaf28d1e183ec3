// CMS Communication: the manager and real programs wired as CMS wires them
// (tests/gridprobe/runners/cms_runner.c), compiled with CMS's command lines.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "judge_programs.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using judges::judge;

struct cms_run {
  std::string verdict;      // the runner's line: outcome / user-failed / failed
  std::string output_txt;   // the manager's output.txt, "<missing>" if none
  std::string manager_err;  // everything the manager wrote on stderr
};

class CmsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { programs_ = new testkit::scratch_dir("cms"); }
  static void TearDownTestSuite() {
    delete programs_;
    programs_ = nullptr;
    built_.clear();
  }

  // The program compiled once per test binary, as CMS compiles it.
  static fs::path program(const std::string& name) {
    auto it = built_.find(name);
    if (it != built_.end()) return it->second;
    std::string log;
    fs::path exe =
        judges::compile(judge::cms, name, *programs_ / name,
                        GRIDPROBE_JUDGE_HEADER, GRIDPROBE_JUDGE_UNIT, &log);
    EXPECT_FALSE(exe.empty()) << name << " did not compile:\n" << log;
    built_[name] = exe;
    return exe;
  }

  cms_run run(const std::string& mode, const std::string& input,
              const std::vector<std::string>& program, int wall = 10,
              const std::vector<std::string>& manager_options = {}) {
    testkit::scratch_dir box("cms-manager");
    testkit::write_file(box / "input.txt", input);
    std::vector<std::string> argv = {GRIDPROBE_CMS_RUNNER,
                                     mode,
                                     std::to_string(wall),
                                     box.path().string(),
                                     (box / "input.txt").string(),
                                     GRIDPROBE_MANAGER};
    argv.insert(argv.end(), manager_options.begin(), manager_options.end());
    argv.push_back("--");
    argv.insert(argv.end(), program.begin(), program.end());
    testkit::run_result r = testkit::run_program(argv);
    EXPECT_TRUE(r.exited && r.exit_code == 0) << r.err;
    cms_run out;
    out.verdict = r.out.substr(0, r.out.find('\n'));
    out.output_txt = testkit::read_file(box / "output.txt");
    out.manager_err = testkit::read_file(box / "manager.stderr");
    return out;
  }

  static testkit::scratch_dir* programs_;
  static std::map<std::string, fs::path> built_;
};

testkit::scratch_dir* CmsTest::programs_ = nullptr;
std::map<std::string, fs::path> CmsTest::built_;

const char* const kRightOut = "1\n2 3 2 7\n5 9 8 9\n";

// The right answer in C and Pascal, through every way the user side can open
// its FIFOs: the manager must never deadlock, whatever the order.
TEST_F(CmsTest, RightAnswerInEveryOpeningOrder) {
  for (const char* prog : {"right", "pas-right"})
    for (const char* mode : {"std_io", "std_io_out_first", "fifo_io"}) {
      SCOPED_TRACE(std::string(prog) + " " + mode);
      cms_run r = run(mode, judges::kCase, {program(prog).string()});
      EXPECT_EQ(r.verdict, "outcome 1 translate:success");
      EXPECT_EQ(r.output_txt, kRightOut);
    }
}

struct outcome_case {
  const char* program;
  const char* input;  // appended to the case
  const char* verdict;
  const char* output_txt;
};

// Score, message and output.txt for each way a run can end.
TEST_F(CmsTest, OutcomeTable) {
  const outcome_case cases[] = {
      {"wrong", "", "outcome 0 translate:wrong", "1\n2 3 2 8\n5 9 8 9\n"},
      {"pas-wrong", "", "outcome 0 translate:wrong", "1\n2 3 2 8\n5 9 8 9\n"},
      // 6 calls between F = 2 and Z = 10: (10 - 6) / (10 - 2).
      {"six_calls", "score 2 10\n", "outcome 0.5 translate:partial",
       "6\n2 3 2 7\n5 9 8 9\n"},
      {"six_calls", "score 6 10\n", "outcome 1 translate:success",
       "6\n2 3 2 7\n5 9 8 9\n"},
      // Right, but at Z calls: nothing left to score.
      {"six_calls", "score 1 6\n", "outcome 0 translate:wrong",
       "6\n2 3 2 7\n5 9 8 9\n"},
      {"too_many", "", "outcome 0 Too many rect() calls.",
       "0\nToo many rect() calls.\n"},
      {"bad_call", "", "outcome 0 Invalid library function call.",
       "0\nInvalid library function call.\n"},
      // Ends without a report: CMS is told so, and no output.txt appears.
      {"exit_before_report", "",
       "outcome 0 The program ended without calling report.", "<missing>"},
      // A crash is the user's failure; CMS words that itself.
      {"crash_before_report", "", "user-failed", "<missing>"},
  };
  for (const outcome_case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " with \"" + c.input + "\"");
    cms_run r = run("std_io", std::string(judges::kCase) + c.input,
                    {program(c.program).string()});
    EXPECT_EQ(r.verdict, c.verdict);
    EXPECT_EQ(r.output_txt, c.output_txt);
  }
}

// A program that floods gridsize requests without reading a reply ends at
// the log limit: a failed evaluation, the reason on stderr, no output.txt,
// whatever the limit.
TEST_F(CmsTest, TranscriptFloodEndsAtTheLogLimit) {
  testkit::scratch_dir dir("cms-flood");
  fs::path flood = judges::script(dir.path(), "flood",
                                   "yes G & exec cat >/dev/null\n");
  fs::path honest = program("six_calls");
  const struct {
    std::vector<std::string> options;
    fs::path program;
    const char* verdict;
    const char* said;  // in the manager's stderr; "" for nothing
  } rows[] = {
      {{}, flood, "failed", "the log limit (--log-limit 16 MiB)"},
      {{"--log-limit", "1"}, flood, "failed",
       "the log limit (--log-limit 1 MiB)"},
      // Six calls are far below even the smallest bound.
      {{"--log-limit", "1"}, honest, "outcome 1 translate:success", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.program.filename().string() + " " +
                 (row.options.empty() ? "" : row.options.back()));
    cms_run r = run("std_io", judges::kCase, {row.program.string()}, 30,
                    row.options);
    EXPECT_EQ(r.verdict, row.verdict) << r.manager_err;
    EXPECT_NE(r.manager_err.find(row.said), std::string::npos)
        << r.manager_err;
    if (row.verdict == std::string("failed")) {
      EXPECT_EQ(r.output_txt, "<missing>");
    }
  }
}

// A broken test case is the task's fault, never the contestant's: the
// manager fails (CMS marks the evaluation failed, for the admins) with the
// reason on stderr, after letting the user side end.
TEST_F(CmsTest, BrokenCaseFailsTheEvaluation) {
  const struct {
    const char* input;
    const char* reason;
  } rows[] = {
      {"4 2 3 2 7 5 9 8 9\n", "N is out of range. (should be 5~10000)"},
      {"10 2 3 2 7 5 9 8 11\n", "One of the coordinates is out of range."},
      {"10 2 3 2 3 5 9 8 9\n", "ROD1 is not valid."},
      {"10 2 3 2 7 5 1 5 9\n", "ROD2 is not valid."},
      {"10 2 3 2\n", "Invalid input file."},
      {"", "Invalid input file."},
  };
  for (const auto& w : rows) {
    SCOPED_TRACE(w.input);
    for (const char* mode : {"std_io", "fifo_io"}) {
      cms_run r = run(mode, w.input, {program("right").string()});
      EXPECT_EQ(r.verdict, "failed");
      EXPECT_NE(r.manager_err.find(std::string("the test case is invalid: ") +
                                   w.reason),
                std::string::npos)
          << r.manager_err;
      EXPECT_EQ(r.output_txt, "<missing>");
    }
  }
}

// A malformed score line is the task's own fault: the manager fails (CMS
// then reports a system error) instead of scoring with made-up limits.
TEST_F(CmsTest, MalformedScoreLineFailsTheManager) {
  for (const char* line : {"score 5\n", "score 9 4\n", "score x y\n"}) {
    SCOPED_TRACE(line);
    cms_run r = run("std_io", std::string(judges::kCase) + line,
                    {program("right").string()});
    EXPECT_EQ(r.verdict, "failed");
  }
}

// Raw bytes on the wire (no stub): whatever they are, the manager ends the
// run with the invalid-call message and never hangs.
TEST_F(CmsTest, GarbageOnTheWire) {
  testkit::scratch_dir dir("cms-scripts");
  struct row {
    const char* body;
    const char* output_txt;
  } rows[] = {
      {"printf 'hello\\n'; read reply; exit 0\n",
       "0\nInvalid library function call.\n"},
      {"printf 'G\\nR 1 2'; exit 0\n", "0\nInvalid library function call.\n"},
      {"head -c 300 /dev/zero | tr '\\0' 7; read reply; exit 0\n",
       "0\nInvalid library function call.\n"},
      {"printf 'R 1 10 1 99999999999\\n'; read reply; exit 0\n",
       "0\nInvalid library function call.\n"},
  };
  int i = 0;
  for (const row& w : rows) {
    SCOPED_TRACE(w.body);
    fs::path prog =
        judges::script(dir.path(), "s" + std::to_string(i++), w.body);
    cms_run r = run("std_io", judges::kCase, {prog.string()});
    EXPECT_EQ(r.verdict, "outcome 0 Invalid library function call.");
    EXPECT_EQ(r.output_txt, w.output_txt);
  }
}

// A user side that opens one FIFO and dies, or never opens either: the
// manager must end on its own (a manager past its limit is a system error).
TEST_F(CmsTest, UserThatDiesWhileConnecting) {
  testkit::scratch_dir dir("cms-scripts");
  // fifo_io: $1 is the FIFO from the manager, $2 the one to it.
  for (const char* body :
       {"exec 3<\"$1\"; exit 0\n", "exec 3>\"$2\"; exit 0\n", "exit 0\n"}) {
    SCOPED_TRACE(body);
    fs::path prog = judges::script(dir.path(), "connect", body);
    cms_run r = run("fifo_io", judges::kCase, {prog.string()});
    EXPECT_EQ(r.verdict, "outcome 0 The program ended without calling report.");
  }
}

// A user that never ends is killed by CMS; the manager then sees the wire
// close and still reports, in time.
TEST_F(CmsTest, HangingUserIsTheUsersFailure) {
  cms_run r = run("std_io", judges::kCase, {program("hang").string()}, 1);
  EXPECT_EQ(r.verdict, "user-failed");
  EXPECT_NE(r.manager_err.find("ended without calling report"),
            std::string::npos)
      << r.manager_err;
}

// The installed CMS files alone set the task up: the C program compiled
// "alone" against the installed gridprobe.h, the Pascal one against the
// installed unit source, both judged by the installed manager.
TEST_F(CmsTest, InstalledFilesServeATask) {
  testkit::scratch_dir root("cms-install");
  std::string log;
  ASSERT_TRUE(judges::install_tree(root / "prefix", &log)) << log;
  fs::path cms = root / "prefix/share/judgekit/gridprobe/cms";
  for (const char* name :
       {"manager", "gridprobe.h", "pgridprobe.pas", "README.md"})
    EXPECT_TRUE(testkit::file_exists(cms / name)) << name;
  for (const char* prog : {"right", "pas-right"}) {
    SCOPED_TRACE(prog);
    fs::path exe = judges::compile(judge::cms, prog, root / prog,
                                   (cms / "gridprobe.h").string(),
                                   (cms / "pgridprobe.pas").string(), &log);
    ASSERT_FALSE(exe.empty()) << log;
    testkit::scratch_dir box("cms-manager");
    testkit::write_file(box / "input.txt", judges::kCase);
    testkit::run_result r =
        testkit::run_program({GRIDPROBE_CMS_RUNNER, "std_io", "10",
                              box.path().string(), (box / "input.txt").string(),
                              (cms / "manager").string(), "--", exe.string()});
    EXPECT_EQ(r.out, "outcome 1 translate:success\n") << r.err;
    EXPECT_EQ(testkit::read_file(box / "output.txt"), kRightOut);
  }
}

}  // namespace
