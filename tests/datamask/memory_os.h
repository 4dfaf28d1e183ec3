// Points the scrambler's OS calls at memory: input bytes served in chunks,
// written bytes collected per descriptor with the size of every write.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform.h"
#include "textfile.h"

namespace memory_os {

inline std::string input;
inline size_t input_pos = 0;
inline size_t chunk = 1 << 20;  // most bytes one read hands out
inline file_kind output_kind = file_kind::regular;
inline std::string output;
inline std::string error_output;
inline std::vector<size_t> output_writes;  // size of each write to the output

constexpr int kInputFd = 10;
constexpr int kOutputFd = 11;

inline int open_read(const char*) { return kInputFd; }
inline int open_write(const char*) { return kOutputFd; }
inline int truncate(int) { return 0; }
inline ssize_t read(int, void* buf, size_t n) {
  size_t k = std::min({n, chunk, input.size() - input_pos});
  std::memcpy(buf, input.data() + input_pos, k);
  input_pos += k;
  return static_cast<ssize_t>(k);
}
inline ssize_t write(int fd, const void* buf, size_t n) {
  const char* p = static_cast<const char*>(buf);
  if (fd == kStdError) {
    error_output.append(p, n);
  } else {
    output.append(p, n);
    output_writes.push_back(n);
  }
  return static_cast<ssize_t>(n);
}
inline int close(int) { return 0; }
inline int identify(int fd, file_info* info) {
  info->device = 1;
  info->inode = static_cast<uint64_t>(fd);
  info->kind =
      fd == kOutputFd || fd == kStdOutput ? output_kind : file_kind::regular;
  return 0;
}
inline bool is_directory(const char*) { return true; }
inline std::string module_path() { return "/opt/judge/bin/datamask"; }
inline void exit(int) { std::abort(); }
inline const char* next_char(const char* p) { return *p != 0 ? p + 1 : p; }

}  // namespace memory_os

// Each test starts with fresh records, no pending error and memory I/O.
class MemoryIo : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = os;
    os = {memory_os::open_read, memory_os::open_write,   memory_os::truncate,
          memory_os::read,      memory_os::write,        memory_os::close,
          memory_os::identify,  memory_os::is_directory, memory_os::module_path,
          memory_os::exit,      memory_os::next_char,    nullptr};
    memory_os::input.clear();
    memory_os::input_pos = 0;
    memory_os::chunk = 1 << 20;
    memory_os::output_kind = file_kind::regular;
    memory_os::output.clear();
    memory_os::error_output.clear();
    memory_os::output_writes.clear();
    reset_records();
  }
  void TearDown() override {
    os = saved_;
    reset_records();
  }
  static void reset_records() {
    infile = text_record{};
    outfile = text_record{};
    io_error = {};
  }
  // Opens the input record on the given bytes, served chunk bytes at a time.
  static void open_input(const std::string& bytes, size_t chunk) {
    memory_os::input = bytes;
    memory_os::input_pos = 0;
    memory_os::chunk = chunk;
    assign_file(infile, "in");
    reset_file(infile);
    ASSERT_EQ(io_error.code, 0);
  }
  os_calls saved_{};
};
