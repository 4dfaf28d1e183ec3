/* load_rods.h: reads and checks the nine integers of rods.in from a stream. */
#ifndef GRIDPROBE_LOAD_RODS_H
#define GRIDPROBE_LOAD_RODS_H

#include <ctype.h>
#include <stdio.h>

#ifndef GRIDPROBE_MIN_N
#define GRIDPROBE_MIN_N 5
#endif
#ifndef GRIDPROBE_MAX_N
#define GRIDPROBE_MAX_N 10000
#endif

/* Reads one "%d" number: blanks, a sign, digits. The value is kept whole up to
   64 bits and pinned at the 64-bit limits beyond, so a number too wide for an
   int reads as out of range instead of wrapping into range. */
static int read_number(FILE* in, long long* value) {
  int ch;
  int negative = 0;
  int digits = 0;
  int overflow = 0;
  unsigned long long magnitude = 0;
  const unsigned long long limit = 9223372036854775807ULL;
  do ch = getc(in);
  while (ch != EOF && isspace(ch));
  if (ch == '+' || ch == '-') {
    negative = ch == '-';
    ch = getc(in);
  }
  while (ch != EOF && ch >= '0' && ch <= '9') {
    unsigned long long digit = (unsigned long long)(ch - '0');
    if (magnitude > (limit + (unsigned long long)negative - digit) / 10)
      overflow = 1;
    else
      magnitude = magnitude * 10 + digit;
    ++digits;
    ch = getc(in);
  }
  if (ch != EOF) ungetc(ch, in);
  if (digits == 0) return 0;
  if (overflow) magnitude = limit + (unsigned long long)negative;
  if (!negative)
    *value = (long long)magnitude;
  else /* -2^63 has no positive counterpart: negate one less, then step. */
    *value = magnitude == 0 ? 0 : -(long long)(magnitude - 1) - 1;
  return 1;
}

/* Reads N and the eight coordinates of rods.in and checks their ranges and
   the rods' shapes: fills n and coord (sr1 sc1 sr2 sc2 sp1 sq1 sp2 sq2) and
   returns -1, or returns the index 1 to 5 of the first failure found. */
static int load_rods(FILE* in, int* n, int coord[8]) {
  long long wide_n;
  long long wide[8];
  int i;
  if (!read_number(in, &wide_n)) return 1;
  if (wide_n < GRIDPROBE_MIN_N || wide_n > GRIDPROBE_MAX_N) return 2;
  for (i = 0; i < 8; ++i)
    if (!read_number(in, &wide[i])) return 1;
  for (i = 0; i < 8; ++i)
    if (wide[i] < 1 || wide[i] > wide_n) return 3;
  *n = (int)wide_n;
  for (i = 0; i < 8; ++i) coord[i] = (int)wide[i];
  if (coord[1] >= coord[3] || coord[0] != coord[2]) return 4;
  if (coord[4] >= coord[6] || coord[5] != coord[7]) return 5;
  return -1;
}

#endif
