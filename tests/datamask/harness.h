// Test scaffolding: scratch directories, file bytes, and child runs that
// capture standard output, standard error and the exit status.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "gtest/gtest.h"

inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)),
                     std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline bool exists(const std::string& path) {
  return std::filesystem::exists(std::filesystem::symlink_status(path));
}

struct child_result {
  int status = -1;  // exit code, or -1 when the child did not exit normally
  std::string out, err;
};

// Runs body in a forked child whose cwd is dir and whose standard output and
// error go to files; body must end the process itself.
inline child_result run_child(const std::string& dir,
                              const std::function<void()>& body) {
  std::string out_path =
      dir + "/../" + std::filesystem::path(dir).filename().string() + ".stdout";
  std::string err_path = out_path.substr(0, out_path.size() - 7) + ".stderr";
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int null_in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || null_in < 0 || chdir(dir.c_str()) != 0) _exit(97);
    dup2(null_in, 0);
    dup2(out, 1);
    dup2(err, 2);
    close(null_in);
    close(out);
    close(err);
    body();
    _exit(98);  // body returned: the process should have ended inside
  }
  child_result r;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    r.status = WEXITSTATUS(status);
  r.out = read_bytes(out_path);
  r.err = read_bytes(err_path);
  std::remove(out_path.c_str());
  std::remove(err_path.c_str());
  return r;
}

// A fresh directory per test, removed afterwards.
class ScratchDir : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/datamask-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string dir_;
};

// The report's exact bytes for a failure at a given check.
inline std::string report_for(const std::string& module, uint32_t site,
                              const std::string& message) {
  char location[9];
  std::snprintf(location, sizeof location, "%08X", site);
  return "Exception EInOutError in module " + module + " at " + location +
         ".\r\n" + message + "\r\n\r\n";
}
