// process.h: scratch directories, files and child processes for the tests.
#ifndef GRIDPROBE_TEST_PROCESS_H
#define GRIDPROBE_TEST_PROCESS_H

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace gridprobe_test {

namespace fs = std::filesystem;

// A fresh directory under the system's temp dir, removed with its contents.
class scratch_dir {
 public:
  scratch_dir() {
    std::string pattern =
        (fs::temp_directory_path() / "gridprobe-test-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) std::abort();
    path_ = buf.data();
  }
  ~scratch_dir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Missing files and directories read as markers no real file content equals.
inline std::string read_file(const fs::path& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return "<directory>";
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

inline void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// How a child ended, as waitpid tells it.
struct run_result {
  bool exited = false;
  int exit_code = -1;
  int signal = 0;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs argv in dir with stdin empty; captures both streams through files.
// The descriptors listed in `closed` (0 to 2) start closed instead. A child
// that hangs is stopped by SIGALRM after a minute and reads as a signal.
inline run_result run_program(const std::vector<std::string>& argv,
                              const fs::path& dir,
                              const std::vector<int>& closed = {}) {
  scratch_dir streams;
  fs::path out_path = streams.path() / "stdout";
  fs::path err_path = streams.path() / "stderr";
  pid_t pid = fork();
  if (pid == 0) {
    int in_fd = open("/dev/null", O_RDONLY);
    int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0 || chdir(dir.c_str()) != 0)
      _exit(127);
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    close(in_fd);
    close(out_fd);
    close(err_fd);
    for (int fd : closed) close(fd);
    alarm(60);
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  run_result result;
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return result;
  result.exited = WIFEXITED(status);
  if (result.exited) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

// The programs under test run through this emulator (empty: natively), as
// the i386 builds do where the kernel cannot execute i386 programs.
#ifndef GRIDPROBE_EMULATOR
#define GRIDPROBE_EMULATOR ""
#endif

// run_program for a program under test.
inline run_result run_target(std::vector<std::string> argv, const fs::path& dir,
                             const std::vector<int>& closed = {}) {
  const std::string emulator = GRIDPROBE_EMULATOR;
  if (!emulator.empty()) argv.insert(argv.begin(), emulator);
  return run_program(argv, dir, closed);
}

// Runs a shell command line (a build step) in dir; true when it succeeded.
inline bool run_shell(const std::string& command, const fs::path& dir,
                      std::string* output) {
  run_result r = run_program({"/bin/sh", "-c", command + " 2>&1"}, dir);
  if (output != nullptr) *output = r.out;
  return r.exited && r.exit_code == 0;
}

}  // namespace gridprobe_test

#endif
