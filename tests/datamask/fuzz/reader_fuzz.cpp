// Fuzzes the integer reader against a byte-at-a-time model, and the command
// line splitter against the argv rebuild.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cmdline.h"
#include "platform.h"
#include "textfile.h"

namespace {

std::string source;
size_t source_pos = 0;
size_t chunk = 1;

ssize_t memory_read(int, void* buf, size_t n) {
  size_t k = std::min({n, chunk, source.size() - source_pos});
  std::memcpy(buf, source.data() + source_pos, k);
  source_pos += k;
  return static_cast<ssize_t>(k);
}
int memory_open(const char*) { return 10; }
int memory_close(int) { return 0; }
int memory_identify(int, file_info* info) {
  info->kind = file_kind::regular;
  return 0;
}

// The reader's rules one byte at a time: skip 0..32, stop at byte 26,
// cut at most 32 bytes of 33..255.
struct model_reader {
  const std::string& in;
  size_t pos = 0;
  // Returns false at the end of the input.
  bool next(std::string& token) {
    while (pos < in.size() && static_cast<unsigned char>(in[pos]) <= 32 &&
           in[pos] != 26)
      ++pos;
    if (pos == in.size() || in[pos] == 26) return false;
    token.clear();
    while (pos < in.size() && token.size() < kMaxToken &&
           static_cast<unsigned char>(in[pos]) > 32)
      token += in[pos++];
    return true;
  }
};

void check_reader(const uint8_t* data, size_t size) {
  chunk = size > 0 ? data[0] % 40 + 1 : 1;
  source.assign(reinterpret_cast<const char*>(data), size);
  source_pos = 0;
  infile = text_record{};
  io_error = {};
  assign_file(infile, "in");
  reset_file(infile);
  model_reader model{source};
  std::string token;
  for (;;) {
    bool more = model.next(token);
    int32_t got = read_int(infile);
    pending_error e = io_error;
    io_error = {};
    if (!more) {
      if (got != 0 || e.code != 0) std::abort();
      if (read_int(infile) != 0 || io_error.code != 0) std::abort();
      return;
    }
    int32_t want = 0;
    bool valid =
        parse_token(reinterpret_cast<const unsigned char*>(token.data()),
                    token.size(), want);
    if (valid ? (e.code != 0 || got != want) : e.code != kInvalidNumber)
      std::abort();
  }
}

// Elements without quotes survive the rebuild; empty ones vanish.
void check_splitter(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> tokens = split_command_line(line.c_str());
  for (const std::string& t : tokens)
    if (t.empty() || t.find('"') != std::string::npos) std::abort();
  std::vector<std::string> argv(1);
  for (char c : line) {
    if (c == '\n')
      argv.emplace_back();
    else if (c != '"' && c != 0)
      argv.back() += c;
  }
  std::vector<std::string> want;
  for (const std::string& a : argv)
    if (!a.empty()) want.push_back(a);
  if (split_command_line(rebuild_command_line(argv).c_str()) != want)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  os.open_read = memory_open;
  os.read = memory_read;
  os.close = memory_close;
  os.identify = memory_identify;
  check_reader(data, size);
  check_splitter(data, size);
  return 0;
}
