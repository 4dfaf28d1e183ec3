// test_support.h: scratch directories, file bytes and child processes for the
// tests of every tool. Nothing here depends on GoogleTest.
//
//   testkit::scratch_dir dir;                  // fresh dir, removed at scope
//   end testkit::write_file(dir / "in", "bytes"); testkit::run_options opt;
//   opt.dir = dir.path();                      // the child's working directory
//   opt.stdin_bytes = "...";                   // or opt.stdin_closed = true
//   opt.limits.push_back({RLIMIT_FSIZE, 100}); // setrlimit in the child
//   testkit::run_result r = testkit::run_program({"/path/to/tool", "arg"},
//   opt); r.exited, r.exit_code, r.signal, r.out, r.err
//
// run_function does the same for code run in a forked child (no exec); the
// body must end the process itself (exit, _exit, or an exec).
#pragma once

#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testkit {

namespace fs = std::filesystem;

// A fresh directory under the system's temp dir, removed with its contents.
class scratch_dir {
 public:
  explicit scratch_dir(const std::string& prefix = "judgekit-test");
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;

  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }
  // Empties the directory, keeping the directory itself.
  void clear() const;
  // The names in the directory, sorted.
  std::vector<std::string> listing() const;

 private:
  fs::path path_;
};

// The file's bytes. A missing file reads as "<missing>" and a directory as
// "<directory>", markers that no file content in the tests equals.
std::string read_file(const fs::path& path);
// Creates or truncates path and writes bytes; aborts the test run on failure.
void write_file(const fs::path& path, const std::string& bytes);
// True when something (even a dangling symbolic link) has this name.
bool file_exists(const fs::path& path);

struct run_options {
  fs::path dir = ".";                  // working directory of the child
  std::string stdin_bytes;             // standard input's content
  bool stdin_closed = false;           // descriptor 0 closed instead
  bool stdout_closed = false;          // descriptor 1 closed, nothing captured
  std::vector<std::string> env_set;    // "NAME=value" added or replaced
  std::vector<std::string> env_unset;  // names removed
  std::vector<std::pair<int, rlim_t>> limits;  // setrlimit(resource, soft+hard)
  unsigned timeout_seconds = 120;              // SIGALRM after this; 0 for none
};

// How a child ended, as waitpid tells it, and what it wrote.
struct run_result {
  bool exited = false;  // ended by exit
  int exit_code = -1;   // its status when exited
  int signal = 0;       // the signal that ended it otherwise
  std::string out;      // standard output
  std::string err;      // standard error
};

// Runs argv (argv[0] looked up in PATH when it has no slash).
run_result run_program(const std::vector<std::string>& argv,
                       const run_options& options = {});
// Runs body in a forked child set up as run_program would set it up.
run_result run_function(const std::function<void()>& body,
                        const run_options& options = {});
// Runs a shell command line in dir, its stderr merged into out; true when it
// exited with 0.
bool run_shell(const std::string& command, const fs::path& dir,
               std::string* out = nullptr);

}  // namespace testkit
