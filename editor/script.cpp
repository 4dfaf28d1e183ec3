// script_in.cpp: the editor's script reader: Windows text mode, Getchar and
// the "%s %d" reads, all over one buffer.
#include "script.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

FILE* F = nullptr;
FILE* FO = nullptr;
script_state script_in;

namespace {

static_assert(SCRIPT_BUFFER_BYTES >= 2, "a held CR needs a byte beside it");

#ifndef _WIN32
// Windows text mode: CR LF reads as LF; a lone CR is an ordinary byte. The
// bytes between CRs move as whole runs.
size_t drop_cr_before_lf(unsigned char* bytes, size_t n) {
  void* cr = std::memchr(bytes, '\r', n);
  if (cr == nullptr) return n;
  size_t kept = size_t(static_cast<unsigned char*>(cr) - bytes);
  size_t i = kept;
  while (i < n) {  // bytes[i] is a CR
    if (i + 1 < n && bytes[i + 1] == '\n')
      ++i;
    else
      bytes[kept++] = bytes[i++];
    void* next = std::memchr(bytes + i, '\r', n - i);
    size_t run = next != nullptr
                     ? size_t(static_cast<unsigned char*>(next) - (bytes + i))
                     : n - i;
    std::memmove(bytes + kept, bytes + i, run);
    kept += run;
    i += run;
  }
  return kept;
}
#endif

// Ends the buffered bytes at `have` and puts the sentinels after them.
void set_end(size_t have) {
  script_in.next = script_in.buffer;
  script_in.end = script_in.buffer + have;
  script_in.buffer[have] = ' ';
  script_in.buffer[have + 1] = 'x';
}

bool refill() {
  set_end(0);
  size_t have = 0;
  if (script_in.held_cr) {
    script_in.buffer[0] = '\r';
    have = 1;
    script_in.held_cr = false;
  } else if (script_in.input_done) {
    return false;
  }
  if (!script_in.input_done) {
    size_t want = SCRIPT_BUFFER_BYTES - have;
    size_t got = std::fread(script_in.buffer + have, 1, want, F);
    if (got < want) {
      script_in.input_done = true;
      if (std::ferror(F)) script_in.read_errno = errno != 0 ? errno : EIO;
    }
    have += got;
  }
#ifndef _WIN32  // on Windows the C runtime's text mode has done this
  // Windows text mode: byte 26 ends the input.
  void* eof_mark = std::memchr(script_in.buffer, 26, have);
  if (eof_mark != nullptr) {
    have = size_t(static_cast<unsigned char*>(eof_mark) - script_in.buffer);
    script_in.input_done = true;
  }
  have = drop_cr_before_lf(script_in.buffer, have);
  if (!script_in.input_done && have > 0 && script_in.buffer[have - 1] == '\r') {
    script_in.held_cr = true;
    --have;
  }
#endif
  set_end(have);
  if (have == 0) return refill();
  return true;
}

inline int peek() {
  if (script_in.next == script_in.end && !refill()) return EOF;
  return *script_in.next;
}

inline bool is_space(int c) { return c != EOF && script_space((unsigned char)c); }

inline bool is_digit(int c) { return c != EOF && script_digit((unsigned char)c); }

void skip_space() {
  for (;;) {
    while (script_in.next < script_in.end && is_space(*script_in.next))
      ++script_in.next;
    if (script_in.next < script_in.end || !refill()) return;
  }
}

}  // namespace

int script_start(FILE* stream) {
  F = stream;
  set_end(0);
  script_in.input_done = F == nullptr;
  script_in.held_cr = false;
  script_in.read_errno = 0;
  peek();  // a stream that cannot be read fails here, before any output
  return script_in.read_errno;
}

int script_open(const char* path) {
  FILE* stream = std::fopen(path, "r");
  if (stream == nullptr) {
    int error = errno;
    script_start(nullptr);
    return error;
  }
  return script_start(stream);
}

int input_error() { return script_in.read_errno; }

char Getchar() {
  int c;
  while ((c = peek()) == '\n') ++script_in.next;
  if (c == EOF) return char(-1);
  ++script_in.next;
  return static_cast<char>(c);
}

int32_t read_text_run(char* out, int32_t n) {
  int32_t want = n;
  while (n > 0) {
    if (script_in.next == script_in.end && !refill()) {
      std::memset(out, 0xFF, size_t(n));  // Getchar's -1 for each missing one
      break;
    }
    size_t avail = std::min(size_t(script_in.end - script_in.next), size_t(n));
    const void* newline = std::memchr(script_in.next, '\n', avail);
    size_t run = newline != nullptr
                     ? size_t(static_cast<const unsigned char*>(newline) -
                              script_in.next)
                     : avail;
    if (run > 0) std::memcpy(out, script_in.next, run);
    out += run;
    n -= int32_t(run);
    script_in.next += run;
    if (newline != nullptr) ++script_in.next;
  }
  return want - n;
}

void skip_text(int32_t n) {
  while (n > 0) {
    if (script_in.next == script_in.end && !refill()) return;
    size_t avail = std::min(size_t(script_in.end - script_in.next), size_t(n));
    const void* newline = std::memchr(script_in.next, '\n', avail);
    size_t run = newline != nullptr
                     ? size_t(static_cast<const unsigned char*>(newline) -
                              script_in.next)
                     : avail;
    n -= int32_t(run);
    script_in.next += run;
    if (newline != nullptr) ++script_in.next;
  }
}

bool read_word(unsigned char& first) {
  skip_space();
  int c = peek();
  if (c == EOF) return false;
  first = static_cast<unsigned char>(c);
  skip_word_rest();
  return true;
}

void skip_word_rest() {
  // A word of any length is read; only its first byte matters.
  for (;;) {
    while (script_in.next < script_in.end && !is_space(*script_in.next))
      ++script_in.next;
    if (script_in.next < script_in.end || !refill()) return;
  }
}

bool read_number(int32_t& value) {
  skip_space();
  int c = peek();
  if (c == EOF) return false;
  bool negative = false;
  if (c == '-' || c == '+') {
    // A lone sign stays consumed, as in glibc.
    negative = c == '-';
    ++script_in.next;
    c = peek();
  }
  if (!is_digit(c)) return false;
  // glibc converts with strtol, which saturates at the range of long, and
  // then stores the long into the int.
  const unsigned long most =
      negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
  unsigned long magnitude = 0;
  bool saturated = false;
  do {
    unsigned long digit = static_cast<unsigned long>(c - '0');
    if (magnitude > (most - digit) / 10)
      saturated = true;
    else
      magnitude = magnitude * 10 + digit;
    ++script_in.next;
    c = peek();
  } while (is_digit(c));
  if (saturated) magnitude = most;
  unsigned long bits = negative ? 0UL - magnitude : magnitude;
  value = static_cast<int32_t>(static_cast<uint32_t>(bits));
  return true;
}

int32_t saturated_number(const unsigned char* first, const unsigned char* last,
                         bool negative) {
  const unsigned long most =
      negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
  unsigned long magnitude = 0;
  for (; first < last; ++first) {
    unsigned long digit = static_cast<unsigned long>(*first - '0');
    if (magnitude > (most - digit) / 10) return saturated_number_small(most, negative);
    magnitude = magnitude * 10 + digit;
  }
  return saturated_number_small(magnitude, negative);
}
