// Faults a real file cannot produce, injected through the platform layer; the
// scrambler runs in a child on real files in a scratch directory.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "harness.h"
#include "platform.h"
#include "scrambler.h"
#include "textfile.h"

namespace {

const char kModule[] = "datamask";
std::string fake_module_path() { return "/opt/judge/bin/datamask"; }

// Descriptors of the files the run opened, for faults aimed at one of them.
int input_fd = -1, output_fd = -1;
int (*real_open_read)(const char*);
int (*real_open_write)(const char*);
ssize_t (*real_write)(int, const void*, size_t);
ssize_t (*real_read)(int, void*, size_t);
int (*real_close)(int);
long budget = 0;  // output bytes the device still accepts

void watch_descriptors() {
  real_open_read = os.open_read;
  real_open_write = os.open_write;
  real_write = os.write;
  real_read = os.read;
  real_close = os.close;
  os.module_path = fake_module_path;
  os.open_read = [](const char* p) { return input_fd = real_open_read(p); };
  os.open_write = [](const char* p) { return output_fd = real_open_write(p); };
}

// What the output file "out" (holding "old" before the run) holds afterwards.
enum class after { complete, prefix, untouched };

struct fault_case {
  const char* name;
  void (*inject)();
  int pairs;            // size of the input
  uint32_t site;        // the check that must report
  const char* message;  // empty: the run must succeed
  after output;
};

const fault_case kFaults[] = {
    {"disk fills in the middle",
     [] {
       budget = 70000;
       os.write = [](int fd, const void* b, size_t n) -> ssize_t {
         if (fd != output_fd) return real_write(fd, b, n);
         if (budget <= 0) {
           errno = ENOSPC;
           return -1;
         }
         size_t k = std::min(n, static_cast<size_t>(budget));
         budget -= static_cast<long>(k);
         return real_write(fd, b, k);
       };
     },
     10000, site_write_pair, "Disk full.", after::prefix},
    {"disk fills at the final flush",
     [] {
       os.write = [](int fd, const void* b, size_t n) -> ssize_t {
         if (fd != output_fd) return real_write(fd, b, n);
         errno = ENOSPC;
         return -1;
       };
     },
     3, site_close_output, "Disk full.", after::prefix},
    {"a write that accepts nothing is a full disk",
     [] {
       os.write = [](int fd, const void* b, size_t n) -> ssize_t {
         return fd == output_fd ? 0 : real_write(fd, b, n);
       };
     },
     3, site_close_output, "Disk full.", after::prefix},
    {"short writes are resumed",
     [] {
       os.write = [](int fd, const void* b, size_t n) -> ssize_t {
         return real_write(fd, b, fd == output_fd ? std::min(n, size_t{7}) : n);
       };
     },
     3000, 0, "", after::complete},
    {"one-byte reads",
     [] {
       os.read = [](int fd, void* b, size_t n) -> ssize_t {
         return real_read(fd, b, std::min(n, size_t{1}));
       };
     },
     300, 0, "", after::complete},
    {"a failing write with a number of its own",
     [] {
       os.write = [](int fd, const void* b, size_t n) -> ssize_t {
         if (fd != output_fd) return real_write(fd, b, n);
         errno = EIO;
         return -1;
       };
     },
     3, site_close_output, "I/O error 5.", after::prefix},
    {"closing the output fails",
     [] {
       os.close = [](int fd) {
         if (fd != output_fd) return real_close(fd);
         real_close(fd);
         errno = EIO;
         return -1;
       };
     },
     3, site_close_output, "I/O error 5.", after::complete},
    {"closing the output finds the disk full",
     [] {
       os.close = [](int fd) {
         if (fd != output_fd) return real_close(fd);
         real_close(fd);
         errno = ENOSPC;
         return -1;
       };
     },
     3, site_close_output, "Disk full.", after::complete},
    {"closing the input fails",
     [] {
       os.close = [](int fd) {
         if (fd != input_fd) return real_close(fd);
         real_close(fd);
         errno = EBADF;
         return -1;
       };
     },
     3, site_close_input, "I/O error 9.", after::complete},
    {"reading fails",
     [] {
       os.read = [](int, void*, size_t) -> ssize_t {
         errno = EIO;
         return -1;
       };
     },
     3, site_read_count, "I/O error 5.", after::prefix},
    {"too many open files at the input",
     [] {
       os.open_read = [](const char*) {
         errno = EMFILE;
         return -1;
       };
     },
     3, site_open_input, "Too many open files.", after::untouched},
    {"no right to read the input",
     [] {
       os.open_read = [](const char*) {
         errno = EACCES;
         return -1;
       };
     },
     3, site_open_input, "File access denied.", after::untouched},
    {"read-only file system at the output",
     [] {
       os.open_write = [](const char*) {
         errno = EROFS;
         return -1;
       };
     },
     3, site_create_output, "File access denied.", after::untouched},
    {"kind of the output unknown",
     [] {
       os.identify = [](int, file_info*) {
         errno = EIO;
         return output_fd >= 0 ? -1 : 0;
       };
     },
     3, site_create_output, "I/O error 105.", after::untouched},
};

class Faults : public ScratchDir {};

TEST_F(Faults, Table) {
  for (const fault_case& c : kFaults) {
    SCOPED_TRACE(c.name);
    std::string input, want;
    make_pairs(c.pairs, input, want);
    write_bytes(path("in"), input);
    write_bytes(path("out"), "old");
    child_result r = run_child(dir_, [&] {
      watch_descriptors();
      c.inject();
      datamask_main({"datamask", "in", "out"});
    });
    std::string got = read_bytes(path("out"));
    EXPECT_EQ(r.out, "");
    if (*c.message == 0) {
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, report_for(kModule, c.site, c.message));
    }
    switch (c.output) {
      case after::complete:
        EXPECT_EQ(got, want);
        break;
      case after::prefix:
        EXPECT_EQ(got, want.substr(0, got.size()));
        EXPECT_LT(got.size(), want.size());
        break;
      case after::untouched:
        EXPECT_EQ(got, "old");
        break;
    }
  }
}

// The full disk leaves exactly what the device took: nothing is lost or
// written twice when the report flushes and the process ends.
TEST_F(Faults, FullDiskKeepsWhatWasAccepted) {
  std::string input, want;
  make_pairs(5000, input, want);
  write_bytes(path("in"), input);
  child_result r = run_child(dir_, [&] {
    watch_descriptors();
    budget = 100001;
    os.write = [](int fd, const void* b, size_t n) -> ssize_t {
      if (fd != output_fd) return real_write(fd, b, n);
      if (budget <= 0) {
        errno = ENOSPC;
        return -1;
      }
      size_t k = std::min(n, static_cast<size_t>(budget));
      budget -= static_cast<long>(k);
      return real_write(fd, b, k);
    };
    datamask_main({"datamask", "in", "out"});
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_bytes(path("out")), want.substr(0, 100001));
}

// A reader that went away shows as a failed write, not as death by signal.
TEST_F(Faults, ClosedPipeIsReported) {
  std::string input, want;
  make_pairs(3, input, want);
  write_bytes(path("in"), input);
  child_result r = run_child(dir_, [&] {
    static int pipe_ends[2];
    if (pipe(pipe_ends) != 0) _exit(95);
    close(pipe_ends[0]);
    platform_start();
    os.module_path = fake_module_path;
    os.open_write = [](const char*) { return pipe_ends[1]; };
    datamask_main({"datamask", "in", "out"});
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report_for(kModule, site_close_output, "I/O error 32."));
}

}  // namespace
