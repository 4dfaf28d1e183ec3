// split_hostile_test.cpp: programs that try to forge their verdict. Each
// attack succeeds against the linked form (the hazard is real) and fails
// under gridprobe-manager.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "split_process.h"

namespace gridprobe_test {
namespace {

const char kWorked[] = "10 2 3 2 7 5 9 8 9\n";
const char kForged[] = "1\n2 3 2 7\n5 9 8 9\n";

enum class sign {
  out,      // rods.out holds the forged verdict
  late,     // ... a moment after the run has ended
  stdout_,  // the fake verdict line reached standard output
  checked,  // the checker, reading rods.in and rods.out, scores it 1
};

struct attack {
  const char* name;
  const char* linked;  // program built on the linked form
  const char* split;   // the same program built on the stub
  const char* mode;
  sign shows;
  bool needs_user;     // only another user id stops it
  bool stale = false;  // an earlier run's forged rods.out lies in the case
  bool hangs = false;  // the judge must stop it
};

const attack kAttacks[] = {
    {"read rods.in", HOSTILE_C, HOSTILE_C_SPLIT, "read", sign::out, true},
    {"read rods.in in its own directory", HOSTILE_C, HOSTILE_C_SPLIT, "readown",
     sign::out, false},
    {"read the library's variables", HOSTILE_C, HOSTILE_C_SPLIT, "memory",
     sign::out, false},
    {"reset the call counter", HOSTILE_C, HOSTILE_C_SPLIT, "counter", sign::out,
     false},
    {"ask in a forked child", HOSTILE_C, HOSTILE_C_SPLIT, "fork", sign::out,
     false},
    {"ask, then re-execute itself", HOSTILE_C, HOSTILE_C_SPLIT, "reexec",
     sign::out, false},
    {"atexit handler", HOSTILE_C, HOSTILE_C_SPLIT, "atexit", sign::out, false},
    {"C++ static destructor", HOSTILE_DTOR, HOSTILE_DTOR_SPLIT, "", sign::out,
     false},
    {"own exit and longjmp", HOSTILE_EXIT, HOSTILE_EXIT_SPLIT, "exit",
     sign::out, false},
    {"own fprintf", HOSTILE_EXIT, HOSTILE_EXIT_SPLIT, "fprintf", sign::out,
     false},
    {"signal handler when stopped", HOSTILE_C, HOSTILE_C_SPLIT, "sigterm",
     sign::out, false, false, true},
    {"library's own write fails", HOSTILE_C, HOSTILE_C_SPLIT, "writefail",
     sign::out, false},
    {"fake line on stdout", HOSTILE_C, HOSTILE_C_SPLIT, "stdout", sign::stdout_,
     false},
    {"earlier run's rods.out", HOSTILE_C, HOSTILE_C_SPLIT, "stale", sign::out,
     false, true},
    {"replace rods.in", HOSTILE_C, HOSTILE_C_SPLIT, "replace", sign::checked,
     false},
    {"detached grandchild writes later", HOSTILE_C, HOSTILE_C_SPLIT,
     "grandchild", sign::late, false},
    {"Pascal exit procedure", HOSTILE_PAS, HOSTILE_PAS_SPLIT, "exitproc",
     sign::out, false},
    {"Pascal reads rods.in", HOSTILE_PAS, HOSTILE_PAS_SPLIT, "read", sign::out,
     true},
    {"Pascal fake line on stdout", HOSTILE_PAS, HOSTILE_PAS_SPLIT, "stdout",
     sign::stdout_, false},
};

bool forged(const attack& a, const fs::path& work, const run_result& run) {
  switch (a.shows) {
    case sign::late:
      std::this_thread::sleep_for(std::chrono::milliseconds(800));
      return read_file(work / "rods.out") == kForged;
    case sign::out:
      return read_file(work / "rods.out") == kForged;
    case sign::stdout_:
      return run.out.find("forged verdict") != std::string::npos;
    case sign::checked: {
      run_result check =
          run_program({GRIDPROBE_MANAGER, "check", (work / "rods.in").string(),
                       (work / "rods.out").string()},
                      work);
      return check.exited && check.exit_code == 0 && check.out == "1\n";
    }
  }
  return false;
}

// A case directory only its owner can enter, as judges keep them.
fs::path make_case(const scratch_dir& dir, const attack& a) {
  fs::permissions(dir.path(), fs::perms::owner_all);
  fs::path work = dir.path() / "case";
  fs::create_directory(work);
  write_file(work / "rods.in", kWorked);
  if (a.stale) write_file(work / "rods.out", kForged);
  return work;
}

std::vector<std::string> program_argv(const char* program, const char* mode) {
  std::vector<std::string> argv = {program};
  if (mode[0] != '\0') argv.push_back(mode);
  return argv;
}

TEST(Hostile, LinkedFormFallsToEveryAttack) {
  for (const attack& a : kAttacks) {
    SCOPED_TRACE(a.name);
    scratch_dir dir;
    fs::path work = make_case(dir, a);
    run_result run =
        run_limited(program_argv(a.linked, a.mode), work, a.hangs ? 1 : 30);
    EXPECT_TRUE(forged(a, work, run)) << read_file(work / "rods.out");
  }
}

void expect_defeated(const attack& a, const std::vector<std::string>& options) {
  scratch_dir dir;
  fs::path work = make_case(dir, a);
  std::vector<std::string> argv = {GRIDPROBE_MANAGER, "run"};
  argv.insert(argv.end(), options.begin(), options.end());
  if (a.hangs) argv.insert(argv.end(), {"--wall", "1"});
  argv.push_back("--");
  for (const std::string& s : program_argv(a.split, a.mode)) argv.push_back(s);
  run_result run = run_limited(argv, work, 30);
  EXPECT_FALSE(forged(a, work, run)) << read_file(work / "rods.out");
  // Whatever the program did, the case is as the judge left it.
  EXPECT_EQ(read_file(work / "rods.in"), kWorked);
  EXPECT_TRUE(run.exited && (run.exit_code == 0 || run.exit_code == 2))
      << run.err;
  // No verdict of a right answer within one call, in any spelling.
  if (read_file(work / "rods.out") != "<missing>") {
    run_result check = run_program(
        {GRIDPROBE_MANAGER, "check", (work / "rods.in").string(),
         (work / "rods.out").string(), "--full", "1", "--zero", "2"},
        work);
    EXPECT_EQ(check.out, "0\n") << read_file(work / "rods.out");
  }
}

TEST(Hostile, SplitFormDefeatsEachAttackAsTheSameUser) {
  for (const attack& a : kAttacks) {
    if (a.needs_user) continue;
    SCOPED_TRACE(a.name);
    expect_defeated(a, {});
  }
}

TEST(Hostile, SplitFormDefeatsEachAttackAsAnotherUser) {
  std::string user;
  if (!other_user_available(&user))
    GTEST_SKIP() << "needs root and a user such as nobody";
  for (const attack& a : kAttacks) {
    SCOPED_TRACE(a.name);
    expect_defeated(a, {"--user", user});
  }
}

}  // namespace
}  // namespace gridprobe_test
