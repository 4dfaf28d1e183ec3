// testlib-convention judges: the manager as interactor and checker, run with
// real programs under an emulator of such judges (runners/testlib_runner.c),
// the programs compiled as those judges compile them. Every test runs with
// both forms of the program: the manager found by its name, and the one-file
// source compiled with plain g++ -O2 under a name of the judge's choosing.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "judge_programs.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

enum class form { named, one_file };

void PrintTo(form f, std::ostream* os) {
  *os << (f == form::named ? "named" : "one-file");
}

struct helpers {
  fs::path interactor, checker;
};

struct judged {
  std::string meta;     // the runner's raw statuses
  std::string verdict;  // the judge's verdict
  std::string comment;  // the helpers' stderr, as the runner relays it
  std::string output;   // OUTPUT after the run
};

class TestlibTest : public ::testing::TestWithParam<form> {
 protected:
  static void SetUpTestSuite() { built_ = new testkit::scratch_dir("testlib"); }
  static void TearDownTestSuite() {
    delete built_;
    built_ = nullptr;
    programs_.clear();
    helpers_.clear();
  }

  // The interactor and the checker in the form under test.
  static helpers tools(form f) {
    auto it = helpers_.find(f);
    if (it != helpers_.end()) return it->second;
    helpers h;
    if (f == form::named) {
      fs::path dir = *built_ / "named";
      fs::create_directories(dir);
      h.interactor = dir / "gridprobe-interactor";
      h.checker = dir / "gridprobe-checker";
      fs::create_symlink(GRIDPROBE_MANAGER, h.interactor);
      fs::create_symlink(GRIDPROBE_MANAGER, h.checker);
    } else {
      // As Polygon or DMOJ builds it: the file alone, plain g++ -O2, and a
      // name that says nothing.
      fs::path dir = *built_ / "one-file";
      fs::create_directories(dir);
      std::string log;
      for (const char* name : {"interactor", "checker"}) {
        fs::path src = std::string(name) == "interactor"
                           ? GRIDPROBE_TESTLIB_INTERACTOR_SOURCE
                           : GRIDPROBE_TESTLIB_CHECKER_SOURCE;
        testkit::write_file(dir / (std::string(name) + ".cpp"),
                            testkit::read_file(src));
        EXPECT_TRUE(testkit::run_shell(std::string("g++ -O2 -o ") + name +
                                           "_prog " + name + ".cpp",
                                       dir, &log))
            << log;
      }
      h.interactor = dir / "interactor_prog";
      h.checker = dir / "checker_prog";
    }
    helpers_[f] = h;
    return h;
  }

  // A contestant program: "c-NAME" (gcc, C), "cpp-NAME" (g++, the same body
  // as C++), "pas-right" / "pas-wrong" (fpc), each with the one-file header
  // or the unit beside it as a resource file.
  static fs::path program(const std::string& key) {
    auto it = programs_.find(key);
    if (it != programs_.end()) return it->second;
    fs::path dir = *built_ / key;
    fs::create_directories(dir);
    std::string cmd, log;
    if (key.rfind("pas-", 0) == 0) {
      testkit::write_file(dir / "sol.pas",
                          judges::pascal_source(key == "pas-right"));
      testkit::write_file(dir / "pgridprobe.pas",
                          testkit::read_file(GRIDPROBE_JUDGE_UNIT));
      cmd = "fpc -So -O2 -XS -oprog sol.pas";
    } else {
      bool cpp = key.rfind("cpp-", 0) == 0;
      std::string name = key.substr(key.find('-') + 1);
      testkit::write_file(dir / (cpp ? "sol.cpp" : "sol.c"),
                          judges::c_source(name));
      testkit::write_file(dir / "gridprobe.h",
                          testkit::read_file(GRIDPROBE_JUDGE_HEADER));
      cmd = cpp ? "g++ -O2 -std=c++17 -static -o prog sol.cpp"
                : "gcc -Wall -O2 -std=gnu11 -static -o prog sol.c -lm";
    }
    EXPECT_TRUE(testkit::run_shell(cmd, dir, &log)) << key << ":\n" << log;
    programs_[key] = dir / "prog";
    return dir / "prog";
  }

  // One run: the interactor gets "INPUT OUTPUT ANSWER" plus extra.
  judged run(const fs::path& prog, const std::string& input,
             const std::string& answer, bool with_checker = false,
             const std::vector<std::string>& extra = {},
             const std::vector<std::string>& env = {}, int wall = 10) {
    helpers h = tools(GetParam());
    testkit::write_file(box_ / "case.in", input);
    testkit::write_file(box_ / "case.ans", answer);
    fs::remove(box_ / "case.out");
    std::vector<std::string> argv = {GRIDPROBE_TESTLIB_RUNNER};
    if (with_checker) argv.insert(argv.end(), {"--checker", h.checker.string()});
    argv.insert(argv.end(),
                {std::to_string(wall), h.interactor.string(),
                 (box_ / "case.in").string(), (box_ / "case.out").string(),
                 (box_ / "case.ans").string()});
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.insert(argv.end(), {";", prog.string()});
    testkit::run_options opt;
    opt.dir = box_.path();
    opt.env_set = env;
    testkit::run_result r = testkit::run_program(argv, opt);
    EXPECT_TRUE(r.exited && r.exit_code == 0) << r.err;
    judged out;
    size_t eol = r.out.find('\n');
    size_t eol2 = r.out.find('\n', eol + 1);
    out.meta = r.out.substr(0, eol);
    out.verdict = eol == std::string::npos ? "" : r.out.substr(eol + 1, eol2 - eol - 1);
    out.comment = eol2 == std::string::npos ? "" : r.out.substr(eol2 + 1);
    out.output = testkit::read_file(box_ / "case.out");
    return out;
  }

  // A helper run directly: its exit status and stderr.
  testkit::run_result direct(const fs::path& helper,
                             const std::vector<std::string>& args,
                             const std::vector<std::string>& env = {}) {
    std::vector<std::string> argv = {helper.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    testkit::run_options opt;
    opt.dir = box_.path();
    opt.env_set = env;
    opt.stdin_bytes = "";
    return testkit::run_program(argv, opt);
  }

  std::string in(const char* name) const { return (box_ / name).string(); }

  testkit::scratch_dir box_{"testlib-run"};
  static testkit::scratch_dir* built_;
  static std::map<std::string, fs::path> programs_;
  static std::map<form, helpers> helpers_;
};

testkit::scratch_dir* TestlibTest::built_ = nullptr;
std::map<std::string, fs::path> TestlibTest::programs_;
std::map<form, helpers> TestlibTest::helpers_;

const std::string kCase = judges::kCase;

struct verdict_case {
  const char* program;
  std::string input;   // the test's input file
  const char* answer;  // the answer file
  const char* verdict;
  double score;  // what gridprobe-manager check gives OUTPUT; -1: not run
};

// The verdict the judge reaches, then the same OUTPUT judged again: by the
// testlib checker (the interactor's exit status, its points too) and by
// gridprobe-manager check (the score).
TEST_P(TestlibTest, VerdictTable) {
  const verdict_case cases[] = {
      {"c-right", kCase, "", "OK", 1},
      {"cpp-right", kCase, "", "OK", 1},
      {"pas-right", kCase, "", "OK", 1},
      {"c-wrong", kCase, "", "WA", 0},
      {"pas-wrong", kCase, "", "WA", 0},
      // No final reply after a wrong answer: its exit handlers never run.
      {"c-wrong_then_crash", kCase, "", "WA", 0},
      // The final reply lets it go; the crash in its exit handlers counts.
      {"c-right_then_crash", kCase, "", "RE", 1},
      {"c-crash_before_report", kCase, "", "RE", -1},
      {"c-exit_before_report", kCase, "", "WA", -1},
      {"c-too_many", kCase, "", "WA", 0},
      {"cpp-too_many", kCase, "", "WA", 0},
      {"c-bad_call", kCase, "", "WA", 0},
      // Points: (10 - 6) / (10 - 2), from the input or the answer file.
      {"c-six_calls", kCase + "score 2 10\n", "", "POINTS 0.5", 0.5},
      {"c-six_calls", kCase, "score 2 10\n", "POINTS 0.5", 0.5},
      {"c-six_calls", kCase + "score 1 4\n", "score 2 10\n", "POINTS 0.5", 0.5},
      {"c-six_calls", kCase + "score 3 10\n", "", "POINTS 0.5714285714",
       4.0 / 7},
      {"c-six_calls", kCase + "score 6 10\n", "", "OK", 1},
      // Right, but too late for any points: no points at all.
      {"c-six_calls", kCase + "score 1 6\n", "", "WA", 0},
      // A broken test is the judge's failure, whatever the program does.
      {"c-right", "10 2 3 2 2 5 9 8 9\n", "", "FAIL", -1},
      {"c-right", "4 2 3 2 2 5 9 8 9\n", "", "FAIL", -1},
      {"c-right", "10 2 3\n", "", "FAIL", -1},
      {"c-right", kCase + "score 9 4\n", "", "FAIL", -1},
      {"c-right", kCase, "score 5\n", "FAIL", -1},
  };
  helpers h = tools(GetParam());
  for (const verdict_case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " on \"" + c.input + "\" \"" +
                 c.answer + "\"");
    judged r = run(program(c.program), c.input, c.answer);
    EXPECT_EQ(r.verdict, c.verdict) << r.meta << "\n" << r.comment;
    if (std::string(c.verdict) == "FAIL") {
      EXPECT_EQ(r.comment.rfind("FAIL ", 0), 0u) << r.comment;
      continue;
    }
    // The testlib checker on OUTPUT: the interactor's own status and points.
    testkit::run_result chk =
        direct(h.checker, {in("case.in"), in("case.out"), in("case.ans")});
    int status = std::stoi(r.meta.substr(0, r.meta.find(' ')));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(chk.exit_code, WEXITSTATUS(status)) << chk.err;
    if (WEXITSTATUS(status) == 7) {
      EXPECT_EQ(chk.err.substr(0, chk.err.find('\n') + 1),
                r.comment.substr(0, r.comment.find('\n') + 1));
    }
    if (c.score < 0) continue;
    // gridprobe-manager check on the same OUTPUT: the same score.
    std::vector<std::string> args = {"check", in("case.in"), in("case.out")};
    std::string ans = c.answer;
    if (ans.rfind("score ", 0) == 0) {
      int full = 0, zero = 0;
      sscanf(ans.c_str(), "score %d %d", &full, &zero);
      args.insert(args.end(), {"--full", std::to_string(full), "--zero",
                               std::to_string(zero)});
    }
    testkit::run_result score = direct(GRIDPROBE_MANAGER, args);
    EXPECT_EQ(score.exit_code, 0) << score.err;
    EXPECT_NEAR(std::stod(score.out), c.score, 1e-6) << score.out;
  }
}

// OUTPUT holds the rods.out bytes of the run, or nothing without a report.
TEST_P(TestlibTest, OutputIsTheRodsOut) {
  struct row {
    const char* program;
    const char* output;
  } rows[] = {
      {"c-right", "1\n2 3 2 7\n5 9 8 9\n"},
      {"c-wrong", "1\n2 3 2 8\n5 9 8 9\n"},
      {"c-too_many", "0\nToo many rect() calls.\n"},
      {"c-bad_call", "0\nInvalid library function call.\n"},
      {"c-exit_before_report", ""},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(w.program);
    EXPECT_EQ(run(program(w.program), kCase, "").output, w.output);
  }
}

// The comment: on stderr as testlib words it, or in the result file, plain
// or as the XML result element of -appes.
TEST_P(TestlibTest, CommentAndResultFile) {
  std::string scored = kCase + "score 2 10\n";
  judged r = run(program("c-right"), kCase, "");
  EXPECT_EQ(r.comment, "ok Right answer with 1 calls.\n");
  r = run(program("c-wrong"), kCase, "");
  EXPECT_EQ(r.comment, "wrong answer Wrong answer.\n");
  r = run(program("c-too_many"), kCase, "");
  EXPECT_EQ(r.comment, "wrong answer Too many rect() calls.\n");
  r = run(program("c-exit_before_report"), kCase, "");
  EXPECT_EQ(r.comment, "wrong answer The program ended without calling report.\n");
  // The points lead the message; the same share follows as a fraction.
  r = run(program("c-six_calls"), scored, "");
  EXPECT_EQ(r.comment,
            "points 0.5 Right answer with 6 calls: partial score.\n"
            "partial 1/2\n");
  r = run(program("c-right"), "10 2 3 2 2 5 9 8 9\n", "");
  EXPECT_EQ(r.comment, "FAIL The test case is invalid: ROD1 is not valid.\n");

  struct row {
    const char* program;
    std::string input;
    bool appes;
    const char* verdict;
    const char* file;
  } rows[] = {
      {"c-right", kCase, false, "OK", "Right answer with 1 calls."},
      {"c-right", kCase, true, "OK",
       "<?xml version=\"1.0\" encoding=\"windows-1251\"?><result outcome = "
       "\"accepted\">Right answer with 1 calls.</result>\n"},
      {"c-wrong", kCase, true, "WA",
       "<?xml version=\"1.0\" encoding=\"windows-1251\"?><result outcome = "
       "\"wrong-answer\">Wrong answer.</result>\n"},
      {"c-six_calls", scored, false, "POINTS 0.5",
       "0.5 Right answer with 6 calls: partial score."},
      {"c-six_calls", scored, true, "POINTS 0.5",
       "<?xml version=\"1.0\" encoding=\"windows-1251\"?><result outcome = "
       "\"points\" points = \"0.5\">0.5 Right answer with 6 calls: partial "
       "score.</result>\n"},
      {"c-right", "10 2 3 2 2 5 9 8 9\n", true, "FAIL",
       "<?xml version=\"1.0\" encoding=\"windows-1251\"?><result outcome = "
       "\"fail\">The test case is invalid: ROD1 is not valid.</result>\n"},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(std::string(w.program) + (w.appes ? " -appes" : ""));
    std::vector<std::string> extra = {in("result.txt")};
    if (w.appes) extra.push_back("-appes");
    fs::remove(box_ / "result.txt");
    r = run(program(w.program), w.input, "", false, extra);
    EXPECT_EQ(r.verdict, w.verdict);
    EXPECT_EQ(testkit::read_file(box_ / "result.txt"), w.file);
    EXPECT_EQ(r.comment.substr(0, r.comment.find("partial")),
              "\nSee file to check exit message\n");
  }
}

// Arguments outside the convention are the judge's failure (3), said on
// stderr; so are files that cannot be read or written.
TEST_P(TestlibTest, ArgumentAndFileFailures) {
  helpers h = tools(GetParam());
  testkit::write_file(box_ / "case.in", kCase);
  testkit::write_file(box_ / "case.ans", "");
  const std::string usage =
      "FAIL Program must be run with the following arguments: <input-file> "
      "<output-file> [<answer-file> [<report-file> [<-appes>]]]\n";
  struct row {
    bool checker;
    std::vector<std::string> args;
    std::string err;  // its stderr, or its start when it ends with "*"
  } rows[] = {
      {false, {}, usage},
      {false, {in("case.in")}, usage},
      {false, {in("case.in"), in("o"), in("case.ans"), in("r"), "-xml"}, usage},
      {false,
       {in("case.in"), in("o"), in("case.ans"), in("r"), "-appes", "x"},
       usage},
      {true, {in("case.in"), in("o")}, "FAIL Program must be run*"},
      {false, {in("missing.in"), in("o")},
       "FAIL Can not open the input file '" + in("missing.in") + "'\n"},
      {false, {in("case.in"), in("o"), in("missing.ans")},
       "FAIL Can not open the answer file '" + in("missing.ans") + "'\n"},
      {false, {in("case.in"), in("no/such/dir/o")},
       "FAIL Can not write to the test-output-file '" + in("no/such/dir/o") +
           "'\n"},
      {true, {in("case.in"), in("missing.out"), in("case.ans")},
       "FAIL Can not open the output file '" + in("missing.out") + "'\n"},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(std::string(w.checker ? "checker" : "interactor") + " with " +
                 std::to_string(w.args.size()) + " arguments");
    testkit::run_result r = direct(w.checker ? h.checker : h.interactor, w.args);
    EXPECT_EQ(r.exit_code, 3);
    if (!w.err.empty() && w.err.back() == '*')
      EXPECT_EQ(r.err.substr(0, w.err.size() - 1),
                w.err.substr(0, w.err.size() - 1));
    else
      EXPECT_EQ(r.err, w.err);
  }
}

// The checker on OUTPUT files of its own: what an interactor writes, and
// what it never writes.
TEST_P(TestlibTest, CheckerTable) {
  helpers h = tools(GetParam());
  struct row {
    std::string input;
    const char* answer;
    const char* output;
    int status;
    const char* err;
  } rows[] = {
      {kCase, "", "3\n2 3 2 7\n5 9 8 9\n", 0, "ok Right answer with 3 calls.\n"},
      // Polygon's answer file: the model solution's OUTPUT, no score line.
      {kCase, "1\n2 3 2 7\n5 9 8 9\n", "3\n2 3 2 7\n5 9 8 9\n", 0,
       "ok Right answer with 3 calls.\n"},
      {kCase, "", "3\n2 3 2 8\n5 9 8 9\n", 1, "wrong answer Wrong answer.\n"},
      {kCase, "", "0\nNo rect() call.\n", 1, "wrong answer No rect() call.\n"},
      {kCase, "", "", 1,
       "wrong answer The program ended without calling report.\n"},
      {kCase, "", "garbage\n", 2, "wrong output format Malformed rods.out.\n"},
      {kCase, "", "401\n2 3 2 7\n5 9 8 9\n", 2,
       "wrong output format Malformed rods.out.\n"},
      {kCase, "score 2 10\n", "6\n2 3 2 7\n5 9 8 9\n", 7,
       "points 0.5 Right answer with 6 calls: partial score.\npartial 1/2\n"},
      {kCase + "score 2 10\n", "", "10\n2 3 2 7\n5 9 8 9\n", 1,
       "wrong answer Right answer with 10 calls: too many for any score.\n"},
      {"10 2 3 2 2 5 9 8 9\n", "", "3\n2 3 2 7\n5 9 8 9\n", 3,
       "FAIL The test case is invalid: ROD1 is not valid.\n"},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(std::string(w.output) + " / " + w.answer);
    testkit::write_file(box_ / "case.in", w.input);
    testkit::write_file(box_ / "case.ans", w.answer);
    testkit::write_file(box_ / "case.out", w.output);
    testkit::run_result r =
        direct(h.checker, {in("case.in"), in("case.out"), in("case.ans")});
    EXPECT_EQ(r.exit_code, w.status);
    EXPECT_EQ(r.err, w.err);
  }
}

// ejudge: it passes a process id where the convention has the result file,
// takes no points from an interactor and reads whole points of
// EJUDGE_MAX_SCORE from the start of the log its checker shares.
TEST_P(TestlibTest, UnderEjudge) {
  helpers h = tools(GetParam());
  const std::vector<std::string> env = {"EJUDGE=1"};
  std::string scored = kCase + "score 2 10\n";
  judged r = run(program("c-six_calls"), scored, "", false, {"12345"}, env);
  EXPECT_EQ(r.verdict, "OK");
  EXPECT_EQ(r.comment, "");
  EXPECT_FALSE(testkit::file_exists(box_ / "12345"));
  EXPECT_EQ(r.output, "6\n2 3 2 7\n5 9 8 9\n");
  testkit::run_result chk =
      direct(h.checker, {in("case.in"), in("case.out"), in("case.ans"), "info"},
             {"EJUDGE=1", "EJUDGE_MAX_SCORE=30"});
  EXPECT_EQ(chk.exit_code, 7);
  EXPECT_EQ(chk.err.substr(0, chk.err.find('\n')),
            "points 15 Right answer with 6 calls: partial score.");
  EXPECT_FALSE(testkit::file_exists(box_ / "info"));

  r = run(program("c-right"), kCase, "", false, {"12345"}, env);
  EXPECT_EQ(r.verdict, "OK");
  EXPECT_EQ(r.comment, "");
  r = run(program("c-wrong"), kCase, "", false, {"12345"}, env);
  EXPECT_EQ(r.verdict, "WA");
  EXPECT_EQ(r.comment, "wrong answer Wrong answer.\n");
}

// As Polygon: the checker runs after the interactor's OK and its verdict is
// final; on the interactor's OUTPUT it agrees.
TEST_P(TestlibTest, CheckerAfterTheInteractor) {
  struct row {
    const char* program;
    std::string input;
    const char* verdict;
  } rows[] = {
      {"c-right", kCase, "OK"},
      {"pas-wrong", kCase, "WA"},
      {"c-six_calls", kCase + "score 2 10\n", "POINTS 0.5"},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(w.program);
    judged r = run(program(w.program), w.input, "", true);
    EXPECT_EQ(r.verdict, w.verdict) << r.comment;
  }
}

// As DMOJ: OUTPUT is /dev/null, the interactor alone decides.
TEST_P(TestlibTest, OutputToDevNull) {
  helpers h = tools(GetParam());
  testkit::write_file(box_ / "case.in", kCase + "score 2 10\n");
  testkit::write_file(box_ / "case.ans", "");
  std::vector<std::string> argv = {
      GRIDPROBE_TESTLIB_RUNNER, "10", h.interactor.string(), in("case.in"),
      "/dev/null", in("case.ans"), ";", program("c-six_calls").string()};
  testkit::run_result r = testkit::run_program(argv);
  EXPECT_NE(r.out.find("\nPOINTS 0.5\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\npartial 1/2\n"), std::string::npos) << r.out;
}

// Raw bytes on the wire: an invalid call, never a hang; and the final reply
// only after an accepted answer.
TEST_P(TestlibTest, WireFromAScript) {
  testkit::scratch_dir dir("testlib-scripts");
  const char* const garbage[] = {
      "printf 'hello\\n'; read reply; exit 0\n",
      "printf 'G\\nR 1 2'; exit 0\n",
      "head -c 300 /dev/zero | tr '\\0' 7; read reply; exit 0\n",
  };
  int i = 0;
  for (const char* body : garbage) {
    SCOPED_TRACE(body);
    judged r = run(judges::script(dir.path(), "g" + std::to_string(i++), body),
                   kCase, "");
    EXPECT_EQ(r.verdict, "WA");
    EXPECT_EQ(r.output, "0\nInvalid library function call.\n");
  }
  struct row {
    const char* report;
    const char* got;
  } rows[] = {
      {"P 2 3 2 7 5 9 8 9", "E"},
      {"P 2 3 2 8 5 9 8 9", "end of file"},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(w.report);
    fs::path seen = dir / "seen";
    fs::remove(seen);
    fs::path prog = judges::script(
        dir.path(), "final",
        std::string("printf 'R 1 10 1 10\\n'; read a; printf '") + w.report +
            "\\n'\nif read b; then printf '%s' \"$b\" > '" + seen.string() +
            "'; else printf 'end of file' > '" + seen.string() + "'; fi\n");
    run(prog, kCase, "");
    EXPECT_EQ(testkit::read_file(seen), w.got);
  }
}

// A program that floods gridsize requests ends at the log limit: FAIL (exit
// 3) with the reason, and an empty OUTPUT, whatever the bound; a bad bound
// is bad arguments.
TEST_P(TestlibTest, TranscriptFloodEndsAtTheLogLimit) {
  testkit::scratch_dir dir("testlib-flood");
  fs::path flood = judges::script(dir.path(), "flood",
                                   "yes G & exec cat >/dev/null\n");
  const struct {
    std::vector<std::string> extra;
    fs::path program;
    const char* verdict;
    const char* comment;  // its start
    const char* output;
  } rows[] = {
      {{}, flood, "FAIL",
       "FAIL No verdict: the transcript passed the log limit (--log-limit 16 "
       "MiB)",
       ""},
      {{"--log-limit", "1"}, flood, "FAIL",
       "FAIL No verdict: the transcript passed the log limit (--log-limit 1 "
       "MiB)",
       ""},
      {{"--log-limit", "1"}, program("c-right"), "OK", "ok ",
       "1\n2 3 2 7\n5 9 8 9\n"},
      {{"--log-limit", "0"}, program("c-right"), "FAIL",
       "FAIL Program must be run with", "<missing>"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.program.filename().string() + " " +
                 (row.extra.empty() ? "" : row.extra.back()));
    judged r = run(row.program, kCase, "", false, row.extra, {}, 30);
    EXPECT_EQ(r.verdict, row.verdict) << r.comment;
    EXPECT_EQ(r.comment.rfind(row.comment, 0), 0u) << r.comment;
    EXPECT_EQ(r.output, row.output);
  }
}

// A program that never ends is the judge's time limit.
TEST_P(TestlibTest, HangingProgram) {
  judged r = run(program("c-hang"), kCase, "", false, {}, {}, 1);
  EXPECT_EQ(r.verdict, "TLE");
}

INSTANTIATE_TEST_SUITE_P(Forms, TestlibTest,
                         ::testing::Values(form::named, form::one_file),
                         [](const ::testing::TestParamInfo<form>& p) {
                           return p.param == form::named ? "Named" : "OneFile";
                         });

// The program's name chooses the form: the exact names, with any directory
// and extension; anything else is not the interactor.
TEST(TestlibNames, NameChoosesTheForm) {
  testkit::scratch_dir dir("testlib-names");
  testkit::write_file(dir / "case.in", judges::kCase);
  struct row {
    const char* name;
    bool interactor;
  } rows[] = {
      {"gridprobe-interactor", true},
      {"gridprobe-interactor.exe", true},
      {"gridprobe-interactorx", false},
      {"my-gridprobe-interactor", false},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(w.name);
    fs::path link = dir / w.name;
    fs::create_symlink(GRIDPROBE_MANAGER, link);
    testkit::run_options opt;
    opt.dir = dir.path();
    testkit::run_result r = testkit::run_program(
        {link.string(), (dir / "case.in").string(), (dir / "o").string()}, opt);
    // The interactor: no report on an empty stdin, a wrong answer. Anything
    // else: the manager's usage.
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err.rfind("wrong answer ", 0) == 0, w.interactor) << r.err;
    EXPECT_EQ(r.err.rfind("usage: ", 0) == 0, !w.interactor) << r.err;
  }
}

// The installed folder: the named programs and the one-file sources judge a
// right and a wrong answer, the programs compiled with the header and the
// unit installed beside them.
TEST(TestlibInstall, InstalledFolderJudges) {
  testkit::scratch_dir root("testlib-install");
  std::string log;
  ASSERT_TRUE(judges::install_tree(root / "prefix", &log)) << log;
  fs::path pkg = root / "prefix/share/judgekit/gridprobe/testlib";
  for (const char* name :
       {"README.md", "gridprobe-interactor", "gridprobe-checker",
        "gridprobe-interactor.cpp", "gridprobe-checker.cpp", "gridprobe.h",
        "pgridprobe.pas"})
    EXPECT_TRUE(testkit::file_exists(pkg / name)) << name;
  ASSERT_TRUE(testkit::run_shell(
      "g++ -O2 -o built-interactor '" + (pkg / "gridprobe-interactor.cpp").string() + "'",
      root.path(), &log))
      << log;
  testkit::write_file(root / "sol.c", judges::c_source("wrong"));
  testkit::write_file(root / "sol.pas", judges::pascal_source(true));
  ASSERT_TRUE(testkit::run_shell(
      "cp '" + (pkg / "gridprobe.h").string() + "' '" +
          (pkg / "pgridprobe.pas").string() +
          "' . && gcc -O2 -o c-wrong sol.c && fpc -O2 -opas-right sol.pas",
      root.path(), &log))
      << log;
  testkit::write_file(root / "case.in", judges::kCase);
  struct row {
    fs::path interactor;
    const char* prog;
    const char* verdict;
  } rows[] = {
      {pkg / "gridprobe-interactor", "c-wrong", "WA"},
      {pkg / "gridprobe-interactor", "pas-right", "OK"},
      {root / "built-interactor", "c-wrong", "WA"},
      {root / "built-interactor", "pas-right", "OK"},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(w.interactor.string() + " " + w.prog);
    testkit::run_result r = testkit::run_program(
        {GRIDPROBE_TESTLIB_RUNNER, "10", w.interactor.string(),
         (root / "case.in").string(), (root / "case.out").string(), ";",
         (root / w.prog).string()});
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1, strlen(w.verdict) + 1),
              std::string(w.verdict) + "\n")
        << r.out << r.err;
  }
}

}  // namespace
