// DOMjudge and Kattis: the manager as interactive validator, run with real
// programs under emulators of both judges' runners (tests/gridprobe/runners),
// the programs compiled with each judge's own command lines.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "judge_programs.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using judges::judge;

struct judged {
  std::string verdict;  // the judge's verdict line
  std::string meta;     // the runner's own report line
  fs::path feedback;    // the feedback directory
  std::string file(const char* name) const {
    return testkit::read_file(feedback / name);
  }
};

class KattisTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    programs_ = new testkit::scratch_dir("kattis");
  }
  static void TearDownTestSuite() {
    delete programs_;
    programs_ = nullptr;
    built_.clear();
  }

  static fs::path program(judge j, const std::string& name) {
    std::string key = (j == judge::kattis ? "kattis-" : "domjudge-") + name;
    auto it = built_.find(key);
    if (it != built_.end()) return it->second;
    std::string log;
    fs::path exe =
        judges::compile(j, name, *programs_ / key, GRIDPROBE_JUDGE_HEADER,
                        GRIDPROBE_JUDGE_UNIT, &log);
    EXPECT_FALSE(exe.empty()) << key << " did not compile:\n" << log;
    built_[key] = exe;
    return exe;
  }

  // One run under judge J's runner; answer is the answer file's content.
  judged run(judge j, const std::string& answer, const fs::path& prog,
             bool scored = false, int wall = 10) {
    judged out;
    out.feedback = box_ / "feedback";
    fs::remove_all(box_ / "feedback");
    fs::create_directories(out.feedback);
    testkit::write_file(box_ / "case.in", judges::kCase);
    testkit::write_file(box_ / "case.ans", answer);
    std::vector<std::string> argv;
    if (j == judge::kattis) {
      argv = {GRIDPROBE_KATTIS_RUNNER};
      if (scored) argv.push_back("--scored");
      argv.insert(argv.end(),
                  {std::to_string(wall), out.feedback.string(),
                   (box_ / "case.in").string(), (box_ / "case.ans").string(),
                   GRIDPROBE_MANAGER, ";", prog.string()});
    } else {
      argv = {GRIDPROBE_DOMJUDGE_RUNNER,
              std::to_string(wall),
              out.feedback.string(),
              (box_ / "case.in").string(),
              (box_ / "case.ans").string(),
              GRIDPROBE_MANAGER,
              "=",
              prog.string()};
    }
    testkit::run_options opt;
    opt.dir = box_.path();
    testkit::run_result r = testkit::run_program(argv, opt);
    EXPECT_TRUE(r.exited && r.exit_code == 0) << r.err;
    size_t eol = r.out.find('\n');
    out.meta = r.out.substr(0, eol);
    out.verdict =
        eol == std::string::npos
            ? ""
            : r.out.substr(eol + 1, r.out.find('\n', eol + 1) - eol - 1);
    return out;
  }

  testkit::scratch_dir box_{"kattis-run"};
  static testkit::scratch_dir* programs_;
  static std::map<std::string, fs::path> built_;
};

testkit::scratch_dir* KattisTest::programs_ = nullptr;
std::map<std::string, fs::path> KattisTest::built_;

struct verdict_case {
  const char* program;
  const char* answer;
  bool scored;
  const char* domjudge;
  const char* kattis;
};

// The verdict each judge reaches, with both judges' runners. The order of
// exits matters: a wrong answer must stay wrong when the program crashes
// afterwards, and a crash before report must stay a crash.
TEST_F(KattisTest, VerdictTable) {
  const verdict_case cases[] = {
      {"right", "", false, "CORRECT", "AC"},
      {"pas-right", "", false, "CORRECT", "AC"},
      {"wrong", "", false, "WRONG-ANSWER", "WA"},
      {"pas-wrong", "", false, "WRONG-ANSWER", "WA"},
      {"wrong_then_crash", "", false, "WRONG-ANSWER", "WA"},
      // Its exit handlers run only after the final reply: the crash counts.
      {"right_then_crash", "", false, "RUN-ERROR", "RTE"},
      {"crash_before_report", "", false, "RUN-ERROR", "RTE"},
      {"exit_before_report", "", false, "WRONG-ANSWER", "WA"},
      {"too_many", "", false, "WRONG-ANSWER", "WA"},
      {"bad_call", "", false, "WRONG-ANSWER", "WA"},
      // Scored: (10 - 6) / (10 - 2) of the points.
      {"six_calls", "score 2 10\n", true, "CORRECT 0.5", "AC 0.5"},
      {"six_calls", "score 6 10\n", true, "CORRECT 1", "AC 1"},
      {"right", "score 2 10\n", true, "CORRECT 1", "AC 1"},
      {"wrong", "score 2 10\n", true, "WRONG-ANSWER", "WA"},
      {"crash_before_report", "score 2 10\n", true, "RUN-ERROR", "RTE"},
  };
  for (const verdict_case& c : cases)
    for (judge j : {judge::domjudge, judge::kattis}) {
      bool kattis = j == judge::kattis;
      SCOPED_TRACE(std::string(c.program) + " \"" + c.answer + "\" under " +
                   (kattis ? "Kattis" : "DOMjudge"));
      judged r = run(j, c.answer, program(j, c.program), c.scored);
      EXPECT_EQ(r.verdict, kattis ? c.kattis : c.domjudge) << r.meta;
      // score.txt only with an accepted run of a scored problem.
      bool accepted = r.verdict.rfind(kattis ? "AC" : "CORRECT", 0) == 0;
      EXPECT_EQ(testkit::file_exists(r.feedback / "score.txt"),
                accepted && c.scored);
    }
}

// The feedback files of a right, a wrong and an unfinished run.
TEST_F(KattisTest, FeedbackFiles) {
  for (judge j : {judge::domjudge, judge::kattis}) {
    SCOPED_TRACE(j == judge::kattis ? "Kattis" : "DOMjudge");
    judged r = run(j, "", program(j, "right"));
    EXPECT_EQ(r.file("rods.log"),
              "1 : rect (1,10,1,10) = 1\nreport (2,3,2,7,5,9,8,9)\n");
    EXPECT_EQ(r.file("rods.out"), "1\n2 3 2 7\n5 9 8 9\n");
    EXPECT_EQ(r.file("teammessage.txt"), "Right answer with 1 calls.\n");
    EXPECT_EQ(r.file("judgemessage.txt"), "Right answer with 1 calls.\n");

    r = run(j, "", program(j, "wrong"));
    EXPECT_EQ(r.file("rods.out"), "1\n2 3 2 8\n5 9 8 9\n");
    EXPECT_EQ(r.file("teammessage.txt"), "Wrong answer.\n");
    EXPECT_EQ(r.file("judgemessage.txt"),
              "Wrong answer. Reported 2 3 2 8 5 9 8 9 after 1 calls; the rods "
              "are 2 3 2 7 5 9 8 9.\n");

    r = run(j, "", program(j, "exit_before_report"));
    EXPECT_EQ(r.file("rods.log"), "1 : rect (1,10,1,10) = 1\n");
    EXPECT_EQ(r.file("rods.out"), "<missing>");
    EXPECT_EQ(r.file("teammessage.txt"),
              "The program ended without calling report.\n");

    r = run(j, "score 2 10\n", program(j, "six_calls"), true);
    EXPECT_EQ(r.file("score.txt"), "0.500000\n");
  }
}

// A malformed score line in the answer file is a judge error, never a
// verdict on the program.
TEST_F(KattisTest, MalformedScoreLineIsAJudgeError) {
  for (const char* answer : {"score 5\n", "score 9 4\n", "score -1 4\n"}) {
    SCOPED_TRACE(answer);
    judged r =
        run(judge::kattis, answer, program(judge::kattis, "right"), true);
    EXPECT_EQ(r.verdict, "JE validator exited with status 1");
    r = run(judge::domjudge, answer, program(judge::domjudge, "right"));
    EXPECT_EQ(r.verdict, "COMPARE-ERROR");
  }
}

// Raw bytes on the wire: an invalid call, recorded as such, never a hang.
TEST_F(KattisTest, GarbageOnTheWire) {
  testkit::scratch_dir dir("kattis-scripts");
  const char* const bodies[] = {
      "printf 'hello\\n'; read reply; exit 0\n",
      "printf 'G\\nR 1 2'; read reply; exit 0\n",
      "head -c 300 /dev/zero | tr '\\0' 7; read reply; exit 0\n",
      "printf 'R 1 10 1 4294967297\\n'; read reply; exit 0\n",
  };
  int i = 0;
  for (const char* body : bodies) {
    SCOPED_TRACE(body);
    fs::path prog = judges::script(dir.path(), "s" + std::to_string(i++), body);
    for (judge j : {judge::domjudge, judge::kattis}) {
      judged r = run(j, "", prog);
      EXPECT_EQ(r.verdict, j == judge::kattis ? "WA" : "WRONG-ANSWER");
      EXPECT_EQ(r.file("rods.out"), "0\nInvalid library function call.\n");
      EXPECT_EQ(r.file("teammessage.txt"), "Invalid library function call.\n");
    }
  }
}

// The final reply goes out only for a right answer: a program told "E"
// after a wrong one could run its exit handlers while the judge still waits
// for the validator, and a crash there would hide the wrong answer.
TEST_F(KattisTest, FinalReplyOnlyForARightAnswer) {
  testkit::scratch_dir dir("kattis-scripts");
  struct row {
    const char* report;
    const char* got;
  } rows[] = {
      {"P 2 3 2 7 5 9 8 9", "E"},
      {"P 2 3 2 8 5 9 8 9", "end of file"},
      {"P 0 0 0 0 0 0 0 0", "end of file"},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(w.report);
    fs::path seen = dir / "seen";
    fs::path prog = judges::script(
        dir.path(), "final",
        std::string("printf 'R 1 10 1 10\\n'; read a; printf '") + w.report +
            "\\n'\nif read b; then printf '%s' \"$b\" > '" + seen.string() +
            "'; else printf 'end of file' > '" + seen.string() + "'; fi\n");
    for (judge j : {judge::domjudge, judge::kattis}) {
      fs::remove(seen);
      run(j, "", prog);
      EXPECT_EQ(testkit::read_file(seen), w.got);
    }
  }
}

// The installed package skeleton works as the judges use it: its build
// script yields the validator "run", Kattis's include/c header and
// include/pascal unit compile the submissions, and a right and a wrong
// answer are judged so under both runners.
TEST_F(KattisTest, InstalledPackageJudges) {
  testkit::scratch_dir root("kattis-install");
  std::string log;
  ASSERT_TRUE(judges::install_tree(root / "prefix", &log)) << log;
  fs::path pkg = root / "prefix/share/judgekit/gridprobe/domjudge-kattis";
  for (const char* name :
       {"README.md", "problem.yaml", "gridprobe.h", "pgridprobe.pas",
        "include/c/gridprobe.h", "include/pascal/pgridprobe.pas"})
    EXPECT_TRUE(testkit::file_exists(pkg / name)) << name;
  fs::path validator = pkg / "output_validators/gridprobe";
  ASSERT_TRUE(testkit::run_shell("./build", validator, &log)) << log;
  fs::path run_script = validator / "run";
  ASSERT_TRUE(testkit::file_exists(run_script));
  struct row {
    judge j;
    const char* prog;
    const char* header;
    const char* unit;
    const char* verdict;
  } rows[] = {
      {judge::kattis, "right", "include/c/gridprobe.h",
       "include/pascal/pgridprobe.pas", "AC"},
      {judge::kattis, "pas-wrong", "include/c/gridprobe.h",
       "include/pascal/pgridprobe.pas", "WA"},
      {judge::domjudge, "right", "gridprobe.h", "pgridprobe.pas", "CORRECT"},
      {judge::domjudge, "pas-right", "gridprobe.h", "pgridprobe.pas",
       "CORRECT"},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(w.prog);
    fs::path exe = judges::compile(
        w.j, w.prog, root / (std::string(w.verdict) + w.prog),
        (pkg / w.header).string(), (pkg / w.unit).string(), &log);
    ASSERT_FALSE(exe.empty()) << log;
    testkit::scratch_dir box("kattis-run");
    fs::create_directories(box / "feedback");
    testkit::write_file(box / "case.in", judges::kCase);
    testkit::write_file(box / "case.ans", "");
    std::vector<std::string> argv;
    if (w.j == judge::kattis)
      argv = {GRIDPROBE_KATTIS_RUNNER,
              "10",
              (box / "feedback").string(),
              (box / "case.in").string(),
              (box / "case.ans").string(),
              run_script.string(),
              ";",
              exe.string()};
    else
      argv = {GRIDPROBE_DOMJUDGE_RUNNER,
              "10",
              (box / "feedback").string(),
              (box / "case.in").string(),
              (box / "case.ans").string(),
              run_script.string(),
              "=",
              exe.string()};
    testkit::run_result r = testkit::run_program(argv);
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), std::string(w.verdict) + "\n")
        << r.err;
  }
}

// A program that never ends is the judge's time limit, not a verdict of
// ours; a wrong answer followed by a hang stays wrong.
TEST_F(KattisTest, HangingProgram) {
  testkit::scratch_dir dir("kattis-scripts");
  fs::path wrong_then_hang = judges::script(
      dir.path(), "wh",
      "printf 'R 1 10 1 10\\n'; read a; printf 'P 1 1 1 1 1 1 1 1\\n';"
      " trap '' TERM; while :; do sleep 1; done\n");
  for (judge j : {judge::domjudge, judge::kattis}) {
    bool kattis = j == judge::kattis;
    judged r = run(j, "", program(j, "hang"), false, 1);
    EXPECT_EQ(r.verdict, kattis ? "TLE" : "TIMELIMIT");
    r = run(j, "", wrong_then_hang, false, 1);
    EXPECT_EQ(r.verdict, kattis ? "WA" : "WRONG-ANSWER");
  }
}

}  // namespace
