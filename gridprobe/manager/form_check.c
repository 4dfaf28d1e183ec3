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

/* What was wrong, then the usage line; exit status 1. */
static int check_usage(const char* what, const char* arg) {
  if (what != NULL)
    fprintf(stderr, "%s check: %s%s%s\n", self, what, arg ? ": " : "",
            arg ? arg : "");
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
  int full = -1, zero = -1, score_ok, i, index, files = 0, only_files = 0;
  const char* file[2] = {NULL, NULL};
  FILE* in;
  char* out;
  size_t out_len;
  /* Options before, between or after the two files. */
  for (i = 2; i < argc; ++i) {
    const char* a = argv[i];
    int* target;
    if (strcmp(a, "--") == 0 && !only_files) {
      only_files = 1; /* what follows is a file, whatever its name */
      continue;
    }
    if (only_files)
      target = NULL;
    else if (strcmp(a, "--full") == 0)
      target = &full;
    else if (strcmp(a, "--zero") == 0)
      target = &zero;
    else
      target = NULL;
    if (target != NULL) {
      if (i + 1 >= argc) return check_usage("a count of calls must follow", a);
      if (!parse_count(argv[++i], target))
        return check_usage("not a count of calls", argv[i]);
    } else if (!only_files && a[0] == '-' && a[1] != '\0') {
      return check_usage("unknown option", a);
    } else if (files < 2) {
      file[files++] = a;
    } else {
      return check_usage("one file too many", a);
    }
  }
  if (files < 2) return check_usage("RODS_IN and RODS_OUT are needed", NULL);
  in = fopen(file[0], "r");
  if (in == NULL) {
    fprintf(stderr, "%s: cannot read %s: %s\n", self, file[0], strerror(errno));
    return 1;
  }
  index = gp_case_load(in, &c, &score_ok);
  fclose(in);
  if (index >= 0) {
    fprintf(stderr, "%s: %s: %s\n", self, file[0], gp_message(index));
    return 1;
  }
  if (!score_ok) {
    fprintf(stderr,
            "%s: %s: the score line is not \"score F Z\" with "
            "0 <= F <= Z\n",
            self, file[0]);
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
  out = gp_read_file(file[1], (size_t)-1 - 1, &out_len, &(int){0});
  if (out == NULL && errno == ENOENT) {
    /* No rods.out is what a run without report leaves: score 0, no verdict. */
    gp_print_score(stdout, 0.0);
    fprintf(stderr, "%s\n", gp_no_verdict_text());
    return 0;
  }
  if (out == NULL) {
    fprintf(stderr, "%s: cannot read %s: %s\n", self, file[1],
            strerror(errno != 0 ? errno : EIO));
    return 1;
  }
  gp_judge_out(&c, out, out_len, &j);
  free(out);
  gp_print_score(stdout, j.score);
  fprintf(stderr, "%s\n", j.message);
  return 0;
}
