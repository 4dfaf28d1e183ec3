// test_support.cpp: the shared test helpers; see test_support.h.
#include "test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace testkit {

scratch_dir::scratch_dir(const std::string& prefix) {
  std::string pattern =
      (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (mkdtemp(&pattern[0]) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  path_ = pattern;
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void scratch_dir::clear() const {
  for (const auto& entry : fs::directory_iterator(path_))
    fs::remove_all(entry.path());
}

std::vector<std::string> scratch_dir::listing() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string read_file(const fs::path& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return "<directory>";
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::abort();
  }
}

bool file_exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

namespace {

// In the child: fails with status 127 and a note when set-up goes wrong.
[[noreturn]] void setup_failed(const char* what) {
  std::perror(what);
  _exit(127);
}

// Puts fd on target, or closes target when fd is negative.
void place(int fd, int target) {
  if (fd < 0) {
    close(target);
    return;
  }
  if (fd != target) {
    if (dup2(fd, target) < 0) setup_failed("dup2");
    close(fd);
  }
}

// Everything between fork and the body: streams, directory, env, limits.
void prepare_child(const run_options& o, const fs::path& in_path,
                   const fs::path& out_path, const fs::path& err_path) {
  int in_fd = o.stdin_closed ? -1 : open(in_path.c_str(), O_RDONLY);
  int out_fd = o.stdout_closed
                   ? -1
                   : open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if ((!o.stdin_closed && in_fd < 0) || (!o.stdout_closed && out_fd < 0) ||
      err_fd < 0)
    setup_failed("open");
  // Move them clear of 0-2 first so that no dup2 overwrites another.
  auto high = [](int fd) { return fd < 0 ? fd : fcntl(fd, F_DUPFD, 10); };
  int in_high = high(in_fd), out_high = high(out_fd), err_high = high(err_fd);
  for (int fd : {in_fd, out_fd, err_fd})
    if (fd >= 0) close(fd);
  place(err_high, 2);
  place(in_high, 0);
  place(out_high, 1);
  if (chdir(o.dir.c_str()) != 0) setup_failed("chdir");
  for (const std::string& name : o.env_unset) unsetenv(name.c_str());
  for (const std::string& pair : o.env_set) putenv(strdup(pair.c_str()));
  // A test runner may have left signals ignored; the child starts clean.
  std::signal(SIGXFSZ, SIG_DFL);
  std::signal(SIGPIPE, SIG_DFL);
  for (const auto& [resource, value] : o.limits) {
    rlimit lim{value, value};
    if (setrlimit(resource, &lim) != 0) setup_failed("setrlimit");
  }
  if (o.timeout_seconds > 0) alarm(o.timeout_seconds);
}

run_result run_child(const std::function<void()>& body, const run_options& o) {
  scratch_dir streams("judgekit-streams");
  fs::path in_path = streams / "stdin";
  fs::path out_path = streams / "stdout";
  fs::path err_path = streams / "stderr";
  write_file(in_path, o.stdin_bytes);
  std::fflush(nullptr);  // nothing buffered is written twice
  pid_t pid = fork();
  if (pid == 0) {
    prepare_child(o, in_path, out_path, err_path);
    body();
    _exit(126);  // the body should have ended the process itself
  }
  run_result result;
  int status = 0;
  if (pid < 0) return result;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return result;
  result.exited = WIFEXITED(status);
  if (result.exited) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = o.stdout_closed ? "" : read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

}  // namespace

run_result run_program(const std::vector<std::string>& argv,
                       const run_options& options) {
  return run_child(
      [&argv] {
        std::vector<char*> args;
        for (const std::string& a : argv)
          args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        setup_failed(args[0]);
      },
      options);
}

run_result run_function(const std::function<void()>& body,
                        const run_options& options) {
  return run_child(body, options);
}

bool run_shell(const std::string& command, const fs::path& dir,
               std::string* out) {
  run_options o;
  o.dir = dir;
  o.timeout_seconds = 0;
  run_result r = run_program({"/bin/sh", "-c", command + " 2>&1"}, o);
  if (out != nullptr) *out = r.out;
  return r.exited && r.exit_code == 0;
}

}  // namespace testkit
