// The real datamask binary under resource limits and with standard streams
// closed: every failure is reported, never a death by signal, and no new
// output file is left behind when the output cannot be made usable.
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "harness.h"
#include "scrambler.h"

namespace {

std::string binary() { return DATAMASK_BINARY; }

// Descriptors the test runner left open would change what the limit allows.
void close_inherited() { close_range(3, ~0u, 0); }

void set_limit(int resource, rlim_t value) {
  struct rlimit lim = {value, value};
  if (setrlimit(resource, &lim) != 0) _exit(94);
}

class Limits : public ScratchDir {};

struct size_limit_case {
  const char* name;
  int pairs;
  rlim_t limit;  // bytes the output file may grow to
  uint32_t site;
};

const size_limit_case kSizeLimits[] = {
    // The whole output sits in the buffer until the final close.
    {"small output cut at the close", 100, 1000, site_close_output},
    // The buffer fills and is written out in the middle of the pairs.
    {"large output cut between pairs", 20000, 70000, site_write_pair},
    // Small enough that only part of the first buffer fits (the limit
    // applies to the standard error file too, so not smaller).
    {"first buffer cut", 20000, 200, site_write_pair},
};

// A file-size limit is a write failure like a full disk: the report with
// the platform's number (EFBIG has no message of its own), exit 1, and the
// file keeps the bytes the limit let through.
TEST_F(Limits, FileSizeLimitIsReportedNotFatal) {
  const std::string program = binary();
  for (const size_limit_case& c : kSizeLimits) {
    SCOPED_TRACE(c.name);
    std::string input, want;
    make_pairs(c.pairs, input, want);
    ASSERT_GT(want.size(), c.limit);
    write_bytes(path("in"), input);
    std::remove(path("out").c_str());
    child_result r = run_child(dir_, [&] {
      std::signal(SIGXFSZ, SIG_DFL);  // as a shell would leave it
      set_limit(RLIMIT_FSIZE, c.limit);
      execl(program.c_str(), "datamask", "in", "out", nullptr);
      _exit(96);
    });
    EXPECT_EQ(r.status, 1);  // -1 would mean killed by a signal
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, report_for("datamask", c.site, "I/O error 27."));
    EXPECT_EQ(read_bytes(path("out")), want.substr(0, c.limit));
  }
}

struct descriptor_case {
  const char* name;
  int closed;          // the standard stream closed at the start
  rlim_t limit;        // descriptor limit
  bool output_exists;  // an output file of that name is there before the run
  uint32_t site;
};

// With a standard stream closed a file first gets its number and must move
// above 2; when the descriptor limit forbids that, the report names the
// real cause and the output is neither created nor changed.
const descriptor_case kDescriptors[] = {
    {"stdin closed, input cannot move", 0, 3, false, site_open_input},
    {"stdin closed, input cannot move, old output", 0, 3, true,
     site_open_input},
    {"stdout closed, new output cannot move", 1, 4, false, site_create_output},
    {"stdout closed, old output cannot move", 1, 4, true, site_create_output},
    {"stdin closed, output cannot move", 0, 4, false, site_create_output},
};

// The address sanitizer's runtime spins at start under a limit of 3.
#if defined(__SANITIZE_ADDRESS__)
constexpr rlim_t kLowestWorkableLimit = 4;
#else
constexpr rlim_t kLowestWorkableLimit = 0;
#endif

TEST_F(Limits, DescriptorLimitWithClosedStandardStream) {
  const std::string program = binary();
  const std::string old = "old output\n";
  for (const descriptor_case& c : kDescriptors) {
    SCOPED_TRACE(c.name);
    if (c.limit < kLowestWorkableLimit) {
      std::printf("skipped under the sanitizers: %s\n", c.name);
      continue;
    }
    write_bytes(path("in"), "1\n2 3\n");
    std::remove(path("out").c_str());
    if (c.output_exists) write_bytes(path("out"), old);
    child_result r = run_child(dir_, [&] {
      close(c.closed);
      close_inherited();
      set_limit(RLIMIT_NOFILE, c.limit);
      execl(program.c_str(), "datamask", "in", "out", nullptr);
      _exit(96);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, report_for("datamask", c.site, "Too many open files."));
    if (c.output_exists)
      EXPECT_EQ(read_bytes(path("out")), old);
    else
      EXPECT_FALSE(exists(path("out")));
    EXPECT_EQ(read_bytes(path("in")), "1\n2 3\n");
  }
}

// The same limits leave room for a run that needs no more descriptors.
TEST_F(Limits, RunsWithinTheSmallestWorkableDescriptorLimit) {
  const std::string program = binary();
  std::string input, want;
  make_pairs(1, input, want);
  write_bytes(path("in"), input);
  child_result r = run_child(dir_, [&] {
    close_inherited();
    set_limit(RLIMIT_NOFILE, 5);
    execl(program.c_str(), "datamask", "in", "out", nullptr);
    _exit(96);
  });
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_bytes(path("out")), want);
}

}  // namespace
