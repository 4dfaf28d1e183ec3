// driver.cpp: the editor's script reader (Windows text mode, "%s %d") and
// command loop.
#include "driver.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

FILE* F = nullptr;
FILE* FO = nullptr;
int32_t ti = 0;
int32_t tn = 0;

namespace {

static_assert(SCRIPT_BUFFER_BYTES >= 2, "a held CR needs a byte beside it");

unsigned char script_buffer[SCRIPT_BUFFER_BYTES];
const unsigned char* next_byte = script_buffer;
const unsigned char* buffer_end = script_buffer;
bool input_done = true;  // no more bytes will come from F
bool held_cr = false;    // a CR ended the last read; its LF may come next
int read_errno = 0;

// Windows text mode: CR LF reads as LF; a lone CR is an ordinary byte.
size_t drop_cr_before_lf(unsigned char* bytes, size_t n) {
  void* cr = std::memchr(bytes, '\r', n);
  if (cr == nullptr) return n;
  size_t kept = size_t(static_cast<unsigned char*>(cr) - bytes);
  for (size_t i = kept; i < n; ++i) {
    if (bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n') continue;
    bytes[kept++] = bytes[i];
  }
  return kept;
}

bool refill() {
  next_byte = buffer_end = script_buffer;
  size_t have = 0;
  if (held_cr) {
    script_buffer[0] = '\r';
    have = 1;
    held_cr = false;
  } else if (input_done) {
    return false;
  }
  if (!input_done) {
    size_t want = sizeof script_buffer - have;
    size_t got = std::fread(script_buffer + have, 1, want, F);
    if (got < want) {
      input_done = true;
      if (std::ferror(F)) read_errno = errno != 0 ? errno : EIO;
    }
    have += got;
  }
  // Windows text mode: byte 26 ends the input.
  void* eof_mark = std::memchr(script_buffer, 26, have);
  if (eof_mark != nullptr) {
    have = size_t(static_cast<unsigned char*>(eof_mark) - script_buffer);
    input_done = true;
  }
  have = drop_cr_before_lf(script_buffer, have);
  if (!input_done && have > 0 && script_buffer[have - 1] == '\r') {
    held_cr = true;
    --have;
  }
  buffer_end = script_buffer + have;
  if (have == 0) return refill();
  return true;
}

inline int peek() {
  if (next_byte == buffer_end && !refill()) return EOF;
  return *next_byte;
}

// isspace() of the C locale, which is what "%s" and "%d" skip.
inline bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline bool is_digit(int c) { return c >= '0' && c <= '9'; }

void skip_space() {
  for (;;) {
    while (next_byte < buffer_end && is_space(*next_byte)) ++next_byte;
    if (next_byte < buffer_end || !refill()) return;
  }
}

}  // namespace

void reset_input() {
  next_byte = buffer_end = script_buffer;
  input_done = F == nullptr;
  held_cr = false;
  read_errno = 0;
}

int input_error() { return read_errno; }

char Getchar() {
  int c;
  while ((c = peek()) == '\n') ++next_byte;
  if (c == EOF) return char(-1);
  ++next_byte;
  return static_cast<char>(c);
}

void read_text(char* out, int32_t n) {
  while (n > 0) {
    if (next_byte == buffer_end && !refill()) {
      std::memset(out, 0xFF, size_t(n));  // Getchar's -1 for each missing one
      return;
    }
    size_t avail = std::min(size_t(buffer_end - next_byte), size_t(n));
    const void* newline = std::memchr(next_byte, '\n', avail);
    size_t run =
        newline != nullptr
            ? size_t(static_cast<const unsigned char*>(newline) - next_byte)
            : avail;
    if (run > 0) std::memcpy(out, next_byte, run);
    out += run;
    n -= int32_t(run);
    next_byte += run;
    if (newline != nullptr) ++next_byte;
  }
}

void skip_text(int32_t n) {
  while (n > 0) {
    if (next_byte == buffer_end && !refill()) return;
    size_t avail = std::min(size_t(buffer_end - next_byte), size_t(n));
    const void* newline = std::memchr(next_byte, '\n', avail);
    size_t run =
        newline != nullptr
            ? size_t(static_cast<const unsigned char*>(newline) - next_byte)
            : avail;
    n -= int32_t(run);
    next_byte += run;
    if (newline != nullptr) ++next_byte;
  }
}

bool read_word(unsigned char& first) {
  skip_space();
  int c = peek();
  if (c == EOF) return false;
  first = static_cast<unsigned char>(c);
  // A word of any length is read; only its first byte matters.
  for (;;) {
    while (next_byte < buffer_end && !is_space(*next_byte)) ++next_byte;
    if (next_byte < buffer_end || !refill()) return true;
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
    ++next_byte;
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
    ++next_byte;
    c = peek();
  } while (is_digit(c));
  if (saturated) magnitude = most;
  unsigned long bits = negative ? 0UL - magnitude : magnitude;
  value = static_cast<int32_t>(static_cast<uint32_t>(bits));
  return true;
}

void run_commands(text& x) {
  reset_input();
  tn = 0;
  int32_t count = 0;
  if (read_number(count)) tn = count;
  unsigned char word = 0;
  int32_t number = 0;
  for (ti = 0; ti < tn; ++ti) {
    if (!read_word(word)) break;  // end of input: no stale command reruns
    bool numbered = read_number(number);
    switch (word) {
      case 'D':
        if (numbered) x.Delete(number);
        break;
      case 'G':
        if (numbered) x.Get(number);
        break;
      case 'I':
        if (numbered) x.Insert(number);
        break;
      case 'M':
        if (numbered) x.Move(number);
        break;
      case 'N':
        x.Next();
        break;
      case 'P':
        x.Prev();
        break;
      default:
        break;
    }
  }
}
