// split_wire_test.cpp: the wire under stress from both ends. Programs that
// speak the protocol badly, hang, fork or leave orphans, against the
// manager; a manager that dies or talks nonsense, against the stub.
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>

#include <string>
#include <vector>

#include "split_process.h"

namespace gridprobe_test {
namespace {

const char kWorked[] = "10 2 3 2 7 5 9 8 9\n";
const char kBad[] = "Invalid library function call.\n";
const std::string kBadOut = std::string("0\n") + kBad;

struct wire_row {
  const char* name;
  std::string script;  // run by /bin/sh as the program
  const char* wall;
  int exit_code;
  std::string log;   // "<missing>" when none
  std::string out;   // "<missing>" when none
  std::string said;  // part of stderr
  bool case_present = true;
};

std::vector<wire_row> wire_rows() {
  const std::string verdict = "P 2 3 2 7 5 9 8 9\\n";
  return {
      {"garbage", "printf 'hello\\n'; read x", "10", 0, kBad, kBadOut, ""},
      {"empty line", "printf '\\n'; read x", "10", 0, kBad, kBadOut, ""},
      {"CR LF line end", "printf 'G\\r\\n'; read x", "10", 0, kBad, kBadOut,
       ""},
      {"NUL in a line", "printf 'G\\000\\n'; read x", "10", 0, kBad, kBadOut,
       ""},
      {"lower case", "printf 'g\\n'; read x", "10", 0, kBad, kBadOut, ""},
      {"two blanks", "printf 'R  1 1 1 1\\n'; read x", "10", 0, kBad, kBadOut,
       ""},
      {"missing value", "printf 'R 1 1 1\\n'; read x", "10", 0, kBad, kBadOut,
       ""},
      {"extra value", "printf 'R 1 1 1 1 1\\n'; read x", "10", 0, kBad, kBadOut,
       ""},
      {"leading zero", "printf 'R 01 1 1 1\\n'; read x", "10", 0, kBad, kBadOut,
       ""},
      {"beyond 32 bits", "printf 'R 1 1 1 2147483648\\n'; read x", "10", 0,
       kBad, kBadOut, ""},
      {"below 32 bits", "printf 'R -2147483649 1 1 1\\n'; read x", "10", 0,
       kBad, kBadOut, ""},
      {"far beyond 64 bits",
       "printf 'R 1 1 1 99999999999999999999999999\\n'; read x", "10", 0, kBad,
       kBadOut, ""},
      {"overlong line", "printf 'G%0200d\\n' 0; read x", "10", 0, kBad, kBadOut,
       ""},
      {"overlong line never ended",
       "head -c 5000 /dev/zero | tr '\\000' G; sleep 30", "20", 0, kBad,
       kBadOut, ""},
      {"EOF mid-request", "printf 'G\\nR 1 2'", "10", 0,
       std::string("gridsize() = 10\n") + kBad, kBadOut, ""},
      {"32-bit extremes are calls",
       "printf 'R -2147483648 2147483647 1 1\\n'; read x", "10", 0,
       std::string("1 : rect (-2147483648,2147483647,1,1) = ") + kBad, kBadOut,
       ""},
      // The missing case is what counts: the run exits 1 and says so.
      {"garbage before a bad case", "printf 'hello\\n'; read x", "10", 1,
       "<missing>", "0\nCannot open the input file.\n",
       "the test case cannot be read", false},
      {"ends without report", "printf 'G\\n'; read x", "10", 2,
       "gridsize() = 10\n", "<missing>", "exit status 0"},
      {"crash", "printf 'G\\n'; read x; kill -SEGV $$", "10", 2,
       "gridsize() = 10\n", "<missing>", "crashed"},
      {"hangs before report", "printf 'G\\n'; read x; sleep 60", "1", 2,
       "gridsize() = 10\n", "<missing>", "wall time"},
      {"hangs after report",
       "printf 'R 5 5 9 9\\n" + verdict + "'; read a; read b; sleep 60", "1", 0,
       "1 : rect (5,5,9,9) = 1\nreport (2,3,2,7,5,9,8,9)\n",
       "1\n2 3 2 7\n5 9 8 9\n", ""},
      {"closes the wire and keeps running",
       "printf 'G\\n'; read x; exec >&- <&-; sleep 60", "30", 2,
       "gridsize() = 10\n", "<missing>", "closed the wire"},
      {"forked child's requests count",
       "(printf 'R 1 1 1 1\\n'; read a); printf 'R 5 5 9 9\\n" + verdict +
           "'; read a; read b",
       "10", 0,
       "1 : rect (1,1,1,1) = 0\n2 : rect (5,5,9,9) = 1\n"
       "report (2,3,2,7,5,9,8,9)\n",
       "2\n2 3 2 7\n5 9 8 9\n", ""},
      {"requests after exec count",
       "printf 'R 1 1 1 1\\n'; read a; exec sh -c \"printf '" + verdict +
           "'; read b\"",
       "10", 0, "1 : rect (1,1,1,1) = 0\nreport (2,3,2,7,5,9,8,9)\n",
       "1\n2 3 2 7\n5 9 8 9\n", ""},
      {"floods without reading replies", "yes G", "1", 2, "", "<missing>",
       "wall time"},
  };
}

// The manager's side of the wire, played by the test.
struct stub_run {
  pid_t pid = -1;
  int to_prog = -1;    // the program's stdin
  int from_prog = -1;  // the program's stdout
};

stub_run start_stub(const std::vector<std::string>& argv, const fs::path& dir) {
  int in[2], out[2];
  stub_run s;
  if (pipe(in) != 0 || pipe(out) != 0) return s;
  s.pid = fork();
  if (s.pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[0]);
    close(in[1]);
    close(out[0]);
    close(out[1]);
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  s.to_prog = in[1];
  s.from_prog = out[0];
  return s;
}

std::string read_line(int fd) {
  std::string line;
  char ch;
  struct pollfd p = {fd, POLLIN, 0};
  while (poll(&p, 1, 10000) == 1 && read(fd, &ch, 1) == 1 && ch != '\n')
    line += ch;
  return line;
}

// Waits (at most 10 s, then kills) and returns the wait status.
int finish(stub_run& s) {
  int status = -1;
  for (int i = 0; i < 1000; ++i) {
    if (waitpid(s.pid, &status, WNOHANG) == s.pid) return status;
    usleep(10000);
  }
  kill(s.pid, SIGKILL);
  waitpid(s.pid, &status, 0);
  return -1;  // it hung
}

TEST(WireFromTheProgram, EveryRowAsTheTableSays) {
  for (const wire_row& w : wire_rows()) {
    SCOPED_TRACE(w.name);
    scratch_dir dir;
    fs::path work = dir.path() / "case";
    fs::create_directory(work);
    if (w.case_present) write_file(work / "rods.in", kWorked);
    // The table is the wire's, without a sandbox: inside one, bwrap's own
    // processes hold the wire too, and a program that closes it is seen at
    // its end.
    run_result run = run_limited({GRIDPROBE_MANAGER, "run", "--no-sandbox",
                                  "--wall", w.wall,
                                  "--", "/bin/sh", "-c", w.script},
                                 work, 60);
    EXPECT_TRUE(run.exited && run.exit_code == w.exit_code)
        << "exit " << run.exit_code << " signal " << run.signal << "\n"
        << run.err;
    if (w.log.empty())  // a flood: only how it starts is fixed
      EXPECT_EQ(read_file(work / "rods.log").rfind("gridsize() = 10\n", 0), 0u);
    else
      EXPECT_EQ(read_file(work / "rods.log"), w.log);
    EXPECT_EQ(read_file(work / "rods.out"), w.out);
    EXPECT_NE(run.err.find(w.said), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(work / "rods.log.partial"));
  }
}

// An orphan in a session of its own is still ended before the verdict.
TEST(WireFromTheProgram, OrphansAreEndedBeforeTheVerdict) {
  scratch_dir dir;
  fs::path work = dir.path() / "case";
  fs::create_directory(work);
  write_file(work / "rods.in", kWorked);
  fs::path pid_file = dir.path() / "orphan.pid";
  std::string script =
      "(setsid sh -c 'echo $$ > " + pid_file.string() +
      "; exec sleep 60' </dev/null >/dev/null 2>&1 &); "
      "while [ ! -s " +
      pid_file.string() +
      " ]; do sleep 0.01; done; "
      "printf 'R 5 5 9 9\\nP 2 3 2 7 5 9 8 9\\n'; read a; read b";
  run_result run = run_limited(
      {GRIDPROBE_MANAGER, "run", "--no-sandbox", "--", "/bin/sh", "-c", script},
      work, 60);
  EXPECT_TRUE(run.exited && run.exit_code == 0) << run.err;
  pid_t orphan = std::stoi(read_file(pid_file));
  EXPECT_NE(kill(orphan, 0), 0);
  EXPECT_EQ(errno, ESRCH);
}

// The program sees an empty working directory of its own, no descriptors
// beyond 0-2, no PWD or OLDPWD, and a process group of its own.
TEST(WireFromTheProgram, ProgramStartsBare) {
  scratch_dir dir;
  fs::path work = dir.path() / "case";
  fs::create_directory(work);
  write_file(work / "rods.in", kWorked);
  fs::path seen = dir.path() / "seen";
  setenv("PWD", work.c_str(), 1);  // the judge's, never the program's
  setenv("OLDPWD", "/", 1);
  std::string script =
      "{ ls -A | wc -l; ls /proc/$$/fd | wc -l; tr '\\000' '\\n' < "
      "/proc/$$/environ | grep -c PWD; "
      "ps -o pgid= -p $$ | tr -d ' '; echo $$; } > " +
      seen.string() + "; printf 'G\\n'; read x";
  run_result run = run_limited(
      {GRIDPROBE_MANAGER, "run", "--no-sandbox", "--", "/bin/sh", "-c", script},
      work, 60);
  EXPECT_TRUE(run.exited && run.exit_code == 2) << run.err;
  std::istringstream lines(read_file(seen));
  int entries = -1, fds = -1, pwd = -1;
  long pgid = -1, pid = -2;
  lines >> entries >> fds >> pwd >> pgid >> pid;
  EXPECT_EQ(entries, 0);
  EXPECT_EQ(fds, 4);  // 0-2, and the shell's saved copy of 1
  EXPECT_EQ(pwd, 0);
  EXPECT_EQ(pgid, pid);
}

// The manager cannot be read through /proc by a program of the same user:
// its /proc files belong to root. Run by root, the manager and the program
// run as another user here, or root would own those files anyway.
TEST(WireFromTheProgram, ManagerIsNotDumpable) {
  std::string user;
  const struct passwd* who = nullptr;
  if (geteuid() == 0) {
    if (!other_user_available(&user)) GTEST_SKIP() << "no user but root";
    who = getpwnam(user.c_str());
    ASSERT_NE(who, nullptr);
  }
  scratch_dir dir;
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec |
                                  fs::perms::group_exec);
  fs::path work = dir.path() / "case";
  fs::create_directory(work);
  write_file(work / "rods.in", kWorked);
  if (who != nullptr) {
    ASSERT_EQ(chown(work.c_str(), who->pw_uid, who->pw_gid), 0);
  }
  std::string script =
      "stat -c %u /proc/$PPID/status > seen; printf 'G\\n'; read x";
  // The build tree may sit in a private directory the other user cannot
  // reach: run a copy of the manager from the scratch directory.
  fs::path manager = dir.path() / "gridprobe-manager";
  fs::copy_file(GRIDPROBE_MANAGER, manager);
  fs::permissions(manager, fs::perms::owner_all | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read |
                               fs::perms::others_exec);
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(work.c_str()) != 0) _exit(126);
    if (who != nullptr &&
        (setgroups(0, nullptr) != 0 || setgid(who->pw_gid) != 0 ||
         setuid(who->pw_uid) != 0))
      _exit(126);
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    execl(manager.c_str(), manager.c_str(), "run", "--no-sandbox", "--chdir",
          ".", "--",
          "/bin/sh", "-c", script.c_str(), (char*)nullptr);
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
  EXPECT_EQ(read_file(work / "seen"), "0\n");
}

// The transcript so far outlives a manager killed outright, and so does not
// the program; a manager told to stop ends the program and exits 3.
TEST(WireFromTheProgram, ManagerStoppedMidRun) {
  for (int sig : {SIGKILL, SIGTERM}) {
    SCOPED_TRACE(strsignal(sig));
    scratch_dir dir;
    fs::path work = dir.path() / "case";
    fs::create_directory(work);
    write_file(work / "rods.in", kWorked);
    fs::path pid_file = dir.path() / "program.pid";
    std::string script =
        "printf 'G\\nR 5 5 9 9\\n'; read a; read b; echo $$ > " +
        pid_file.string() + "; exec sleep 60";
    stub_run m = start_stub({GRIDPROBE_MANAGER, "run", "--no-sandbox", "--",
                             "/bin/sh", "-c", script},
                            work);
    while (read_file(pid_file).find('\n') == std::string::npos) usleep(10000);
    kill(m.pid, sig);
    int status = finish(m);
    if (sig == SIGKILL) {
      EXPECT_TRUE(WIFSIGNALED(status));
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
    }
    EXPECT_EQ(read_file(work / "rods.log.partial"),
              "gridsize() = 10\n1 : rect (5,5,9,9) = 1\n");
    EXPECT_EQ(read_file(work / "rods.out"), "<missing>");
    EXPECT_EQ(read_file(work / "rods.log"), "<missing>");
    pid_t program = std::stoi(read_file(pid_file));
    int alive = 0;
    while (kill(program, 0) == 0 && ++alive < 500) usleep(10000);
    EXPECT_LT(alive, 500) << "the program outlived its manager";
    close(m.to_prog);
    close(m.from_prog);
  }
}

// --chdir names the program's working directory.
TEST(WireFromTheProgram, ChdirNamesTheWorkingDirectory) {
  scratch_dir dir;
  fs::path work = dir.path() / "case";
  fs::create_directory(work);
  fs::create_directory(dir.path() / "home");
  write_file(work / "rods.in", kWorked);
  run_result run = run_limited(
      {GRIDPROBE_MANAGER, "run", "--chdir", (dir.path() / "home").string(),
       "--", "/bin/sh", "-c", "pwd > seen; printf 'G\\n'; read x"},
      work, 60);
  EXPECT_TRUE(run.exited && run.exit_code == 2) << run.err;
  EXPECT_EQ(read_file(dir.path() / "home" / "seen"),
            (dir.path() / "home").string() + "\n");
}

enum class manager_does { dies, closes_requests, garbage, overlong, ends };

TEST(WireFromTheManager, StubEndsAtOnceWithStatusZero) {
  const struct {
    const char* name;
    manager_does act;
  } rows[] = {{"manager dies", manager_does::dies},
              {"requests unread", manager_does::closes_requests},
              {"garbage reply", manager_does::garbage},
              {"overlong reply", manager_does::overlong},
              {"end of the run", manager_does::ends}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    scratch_dir dir;
    write_file(dir.path() / "script", "g\nr 1 10 1 10\ng\n");
    stub_run s =
        start_stub({GRIDPROBE_SPLIT_C_DRIVER, (dir.path() / "script").string(),
                    (dir.path() / "returns").string()},
                   dir.path());
    ASSERT_GT(s.pid, 0);
    if (row.act == manager_does::closes_requests) {
      close(s.from_prog);  // its first write meets a closed pipe
    } else {
      EXPECT_EQ(read_line(s.from_prog), "G");
      std::string reply;
      switch (row.act) {
        case manager_does::garbage:
          reply = "ten\n";
          break;
        case manager_does::overlong:
          reply = std::string(200, '1');
          break;
        case manager_does::ends:
          reply = "E\n";
          break;
        default:
          break;
      }
      if (!reply.empty()) {
        ASSERT_EQ(write(s.to_prog, reply.data(), reply.size()),
                  (ssize_t)reply.size());
      }
      if (row.act == manager_does::dies) {
        close(s.to_prog);
        close(s.from_prog);
      }
    }
    int status = finish(s);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "status " << status;
    // No call returned: the driver recorded nothing.
    EXPECT_EQ(read_file(dir.path() / "returns"), "");
    if (s.to_prog >= 0) close(s.to_prog);
    if (row.act != manager_does::dies &&
        row.act != manager_does::closes_requests)
      close(s.from_prog);
  }
}

// The requests the stubs send, byte for byte, and values passed back.
TEST(WireFromTheManager, RequestsAndRepliesInBothLanguages) {
  for (const char* driver :
       {GRIDPROBE_SPLIT_C_DRIVER, GRIDPROBE_SPLIT_PAS_DRIVER}) {
    SCOPED_TRACE(driver);
    scratch_dir dir;
    write_file(dir.path() / "script",
               "g\nr 1 10 -3 2147483647\nr 1 1 1 1\np -2147483648 0 1 2 3 4 "
               "5 6\n");
    stub_run s = start_stub({driver, (dir.path() / "script").string(),
                             (dir.path() / "returns").string()},
                            dir.path());
    ASSERT_GT(s.pid, 0);
    EXPECT_EQ(read_line(s.from_prog), "G");
    ASSERT_EQ(write(s.to_prog, "-7\n", 3), 3);
    EXPECT_EQ(read_line(s.from_prog), "R 1 10 -3 2147483647");
    ASSERT_EQ(write(s.to_prog, "1\n", 2), 2);
    EXPECT_EQ(read_line(s.from_prog), "R 1 1 1 1");
    ASSERT_EQ(write(s.to_prog, "0\n", 2), 2);
    EXPECT_EQ(read_line(s.from_prog), "P -2147483648 0 1 2 3 4 5 6");
    ASSERT_EQ(write(s.to_prog, "E\n", 2), 2);
    int status = finish(s);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(read_file(dir.path() / "returns"), "-7\n1\n0\n");
    close(s.to_prog);
    close(s.from_prog);
  }
}

// With two FIFOs as argv[1] and argv[2] the stub talks over them, and the
// program's own prints reach neither FIFO nor standard output.
TEST(WireFromTheManager, FifoTransport) {
  scratch_dir dir;
  fs::path down = dir.path() / "to_prog", up = dir.path() / "from_prog";
  ASSERT_EQ(mkfifo(down.c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(up.c_str(), 0600), 0);
  run_result result;
  pid_t pid = fork();
  if (pid == 0) {
    int err = open((dir.path() / "err").c_str(), O_WRONLY | O_CREAT, 0644);
    int out = open((dir.path() / "out").c_str(), O_WRONLY | O_CREAT, 0644);
    dup2(out, 1);
    dup2(err, 2);
    execl(GRIDPROBE_SPLIT_FIFO_PROG, "prog", down.c_str(), up.c_str(), "-U",
          "1", (char*)nullptr);
    _exit(127);
  }
  int to_prog = open(down.c_str(), O_WRONLY);
  int from_prog = open(up.c_str(), O_RDONLY);
  EXPECT_EQ(read_line(from_prog), "G");
  ASSERT_EQ(write(to_prog, "10\n", 3), 3);
  EXPECT_EQ(read_line(from_prog), "R 1 10 1 10");
  ASSERT_EQ(write(to_prog, "1\n", 2), 2);
  EXPECT_EQ(read_line(from_prog), "P 1 2 3 4 5 6 7 8");
  ASSERT_EQ(write(to_prog, "E\n", 2), 2);
  stub_run s;
  s.pid = pid;
  int status = finish(s);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(read_file(dir.path() / "out"), "");
  EXPECT_EQ(read_file(dir.path() / "err"), "printed by the program\n");
  close(to_prog);
  close(from_prog);
}

}  // namespace
}  // namespace gridprobe_test
