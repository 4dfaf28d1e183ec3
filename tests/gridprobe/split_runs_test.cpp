// split_runs_test.cpp: programs that reach past their own run (a later run
// of the same case, a run beside them, the judge's files, the machine) fail
// under `gridprobe-manager run`, as root with --user and as an ordinary
// user; and the run's limits end it without a verdict, saying which.
#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "split_process.h"

namespace gridprobe_test {
namespace {

const char kWorked[] = "10 2 3 2 7 5 9 8 9\n";
const char kForged[] = "1\n2 3 2 7\n5 9 8 9\n";
const char kHonest[] = "100\n2 3 2 7\n5 9 8 9\n";

// How the manager is run: as root with --user, or as an ordinary user (the
// test's own, or another when the test runs as root).
struct judge {
  std::string name;
  std::vector<std::string> options;  // --user NAME, or nothing
  uid_t drop_uid = 0;                // run the manager as this user (0: no)
  gid_t drop_gid = 0;
};

// Whether an ordinary user's bwrap can make its namespaces on this kernel.
bool unprivileged_bwrap_works(uid_t uid, gid_t gid, std::string* why) {
  pid_t pid = fork();
  if (pid == 0) {
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    if (uid != 0 &&
        (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0))
      _exit(126);
    execlp("bwrap", "bwrap", "--unshare-all", "--unshare-user",
           "--die-with-parent", "--ro-bind", "/usr", "/usr", "--symlink",
           "usr/bin", "/bin", "--symlink", "usr/lib", "/lib", "--symlink",
           "usr/lib64", "/lib64", "--proc", "/proc", "--dev", "/dev",
           "/bin/true", (char*)nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  *why = WIFEXITED(status) && WEXITSTATUS(status) == 127
             ? "bwrap is not installed"
             : "this kernel gives an ordinary user no user namespace "
               "(kernel.unprivileged_userns_clone or "
               "user.max_user_namespaces)";
  return false;
}

std::vector<judge> judges(std::string* skipped) {
  std::vector<judge> out;
  std::string user;
  if (geteuid() == 0) {
    if (!other_user_available(&user)) {
      *skipped = "no user but root";
      return out;
    }
    const struct passwd* pw = getpwnam(user.c_str());
    out.push_back({"root with --user " + user, {"--user", user}});
    std::string why;
    if (unprivileged_bwrap_works(pw->pw_uid, pw->pw_gid, &why))
      out.push_back({"ordinary user " + user, {}, pw->pw_uid, pw->pw_gid});
    else
      *skipped = "ordinary user: " + why;
  } else {
    std::string why;
    if (unprivileged_bwrap_works(0, 0, &why))
      out.push_back({"ordinary user", {}});
    else
      *skipped = "ordinary user: " + why;
  }
  return out;
}

// A scratch tree the judge's user owns, with the manager and the program
// copied in where that user can reach them.
struct bench {
  scratch_dir dir;
  fs::path work, manager;
  const judge& j;

  explicit bench(const judge& who, const char* case_text = kWorked) : j(who) {
    work = dir.path() / "case";
    fs::create_directory(work);
    if (case_text != nullptr) write_file(work / "rods.in", case_text);
    manager = reachable(GRIDPROBE_MANAGER);
    give_away(dir.path());
  }

  fs::path reachable(const fs::path& program) {
    fs::path bin = dir.path() / "bin";
    fs::create_directories(bin);
    fs::path copy = bin / program.filename();
    if (!fs::exists(copy)) fs::copy_file(program, copy);
    fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
    return copy;
  }

  // The judge's user owns the tree; only it (and root) can enter it.
  void give_away(const fs::path& top) {
    fs::permissions(top, fs::perms::owner_all | fs::perms::others_exec);
    if (j.drop_uid == 0) return;
    for (const auto& e : fs::recursive_directory_iterator(top))
      if (lchown(e.path().c_str(), j.drop_uid, j.drop_gid) != 0) return;
    if (lchown(top.c_str(), j.drop_uid, j.drop_gid) != 0) return;
  }

  std::vector<std::string> argv(const std::vector<std::string>& options,
                                const std::vector<std::string>& program) {
    std::vector<std::string> a = {manager.string(), "run"};
    a.insert(a.end(), j.options.begin(), j.options.end());
    a.insert(a.end(), options.begin(), options.end());
    a.push_back("--");
    a.insert(a.end(), program.begin(), program.end());
    return a;
  }
};

// A manager started in the background, as the judge's user.
struct started {
  pid_t pid = -1;
  fs::path out, err;
};

started start(const bench& b, const std::vector<std::string>& argv,
              const fs::path& streams, rlim_t fsize = RLIM_INFINITY) {
  started s;
  s.out = streams / "stdout";
  s.err = streams / "stderr";
  s.pid = fork();
  if (s.pid == 0) {
    int in_fd = open("/dev/null", O_RDONLY);
    int out_fd = open(s.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err_fd = open(s.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0 || chdir(b.work.c_str()) != 0)
      _exit(126);
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (fsize != RLIM_INFINITY) {
      struct rlimit l = {fsize, fsize};
      setrlimit(RLIMIT_FSIZE, &l);
    }
    if (b.j.drop_uid != 0 &&
        (setgroups(0, nullptr) != 0 || setgid(b.j.drop_gid) != 0 ||
         setuid(b.j.drop_uid) != 0))
      _exit(126);
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  return s;
}

// Waits at most `seconds`, then kills; the result as run_limited gives it.
run_result finish(const started& s, double seconds = 60) {
  run_result r;
  int status = 0;
  auto until = std::chrono::steady_clock::now() +
               std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  while (waitpid(s.pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > until) {
      kill(s.pid, SIGKILL);
      waitpid(s.pid, &status, 0);
      break;
    }
    usleep(5000);
  }
  r.exited = WIFEXITED(status);
  if (r.exited) r.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  r.out = read_file(s.out);
  r.err = read_file(s.err);
  return r;
}

run_result run(bench& b, const std::vector<std::string>& options,
               const std::vector<std::string>& program, const char* tag,
               rlim_t fsize = RLIM_INFINITY) {
  fs::path streams = b.dir.path() / tag;
  fs::create_directories(streams);
  b.give_away(streams);
  return finish(start(b, b.argv(options, program), streams, fsize));
}

// Processes anywhere on this host whose command line holds the token.
int processes_with(const std::string& token) {
  int found = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return -1;
  while (struct dirent* d = readdir(proc)) {
    if (d->d_name[0] < '1' || d->d_name[0] > '9') continue;
    std::string cmdline = read_file(fs::path("/proc") / d->d_name / "cmdline");
    if (cmdline.find(token) != std::string::npos) ++found;
  }
  closedir(proc);
  return found;
}

// Waits up to two seconds for the token's processes to be gone.
int survivors(const std::string& token) {
  int n = 0;
  for (int i = 0; i < 200 && (n = processes_with(token)) > 0; ++i)
    usleep(10000);
  return n;
}

std::string unique_token(const char* what) {
  return std::string("gp-") + what + "-" + std::to_string(getpid()) + "-" +
         std::to_string(
             std::chrono::steady_clock::now().time_since_epoch().count());
}

bool wait_for(const fs::path& file, const std::string& text) {
  for (int i = 0; i < 2000; ++i) {
    if (read_file(file).find(text) != std::string::npos) return true;
    usleep(5000);
  }
  return false;
}

// A right answer within one call gets no score, however it is spelled.
bool scores(const fs::path& work) {
  if (read_file(work / "rods.out") == "<missing>") return false;
  run_result check =
      run_program({GRIDPROBE_MANAGER, "check", (work / "rods.in").string(),
                   (work / "rods.out").string(), "--full", "1", "--zero", "2"},
                  work);
  return check.out != "0\n";
}

#define FOR_EACH_JUDGE(j)                                                \
  std::string skipped;                                                   \
  std::vector<judge> all = judges(&skipped);                             \
  if (all.empty()) GTEST_SKIP() << skipped;                              \
  if (!skipped.empty()) std::cout << "[ SKIPPED  ] " << skipped << "\n"; \
  for (const judge& j : all)

// A rerun of the same case finds nothing the first run left: no file in
// /tmp, /dev/shm or its working directory, no System V segment, no chain
// of directories too deep to remove.
TEST(Runs, RerunFindsNothingOfTheEarlierRun) {
  FOR_EACH_JUDGE(j) {
    for (const char* program : {HOSTILE_RUNS, HOSTILE_RUNS_PAS}) {
      SCOPED_TRACE(j.name + " " + program);
      bench b(j);
      fs::path prog = b.reachable(program);
      for (const char* tag : {"first", "rerun"}) {
        SCOPED_TRACE(tag);
        run_result r = run(b, {}, {prog.string(), "stash"}, tag);
        EXPECT_TRUE(r.exited && r.exit_code == 0) << r.err;
        EXPECT_EQ(read_file(b.work / "rods.out"), kHonest);
        EXPECT_FALSE(scores(b.work));
      }
    }
  }
}

// Two runs at once: the attacker cannot find the other run's program, take
// its wire or stop it; the victim is charged its own calls only.
TEST(Runs, ConcurrentRunsCannotReachEachOther) {
  FOR_EACH_JUDGE(j) {
    SCOPED_TRACE(j.name);
    bench victim(j), attacker(j);
    fs::path vprog = victim.reachable(HOSTILE_RUNS);
    fs::path aprog = attacker.reachable(HOSTILE_RUNS);
    fs::path vs = victim.dir.path() / "v", as = attacker.dir.path() / "a";
    fs::create_directories(vs);
    fs::create_directories(as);
    victim.give_away(vs);
    attacker.give_away(as);
    started v = start(victim, victim.argv({}, {vprog.string(), "victim"}), vs);
    ASSERT_TRUE(wait_for(victim.work / "rods.log.partial", "gridsize"));
    started a =
        start(attacker, attacker.argv({}, {aprog.string(), "steal"}), as);
    run_result ar = finish(a), vr = finish(v);
    EXPECT_TRUE(vr.exited && vr.exit_code == 0) << vr.err;
    EXPECT_EQ(read_file(victim.work / "rods.out"), kHonest);
    std::string vlog = read_file(victim.work / "rods.log");
    EXPECT_EQ(vlog.rfind("gridsize() = 10\n1 : rect (1,1,1,1) = 0\n", 0), 0u)
        << vlog.substr(0, 200);
    EXPECT_NE(vlog.find("\n100 : rect (10,10,10,10) = 0\nreport ("),
              std::string::npos);
    EXPECT_FALSE(scores(attacker.work)) << ar.err;
  }
}

// Whatever the program leaves in its working directory, a link swapped for
// a directory during the teardown included, nothing outside it is removed.
TEST(Runs, TeardownRemovesNothingOfTheJudges) {
  FOR_EACH_JUDGE(j) {
    SCOPED_TRACE(j.name);
    bench b(j);
    fs::path precious = b.dir.path() / "judge";
    fs::create_directories(precious);
    write_file(precious / "f", "the judge's\n");
    b.give_away(b.dir.path());
    fs::path prog = b.reachable(HOSTILE_RUNS);
    run_result r =
        run(b, {}, {prog.string(), "swapdirs", precious.string()}, "swap");
    EXPECT_TRUE(r.exited && r.exit_code == 0) << r.err;
    EXPECT_EQ(read_file(precious / "f"), "the judge's\n");
    EXPECT_EQ(read_file(b.work / "rods.out"), kHonest);
  }
}

// A flood of processes ends with the run, at once and entirely.
TEST(Runs, ProcessFloodEndsWithTheRun) {
  FOR_EACH_JUDGE(j) {
    SCOPED_TRACE(j.name);
    bench b(j);
    fs::path prog = b.reachable(HOSTILE_RUNS);
    std::string token = unique_token("flood");
    run_result r = run(b, {"--wall", "3", "--procs", "1000"},
                       {prog.string(), "flood", token, "800"}, "flood");
    EXPECT_TRUE(r.exited && r.exit_code == 2) << r.err;
    EXPECT_NE(r.err.find("forked 800"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("wall time"), std::string::npos) << r.err;
    EXPECT_EQ(survivors(token), 0);
  }
}

// A manager told to stop while a flood runs stops: exit 3, nothing left.
TEST(Runs, StopDuringAFloodIsActedOn) {
  FOR_EACH_JUDGE(j) {
    for (int sig : {SIGTERM, SIGINT}) {
      SCOPED_TRACE(j.name + " " + strsignal(sig));
      bench b(j);
      fs::path prog = b.reachable(HOSTILE_RUNS);
      std::string token = unique_token("stop");
      fs::path streams = b.dir.path() / "s";
      fs::create_directories(streams);
      b.give_away(streams);
      started s = start(
          b,
          b.argv({"--procs", "1000"}, {prog.string(), "flood", token, "500"}),
          streams);
      ASSERT_TRUE(wait_for(s.err, "forked"));
      // The program says "forked" before its second call: wait for that
      // call's line too, or a loaded machine stops the run between them.
      ASSERT_TRUE(wait_for(b.work / "rods.log.partial",
                           "gridsize() = 10\ngridsize() = 10\n"));
      kill(s.pid, sig);
      run_result r = finish(s, 20);
      EXPECT_TRUE(r.exited && r.exit_code == 3) << r.err;
      EXPECT_EQ(read_file(b.work / "rods.out"), "<missing>");
      EXPECT_EQ(read_file(b.work / "rods.log.partial"),
                "gridsize() = 10\ngridsize() = 10\n");
      EXPECT_EQ(survivors(token), 0);
    }
  }
}

// A child in a session of its own dies with a manager killed outright, and
// plants nothing in the next run.
TEST(Runs, NothingOutlivesAManagerKilledOutright) {
  FOR_EACH_JUDGE(j) {
    SCOPED_TRACE(j.name);
    bench b(j);
    fs::path prog = b.reachable(HOSTILE_RUNS);
    std::string token = unique_token("survivor");
    fs::path streams = b.dir.path() / "s";
    fs::create_directories(streams);
    b.give_away(streams);
    started s = start(
        b, b.argv({}, {prog.string(), "survivor", b.work.string(), token}),
        streams);
    ASSERT_TRUE(wait_for(b.work / "rods.log.partial", "gridsize"));
    usleep(100000);
    kill(s.pid, SIGKILL);
    finish(s);
    EXPECT_EQ(survivors(token), 0);
    usleep(300000);
    EXPECT_EQ(read_file(b.work / "rods.out"), "<missing>");
  }
}

// The case directory readable by everybody: the program still cannot open
// rods.in by its path, in C or in Pascal.
TEST(Runs, ReadableCaseIsNotInTheSandbox) {
  FOR_EACH_JUDGE(j) {
    for (const char* program : {HOSTILE_RUNS, HOSTILE_RUNS_PAS}) {
      SCOPED_TRACE(j.name + " " + program);
      bench b(j);
      fs::permissions(b.dir.path(), fs::perms::all);
      fs::permissions(b.work, fs::perms::all);
      fs::path prog = b.reachable(program);
      run_result r =
          run(b, {}, {prog.string(), "readcase", b.work.string()}, "read");
      EXPECT_TRUE(r.exited && r.exit_code == 0) << r.err;
      EXPECT_FALSE(scores(b.work)) << read_file(b.work / "rods.out");
    }
  }
}

// Each limit ends the run without a verdict and says which it was; the
// summary line tells the outcome, the calls, the CPU time and the memory.
TEST(Runs, EachLimitEndsTheRunAndIsNamed) {
  const struct {
    const char* mode;
    std::vector<std::string> options;
    const char* said;
  } rows[] = {
      {"cpu", {"--cpu", "1", "--wall", "20"}, "CPU limit (--cpu 1 s)"},
      {"mem", {"--mem", "64"}, "memory limit (--mem 64 MiB)"},
      {"fsize", {"--fsize", "1"}, "file-size limit (--fsize 1 MiB)"},
  };
  FOR_EACH_JUDGE(j) {
    for (const auto& row : rows) {
      SCOPED_TRACE(j.name + " " + row.mode);
      bench b(j);
      fs::path prog = b.reachable(HOSTILE_RUNS);
      run_result r = run(b, row.options, {prog.string(), row.mode}, row.mode);
      EXPECT_TRUE(r.exited && r.exit_code == 2) << r.err;
      EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("gridprobe-manager: summary: no verdict, 0 rect "
                           "calls, "),
                std::string::npos)
          << r.err;
      EXPECT_EQ(read_file(b.work / "rods.log"), "gridsize() = 10\n");
      EXPECT_EQ(read_file(b.work / "rods.out"), "<missing>");
    }
  }
}

// --procs caps the processes the program has at once.
TEST(Runs, ProcessLimitHolds) {
  FOR_EACH_JUDGE(j) {
    SCOPED_TRACE(j.name);
    bench b(j);
    fs::path prog = b.reachable(HOSTILE_RUNS);
    std::string token = unique_token("procs");
    run_result r = run(b, {"--procs", "5", "--wall", "2"},
                       {prog.string(), "flood", token, "50"}, "procs");
    EXPECT_TRUE(r.exited && r.exit_code == 2) << r.err;
    EXPECT_NE(r.err.find("forked 4\n"), std::string::npos) << r.err;
    EXPECT_EQ(survivors(token), 0);
  }
}

// A transcript flood stops at --log-limit; under a judge's file-size limit
// on the manager itself, a failed write is exit 1, never SIGXFSZ.
TEST(Runs, TranscriptFloodIsBounded) {
  const std::string flood = "yes G & exec cat >/dev/null";
  FOR_EACH_JUDGE(j) {
    SCOPED_TRACE(j.name);
    {
      bench b(j);
      run_result r = run(b, {"--log-limit", "1", "--wall", "30"},
                         {"/bin/sh", "-c", flood}, "limit");
      EXPECT_TRUE(r.exited && r.exit_code == 2) << r.err;
      EXPECT_NE(r.err.find("log limit (--log-limit 1 MiB)"), std::string::npos)
          << r.err;
      std::string log = read_file(b.work / "rods.log");
      EXPECT_LE(log.size(), 1024u * 1024u);
      EXPECT_GT(log.size(), 1000u * 1000u);
      EXPECT_EQ(read_file(b.work / "rods.out"), "<missing>");
    }
    {
      bench b(j);
      run_result r = run(b, {"--wall", "30"}, {"/bin/sh", "-c", flood}, "fsize",
                         64 * 1024);
      EXPECT_TRUE(r.exited && r.exit_code == 1) << "signal " << r.signal << "\n"
                                                << r.err;
      EXPECT_NE(r.err.find("cannot write rods.log.partial"), std::string::npos)
          << r.err;
      EXPECT_EQ(read_file(b.work / "rods.out"), "<missing>");
      EXPECT_NE(read_file(b.work / "rods.log.partial"), "<missing>");
    }
  }
}

}  // namespace
}  // namespace gridprobe_test

namespace gridprobe_test {
namespace {

// The judge's own rods.in survives a run as the judge left it: a symlink
// stays a symlink to the same file, a change the judge makes while the
// program runs stays, and a directory in its place is the linked form's
// "Invalid input file.".
TEST(Runs, TheJudgesCaseFileIsLeftAsTheJudgeHasIt) {
  FOR_EACH_JUDGE(j) {
    SCOPED_TRACE(j.name);
    {
      SCOPED_TRACE("symlink");
      bench b(j, nullptr);
      write_file(b.work / "real.in", kWorked);
      fs::create_symlink("real.in", b.work / "rods.in");
      b.give_away(b.work);
      fs::path prog = b.reachable(HOSTILE_RUNS);
      run_result r = run(b, {}, {prog.string(), "stash"}, "link");
      EXPECT_TRUE(r.exited && r.exit_code == 0) << r.err;
      EXPECT_EQ(read_file(b.work / "rods.out"), kHonest);
      EXPECT_TRUE(fs::is_symlink(b.work / "rods.in"));
      EXPECT_EQ(fs::read_symlink(b.work / "rods.in"), "real.in");
      EXPECT_EQ(read_file(b.work / "real.in"), kWorked);
    }
    {
      SCOPED_TRACE("changed during the run");
      bench b(j);
      fs::path prog = b.reachable(HOSTILE_RUNS);
      fs::path streams = b.dir.path() / "s";
      fs::create_directories(streams);
      b.give_away(streams);
      started s = start(
          b, b.argv({"--wall", "2"}, {prog.string(), "flood", "gp-judge", "1"}),
          streams);
      ASSERT_TRUE(wait_for(s.err, "forked"));
      const char corrected[] = "10 1 1 1 2 3 3 4 3\n";
      write_file(b.work / "rods.in", corrected);
      run_result r = finish(s, 20);
      EXPECT_TRUE(r.exited && r.exit_code == 2) << r.err;
      EXPECT_EQ(read_file(b.work / "rods.in"), corrected);
    }
    {
      SCOPED_TRACE("a directory");
      bench b(j, nullptr);
      fs::create_directory(b.work / "rods.in");
      b.give_away(b.work);
      fs::path prog = b.reachable(HOSTILE_RUNS);
      run_result r = run(b, {}, {prog.string(), "stash"}, "dir");
      EXPECT_TRUE(r.exited && r.exit_code == 1) << r.err;
      EXPECT_EQ(read_file(b.work / "rods.out"), "0\nInvalid input file.\n");
      EXPECT_EQ(r.out, "Invalid input file.\n");
      EXPECT_TRUE(fs::is_directory(b.work / "rods.in"));
    }
  }
}

}  // namespace
}  // namespace gridprobe_test

namespace gridprobe_test {
namespace {

// A publication that fails (the case directory's disk full) loses nothing:
// the transcript stays in rods.log.partial, no verdict is left standing, and
// the failure is said. A 16 KiB tmpfs, mounted in a mount namespace of the
// test's own, holds rods.in, the partial transcript and nothing more.
TEST(Runs, FailedPublicationKeepsTheTranscript) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  scratch_dir dir;
  fs::path disk = dir.path() / "disk";
  fs::create_directory(disk);
  write_file(dir.path() / "rods.in", kWorked);
  fs::path prog = dir.path() / "prog";
  fs::copy_file(HOSTILE_RUNS, prog);
  const std::string d = disk.string();
  const std::string script =
      "mount -t tmpfs -o size=16k tmpfs '" + d + "' || exit 125; cp '" +
      (dir.path() / "rods.in").string() + "' '" + d +
      "/rods.in' && dd if=/dev/zero of='" + d +
      "/pad' bs=1k count=6 2>/dev/null && cd '" + d + "' && '" +
      GRIDPROBE_MANAGER + "' run -- '" + prog.string() +
      "' stash; s=$?; cp rods.log.partial '" + dir.path().string() +
      "/kept' 2>/dev/null; ls > '" + dir.path().string() + "/listing'; exit $s";
  run_result r = run_program({"unshare", "-m", "sh", "-c", script}, dir.path());
  if (r.exited && r.exit_code == 125) GTEST_SKIP() << "cannot mount: " << r.err;
  EXPECT_TRUE(r.exited && r.exit_code == 1) << r.err;
  EXPECT_NE(r.err.find("rods.log.partial"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
  std::string kept = read_file(dir.path() / "kept");
  EXPECT_EQ(kept.rfind("1 : rect (1,1,1,1) = 0\n", 0), 0u)
      << kept.substr(0, 100);
  EXPECT_NE(kept.find("report"), std::string::npos);
  EXPECT_EQ(read_file(dir.path() / "listing"),
            "pad\nrods.in\nrods.log.partial\n");
}

}  // namespace
}  // namespace gridprobe_test
