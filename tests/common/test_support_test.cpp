// test_support_test.cpp: the shared helpers run children as they promise.
#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <string>

namespace {

using testkit::run_options;
using testkit::run_result;

struct shell_case {
  const char* name;
  const char* script;
  run_options options;
  bool exited;
  int code_or_signal;
  std::string out, err;
};

run_options with_stdin(const std::string& bytes) {
  run_options o;
  o.stdin_bytes = bytes;
  return o;
}
run_options stdin_closed() {
  run_options o;
  o.stdin_closed = true;
  return o;
}
run_options with_env() {
  run_options o;
  o.env_set = {"KIT_A=one", "HOME=/nowhere"};
  o.env_unset = {"KIT_GONE"};
  return o;
}
run_options with_file_limit() {
  run_options o;
  o.limits = {{RLIMIT_FSIZE, 10}};
  return o;
}
run_options with_timeout() {
  run_options o;
  o.timeout_seconds = 1;
  return o;
}

const shell_case kCases[] = {
    {"both streams and the exit code",
     "printf out; printf err >&2; exit 3",
     {},
     true,
     3,
     "out",
     "err"},
    {"standard input given", "cat", with_stdin(std::string("a\0b\n", 4)), true,
     0, std::string("a\0b\n", 4), ""},
    {"standard input empty by default",
     "cat; echo done",
     {},
     true,
     0,
     "done\n",
     ""},
    {"standard input closed",
     "if read x 2>/dev/null; then echo open; else echo closed; fi",
     stdin_closed(), true, 0, "closed\n", ""},
    {"environment set and unset", "echo \"$KIT_A $HOME ${KIT_GONE-unset}\"",
     with_env(), true, 0, "one /nowhere unset\n", ""},
    {"a signal that ends the child",
     "kill -TERM $$",
     {},
     false,
     SIGTERM,
     "",
     ""},
    {"a file-size limit ends the child by SIGXFSZ",
     "exec head -c 100 /dev/zero > big", with_file_limit(), false, SIGXFSZ, "",
     ""},
    {"a hung child ends at its timeout", "sleep 30", with_timeout(), false,
     SIGALRM, "", ""},
};

TEST(TestSupport, RunsChildrenAsAsked) {
  setenv("KIT_GONE", "present", 1);  // the child must not see it
  testkit::scratch_dir dir;
  for (shell_case c : kCases) {
    SCOPED_TRACE(c.name);
    c.options.dir = dir.path();
    run_result r = testkit::run_program({"/bin/sh", "-c", c.script}, c.options);
    EXPECT_EQ(r.exited, c.exited);
    if (c.exited) {
      EXPECT_EQ(r.exit_code, c.code_or_signal);
    } else {
      EXPECT_EQ(r.signal, c.code_or_signal);
    }
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(TestSupport, MissingProgramIs127) {
  run_result r = testkit::run_program({"/nonexistent/program"});
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.exit_code, 127);
}

TEST(TestSupport, FunctionsRunInTheChildsDirectory) {
  testkit::scratch_dir dir;
  run_options o;
  o.dir = dir.path();
  run_result r = testkit::run_function(
      [] {
        testkit::write_file("made", "here");
        std::_Exit(7);
      },
      o);
  EXPECT_EQ(r.exit_code, 7);
  EXPECT_EQ(testkit::read_file(dir / "made"), "here");
  // A body that returns is caught, not mistaken for success.
  EXPECT_EQ(testkit::run_function([] {}).exit_code, 126);
}

TEST(TestSupport, FilesAndScratchDirectories) {
  std::filesystem::path kept;
  {
    testkit::scratch_dir dir("kit-support");
    kept = dir.path();
    EXPECT_EQ(testkit::read_file(dir / "none"), "<missing>");
    std::filesystem::create_directory(dir / "sub");
    EXPECT_EQ(testkit::read_file(dir / "sub"), "<directory>");
    testkit::write_file(dir / "f", std::string("\0\xff", 2));
    EXPECT_EQ(testkit::read_file(dir / "f"), std::string("\0\xff", 2));
    std::filesystem::create_symlink("nowhere", dir / "dangling");
    EXPECT_TRUE(testkit::file_exists(dir / "dangling"));
    EXPECT_EQ(dir.listing(),
              (std::vector<std::string>{"dangling", "f", "sub"}));
    dir.clear();
    EXPECT_TRUE(dir.listing().empty());
    EXPECT_TRUE(std::filesystem::is_directory(kept));
  }
  EXPECT_FALSE(testkit::file_exists(kept));
}

}  // namespace
