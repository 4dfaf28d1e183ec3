// sandbox_test.cpp: the bwrap command line for a run, its limits, and the
// status lines bwrap writes back, on memory.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include <string>
#include <vector>

extern "C" {
#include "sandbox.h"
}

namespace {

std::vector<std::string> as_vector(char** argv) {
  std::vector<std::string> v;
  for (size_t i = 0; argv != nullptr && argv[i] != nullptr; ++i)
    v.push_back(argv[i]);
  return v;
}

// Where a run of words starts in v, or -1.
long find_run(const std::vector<std::string>& v,
              const std::vector<std::string>& words) {
  for (size_t i = 0; i + words.size() <= v.size(); ++i) {
    bool same = true;
    for (size_t k = 0; k < words.size() && same; ++k)
      same = v[i + k] == words[k];
    if (same) return static_cast<long>(i);
  }
  return -1;
}

std::vector<std::string> build(const sandbox_spec& spec) {
  char** argv = sandbox_argv(&spec);
  std::vector<std::string> v = as_vector(argv);
  free(argv);
  return v;
}

sandbox_entry entry(sandbox_entry_kind kind, const char* path,
                    const char* target = "") {
  sandbox_entry e{};
  e.kind = kind;
  snprintf(e.path, sizeof e.path, "%s", path);
  snprintf(e.target, sizeof e.target, "%s", target);
  return e;
}

struct argv_row {
  const char* name;
  const char* chdir_path;
  int copy_program;
  std::vector<std::vector<std::string>> present;  // runs of words
  std::vector<std::vector<std::string>> absent;
};

TEST(SandboxArgv, EachFormHasItsMountsAndEndsWithTheProgram) {
  const std::string size = "--size";
  const std::vector<std::string> isolation = {
      "--unshare-all", "--unshare-user", "--disable-userns",
      "--die-with-parent", "--new-session", "--cap-drop", "ALL"};
  const argv_row rows[] = {
      {"private working directory, program bound",
       nullptr,
       0,
       {isolation,
        {"--size", "1048576", "--tmpfs", "/work", "--chdir", "/work"},
        {"--ro-bind-fd", "6", "/program/solve"},
        {"--size", "1048576", "--tmpfs", "/tmp"},
        {"--size", "1048576", "--tmpfs", "/dev/shm"},
        {"--proc", "/proc", "--dev", "/dev"},
        {"--json-status-fd", "4", "--block-fd", "5"}},
       {{"--ro-bind-data"}, {"--bind-fd"}, {"--bind"}}},
      {"judge's directory",
       "/srv/judge/run 1",
       0,
       {isolation,
        {"--bind-fd", "7", "/srv/judge/run 1", "--chdir", "/srv/judge/run 1"}},
       {{"--tmpfs", "/work"}, {"--chdir", "/work"}}},
      {"private copy of the program",
       nullptr,
       1,
       {{"--perms", "0555", "--ro-bind-data", "6", "/program/solve"}},
       {{"--ro-bind-fd"}}},
  };
  const sandbox_entry system[] = {
      entry(SANDBOX_RO_BIND, "/usr"),
      entry(SANDBOX_SYMLINK, "/lib", "usr/lib"),
      entry(SANDBOX_RO_BIND, "/etc/ld.so.cache"),
  };
  char arg1[] = "--fast", arg2[] = "";
  char* args[] = {arg1, arg2, nullptr};
  for (const argv_row& row : rows) {
    SCOPED_TRACE(row.name);
    sandbox_spec spec{};
    spec.system = system;
    spec.n_system = 3;
    spec.program_name = "solve";
    spec.copy_program = row.copy_program;
    spec.args = args;
    spec.chdir_path = row.chdir_path;
    spec.tmpfs_bytes = 1048576;
    std::vector<std::string> v = build(spec);
    ASSERT_GE(v.size(), 4u);
    EXPECT_EQ(v[0], "bwrap");
    // The program's own arguments come last, after "--", untouched.
    std::vector<std::string> tail(v.end() - 4, v.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"--", "/program/solve",
                                              "--fast", ""}));
    EXPECT_GE(find_run(v, {"--ro-bind-try", "/usr", "/usr"}), 0);
    EXPECT_GE(find_run(v, {"--symlink", "usr/lib", "/lib"}), 0);
    EXPECT_GE(find_run(v, {"--ro-bind-try", "/etc/ld.so.cache",
                           "/etc/ld.so.cache"}),
              0);
    for (const auto& words : row.present)
      EXPECT_GE(find_run(v, words), 0) << words[0];
    for (const auto& words : row.absent)
      EXPECT_LT(find_run(v, words), 0) << words[0];
    // Nothing of the judge's is bound but what the row names.
    EXPECT_LT(find_run(v, {"--bind"}), 0);
    EXPECT_LT(find_run(v, {"--dev-bind"}), 0);
    EXPECT_LT(find_run(v, {"--share-net"}), 0);
  }
}

// A --chdir directory under /tmp must land on the private /tmp, not under
// it: the tmpfs is mounted first.
TEST(SandboxArgv, PrivateTmpComesBeforeTheJudgesDirectory) {
  sandbox_spec spec{};
  spec.program_name = "p";
  spec.chdir_path = "/tmp/case-7/home";
  spec.tmpfs_bytes = 4096;
  std::vector<std::string> v = build(spec);
  long tmp = find_run(v, {"--tmpfs", "/tmp"});
  long bind = find_run(v, {"--bind-fd", "7", "/tmp/case-7/home"});
  ASSERT_GE(tmp, 0);
  ASSERT_GE(bind, 0);
  EXPECT_LT(tmp, bind);
  // The program is always the first word after "--".
  long dashes = find_run(v, {"--"});
  ASSERT_GE(dashes, 0);
  EXPECT_EQ(v[dashes + 1], "/program/p");
  EXPECT_EQ(static_cast<size_t>(dashes + 2), v.size());
}

TEST(SandboxArgv, NamesThatCannotBeAFileAreRefused) {
  const std::string too_long(300, 'x');
  for (const char* name : {"", "a/b", "/abs", too_long.c_str()}) {
    SCOPED_TRACE(name);
    sandbox_spec spec{};
    spec.program_name = name;
    EXPECT_EQ(sandbox_argv(&spec), nullptr);
  }
  sandbox_spec none{};
  EXPECT_EQ(sandbox_argv(&none), nullptr);
}

TEST(SandboxLimits, EachLimitBecomesItsResourceLimit) {
  sandbox_limits limits = {3, 256, 10, 8};
  sandbox_rlimit out[SANDBOX_RLIMITS];
  sandbox_rlimits(&limits, 1, out);
  const unsigned long long mib = 1024ULL * 1024ULL;
  const struct {
    int resource;
    unsigned long long soft, hard;
  } want[] = {
      {RLIMIT_CPU, 3, 4},  // SIGXCPU first, SIGKILL a second later
      {RLIMIT_AS, 256 * mib, 256 * mib},
      {RLIMIT_NPROC, 11, 11},  // the sandbox's first process counts too
      {RLIMIT_FSIZE, 8 * mib, 8 * mib},
      {RLIMIT_CORE, 0, 0},
  };
  for (int i = 0; i < SANDBOX_RLIMITS; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(out[i].resource, want[i].resource);
    EXPECT_EQ(out[i].soft, want[i].soft);
    EXPECT_EQ(out[i].hard, want[i].hard);
  }
}

TEST(SandboxStatus, ChildPidAndExitCodeAreReadFromBwrapsLines) {
  const struct {
    const char* text;
    pid_t pid;
    int has_code;
    int code;
  } rows[] = {
      {"{ \"child-pid\": 25020, \"ipc-namespace\": 4026532176 }\n", 25020, 0,
       0},
      {"{\n    \"child-pid\": 7\n}\n{ \"exit-code\": 139 }\n", 7, 1, 139},
      {"{ \"child-pid\": 12 }\n{ \"exit-code\": 0 }\n", 12, 1, 0},
      {"{ \"child-pid\":-3 }", 0, 0, 0},
      {"{ \"child-pid\": }", 0, 0, 0},
      {"{ \"child\": 5, \"exit-code\": 300 }", 0, 0, 0},
      {"", 0, 0, 0},
      {"{ \"child-pid\": 99999999999999 }", 0, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    size_t len = strlen(row.text);
    EXPECT_EQ(sandbox_child_pid(row.text, len), row.pid);
    int code = -1;
    EXPECT_EQ(sandbox_exit_code(row.text, len, &code), row.has_code);
    if (row.has_code) {
      EXPECT_EQ(code, row.code);
    }
  }
}

// This host's system paths: /usr is always bound, and every entry is a
// directory or file bound as it is, or a link made again.
TEST(SandboxSystem, HostPathsAreFoundAsTheyAre) {
  sandbox_entry found[SANDBOX_SYSTEM_MAX];
  size_t n = sandbox_find_system(found, SANDBOX_SYSTEM_MAX);
  ASSERT_GT(n, 0u);
  EXPECT_STREQ(found[0].path, "/usr");
  EXPECT_EQ(found[0].kind, SANDBOX_RO_BIND);
  for (size_t i = 0; i < n; ++i) {
    SCOPED_TRACE(found[i].path);
    struct stat st;
    ASSERT_EQ(lstat(found[i].path, &st), 0);
    EXPECT_EQ(found[i].kind == SANDBOX_SYMLINK, S_ISLNK(st.st_mode));
    if (found[i].kind == SANDBOX_SYMLINK) {
      char target[4096] = {0};
      ASSERT_GT(readlink(found[i].path, target, sizeof target - 1), 0);
      EXPECT_STREQ(found[i].target, target);
    }
  }
  EXPECT_EQ(sandbox_find_system(found, 1), 1u);
}

}  // namespace
