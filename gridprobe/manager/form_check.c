/* form_check.c: judges a rods.out against its rods.in. */
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "forms.h"
#include "io.h"
#include "judge.h"

static const char* self = "gridprobe-manager";

static int check_usage(void) {
  fputs(
      "usage: gridprobe-manager check RODS_IN RODS_OUT [--full F] "
      "[--zero Z]\n",
      stderr);
  return 1;
}

static int parse_count(const char* text, int* value) {
  char* end;
  long v;
  errno = 0;
  v = strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < 0 || v > INT_MAX)
    return 0;
  *value = (int)v;
  return 1;
}

/* One decimal int of at most 32 bits after blanks; 1 on success. */
static int next_int(const char** p, int* value) {
  const char* q = *p;
  long long v = 0;
  int negative = 0, digits = 0;
  while (*q == ' ' || *q == '\t' || *q == '\n' || *q == '\r') ++q;
  if (*q == '-') {
    negative = 1;
    ++q;
  }
  while (*q >= '0' && *q <= '9') {
    v = v * 10 + (*q - '0');
    if (v > 2147483648LL) return 0;
    ++digits;
    ++q;
  }
  if (digits == 0) return 0;
  if (negative) v = -v;
  if (v > INT_MAX) return 0;
  *value = (int)v;
  *p = q;
  return 1;
}

int check_main(int argc, char** argv) {
  struct gp_case c;
  struct gp_judgement j;
  int full = -1, zero = -1, score_ok, i, index;
  FILE* in;
  char* out;
  size_t out_len;
  if (argc < 4) return check_usage();
  for (i = 4; i < argc; i += 2) {
    if (i + 1 >= argc) return check_usage();
    if (strcmp(argv[i], "--full") == 0) {
      if (!parse_count(argv[i + 1], &full)) return check_usage();
    } else if (strcmp(argv[i], "--zero") == 0) {
      if (!parse_count(argv[i + 1], &zero)) return check_usage();
    } else {
      return check_usage();
    }
  }
  in = fopen(argv[2], "r");
  if (in == NULL) {
    fprintf(stderr, "%s: cannot read %s: %s\n", self, argv[2], strerror(errno));
    return 1;
  }
  index = gp_case_load(in, &c, &score_ok);
  fclose(in);
  if (index >= 0) {
    fprintf(stderr, "%s: %s: %s\n", self, argv[2], gp_message(index));
    return 1;
  }
  if (!score_ok) {
    fprintf(stderr,
            "%s: %s: the score line is not \"score F Z\" with "
            "0 <= F <= Z\n",
            self, argv[2]);
    return 1;
  }
  if (full >= 0) c.full = full;
  if (zero >= 0) c.zero = zero;
  if (c.full > c.zero) {
    fprintf(stderr,
            "%s: the full-score count %d exceeds the zero-score "
            "count %d\n",
            self, c.full, c.zero);
    return 1;
  }
  out = gp_read_file(argv[3], (size_t)-1 - 1, &out_len, &(int){0});
  if (out == NULL) {
    fprintf(stderr, "%s: cannot read %s: %s\n", self, argv[3],
            strerror(errno != 0 ? errno : EIO));
    return 1;
  }
  {
    const char* p = out;
    int v[9], k, parsed = 1;
    j.verdict = GP_FAILED;
    j.score = 0.0;
    if (strlen(out) != out_len) parsed = 0; /* a NUL byte: not text */
    if (parsed && next_int(&p, &v[0]) && v[0] == 0 && *p == '\n') {
      /* An error: its message is the second line. */
      const char* msg = p + 1;
      size_t mlen = strcspn(msg, "\n");
      if (mlen == 0 || mlen >= sizeof j.message) {
        parsed = 0;
      } else {
        memcpy(j.message, msg, mlen);
        j.message[mlen] = '\0';
      }
    } else if (parsed) {
      p = out;
      for (k = 0; k < 9 && parsed; ++k) parsed = next_int(&p, &v[k]);
      while (parsed && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r'))
        ++p;
      if (parsed && (*p != '\0' || v[0] < 1 || v[0] > GP_MAX_RECT_CALLS))
        parsed = 0;
      if (parsed) gp_judge_answer(&c, v + 1, v[0], c.full, c.zero, &j);
    }
    if (!parsed) {
      j.verdict = GP_FAILED;
      j.score = 0.0;
      snprintf(j.message, sizeof j.message, "Malformed rods.out.");
    }
  }
  free(out);
  gp_print_score(stdout, j.score);
  fprintf(stderr, "%s\n", j.message);
  return 0;
}
