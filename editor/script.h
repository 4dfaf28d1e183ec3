// script.h: the editor's two streams and its script reader: Windows text
// mode, Getchar, the bulk text reads, and the "%s" and "%d" reads.
#pragma once

#include <cstdint>
#include <cstdio>

#ifndef SCRIPT_BUFFER_BYTES
#define SCRIPT_BUFFER_BYTES (1 << 18)
#endif

extern FILE* F;   // editor.in
extern FILE* FO;  // editor.out

// All the reader keeps between calls. There is one, `script_in`, reading F.
struct script_state {
  unsigned char buffer[SCRIPT_BUFFER_BYTES];
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
// n Getchar results into out, in one pass over the buffer; returns how many
// came from the script before its end (the rest are byte 255).
int32_t read_text(char* out, int32_t n);
// Reads and drops n Getchar results.
void skip_text(int32_t n);
// "%s": false when no word is left; only its first byte is kept.
bool read_word(unsigned char& first);
// "%d" as glibc converts it; false when no number could be read.
bool read_number(int32_t& value);
// The errno of a failed read of F, or 0.
int input_error();
