// The real datamask binary, run with argv lists on real files in a scratch
// directory: usage, masking, and every failure row with the files it leaves.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "harness.h"
#include "scrambler.h"

namespace {

// The program under test: this build's, or another build's (the Windows
// .exe) run through an emulator, both named by the environment.
std::string binary() {
  const char* program = std::getenv("JUDGEKIT_DATAMASK_PROGRAM");
  return program != nullptr ? program : DATAMASK_BINARY;
}

std::string emulator() {
  const char* e = std::getenv("JUDGEKIT_EMULATOR");
  return e != nullptr ? e : "";
}

bool windows() {
  const std::string b = binary();
  return b.size() > 4 && b.compare(b.size() - 4, 4, ".exe") == 0;
}

// The name the failure report shows: the program's file name.
std::string module() {
  const std::string b = binary();
  return b.substr(b.find_last_of('/') + 1);
}

// In a child: becomes the program with these arguments; argv[0] is its name.
[[noreturn]] void exec_program(const std::string& program,
                               const std::vector<std::string>& args) {
  std::vector<std::string> words{"datamask"};
  std::string file = program;
  if (!emulator().empty()) words = {emulator(), program}, file = emulator();
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  execv(file.c_str(), argv.data());
  _exit(96);
}

child_result run(const std::string& dir, const std::vector<std::string>& args) {
  std::string program = binary();
  return run_child(dir, [&] { exec_program(program, args); });
}

const std::string kUsage =
    "Usage: datamask <input_file_name> <output_file_name>\r\n";
const std::string kMarker = ".;(,?\"";  // "tarvex" XOR 0x5A

std::string header(int32_t n) {
  int32_t masked = n ^ 0x5A;
  int32_t line1 = static_cast<int32_t>(0u - static_cast<uint32_t>(masked));
  return std::to_string(line1) + "\r\n" + kMarker + "\r\n";
}

std::string pair_line(int32_t a, int32_t b) {
  return std::to_string(a ^ 0x5A5A5A5A) + " " + std::to_string(b ^ 0x5A5A5A5A) +
         "\r\n";
}

class Cli : public ScratchDir {};

struct usage_case {
  const char* name;
  std::vector<std::string> args;
};

const usage_case kUsageCases[] = {
    {"no argument", {}},
    {"one argument", {"in"}},
    {"three arguments", {"in", "out", "more"}},
    {"empty arguments count for nothing", {"", "in"}},
    {"only empty arguments", {"", ""}},
};

TEST_F(Cli, UsageTable) {
  write_bytes(path("in"), "1 2 3");
  for (const usage_case& c : kUsageCases) {
    SCOPED_TRACE(c.name);
    child_result r = run(dir_, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(listing(), std::vector<std::string>{"in"});  // nothing created
  }
}

struct mask_case {
  const char* name;
  std::string input;
  std::string output;
};

const mask_case kMasks[] = {
    {"empty input", "", header(0)},
    {"only blanks", " \r\n\t\n", header(0)},
    {"one pair", "1\n7 -7\n", header(1) + pair_line(7, -7)},
    {"count zero ignores the rest", "0 1 2 zz 99999999999", header(0)},
    {"negative count ignores the rest", "-3\n1 2\n3 4\nbad", header(-3)},
    {"count that masks to the lowest value", "-2147483558 1 2",
     "-2147483648\r\n" + kMarker + "\r\n"},
    {"lowest and highest values", "2\n-2147483648 2147483647\n$FFFFFFFF +0\n",
     header(2) + pair_line(INT32_MIN, INT32_MAX) + pair_line(-1, 0)},
    {"missing integers read as 0", "3\n5 6\n7",
     header(3) + pair_line(5, 6) + pair_line(7, 0) + pair_line(0, 0)},
    {"extra integers are never read", "1\n5 6 7 8 junk\n",
     header(1) + pair_line(5, 6)},
    {"hex and plus signs", "2 $1F 0x1F +31 x1f",
     header(2) + pair_line(31, 31) + pair_line(31, 31)},
    {"byte 26 ends the input", "2\n1 2\n3\x1a 4\n",
     header(2) + pair_line(1, 2) + pair_line(3, 0)},
    {"33-byte run is two integers", "1\n" + std::string(32, '0') + "9\n",
     header(1) + pair_line(0, 9)},
};

TEST_F(Cli, MaskTable) {
  for (const mask_case& c : kMasks) {
    SCOPED_TRACE(c.name);
    write_bytes(path("in"), c.input);
    child_result r = run(dir_, {"in", "out"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_bytes(path("out")), c.output);
  }
}

// Line structure plays no part: every layout gives byte-identical output.
TEST_F(Cli, LayoutsGiveIdenticalOutput) {
  const char* layouts[] = {
      "3\n10 -20\n30 -40\n50 -60\n",
      "3\r\n10 -20\r\n30 -40\r\n50 -60\r\n",
      "3 10 -20 30 -40 50 -60",
      "3\n10\n-20\n30\n-40\n50\n-60",
      "\t3\t\t10\t-20\r\n\r\n30 -40\n\n\n   50\t-60   \r\n",
  };
  std::string want =
      header(3) + pair_line(10, -20) + pair_line(30, -40) + pair_line(50, -60);
  for (const char* layout : layouts) {
    SCOPED_TRACE(layout);
    write_bytes(path("in"), layout);
    EXPECT_EQ(run(dir_, {"in", "out"}).status, 0);
    EXPECT_EQ(read_bytes(path("out")), want);
  }
}

// Names are split from argv as a rebuilt command line.
TEST_F(Cli, NamesWithBlanksAndEmptyArguments) {
  write_bytes(path("my in"), "1 2 3");
  child_result r = run(dir_, {"", "my in", "my out"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_bytes(path("my out")), header(1) + pair_line(2, 3));
}

std::string located(const std::string& err) {
  const std::string head =
      "Exception EInOutError in module " + module() + " at ";
  if (err.compare(0, head.size(), head) != 0 || err.size() < head.size() + 8)
    return "";
  return err.substr(head.size(), 8);
}

struct failure_case {
  const char* name;
  std::string input_name, output_name;
  uint32_t site;
  std::string message;
  std::string output_after;  // "-": no file of that name may exist
};

const std::string kInput = "2\n1 2\n3 4\n";
const std::string kOld = "old output\n";

const failure_case kFailures[] = {
    {"missing input leaves the output", "nope", "out", site_open_input,
     "File not found.", kOld},
    {"missing input directory", "nodir/in", "out", site_open_input,
     "Invalid filename.", kOld},
    {"input path through a file", "in/x", "out", site_open_input,
     "Invalid filename.", kOld},
    {"input is a directory", "sub", "out", site_open_input,
     "File access denied.", kOld},
    {"missing output directory", "in", "nodir/out", site_create_output,
     "Invalid filename.", "-"},
    {"output is a directory", "in", "sub", site_create_output,
     "File access denied.", "-"},
    {"same name", "in", "in", site_create_output, "I/O error 32.", kInput},
    {"same file by another spelling", "in", "./sub/../in", site_create_output,
     "I/O error 32.", kInput},
    {"same file by hard link", "in", "hard", site_create_output,
     "I/O error 32.", kInput},
    {"same file by symbolic link", "in", "soft", site_create_output,
     "I/O error 32.", kInput},
};

TEST_F(Cli, FailureTable) {
  std::set<std::string> locations;
  for (const failure_case& c : kFailures) {
    SCOPED_TRACE(c.name);
    clear();
    std::filesystem::create_directories(path("sub"));
    write_bytes(path("in"), kInput);
    ASSERT_EQ(link(path("in").c_str(), path("hard").c_str()), 0);
    ASSERT_EQ(symlink("in", path("soft").c_str()), 0);
    if (c.output_after == kOld) write_bytes(path(c.output_name), kOld);
    child_result r = run(dir_, {c.input_name, c.output_name});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, report_for(module(), c.site, c.message));
    locations.insert(located(r.err));
    if (c.output_after == "-")
      EXPECT_FALSE(std::filesystem::is_regular_file(path(c.output_name)));
    else
      EXPECT_EQ(read_bytes(path(c.output_name)), c.output_after);
    EXPECT_EQ(read_bytes(path("in")), kInput);
  }
  EXPECT_EQ(locations.size(), 2u);  // opening and creating: two checks
}

// A 259-byte name fits; one byte more is refused before any file appears.
TEST_F(Cli, NameLimitIs259Bytes) {
  std::string dir_part = std::string(200, 'd');
  std::filesystem::create_directories(path(dir_part));
  std::string name259 = dir_part + "/" + std::string(58, 'f');
  ASSERT_EQ(name259.size(), 259u);
  write_bytes(path("in"), "1 2 3");
  child_result ok = run(dir_, {"in", name259});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(read_bytes(path(name259)), header(1) + pair_line(2, 3));
  child_result refused = run(dir_, {"in", name259 + "g"});
  EXPECT_EQ(refused.err,
            report_for(module(), site_create_output, "Invalid filename."));
  EXPECT_FALSE(exists(path(name259 + "g")));

  write_bytes(path(name259 + "g"), "1 2 3");  // the platform takes the name
  child_result input_ok = run(dir_, {name259, "out"});
  EXPECT_EQ(input_ok.status, 0) << input_ok.err;
  child_result input_refused = run(dir_, {name259 + "g", "out"});
  EXPECT_EQ(input_refused.err,
            report_for(module(), site_open_input, "Invalid filename."));
}

struct bad_number_case {
  const char* name;
  std::string input;
  uint32_t site;
  std::string output_after;
};

const bad_number_case kBadNumbers[] = {
    {"count out of range", "2147483648\n1 2\n", site_read_count, ""},
    {"count not a number", "two\n1 2\n", site_read_count, ""},
    {"first integer of a pair", "3\n1 2\n1e3 4\n5 6\n", site_read_pair,
     header(3) + pair_line(1, 2)},
    {"second integer of a pair", "3\n1 2\n3 -2147483649\n5 6\n", site_read_pair,
     header(3) + pair_line(1, 2)},
    {"first pair", "1 x 2", site_read_pair, header(1)},
};

TEST_F(Cli, BadNumberTable) {
  for (const bad_number_case& c : kBadNumbers) {
    SCOPED_TRACE(c.name);
    write_bytes(path("in"), c.input);
    write_bytes(path("out"), kOld);
    child_result r = run(dir_, {"in", "out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, report_for(module(), c.site, "Invalid numeric input."));
    EXPECT_EQ(read_bytes(path("out")), c.output_after);
  }
}

// A bad pair far into the file: every earlier line is out, across many
// buffer flushes, and nothing of the bad pair.
TEST_F(Cli, BadPairAfterManyLinesKeepsThemAll) {
  const int32_t n = 30000;
  std::string input = std::to_string(n) + "\n";
  std::string want = header(n);
  for (int32_t i = 0; i < n - 1; ++i) {
    int32_t a = static_cast<int32_t>(static_cast<uint32_t>(i) * 2654435761u);
    input += std::to_string(a) + " " + std::to_string(-i) + "\n";
    want += pair_line(a, -i);
  }
  input += "5 --5\n";
  write_bytes(path("in"), input);
  child_result r = run(dir_, {"in", "out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            report_for(module(), site_read_pair, "Invalid numeric input."));
  std::string got = read_bytes(path("out"));
  ASSERT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);  // no diff of two megabytes on failure
}

struct device_case {
  const char* name;
  const char* device;          // as the output name
  const char* windows_device;  // the same device named on Windows
  const char* message;         // empty: the run succeeds
  const char* windows_message;
};

// A character device is written out at every line end, so a full one fails
// at the first line. Wine gives Windows programs the Unix device under
// its own name; Windows reports a full device with its own number.
const device_case kDevices[] = {
    {"full device", "/dev/full", "/dev/full", "Disk full.", "I/O error 112."},
    {"null device", "/dev/null", "NUL", "", ""},
};

TEST_F(Cli, CharacterDevices) {
  write_bytes(path("in"), kInput);
  for (const device_case& c : kDevices) {
    SCOPED_TRACE(c.name);
    const char* device = windows() ? c.windows_device : c.device;
    const std::string message = windows() ? c.windows_message : c.message;
    if (!windows() && !exists(device)) continue;
    child_result r = run(dir_, {"in", device});
    EXPECT_EQ(r.out, "");
    if (message.empty()) {
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, report_for(module(), site_write_count, message));
    }
  }
}

// Started with standard streams closed, the files take their numbers: the
// failure report must still stay out of the output file.
TEST_F(Cli, ClosedStandardStreamsKeepTheReportOutOfTheOutput) {
  const std::vector<int> closed_sets[] = {{0, 2}, {1, 2}, {0, 1, 2}, {2}};
  write_bytes(path("in"), "2\n1 2\nbad 4\n");
  std::string program = binary();
  for (const std::vector<int>& closed : closed_sets) {
    SCOPED_TRACE(testing::PrintToString(closed));
    write_bytes(path("out"), kOld);
    child_result r = run_child(dir_, [&] {
      for (int fd : closed) close(fd);
      exec_program(program, {"in", "out"});
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_bytes(path("out")), header(2) + pair_line(1, 2));
    EXPECT_EQ(read_bytes(path("in")), "2\n1 2\nbad 4\n");
  }
}

struct permission_case {
  const char* name;
  std::string input_name, output_name;
  uint32_t site;
  std::string output_after;  // "-": no file of that name may exist
};

const permission_case kPermissions[] = {
    {"unreadable input", "secret", "out", site_open_input, "-"},
    {"read-only output", "in", "readonly", site_create_output, kOld},
    {"output in a read-only directory", "in", "locked/out", site_create_output,
     "-"},
};

// Denied access on real files; root runs the binary as nobody, since it
// reads and writes any file.
TEST_F(Cli, PermissionTable) {
  // A copy in the scratch directory: the build tree may be closed to nobody.
  std::filesystem::copy_file(binary(), path("datamask"));
  const std::string program = path("datamask");
  chmod(dir_.c_str(), 0711);
  write_bytes(path("in"), kInput);
  write_bytes(path("secret"), kInput);
  chmod(path("secret").c_str(), 0);
  write_bytes(path("readonly"), kOld);
  chmod(path("readonly").c_str(), 0444);
  std::filesystem::create_directories(path("locked"));
  chmod(path("locked").c_str(), 0555);
  for (const permission_case& c : kPermissions) {
    SCOPED_TRACE(c.name);
    child_result r = run_child(dir_, [&] {
      if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
        _exit(95);
      execl(program.c_str(), "datamask", c.input_name.c_str(),
            c.output_name.c_str(), nullptr);
      _exit(96);
    });
    if (r.status == 95) GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, report_for(module(), c.site, "File access denied."));
    if (c.output_after == "-")
      EXPECT_FALSE(exists(path(c.output_name)));
    else
      EXPECT_EQ(read_bytes(path(c.output_name)), c.output_after);
  }
  chmod(path("locked").c_str(), 0755);
}

// Each check shows its own location.
TEST(CheckSites, AreDistinct) {
  const uint32_t sites[] = {
      site_usage,       site_open_input,   site_create_output, site_read_count,
      site_write_count, site_write_marker, site_read_pair,     site_write_pair,
      site_close_input, site_close_output};
  EXPECT_EQ(std::set<uint32_t>(std::begin(sites), std::end(sites)).size(),
            std::size(sites));
}

}  // namespace
