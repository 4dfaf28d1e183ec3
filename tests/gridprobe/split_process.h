// split_process.h: running programs under gridprobe-manager, with a limit.
#ifndef GRIDPROBE_TEST_SPLIT_PROCESS_H
#define GRIDPROBE_TEST_SPLIT_PROCESS_H

#include <pwd.h>
#include <signal.h>
#include <time.h>

#include <string>
#include <vector>

#include "process.h"

namespace gridprobe_test {

// Runs argv in dir as a judge would: SIGTERM once `seconds` have passed, then
// SIGKILL a second later. stdin is empty unless `input` names a file.
inline run_result run_limited(const std::vector<std::string>& argv,
                              const fs::path& dir, double seconds,
                              const std::string& input = "/dev/null") {
  scratch_dir streams;
  fs::path out_path = streams.path() / "stdout";
  fs::path err_path = streams.path() / "stderr";
  pid_t pid = fork();
  if (pid == 0) {
    int in_fd = open(input.c_str(), O_RDONLY);
    int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0 || chdir(dir.c_str()) != 0)
      _exit(127);
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  run_result result;
  int status = 0;
  const int step_ms = 5;
  int waited = 0;
  bool termed = false;
  for (;;) {
    pid_t got = waitpid(pid, &status, WNOHANG);
    if (got == pid || got < 0) break;
    struct timespec pause = {0, step_ms * 1000000L};
    nanosleep(&pause, nullptr);
    waited += step_ms;
    if (!termed && waited >= seconds * 1000) {
      kill(pid, SIGTERM);
      termed = true;
    } else if (waited >= seconds * 1000 + 1000) {
      kill(pid, SIGKILL);
    }
  }
  result.exited = WIFEXITED(status);
  if (result.exited) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

// A user other than root to run programs as, when this test runs as root.
inline bool other_user_available(std::string* name) {
  if (geteuid() != 0) return false;
  for (const char* candidate : {"nobody", "daemon"}) {
    if (getpwnam(candidate) != nullptr) {
      *name = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace gridprobe_test

#endif
