// process.h: the grader tests' names for the shared test helpers (scratch
// directories, files, child processes), plus closed descriptors and an
// emulator for the programs under test.
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

#include "test_support.h"

namespace gridprobe_test {

namespace fs = std::filesystem;

// A fresh directory under the system's temp dir, removed with its contents.
class scratch_dir : public testkit::scratch_dir {
 public:
  scratch_dir() : testkit::scratch_dir("gridprobe-test") {}
};

// Missing files and directories read as markers no real file content equals.
using testkit::read_file;
using testkit::run_result;
using testkit::run_shell;
using testkit::write_file;

// Runs argv in dir with stdin empty; captures both streams through files.
// The descriptors listed in `closed` (0 to 2) start closed instead. A child
// that hangs is stopped by SIGALRM after a minute and reads as a signal.
inline run_result run_program(const std::vector<std::string>& argv,
                              const fs::path& dir,
                              const std::vector<int>& closed = {}) {
  testkit::run_options options;
  options.dir = dir;
  options.timeout_seconds = 60;
  return testkit::run_function(
      [&] {
        for (int fd : closed) close(fd);
        std::vector<char*> args;
        for (const std::string& a : argv)
          args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
      },
      options);
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

}  // namespace gridprobe_test

#endif
