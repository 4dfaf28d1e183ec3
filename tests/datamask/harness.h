// Test scaffolding for the scrambler, on the shared test helpers: scratch
// directories, file bytes, and child runs that capture standard output,
// standard error and the exit status.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test_support.h"

// An input of n pairs and the output the scrambler must write for it.
inline void make_pairs(int n, std::string& input, std::string& output) {
  input = std::to_string(n) + "\n";
  output = std::to_string(-(n ^ 0x5A)) + "\r\n.;(,?\"\r\n";
  for (int i = 0; i < n; ++i) {
    int32_t a = i * 7919 - 5000000, b = -i;
    input += std::to_string(a) + " " + std::to_string(b) + "\n";
    output += std::to_string(a ^ 0x5A5A5A5A) + " " +
              std::to_string(b ^ 0x5A5A5A5A) + "\r\n";
  }
}

inline std::string read_bytes(const std::string& path) {
  return testkit::read_file(path);
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
  testkit::write_file(path, bytes);
}

inline bool exists(const std::string& path) {
  return testkit::file_exists(path);
}

struct child_result {
  int status = -1;  // exit code, or -1 when the child did not exit normally
  std::string out, err;
};

// Runs body in a forked child whose cwd is dir and whose standard output and
// error go to files; body must end the process itself.
inline child_result run_child(const std::string& dir,
                              const std::function<void()>& body) {
  testkit::run_options options;
  options.dir = dir;
  testkit::run_result r = testkit::run_function(body, options);
  child_result c;
  if (r.exited) c.status = r.exit_code;
  c.out = r.out;
  c.err = r.err;
  return c;
}

// A fresh directory per test, removed afterwards.
class ScratchDir : public testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::vector<std::string> listing() const { return scratch_.listing(); }
  void clear() const { scratch_.clear(); }
  testkit::scratch_dir scratch_{"datamask-test"};
  std::string dir_ = scratch_.path().string();
};

// The report's exact bytes for a failure at a given check.
inline std::string report_for(const std::string& module, uint32_t site,
                              const std::string& message) {
  char location[9];
  std::snprintf(location, sizeof location, "%08X", site);
  return "Exception EInOutError in module " + module + " at " + location +
         ".\r\n" + message + "\r\n\r\n";
}
