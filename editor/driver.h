// driver.h: the editor's streams, script reader and command loop.
#pragma once

#include <cstdint>
#include <cstdio>

#include "text.h"

#ifndef SCRIPT_BUFFER_BYTES
#define SCRIPT_BUFFER_BYTES (1 << 18)
#endif

extern FILE* F;   // editor.in
extern FILE* FO;  // editor.out
extern int32_t ti;
extern int32_t tn;

// Starts reading F afresh; run_commands calls it, a test that feeds Getchar
// directly calls it after pointing F somewhere.
void reset_input();
// The next script character that is not a newline; -1 (byte 255) at the end.
char Getchar();
// n Getchar results into out, in one pass over the buffer.
void read_text(char* out, int32_t n);
// Reads and drops n Getchar results.
void skip_text(int32_t n);
// "%s": false when no word is left; only its first byte is kept.
bool read_word(unsigned char& first);
// "%d" as glibc converts it; false when no number could be read.
bool read_number(int32_t& value);
// The errno of a failed read of F, or 0.
int input_error();

// Reads tn and the commands from F and applies them to x.
void run_commands(text& x);
