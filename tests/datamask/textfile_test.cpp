// Unit tables for the text-file layer, run on memory: the integer reader, the
// writers, the command line, the error codes and the failure report.
#include "textfile.h"

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "cmdline.h"
#include "gtest/gtest.h"
#include "memory_os.h"

namespace {

struct token_case {
  const char* token;
  bool valid;
  int32_t value;
};

const token_case kTokens[] = {
    {"0", true, 0},
    {"+7", true, 7},
    {"-0", true, 0},
    {"007", true, 7},
    {"$ff", true, 255},
    {"0X1f", true, 31},
    {"0x1F", true, 31},
    {"x10", true, 16},
    {"X7f", true, 127},
    {"-$1", true, -1},
    {"+$10", true, 16},
    {"$FFFFFFFF", true, -1},
    {"$80000000", true, INT32_MIN},
    {"-0x80000000", true, INT32_MIN},
    {"-$FFFFFFFF", true, 1},
    {"$aBcDeF01", true, static_cast<int32_t>(0xABCDEF01u)},
    {"$00000000FFFFFFFF", true, -1},  // leading zeros are not significant
    {"0x00000000000000000000000000001", true, 1},
    {"2147483647", true, INT32_MAX},
    {"-2147483648", true, INT32_MIN},
    {"+2147483647", true, INT32_MAX},
    {"0000000000000000000002147483647", true, INT32_MAX},
    {"00000000000000000000000000000012", true, 12},  // exactly 32 bytes
    {"2147483648", false, 0},
    {"-2147483649", false, 0},
    {"+2147483648", false, 0},
    {"0000000000000000000002147483648", false, 0},
    {"4294967297", false, 0},            // 2^32 + 1 must not wrap to 1
    {"18446744073709551617", false, 0},  // 2^64 + 1 must not wrap to 1
    {"99999999999999999999999999999999", false, 0},
    {"$100000000", false, 0},
    {"$1FFFFFFFF", false, 0},
    {"1e3", false, 0},
    {"12abc", false, 0},
    {"--1", false, 0},
    {"+-1", false, 0},
    {"-+1", false, 0},
    {"-", false, 0},
    {"+", false, 0},
    {"$", false, 0},
    {"0x", false, 0},
    {"x", false, 0},
    {"-x", false, 0},
    {"$-1", false, 0},
    {"0xx1", false, 0},
    {"$g", false, 0},
    {"1-", false, 0},
    {"1.0", false, 0},
    {"00x1", false, 0},
    {"\x80", false, 0},
    {"7\xff", false, 0},
};

// The chunk sizes a reading platform may hand out.
const size_t kChunks[] = {1, 2, 5, 31, 1 << 20};

class Reader : public MemoryIo {};

TEST_F(Reader, TokenTable) {
  for (const token_case& c : kTokens) {
    for (const char* layout : {"%s", "  %s\r\n", "\t%s\n9"}) {
      std::string input = layout;
      input.replace(input.find("%s"), 2, c.token);
      for (size_t chunk : kChunks) {
        SCOPED_TRACE(testing::Message() << "token [" << c.token << "] layout ["
                                        << layout << "] chunk " << chunk);
        reset_records();
        open_input(input, chunk);
        int32_t got = read_int(infile);
        if (c.valid) {
          EXPECT_EQ(io_error.code, 0);
          EXPECT_EQ(got, c.value);
        } else {
          EXPECT_EQ(io_error.code, kInvalidNumber);
        }
      }
    }
  }
}

// A read's expected result: the value, or the error code it leaves.
struct outcome {
  int32_t value;
  int32_t code;
};

struct stream_case {
  const char* name;
  std::string input;
  std::vector<outcome> reads;
};

const std::string kZeros32(32, '0');

const stream_case kStreams[] = {
    {"empty input reads 0 without error", "", {{0, 0}, {0, 0}}},
    {"byte 127 is no blank", " \t\r\n\x01\x1f\x7f", {{0, kInvalidNumber}}},
    {"blanks only", std::string(" \t\r\n\x01\x1f\x00", 7), {{0, 0}, {0, 0}}},
    {"number at the very end", "5", {{5, 0}, {0, 0}}},
    {"blanks after the last number change nothing",
     "5 \r\n\t ",
     {{5, 0}, {0, 0}}},
    {"lf line ends", "1\n-2\n3\n", {{1, 0}, {-2, 0}, {3, 0}, {0, 0}}},
    {"cr lf line ends", "1\r\n-2\r\n3\r\n", {{1, 0}, {-2, 0}, {3, 0}, {0, 0}}},
    {"byte 0 is a blank",
     std::string("1\0"
                 "2",
                 3),
     {{1, 0}, {2, 0}}},
    {"33 bytes read as two tokens", kZeros32 + "1", {{0, 0}, {1, 0}, {0, 0}}},
    {"34 bytes read as two tokens",
     kZeros32 + "12 7",
     {{0, 0}, {12, 0}, {7, 0}}},
    {"65 bytes read as three tokens",
     kZeros32 + kZeros32 + "3",
     {{0, 0}, {0, 0}, {3, 0}, {0, 0}}},
    {"a long bad run splits too",
     std::string(32, '1') + "5",
     {{0, kInvalidNumber}, {5, 0}}},
    {"32 digits then a blank is one token", kZeros32 + " 4", {{0, 0}, {4, 0}}},
    {"byte 26 between numbers ends the input",
     "1 \x1a 2 3",
     {{1, 0}, {0, 0}, {0, 0}}},
    {"byte 26 right after a token",
     "12\x1a"
     "34",
     {{12, 0}, {0, 0}, {0, 0}}},
    {"byte 26 first",
     "\x1a"
     "5",
     {{0, 0}}},
    {"a bad token is consumed", "abc 7", {{0, kInvalidNumber}, {7, 0}}},
    {"hex and decimal mixed",
     "$10\r\n0x10\tx10 16",
     {{16, 0}, {16, 0}, {16, 0}, {16, 0}}},
};

TEST_F(Reader, StreamTable) {
  for (const stream_case& c : kStreams) {
    for (size_t chunk : kChunks) {
      SCOPED_TRACE(testing::Message() << c.name << ", chunk " << chunk);
      reset_records();
      open_input(c.input, chunk);
      for (size_t i = 0; i < c.reads.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "read " << i);
        int32_t got = read_int(infile);
        EXPECT_EQ(io_error.code, c.reads[i].code);
        if (c.reads[i].code == 0) {
          EXPECT_EQ(got, c.reads[i].value);
        }
        io_error = {};
      }
    }
  }
}

// Many tokens crossing every refill boundary still read back in order.
TEST_F(Reader, LongInputAcrossRefills) {
  std::string input;
  std::vector<int32_t> want;
  for (int32_t i = 0; i < 20000; ++i) {
    int32_t v = static_cast<int32_t>(static_cast<uint32_t>(i) * 2654435761u);
    want.push_back(v);
    input += std::to_string(v) + (i % 3 == 0   ? "\r\n"
                                  : i % 3 == 1 ? " "
                                               : "\t\t");
  }
  for (size_t chunk : {size_t{7}, size_t{4096}, size_t{1} << 20}) {
    SCOPED_TRACE(chunk);
    reset_records();
    open_input(input, chunk);
    for (int32_t v : want) ASSERT_EQ(read_int(infile), v);
    EXPECT_EQ(read_int(infile), 0);
    EXPECT_EQ(io_error.code, 0);
  }
}

TEST_F(Reader, FailedReadStoresPlatformNumber) {
  os.read = [](int, void*, size_t) -> ssize_t {
    errno = EIO;
    return -1;
  };
  assign_file(infile, "in");
  reset_file(infile);
  EXPECT_EQ(read_int(infile), 0);
  EXPECT_EQ(io_error.code, EIO);
  EXPECT_TRUE(io_error.raw);
}

struct format_case {
  int32_t value;
  const char* text;
};

const format_case kFormats[] = {
    {0, "0"},
    {7, "7"},
    {-7, "-7"},
    {9, "9"},
    {10, "10"},
    {99, "99"},
    {100, "100"},
    {-100, "-100"},
    {101, "101"},
    {1000000000, "1000000000"},
    {-1000000000, "-1000000000"},
    {1234567890, "1234567890"},
    {INT32_MAX, "2147483647"},
    {INT32_MIN, "-2147483648"},
    {INT32_MIN + 1, "-2147483647"},
};

TEST(FormatInt, Table) {
  for (const format_case& c : kFormats) {
    SCOPED_TRACE(c.text);
    char out[11];
    EXPECT_EQ(std::string(out, format_int(c.value, out)), c.text);
  }
}

class Writer : public MemoryIo {};

TEST_F(Writer, RecordWritesExactBytes) {
  assign_file(outfile, "out");
  rewrite_file(outfile);
  write_int(outfile, INT32_MIN);
  write_byte(outfile, ' ');
  write_int(outfile, 42);
  write_line_end(outfile);
  const unsigned char raw[] = {0, 10, 13, 26, 255};
  write_str(outfile, raw, sizeof raw);
  write_line_end(outfile);
  for (int i = 0; i < 300; ++i) write_int(outfile, -i);
  close_file(outfile);
  std::string want =
      "-2147483648 42\r\n" + std::string("\0\n\r\x1a\xff", 5) + "\r\n";
  for (int i = 0; i < 300; ++i) want += std::to_string(-i);
  EXPECT_EQ(io_error.code, 0);
  EXPECT_EQ(memory_os::output, want);
  for (size_t n : memory_os::output_writes) EXPECT_LE(n, kWriteBuffer);
}

TEST_F(Writer, CharacterDeviceFlushesAtEveryLineEnd) {
  memory_os::output_kind = file_kind::character;
  assign_file(outfile, "out");
  rewrite_file(outfile);
  write_int(outfile, 12);
  write_line_end(outfile);
  EXPECT_EQ(memory_os::output, "12\r\n");  // out before the record closes
  write_int(outfile, 34);
  write_line_end(outfile);
  EXPECT_EQ(memory_os::output_writes, (std::vector<size_t>{4, 4}));
}

TEST_F(Writer, RegularFileWaitsForFullBuffer) {
  assign_file(outfile, "out");
  rewrite_file(outfile);
  write_int(outfile, 12);
  write_line_end(outfile);
  write_int(outfile, 34);
  write_line_end(outfile);
  EXPECT_EQ(memory_os::output.size(), 8 / kWriteBuffer * kWriteBuffer);
  close_file(outfile);
  EXPECT_EQ(memory_os::output, "12\r\n34\r\n");
  EXPECT_EQ(memory_os::output_writes.size(),
            (8 + kWriteBuffer - 1) / kWriteBuffer);
}

TEST_F(Writer, UnboundOutputIsStandardOutput) {
  write_str(outfile, "hi", 2);
  write_line_end(outfile);
  EXPECT_EQ(outfile.fd, kStdOutput);
  EXPECT_EQ(outfile.mode, file_mode::writing);
  close_file(outfile);
  EXPECT_EQ(memory_os::output, "hi\r\n");
}

// Short writes are resumed; a write that accepts nothing is a full disk.
TEST_F(Writer, ShortAndEmptyWrites) {
  static size_t budget;
  os.write = [](int, const void* buf, size_t n) -> ssize_t {
    size_t k = std::min({n, size_t{3}, budget});
    memory_os::output.append(static_cast<const char*>(buf), k);
    budget -= k;
    return static_cast<ssize_t>(k);
  };
  for (size_t limit : {size_t{1000}, size_t{5}}) {
    SCOPED_TRACE(limit);
    reset_records();
    memory_os::output.clear();
    budget = limit;
    assign_file(outfile, "out");
    rewrite_file(outfile);
    write_str(outfile, "0123456789", 10);
    close_file(outfile);
    if (limit >= 10) {
      EXPECT_EQ(io_error.code, 0);
      EXPECT_EQ(memory_os::output, "0123456789");
    } else {
      EXPECT_EQ(io_error.code, kDiskFull);
      EXPECT_EQ(memory_os::output, "01234");
    }
  }
}

struct split_case {
  const char* name;
  std::string line;
  std::vector<std::string> tokens;
};

const split_case kSplits[] = {
    {"plain", "datamask in out", {"datamask", "in", "out"}},
    {"quoted blank", "datamask \"my in\" out", {"datamask", "my in", "out"}},
    {"empty pair skipped", "datamask \"\" in out", {"datamask", "in", "out"}},
    {"two empty pairs", "datamask \"\"\"\" in", {"datamask", "in"}},
    {"empty pairs with blanks", "a \"\" \"\" b", {"a", "b"}},
    {"quoted run inside a token", "datamask a\"b c\"d", {"datamask", "ab cd"}},
    {"empty pair then letters", "datamask \"\"x", {"datamask", "x"}},
    {"empty run inside a token", "datamask x\"\"y", {"datamask", "xy"}},
    {"quoted blank alone", "datamask \" \"", {"datamask", " "}},
    {"quote runs alternate", "a \" \"\" b", {"a", "  b"}},
    {"unclosed quote runs to the end", "datamask \"a b", {"datamask", "a b"}},
    {"lone quote at the end is empty", "datamask in \"", {"datamask", "in"}},
    {"blanks and tabs around",
     "  \t datamask   in\t\tout  ",
     {"datamask", "in", "out"}},
    {"control codes are blanks",
     "datamask\x01in\x1fout",
     {"datamask", "in", "out"}},
    {"bytes 128 to 255 belong to tokens",
     "datamask \xe4\xf6 \xff\x80\xa0",
     {"datamask", "\xe4\xf6", "\xff\x80\xa0"}},
    {"empty line", "", {}},
    {"blank line", " \t ", {}},
};

TEST(SplitCommandLine, Table) {
  for (const split_case& c : kSplits) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(split_command_line(c.line.c_str()), c.tokens);
  }
}

// A double-byte character set as on East Asian Windows: a byte from 0x81
// up leads, and the byte after it, whatever it is, belongs to it.
const char* double_byte_next(const char* p) {
  if (*p == 0) return p;
  if (static_cast<unsigned char>(*p) >= 0x81 && p[1] != 0) return p + 2;
  return p + 1;
}

const split_case kDoubleByteSplits[] = {
    {"trail byte that looks like a quote",
     "datamask a\x81\"b c",
     {"datamask", "a\x81\"b", "c"}},
    {"trail byte that looks like a blank",
     "datamask \x90 x",
     {"datamask", "\x90 x"}},
    {"quoted run holding a quote-like trail byte",
     "datamask \"\x81\" x\" y",
     {"datamask", "\x81\" x", "y"}},
    {"lead byte at the end of the line",
     "datamask in \x81",
     {"datamask", "in", "\x81"}},
};

TEST(SplitCommandLine, StepsByCharacterOfTheMultiByteSet) {
  os_calls saved = os;
  os.next_char = double_byte_next;
  for (const split_case& c : kDoubleByteSplits) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(split_command_line(c.line.c_str()), c.tokens);
  }
  os = saved;
}

struct argv_case {
  const char* name;
  std::vector<std::string> argv;
  std::string line;
  std::vector<std::string> tokens;
};

const argv_case kArgvs[] = {
    {"plain",
     {"datamask", "in", "out"},
     "datamask in out",
     {"datamask", "in", "out"}},
    {"blank inside",
     {"datamask", "my in", "out"},
     "datamask \"my in\" out",
     {"datamask", "my in", "out"}},
    {"empty element counts for nothing",
     {"datamask", "", "in", "out"},
     "datamask \"\" in out",
     {"datamask", "in", "out"}},
    {"tab inside",
     {"datamask", "a\tb"},
     "datamask \"a\tb\"",
     {"datamask", "a\tb"}},
    {"control byte inside",
     {"datamask",
      "a\x01"
      "b"},
     "datamask \"a\x01"
     "b\"",
     {"datamask",
      "a\x01"
      "b"}},
    {"high bytes need no quotes",
     {"datamask", "\xe4x"},
     "datamask \xe4x",
     {"datamask", "\xe4x"}},
    {"only the program", {"datamask"}, "datamask", {"datamask"}},
    {"nothing", {}, "", {}},
};

TEST(RebuildCommandLine, Table) {
  for (const argv_case& c : kArgvs) {
    SCOPED_TRACE(c.name);
    std::string line = rebuild_command_line(c.argv);
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(split_command_line(line.c_str()), c.tokens);
  }
}

struct errno_case {
  int err;
  int32_t code;
  bool raw;
};

const errno_case kErrnos[] = {
    {ENOENT, 2, false},   {ENOTDIR, 3, false},  {ENAMETOOLONG, 3, false},
    {EMFILE, 4, false},   {ENFILE, 4, false},   {EACCES, 5, false},
    {EPERM, 5, false},    {EROFS, 5, false},    {EISDIR, 5, false},
    {ENOSPC, 101, false}, {EIO, EIO, true},     {EPIPE, EPIPE, true},
    {EBADF, EBADF, true}, {EFBIG, EFBIG, true},
};

TEST(ErrnoError, Table) {
  for (const errno_case& c : kErrnos) {
    SCOPED_TRACE(c.err);
    pending_error e = errno_error(c.err);
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.raw, c.raw);
  }
}

struct message_case {
  pending_error error;
  const char* message;
};

const message_case kMessages[] = {
    {{2, false}, "File not found"},
    {{3, false}, "Invalid filename"},
    {{4, false}, "Too many open files"},
    {{5, false}, "File access denied"},
    {{100, false}, "Read beyond end of file"},
    {{101, false}, "Disk full"},
    {{106, false}, "Invalid numeric input"},
    {{32, false}, "I/O error 32"},
    {{105, false}, "I/O error 105"},
    {{5, true}, "I/O error 5"},  // EIO is no denied access
    {{101, true}, "I/O error 101"},
    {{28, true}, "I/O error 28"},
};

TEST(IoMessage, Table) {
  for (const message_case& c : kMessages) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(io_message(c.error), c.message);
  }
}

struct report_case {
  const char* name;
  uint32_t site;
  std::string message;
  std::string report;
};

const report_case kReports[] = {
    {"message gets a stop", 0x00401A4C, "File not found",
     "Exception EInOutError in module datamask at 00401A4C.\r\n"
     "File not found.\r\n"},
    {"leading zeros and upper case", 0xAB, "I/O error 32",
     "Exception EInOutError in module datamask at 000000AB.\r\n"
     "I/O error 32.\r\n"},
    {"all eight digits", 0xFEDCBA98, "Disk full",
     "Exception EInOutError in module datamask at FEDCBA98.\r\nDisk full.\r\n"},
    {"a stop is not doubled", 1, "Done.",
     "Exception EInOutError in module datamask at 00000001.\r\nDone.\r\n"},
    {"an empty message stays empty", 0, "",
     "Exception EInOutError in module datamask at 00000000.\r\n\r\n"},
};

TEST(FailureReport, Table) {
  for (const report_case& c : kReports) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(failure_report("datamask", c.site, c.message), c.report);
  }
}

}  // namespace
