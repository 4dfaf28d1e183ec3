/* form_check.c: judges a rods.out against its rods.in. */
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "diagnose.h"
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
  errno = 0;
  out = gp_read_file(argv[3], (size_t)-1 - 1, &out_len, &(int){0});
  if (out == NULL && errno == ENOENT) {
    /* No rods.out is what a run without report leaves: score 0, no verdict. */
    gp_print_score(stdout, 0.0);
    fprintf(stderr, "%s\n", gp_no_verdict_text());
    return 0;
  }
  if (out == NULL) {
    fprintf(stderr, "%s: cannot read %s: %s\n", self, argv[3],
            strerror(errno != 0 ? errno : EIO));
    return 1;
  }
  gp_judge_out(&c, out, out_len, &j);
  free(out);
  gp_print_score(stdout, j.score);
  fprintf(stderr, "%s\n", j.message);
  return 0;
}
