// script.h: the editor's two streams and its script reader: Windows text
// mode, Getchar, the bulk text reads, and the "%s" and "%d" reads.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>

#ifndef SCRIPT_BUFFER_BYTES
#define SCRIPT_BUFFER_BYTES (1 << 18)
#endif

extern FILE* F;   // editor.in
extern FILE* FO;  // editor.out

// All the reader keeps between calls. There is one, `script_in`, reading F.
// The two bytes after `end` are always a space and a letter, so that a scan
// over white space, a word or digits stops at the end of the buffered bytes
// without testing for it byte by byte.
struct script_state {
  unsigned char buffer[SCRIPT_BUFFER_BYTES + 2];
  const unsigned char* next = buffer;  // next unread byte
  const unsigned char* end = buffer;   // end of the bytes read into buffer
  bool input_done = true;              // no more bytes will come from F
  bool held_cr = false;  // a CR ended the last read; its LF may come next
  int read_errno = 0;    // errno of a failed read of F, or 0
};
extern script_state script_in;

// Makes stream F and reads from its start; stream may be null (no input).
// The first bytes are read at once, so that a stream that cannot be read is
// known before any output begins: returns that errno, or 0.
int script_start(FILE* stream);
// Opens path for reading and starts it as F: 0, or the errno of the failure
// (F is then null).
int script_open(const char* path);

// The next script character that is not a newline; -1 (byte 255) at the end.
char Getchar();
// read_text of runs that may meet a newline or the end of the buffer.
int32_t read_text_run(char* out, int32_t n);
// n Getchar results into out, in one pass over the buffer; returns how many
// came from the script before its end (the rest are byte 255).
inline int32_t read_text(char* out, int32_t n) {
  // Typing inserts one character, most often on the line after the command.
  if (n == 1) {
    const unsigned char* p = script_in.next;
    while (*p == '\n') ++p;  // the sentinel space stops it at the end
    if (p < script_in.end) {
      *out = static_cast<char>(*p);
      script_in.next = p + 1;
      return 1;
    }
  }
  return read_text_run(out, n);
}
// Reads and drops n Getchar results.
void skip_text(int32_t n);
// "%s": false when no word is left; only its first byte is kept.
bool read_word(unsigned char& first);
// "%d" as glibc converts it; false when no number could be read.
bool read_number(int32_t& value);
// The errno of a failed read of F, or 0.
int input_error();

// The rest of a word whose start was read, across refills.
void skip_word_rest();
// The value "%d" gives for the digits [first, last), with the sign, where
// the digits may be too many for a plain conversion.
int32_t saturated_number(const unsigned char* first, const unsigned char* last,
                         bool negative);

// isspace() of the C locale, which is what "%s" and "%d" skip.
inline bool script_space(unsigned char c) {
  return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}
inline bool script_digit(unsigned char c) {
  return static_cast<unsigned char>(c - '0') <= 9;
}

// The value "%d" gives for a magnitude below 10^18 with its sign: glibc
// saturates at the range of long, then keeps the low 32 bits.
inline int32_t saturated_number_small(uint64_t magnitude, bool negative) {
  const uint64_t most = negative ? uint64_t(LONG_MAX) + 1 : uint64_t(LONG_MAX);
  if (magnitude > most) magnitude = most;
  uint64_t bits = negative ? 0 - magnitude : magnitude;
  return static_cast<int32_t>(static_cast<uint32_t>(bits));
}

// One command's "%s %d": false when no word is left, as read_word; numbered
// tells whether a number followed, as read_number. Scans the buffer in place
// and falls back on read_word and read_number only where an item meets the
// end of the buffered bytes.
inline bool read_command(unsigned char& word, int32_t& number,
                         bool& numbered) {
  const unsigned char* p = script_in.next;
  const unsigned char* const end = script_in.end;
  while (script_space(*p)) ++p;  // stops at the letter after the end
  if (p >= end) {
    script_in.next = end;
    if (!read_word(word)) return false;
    numbered = read_number(number);
    return true;
  }
  word = *p++;
  while (!script_space(*p)) ++p;  // stops at the space after the end
  if (p == end) {
    script_in.next = end;
    skip_word_rest();
    numbered = read_number(number);
    return true;
  }
  while (script_space(*p)) ++p;
  const unsigned char* const item = p;
  bool negative = false;
  if (*p == '-' || *p == '+') {
    negative = *p == '-';
    ++p;
  }
  const unsigned char* const digits = p;
  // 18 digits stay below 2^63, past every long's range but a 64-bit one,
  // whose range they stay within: no test per digit.
  uint64_t magnitude = 0;
  while (script_digit(*p)) magnitude = magnitude * 10 + (*p++ - '0');
  if (p >= end) {  // the item may go on in the next bytes
    script_in.next = item < end ? item : end;
    numbered = read_number(number);
    return true;
  }
  script_in.next = p;
  if (p == digits) {  // no digits: a lone sign stays consumed
    numbered = false;
    return true;
  }
  numbered = true;
  if (p - digits > 18) {
    number = saturated_number(digits, p, negative);
    return true;
  }
  number = saturated_number_small(magnitude, negative);
  return true;
}
