// install_support.h: commands run as a judge runs them, with nothing from the
// build tree in their environment, and an install tree made once per run.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace installtest {

namespace fs = std::filesystem;

// A shell command in dir with a clean environment: PATH of the system, HOME
// in the scratch directory it runs in, plus extra "NAME=value" entries.
inline testkit::run_result judge_shell(const std::string& command,
                                       const fs::path& dir,
                                       const std::vector<std::string>& extra = {}) {
  std::vector<std::string> argv = {
      "/usr/bin/env", "-i",
      "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
      "HOME=" + dir.string(), "LC_ALL=C"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  argv.insert(argv.end(), {"/bin/sh", "-c", command});
  testkit::run_options options;
  options.dir = dir;
  options.timeout_seconds = 240;
  return testkit::run_program(argv, options);
}

inline bool succeeded(const testkit::run_result& r) {
  return r.exited && r.exit_code == 0;
}

inline std::string quoted(const fs::path& path) {
  std::string out = "'";
  for (char c : path.string()) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

inline std::string describe(const testkit::run_result& r) {
  return "exit " + std::to_string(r.exit_code) + " signal " +
         std::to_string(r.signal) + "\nstdout:\n" + r.out + "\nstderr:\n" +
         r.err;
}

// The rods in examples/gridprobe/rods.in, as report() gets them.
inline const char* kExampleAnswer = "6 2 6 9\n3 4 11 4\n";

}  // namespace installtest
