// DOMjudge and Kattis: the manager as interactive validator, run with real
// programs under emulators of both judges' runners (tests/gridprobe/runners),
// the programs compiled with each judge's own command lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
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
  // case_in: the input file's content; nullptr for no input file at all.
  judged run(judge j, const std::string& answer, const fs::path& prog,
             bool scored = false, int wall = 10,
             const char* case_in = judges::kCase) {
    judged out;
    out.feedback = box_ / "feedback";
    fs::remove_all(box_ / "feedback");
    fs::create_directories(out.feedback);
    fs::remove(box_ / "case.in");
    if (case_in != nullptr) testkit::write_file(box_ / "case.in", case_in);
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

// Broken test data is the judges' error: neither 42 nor 43, the reason in
// judgeerror.txt, nothing for the team; also for a missing input file and a
// malformed score line in it.
TEST_F(KattisTest, BrokenCaseIsAJudgeError) {
  const struct {
    const char* input;  // nullptr: no input file
    const char* reason;
  } rows[] = {
      {"4 2 3 2 7 5 9 8 9\n",
       "The test case is invalid: N is out of range. (should be 5~10000)."},
      {"10 2 3 2 7 5 9 8 0\n",
       "The test case is invalid: One of the coordinates is out of range."},
      {"10 2 3 2 3 5 9 8 9\n", "The test case is invalid: ROD1 is not valid."},
      {"10 2 3 2 7 5 1 5 9\n", "The test case is invalid: ROD2 is not valid."},
      {"10 2 3\n", "The test case is invalid: Invalid input file."},
      {"10 2 3 2 7 5 9 8 9\nscore 9 4\n",
       "The test case is invalid: its score line is not \"score F Z\" with "
       "0 <= F <= Z."},
      {nullptr, "The test case cannot be read."},
  };
  for (const auto& w : rows) {
    SCOPED_TRACE(w.input ? w.input : "no input file");
    for (judge j : {judge::domjudge, judge::kattis}) {
      judged r = run(j, "", program(j, "right"), false, 10, w.input);
      EXPECT_EQ(r.verdict, j == judge::kattis
                               ? "JE validator exited with status 1"
                               : "COMPARE-ERROR");
      EXPECT_EQ(r.file("judgeerror.txt"), std::string(w.reason) + "\n");
      EXPECT_EQ(r.file("teammessage.txt"), "<missing>");
      EXPECT_EQ(r.file("rods.out"), "<missing>");
    }
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

// A program that floods gridsize requests ends at the log limit: a judge
// error with the reason in judgeerror.txt, nothing for the team, and the
// feedback's transcript within the bound, whatever the bound; a bad value
// of the flag is a judge error too.
TEST_F(KattisTest, TranscriptFloodEndsAtTheLogLimit) {
  testkit::scratch_dir dir("kattis-flood");
  fs::path flood = judges::script(dir.path(), "flood",
                                   "yes G & exec cat >/dev/null\n");
  fs::path honest = program(judge::kattis, "right");
  const struct {
    std::vector<std::string> flags;
    fs::path program;
    const char* verdict;
    const char* judgeerror;  // "<missing>": none
    size_t log_bound;        // bytes rods.log may hold
  } rows[] = {
      {{}, flood, "JE validator exited with status 1",
       "No verdict: the transcript passed the log limit (--log-limit 16 "
       "MiB).\n",
       16u << 20},
      {{"--log-limit", "1"}, flood, "JE validator exited with status 1",
       "No verdict: the transcript passed the log limit (--log-limit 1 "
       "MiB).\n",
       1u << 20},
      {{"--log-limit", "1"}, honest, "AC", "<missing>", 1u << 20},
      {{"--log-limit", "x"}, honest, "JE validator exited with status 1",
       "--log-limit needs a whole number of MiB (1 to 4096): x\n", 0},
      {{"--log-limit"}, honest, "JE validator exited with status 1",
       "--log-limit needs a whole number of MiB (1 to 4096): none\n", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.program.filename().string() + " " +
                 (row.flags.empty() ? "" : row.flags.back()));
    fs::path feedback = box_ / "feedback";
    fs::remove_all(feedback);
    fs::create_directories(feedback);
    testkit::write_file(box_ / "case.in", judges::kCase);
    testkit::write_file(box_ / "case.ans", "");
    std::vector<std::string> argv = {
        GRIDPROBE_KATTIS_RUNNER,     "30", feedback.string(),
        (box_ / "case.in").string(), (box_ / "case.ans").string(),
        GRIDPROBE_MANAGER};
    argv.insert(argv.end(), row.flags.begin(), row.flags.end());
    argv.insert(argv.end(), {";", row.program.string()});
    testkit::run_options opt;
    opt.dir = box_.path();
    testkit::run_result r = testkit::run_program(argv, opt);
    EXPECT_TRUE(r.exited && r.exit_code == 0) << r.err;
    size_t eol = r.out.find('\n');
    std::string verdict =
        r.out.substr(eol + 1, r.out.find('\n', eol + 1) - eol - 1);
    EXPECT_EQ(verdict, row.verdict) << r.out;
    EXPECT_EQ(testkit::read_file(feedback / "judgeerror.txt"), row.judgeerror);
    std::string log = testkit::read_file(feedback / "rods.log");
    if (row.program == flood) {
      EXPECT_LE(log.size(), row.log_bound);
      EXPECT_GT(log.size(), row.log_bound - 64);
      EXPECT_EQ(log.substr(log.size() - 16), "gridsize() = 10\n");
      EXPECT_EQ(testkit::read_file(feedback / "teammessage.txt"), "<missing>");
      EXPECT_EQ(testkit::read_file(feedback / "rods.out"), "<missing>");
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

// How problemtools builds a submission: the files of include/LANG/ beside
// it, the main file "main.*" if there is one, else the first source file by
// name, and the compile line of its language table.
struct problemtools_build {
  std::string main;  // the main file it chose
  fs::path exe;      // empty when compilation failed
};

problemtools_build problemtools_compile(const fs::path& pkg,
                                        const std::string& lang,
                                        const fs::path& source,
                                        const fs::path& dir, std::string* log) {
  const std::map<std::string, std::vector<std::string>> extensions = {
      {"c", {".c"}},
      {"cpp", {".cc", ".C", ".cpp", ".cxx", ".c++"}},
      {"pascal", {".pas"}}};
  problemtools_build b;
  fs::create_directories(dir);
  fs::copy_file(source, dir / source.filename());
  for (const auto& e : fs::directory_iterator(pkg / "include" / lang))
    fs::copy_file(e.path(), dir / e.path().filename());
  std::vector<std::string> sources;
  for (const auto& e : fs::directory_iterator(dir))
    for (const std::string& ext : extensions.at(lang))
      if (e.path().extension() == ext)
        sources.push_back(e.path().filename().string());
  std::sort(sources.begin(), sources.end());
  if (sources.empty()) return b;
  b.main = sources.front();
  for (const std::string& f : sources)
    if (f.rfind("main.", 0) == 0) {
      b.main = f;
      break;
    }
  std::string files;
  for (const std::string& f : sources) files += " " + f;
  std::string cmd;
  fs::path exe = dir / "prog";
  if (lang == "c")
    cmd = "gcc -g -O2 -std=gnu17 -static -o prog" + files + " -lm";
  else if (lang == "cpp")
    cmd = "g++ -g -O2 -std=gnu++23 -static -o prog" + files +
          " -lrt -Wl,--whole-archive  -lpthread -Wl,--no-whole-archive";
  else {
    cmd = "fpc -o\"" + b.main + ".out\" -O2 -XS -Xt \"" + b.main + "\"";
    exe = dir / (b.main + ".out");
  }
  if (testkit::run_shell(cmd, dir, log)) b.exe = exe;
  return b;
}

// One run of exe under a judge's runner with a given validator.
std::string judge_once(judge j, const fs::path& validator, const fs::path& exe,
                       const std::string& case_in, const std::string& answer,
                       bool scored = false) {
  testkit::scratch_dir box("kattis-run");
  fs::create_directories(box / "feedback");
  testkit::write_file(box / "case.in", case_in);
  testkit::write_file(box / "case.ans", answer);
  std::vector<std::string> argv;
  if (j == judge::kattis) {
    argv = {GRIDPROBE_KATTIS_RUNNER};
    if (scored) argv.push_back("--scored");
    argv.insert(argv.end(),
                {"10", (box / "feedback").string(), (box / "case.in").string(),
                 (box / "case.ans").string(), validator.string(), ";",
                 exe.string()});
  } else {
    argv = {GRIDPROBE_DOMJUDGE_RUNNER,     "10",
            (box / "feedback").string(),   (box / "case.in").string(),
            (box / "case.ans").string(),   validator.string(),
            "=",                           exe.string()};
  }
  testkit::run_result r = testkit::run_program(argv);
  std::string verdict = r.out.substr(r.out.find('\n') + 1);
  if (!verdict.empty() && verdict.back() == '\n') verdict.pop_back();
  return verdict;
}

class PackageTest : public KattisTest {
 protected:
  static void SetUpTestSuite() {
    KattisTest::SetUpTestSuite();
    root_ = new testkit::scratch_dir("kattis-install");
    std::string log;
    installed_ = judges::install_tree(*root_ / "prefix", &log);
    EXPECT_TRUE(installed_) << log;
  }
  static void TearDownTestSuite() {
    delete root_;
    root_ = nullptr;
    KattisTest::TearDownTestSuite();
  }
  static fs::path pkg() {
    return *root_ / "prefix/share/judgekit/gridprobe/tworods";
  }
  // A program directory built as problemtools builds it (its build script).
  static fs::path built(const std::string& kind) {
    fs::path dir = *root_ / ("built-" + kind);
    if (!fs::exists(dir / "run")) {
      fs::copy(pkg() / (kind + "_validators/gridprobe"), dir,
               fs::copy_options::recursive);
      std::string log;
      EXPECT_TRUE(testkit::run_shell("./build", dir, &log)) << log;
    }
    return dir / "run";
  }
  static testkit::scratch_dir* root_;
  static bool installed_;
};

testkit::scratch_dir* PackageTest::root_ = nullptr;
bool PackageTest::installed_ = false;

// The installed package holds what problemtools and DOMjudge look for.
TEST_F(PackageTest, LayoutAsTheJudgesReadIt) {
  ASSERT_TRUE(installed_);
  // A valid problem short name: lower-case letters and digits.
  std::string name = pkg().filename().string();
  EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789"),
            std::string::npos);
  for (const char* file :
       {"README.md", "problem.yaml", "problem_statement/problem.en.tex",
        "data/sample/1.in", "data/sample/1.ans", "data/sample/1.interaction",
        // Both validators are built by the judge from the manager's sources.
        "input_validators/gridprobe/build",
        "input_validators/gridprobe/manager/session.c",
        "input_validators/gridprobe/errmsg.h",
        "output_validators/gridprobe/build",
        "output_validators/gridprobe/manager/session.c",
        "output_validators/gridprobe/load_rods.h",
        "include/c/gridprobe.h", "include/cpp/gridprobe.h",
        "include/pascal/pgridprobe.pp", "attachments/gridprobe.h",
        "attachments/pgridprobe.pas", "submissions/accepted/solve.c",
        "submissions/accepted/solve.cpp", "submissions/accepted/solve.pas",
        "submissions/wrong_answer/wrong.c",
        "submissions/run_time_error/crash.c",
        "submissions/time_limit_exceeded/hang.c"})
    EXPECT_TRUE(fs::is_regular_file(pkg() / file)) << file;
  int secret = 0;
  for (const auto& e : fs::directory_iterator(pkg() / "data/secret"))
    if (e.path().extension() == ".in") {
      ++secret;
      EXPECT_TRUE(fs::is_regular_file(fs::path(e.path()).replace_extension(".ans")))
          << e.path();
    }
  EXPECT_GT(secret, 0);
  // problemtools takes an include directory's main.* or a .pas file there
  // for the main file: none may be there.
  for (const auto& e : fs::directory_iterator(pkg() / "include/pascal")) {
    EXPECT_NE(e.path().extension(), ".pas") << e.path();
    EXPECT_NE(e.path().stem(), "main") << e.path();
  }
}

// Each language gets only include/<its id>/: every accepted submission,
// built as problemtools builds it, keeps itself as main file and is
// accepted; the other submissions get their verdicts.
TEST_F(PackageTest, SubmissionsBuildFromTheirOwnIncludeDirectory) {
  ASSERT_TRUE(installed_);
  fs::path validator = built("output");
  struct row {
    const char* submission;
    const char* lang;
    const char* kattis;
  } rows[] = {
      {"accepted/solve.c", "c", "AC"},
      {"accepted/solve.cpp", "cpp", "AC"},
      {"accepted/solve.pas", "pascal", "AC"},
      {"wrong_answer/wrong.c", "c", "WA"},
      {"run_time_error/crash.c", "c", "RTE"},
  };
  int n = 0;
  for (const row& w : rows) {
    SCOPED_TRACE(w.submission);
    std::string log;
    fs::path source = pkg() / "submissions" / w.submission;
    problemtools_build b = problemtools_compile(
        pkg(), w.lang, source, *root_ / ("sub" + std::to_string(n++)), &log);
    EXPECT_EQ(b.main, source.filename().string());
    ASSERT_FALSE(b.exe.empty()) << log;
    for (const auto& e : fs::directory_iterator(pkg() / "data/secret"))
      if (e.path().extension() == ".in") {
        SCOPED_TRACE(e.path().filename().string());
        std::string in = testkit::read_file(e.path());
        EXPECT_EQ(judge_once(judge::kattis, validator, b.exe, in, ""),
                  w.kattis);
      }
  }
}

// The scored variant: the two lines the package documents, and nothing
// else, turn it into a scoring problem; problemtools counts score.txt only
// with "type: scoring", so both must change together.
TEST_F(PackageTest, ScoredVariantIsTwoDocumentedLines) {
  ASSERT_TRUE(installed_);
  std::string yaml = testkit::read_file(pkg() / "problem.yaml");
  std::vector<std::string> lines;
  {
    std::istringstream in(yaml);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
  }
  auto has = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  // As shipped: pass-fail.
  EXPECT_TRUE(has("type: pass-fail"));
  EXPECT_TRUE(has("validation: custom interactive"));
  // The comment gives the exact replacement lines.
  EXPECT_TRUE(has("#   type: scoring"));
  EXPECT_TRUE(has("#   validation: custom interactive score"));
  int keys = 0;
  for (const std::string& l : lines)
    if (l.rfind("type:", 0) == 0 || l.rfind("validation:", 0) == 0) ++keys;
  EXPECT_EQ(keys, 2);
  // Pass-fail answers are empty; the README names the scored answer line.
  for (const auto& e : fs::recursive_directory_iterator(pkg() / "data"))
    if (e.path().extension() == ".ans") {
      EXPECT_EQ(testkit::read_file(e.path()), "") << e.path();
    }
  std::string readme = testkit::read_file(pkg() / "README.md");
  for (const char* needed :
       {"type: scoring", "validation: custom interactive score", "score F Z"})
    EXPECT_NE(readme.find(needed), std::string::npos) << needed;
  // Scored, the installed validator scores a right answer with score.txt.
  std::string log;
  problemtools_build b = problemtools_compile(
      pkg(), "c", pkg() / "submissions/accepted/solve.c", *root_ / "scored",
      &log);
  ASSERT_FALSE(b.exe.empty()) << log;
  // More than one call, so a partial score between 0 and 1.
  std::string verdict = judge_once(judge::kattis, built("output"), b.exe,
                                   judges::kCase, "score 1 400\n", true);
  EXPECT_EQ(verdict.rfind("AC 0.", 0), 0u) << verdict;
}

// The input validator: exit 42 on every case the package ships, 43 on broken
// data and on what problemtools tries against it (blanks, zeros, junk).
TEST_F(PackageTest, InputValidatorExitCodes) {
  ASSERT_TRUE(installed_);
  fs::path run = built("input");
  auto status = [&](const std::string& bytes) {
    testkit::run_options opt;
    opt.stdin_bytes = bytes;
    testkit::run_result r = testkit::run_program({run.string()}, opt);
    return r.exited ? r.exit_code : -1;
  };
  for (const auto& e : fs::recursive_directory_iterator(pkg() / "data"))
    if (e.path().extension() == ".in") {
      EXPECT_EQ(status(testkit::read_file(e.path())), 42) << e.path();
    }
  EXPECT_EQ(status("10 2 3 2 7 5 9 8 9\nscore 20 100\n"), 42);
  const char* const invalid[] = {
      "", "4 2 3 2 7 5 9 8 9\n", "10 2 3 2 7 5 9 8 11\n",
      "10 2 3 2 3 5 9 8 9\n", "10 2 3 2 7 5 1 5 9\n", "10 2 3 2 7\n",
      "10 2 3 2 7 5 9 8 9\nscore 20 10\n", "10 2 3 2 7 5 9 8 9\nscore 5\n",
      // What problemtools tries on each case.
      "10  2 3 2 7 5 9 8 9\n", "10 2 3 2 7 5 9 8 9 \n",
      "10 2 3 2 7 5 9 8 9\n\n", "0000000010 2 3 2 7 5 9 8 9\n",
      "10 2 3 2 7 5 9 8 9\nx7#q\n", "10 2 3 2 7 5 9 8 9\r\n",
      "10 2 3 2 7 5 9 8 9", "2147483648", "-1", "\x80\n"};
  for (const char* bytes : invalid) EXPECT_EQ(status(bytes), 43) << bytes;
}

// DOMjudge has no include directory: the attachments, submitted beside the
// program, compile with its command lines.
TEST_F(PackageTest, AttachmentsServeDomjudge) {
  ASSERT_TRUE(installed_);
  for (const char* prog : {"right", "pas-right"}) {
    SCOPED_TRACE(prog);
    std::string log;
    fs::path exe = judges::compile(
        judge::domjudge, prog, *root_ / (std::string("dj-") + prog),
        (pkg() / "attachments/gridprobe.h").string(),
        (pkg() / "attachments/pgridprobe.pas").string(), &log);
    ASSERT_FALSE(exe.empty()) << log;
    EXPECT_EQ(judge_once(judge::domjudge, built("output"), exe, judges::kCase,
                         ""),
              "CORRECT");
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
