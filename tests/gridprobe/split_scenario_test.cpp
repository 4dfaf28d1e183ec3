// split_scenario_test.cpp: the call scenarios run by the linked form and by
// gridprobe-manager with the stub builds of the same drivers must leave the
// same bytes; the few intended differences are tested one by one.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "split_process.h"

namespace gridprobe_test {
namespace {

const char kStaleLog[] = "stale rods.log\n";
const char kStaleOut[] = "stale rods.out\n";
const char kWorked[] = "10 2 3 2 7 5 9 8 9\n";

struct row {
  std::string name;
  std::optional<std::string> rods_in;  // nullopt: no rods.in
  std::string script;
  bool log_blocked = false;  // rods.log is a directory
  bool bad_case = false;     // the case itself is broken: the run exits 1
};

std::string misses(int calls) {
  std::string s;
  for (int i = 0; i < calls; ++i) s += "r 1 1 1 1\n";
  return s;
}

std::vector<row> rows() {
  std::vector<row> r = {
      {"worked example", kWorked,
       "g\nr 1 10 1 10\nr 3 4 1 10\nr 5 5 9 9\np 2 3 2 7 5 9 8 9\n"},
      {"no rods.in", std::nullopt, "r 1 10 1 10\n", false, true},
      {"empty rods.in", "", "r 1 10 1 10\n", false, true},
      {"eight numbers only", "10 2 3 2 7 5 9 8\n", "g\n", false, true},
      {"word for a coordinate", "10 2 3 2 x 5 9 8 9\n", "g\n", false, true},
      {"N 4", "4 2 3 2 4 1 1 3 1\n", "r 1 1 1 1\n", false, true},
      {"N 10001", "10001 2 3 2 7 5 9 8 9\n", "p 1 2 3 4 5 6 7 8\n", false, true},
      {"coordinate N+1", "10 2 3 2 7 5 9 8 11\n", "g\n", false, true},
      {"rod 1 one cell", "10 2 3 2 3 5 9 8 9\n", "g\n", false, true},
      {"rod 2 in a row", "10 2 3 2 7 5 1 5 9\n", "g\n", false, true},
      {"N wraps to 5", "4294967301 2 3 2 4 1 1 3 1\n", "g\n", false, true},
      {"junk glued to the ninth", "10 2 3 2 7 5 9 8 9junk\n",
       "r 1 10 1 10\np 2 3 2 7 5 9 8 9\n"},
      {"text after the ninth, score line too",
       "10 2 3 2 7 5 9 8 9\nscore 10 50\n", "r 5 5 9 9\np 2 3 2 7 5 9 8 9\n"},
      {"rods.log cannot be created", kWorked, "g\n", true},
      // The linked form ignores a malformed score line; the manager runs the
      // same but says the case is broken.
      {"malformed score line", "10 2 3 2 7 5 9 8 9\nscore 9 4\n",
       "r 5 5 9 9\np 2 3 2 7 5 9 8 9\n", false, true},
      {"N 5 corners", "5 5 4 5 5 1 1 2 1",
       "g\nr 1 5 1 5\nr 5 5 3 3\nr 5 5 4 4\nr 2 2 1 1\nr 3 5 1 2\n"
       "p 5 4 5 5 1 1 2 1\n"},
      {"N 10000", "10000 10000 9999 10000 10000 1 10000 2 10000\n",
       "r 1 10000 1 10000\nr 10000 10000 1 9998\np 1 1 1 1 1 1 1 1\n"},
      {"crossing rods", "10 5 2 5 8 1 5 9 5\n",
       "r 5 5 5 5\nr 5 5 9 9\nr 9 9 5 5\nr 10 10 5 5\np 5 2 5 8 1 5 9 5\n"},
      {"report before any rect", kWorked, "g\np 2 3 2 7 5 9 8 9\n"},
      {"report values unchanged", kWorked,
       "r 1 1 1 1\np -1 15 0 -2147483648 2147483647 10 11 -7\n"},
      {"gridsize not counted", kWorked,
       "g\nr 1 1 1 1\ng\ng\nr 2 2 3 3\ng\np 2 3 2 7 5 9 8 9\n"},
      {"400 calls then report", kWorked, misses(400) + "p 1 2 3 4 5 6 7 8\n"},
      {"401st call refused", kWorked, misses(400) + "g\nr 1 10 1 10\n"},
      {"bad 401st call is 7", kWorked, misses(400) + "r 1 10 10 1\n"},
      {"program ends without report", kWorked, "g\nr 1 10 1 10\n"},
      {"segfault after some calls", kWorked, "g\nr 1 10 1 10\ns\n"},
      {"SIGKILL after some calls", kWorked, "g\nr 1 10 1 10\nk\n"},
      {"no call at all", kWorked, ""},
  };
  const char* bad[] = {
      "3 2 1 1",  "1 1 5 4",  "0 1 1 1",   "1 1 1 0",
      "-1 2 3 4", "1 11 1 1", "1 1 11 11", "-2147483648 2147483647 1 1"};
  for (const char* b : bad)
    r.push_back({std::string("bad rect ") + b, kWorked,
                 std::string("g\nr 1 10 1 10\nr ") + b + "\n"});
  return r;
}

struct files {
  std::string log, out, stdout_text, returns;
  bool partial_left = false;
  run_result run;
};

void prepare(const row& x, const fs::path& work) {
  fs::create_directory(work);
  if (x.rods_in) write_file(work / "rods.in", *x.rods_in);
  if (x.log_blocked)
    fs::create_directory(work / "rods.log");
  else
    write_file(work / "rods.log", kStaleLog);
  write_file(work / "rods.out", kStaleOut);
}

files collect(const fs::path& work, const fs::path& returns,
              const run_result& run) {
  files f;
  f.log = read_file(work / "rods.log");
  f.out = read_file(work / "rods.out");
  f.returns = read_file(returns);
  f.stdout_text = run.out;
  f.partial_left = fs::exists(work / "rods.log.partial");
  f.run = run;
  return f;
}

files run_linked(const row& x) {
  scratch_dir dir;
  fs::path work = dir.path() / "case";
  prepare(x, work);
  write_file(dir.path() / "script", x.script);
  run_result run =
      run_program({GRIDPROBE_C_DRIVER, (dir.path() / "script").string(),
                   (dir.path() / "returns").string()},
                  work);
  return collect(work, dir.path() / "returns", run);
}

files run_split(const row& x, const char* driver,
                const std::vector<std::string>& options = {}) {
  scratch_dir dir;
  fs::path work = dir.path() / "case";
  prepare(x, work);
  write_file(dir.path() / "script", x.script);
  // The driver's script and returns are the test's files: its directory is
  // the program's working directory, in the sandbox too.
  std::vector<std::string> argv = {GRIDPROBE_MANAGER, "run", "--chdir",
                                   dir.path().string()};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.insert(argv.end(), {"--", driver, (dir.path() / "script").string(),
                           (dir.path() / "returns").string()});
  run_result run = run_limited(argv, work, 30);
  return collect(work, dir.path() / "returns", run);
}

const char* const kSplitDrivers[] = {GRIDPROBE_SPLIT_C_DRIVER,
                                     GRIDPROBE_SPLIT_PAS_DRIVER};

TEST(SplitScenarios, SameBytesAsTheLinkedForm) {
  for (const row& x : rows()) {
    files linked = run_linked(x);
    bool verdict = linked.out != kStaleOut;
    for (const char* driver : kSplitDrivers) {
      SCOPED_TRACE(x.name + " / " + driver);
      files split = run_split(x, driver);
      EXPECT_EQ(split.log, linked.log);
      EXPECT_EQ(split.returns, linked.returns);
      EXPECT_EQ(split.stdout_text, linked.stdout_text);
      EXPECT_FALSE(split.partial_left);
      if (x.bad_case) {
        // The linked form's files, and exit 1 with the reason: a broken
        // case is no verdict on the program.
        EXPECT_EQ(split.out, verdict ? linked.out : "<missing>");
        EXPECT_TRUE(split.run.exited && split.run.exit_code == 1)
            << split.run.err;
        EXPECT_NE(split.run.err.find("rods.in: the test case"),
                  std::string::npos)
            << split.run.err;
      } else if (verdict) {
        EXPECT_EQ(split.out, linked.out);
        EXPECT_TRUE(split.run.exited && split.run.exit_code == 0)
            << split.run.err;
        EXPECT_EQ(split.run.err.find("the test case"), std::string::npos)
            << split.run.err;
      } else {
        // The one difference: no verdict leaves no rods.out at all.
        EXPECT_EQ(split.out, "<missing>");
        EXPECT_TRUE(split.run.exited && split.run.exit_code == 2)
            << split.run.err;
        EXPECT_NE(split.run.err.find("no verdict"), std::string::npos)
            << split.run.err;
      }
    }
  }
}

// An earlier run's rods.out stays under the linked form; here it is gone.
TEST(SplitDifferences, StaleVerdictIsRemoved) {
  row x{"ends without report", kWorked, "r 5 5 9 9\n"};
  EXPECT_EQ(run_linked(x).out, kStaleOut);
  files split = run_split(x, GRIDPROBE_SPLIT_C_DRIVER);
  EXPECT_EQ(split.out, "<missing>");
  EXPECT_EQ(split.log, "1 : rect (5,5,9,9) = 1\n");
  EXPECT_TRUE(split.run.exited && split.run.exit_code == 2);
}

// The case is read before the program starts: deleting rods.in before the
// first call changes nothing, and the file is still there afterwards.
TEST(SplitDifferences, CaseIsReadBeforeTheProgramStarts) {
  row x{"delete first", kWorked, "d\ng\nr 5 5 9 9\np 2 3 2 7 5 9 8 9\n"};
  files linked = run_linked(x);
  EXPECT_EQ(linked.out, "0\nCannot open the input file.\n");
  scratch_dir dir;
  fs::path work = dir.path() / "case";
  prepare(x, work);
  write_file(dir.path() / "script", x.script);
  run_result run = run_limited(
      {GRIDPROBE_MANAGER, "run", "--chdir", dir.path().string(), "--",
       GRIDPROBE_SPLIT_C_DRIVER, (dir.path() / "script").string(),
       (dir.path() / "returns").string()},
      work, 30);
  EXPECT_TRUE(run.exited && run.exit_code == 0) << run.err;
  EXPECT_EQ(read_file(work / "rods.out"), "1\n2 3 2 7\n5 9 8 9\n");
  EXPECT_EQ(read_file(work / "rods.in"), kWorked);
}

// Where the verdict cannot be written the manager fails before starting the
// program, instead of running it for nothing.
TEST(SplitDifferences, UnwritableVerdictStopsBeforeTheRun) {
  scratch_dir dir;
  fs::path work = dir.path() / "case";
  fs::create_directory(work);
  write_file(work / "rods.in", kWorked);
  fs::create_directory(work / "rods.out");
  write_file(dir.path() / "script", "g\n");
  run_result run = run_limited(
      {GRIDPROBE_MANAGER, "run", "--", GRIDPROBE_SPLIT_C_DRIVER,
       (dir.path() / "script").string(), (dir.path() / "returns").string()},
      work, 30);
  EXPECT_TRUE(run.exited && run.exit_code == 1);
  EXPECT_EQ(read_file(dir.path() / "returns"), "<missing>");
  EXPECT_TRUE(fs::is_directory(work / "rods.out"));
}

TEST(SplitRun, UsageAndStartFailuresExitOne) {
  scratch_dir dir;
  write_file(dir.path() / "rods.in", kWorked);
  const std::vector<std::vector<std::string>> bad = {
      {GRIDPROBE_MANAGER, "run"},
      {GRIDPROBE_MANAGER, "run", "--wall"},
      {GRIDPROBE_MANAGER, "run", "--wall", "0", "--", "/bin/true"},
      {GRIDPROBE_MANAGER, "run", "--wall", "x", "--", "/bin/true"},
      {GRIDPROBE_MANAGER, "run", "--bogus", "1", "--", "/bin/true"},
      {GRIDPROBE_MANAGER, "run", "--", "/no/such/program"},
      {GRIDPROBE_MANAGER, "run", "--chdir", "/no/such/dir", "--", "/bin/true"},
      {GRIDPROBE_MANAGER, "run", "--user", "no-such-user-here", "--",
       "/bin/true"},
      {GRIDPROBE_MANAGER},
      {GRIDPROBE_MANAGER, "what", "is", "this"},
  };
  for (const auto& argv : bad) {
    SCOPED_TRACE(argv.size() > 1 ? argv.back() : "no arguments");
    run_result run = run_limited(argv, dir.path(), 30);
    EXPECT_TRUE(run.exited && run.exit_code == 1) << run.err;
    EXPECT_FALSE(fs::exists(dir.path() / "rods.out"));
    EXPECT_FALSE(fs::exists(dir.path() / "rods.log.partial"));
  }
}

// Each usage error of run names what was wrong, then the usage line, and
// starts nothing: no partial transcript, no verdict.
TEST(SplitRun, UsageErrorsNameWhatWasWrong) {
  scratch_dir dir;
  write_file(dir.path() / "rods.in", kWorked);
  const struct {
    std::vector<std::string> args;  // after "run"
    const char* said;               // the first line, whole
  } rows[] = {
      {{"--wall", "abc", "--", "/bin/true"}, "not a number of seconds: abc"},
      {{"--wall", "3s", "--", "/bin/true"}, "not a number of seconds: 3s"},
      {{"--wall", "nan", "--", "/bin/true"}, "not a number of seconds: nan"},
      {{"--wall", "0", "--", "/bin/true"},
       "out of range (above 0, at most 86400): 0"},
      {{"--cpu", "1.5", "--", "/bin/true"},
       "not a whole number of seconds: 1.5"},
      {{"--cpu", "0", "--", "/bin/true"}, "out of range (1 to 86400): 0"},
      {{"--mem", "-5", "--", "/bin/true"}, "not a whole number of MiB: -5"},
      {{"--mem", "99999999999999999999999", "--", "/bin/true"},
       "out of range (1 to 4194304): 99999999999999999999999"},
      {{"--procs", "many", "--", "/bin/true"},
       "not a whole number of processes: many"},
      {{"--fsize", "", "--", "/bin/true"}, "not a whole number of MiB: "},
      {{"--log-limit", "16M", "--", "/bin/true"},
       "not a whole number of MiB: 16M"},
      {{"--log-limit", "4097", "--", "/bin/true"},
       "out of range (1 to 4096): 4097"},
      {{"--bogus", "1", "--", "/bin/true"}, "unknown option: --bogus"},
      {{"-w", "--", "/bin/true"}, "unknown option: -w"},
      {{"--wall"}, "a number of seconds must follow: --wall"},
      {{"--no-sandbox", "--user"}, "a user name must follow: --user"},
      {{"--chdir"}, "a directory must follow: --chdir"},
      {{"--cpu"}, "a whole number of seconds must follow: --cpu"},
      {{"--log-limit"}, "a whole number of MiB must follow: --log-limit"},
      {{}, "no program to run"},
      {{"--wall", "5", "--"}, "no program to run"},
      {{"--no-sandbox"}, "no program to run"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> argv = {GRIDPROBE_MANAGER, "run"};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    SCOPED_TRACE(row.said);
    run_result run = run_limited(argv, dir.path(), 30);
    EXPECT_TRUE(run.exited && run.exit_code == 1) << run.err;
    EXPECT_EQ(run.err.rfind(std::string("gridprobe-manager: ") + row.said +
                                "\nusage: gridprobe-manager run ",
                            0),
              0u)
        << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(dir.path() / "rods.out"));
    EXPECT_FALSE(fs::exists(dir.path() / "rods.log.partial"));
  }
}

// Root without --user is warned once; a named user runs a private copy.
TEST(SplitRun, RootWarningAndUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  row x{"worked", kWorked, "r 5 5 9 9\np 2 3 2 7 5 9 8 9\n"};
  files plain = run_split(x, GRIDPROBE_SPLIT_C_DRIVER);
  EXPECT_NE(plain.run.err.find("warning"), std::string::npos);
  std::string user;
  if (!other_user_available(&user)) GTEST_SKIP() << "no other user";
  // The user cannot reach the judge's directories: the driver's script and
  // returns live there, so the program reports without them.
  scratch_dir dir;
  fs::permissions(dir.path(), fs::perms::owner_all);
  fs::path work = dir.path() / "case";
  fs::create_directory(work);
  write_file(work / "rods.in", kWorked);
  run_result run =
      run_limited({GRIDPROBE_MANAGER, "run", "--user", user, "--",
                   GRIDPROBE_SPLIT_C_DRIVER, "/dev/null", "/dev/null"},
                  work, 30);
  EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
  // The driver ran (as the user, from its copy) and ended without report.
  EXPECT_TRUE(run.exited && run.exit_code == 2) << run.err;
  EXPECT_NE(run.err.find("exit status 3"), std::string::npos) << run.err;
}

// The two easy build mistakes each get one line saying what to do: a program
// built against the linked library started by the manager (it prints the
// grader's message where a request belongs), and a stub program started
// without a manager (nobody would answer its first call).
TEST(BuildMistakes, LinkedProgramUnderTheManager) {
  for (const char* driver : {GRIDPROBE_C_DRIVER, GRIDPROBE_PAS_DRIVER}) {
    SCOPED_TRACE(driver);
    row x{"linked", kWorked, "g\nr 1 10 1 10\np 2 3 2 7 5 9 8 9\n"};
    scratch_dir dir;
    fs::path work = dir.path() / "case";
    prepare(x, work);
    write_file(dir.path() / "script", x.script);
    // --chdir: the driver's script must be in reach inside the sandbox.
    run_result run = run_limited(
        {GRIDPROBE_MANAGER, "run", "--chdir", dir.path().string(), "--", driver,
         (dir.path() / "script").string(), (dir.path() / "returns").string()},
        work, 30);
    EXPECT_TRUE(run.exited && run.exit_code == 0) << run.err;
    EXPECT_EQ(read_file(work / "rods.out"),
              "0\nInvalid library function call.\n");
    EXPECT_NE(run.err.find("built against the linked library"),
              std::string::npos)
        << run.err;
  }
  // A stub program that merely sends nonsense gets no such hint.
  row x{"garbage", kWorked, ""};
  scratch_dir dir;
  fs::path work = dir.path() / "case";
  prepare(x, work);
  run_result run = run_limited({GRIDPROBE_MANAGER, "run", "--", "/bin/sh",
                                "-c", "printf 'hello\\n'; read x"},
                               work, 30);
  EXPECT_TRUE(run.exited && run.exit_code == 0) << run.err;
  EXPECT_EQ(run.err.find("linked library"), std::string::npos) << run.err;
}

TEST(BuildMistakes, StubProgramWithoutAManager) {
  struct how {
    const char* name;
    bool stdin_closed;
  } hows[] = {{"stdin a file", false}, {"stdin closed", true}};
  for (const char* driver : kSplitDrivers)
    for (const how& h : hows) {
      SCOPED_TRACE(std::string(driver) + " / " + h.name);
      scratch_dir dir;
      write_file(dir.path() / "rods.in", kWorked);
      write_file(dir.path() / "script", "g\nr 1 10 1 10\n");
      run_result run = run_program(
          {driver, (dir.path() / "script").string(),
           (dir.path() / "returns").string()},
          dir.path(), h.stdin_closed ? std::vector<int>{0} : std::vector<int>{});
      EXPECT_TRUE(run.exited && run.exit_code == 1) << run.exit_code;
      EXPECT_EQ(run.out, "");  // no request sent into the void
      EXPECT_NE(run.err.find("gridprobe-manager run -- PROGRAM"),
                std::string::npos)
          << run.err;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1)
          << run.err;
      // The first call ends it: no call returned.
      EXPECT_EQ(read_file(dir.path() / "returns"), "");
    }
}

}  // namespace
}  // namespace gridprobe_test
