// The scrambler's text-file layer: records, reader, writers, check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "errors.h"

#ifndef DATAMASK_READ_BUFFER
#define DATAMASK_READ_BUFFER 65536
#endif
#ifndef DATAMASK_WRITE_BUFFER
#define DATAMASK_WRITE_BUFFER 65536
#endif
#ifndef DATAMASK_MAX_NAME
#define DATAMASK_MAX_NAME 259
#endif

constexpr size_t kReadBuffer = DATAMASK_READ_BUFFER;
constexpr size_t kWriteBuffer = DATAMASK_WRITE_BUFFER;
constexpr size_t kMaxName = DATAMASK_MAX_NAME;
constexpr size_t kMaxToken = 32;
// A token and the byte after it must fit in the buffer at once.
static_assert(kReadBuffer > kMaxToken, "read buffer shorter than a token");
static_assert(kWriteBuffer > 0, "empty write buffer");

enum class file_mode { closed, reading, writing };

struct text_record {
  std::string name;
  bool bound =
      false;  // the output record stands for standard output until bound
  file_mode mode = file_mode::closed;
  bool flush_at_line_end = false;
  bool standard = false;  // a standard stream, never closed
  int fd = -1;
  uint64_t device = 0, inode = 0;  // to refuse writing over the open input
  bool source_done = false;        // the platform said end of file (or failed)
  size_t pos = 0, end = 0;         // unread bytes of a reading record
  size_t used = 0;                 // buffered bytes of a writing record
  // 16 spare bytes: the reader loads 16 at a time from any unread byte.
  unsigned char
      buf[(kReadBuffer > kWriteBuffer ? kReadBuffer : kWriteBuffer) + 16];
};

extern text_record infile;
extern text_record outfile;

// The pending error; a check turns it into the failure report.
extern pending_error io_error;

// Records.
void assign_file(text_record& f, const std::string& name);
void reset_file(text_record& f);
void rewrite_file(text_record& f);
void close_file(text_record& f);

// Reading.
bool parse_token(const unsigned char* token, size_t n, int32_t& value);
int32_t read_int(text_record& f);

// Writing.
size_t format_int(int32_t value, char* out);  // out holds at least 11 bytes
void write_int(text_record& f, int32_t value);
void write_byte(text_record& f, unsigned char byte);
void write_str(text_record& f, const void* bytes, size_t n);
void write_line_end(text_record& f);

// Errors, the check and the end.
std::string io_message(const pending_error& e);
std::string failure_report(const std::string& module, uint32_t site,
                           const std::string& message);
void check(uint32_t site);
[[noreturn]] void end_process(int code);
