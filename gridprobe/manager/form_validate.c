/* form_validate.c: checks a test case as an input validator does.
   "gridprobe-manager validate [FILE]": the case from FILE, or from stdin
   when none is named; exit 42 valid, 43 invalid with the reason on stderr,
   1 when the case cannot be read at all.

   Valid means what the linked form accepts (the nine integers, their ranges
   and the rods' shapes) written in one plain layout: decimal integers
   without leading zeros or '+', single blanks or line feeds between them,
   a line feed at the end, then optionally one line "score F Z". Judges'
   tools try blanks, zeros and junk on each case and expect a validator to
   refuse them. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "forms.h"
#include "session.h"

#define EXIT_VALID 42
#define EXIT_INVALID 43
/* No case is near this long; a longer input is refused unread. */
#define CASE_MAX 4096

static const char* self = "gridprobe-manager validate";

/* Where the layout check stopped, for the reason line. */
struct cursor {
  const char* p;
  const char* end;
  int line;
};

static int invalid(const struct cursor* c, const char* why) {
  fprintf(stderr, "%s: line %d: %s\n", self, c->line, why);
  return EXIT_INVALID;
}

/* One plain decimal integer: '-' only before a non-zero digit, no leading
   zeros. 1 when one is there. */
static int plain_integer(struct cursor* c) {
  const char* q = c->p;
  if (q < c->end && *q == '-') ++q;
  if (q >= c->end || *q < '0' || *q > '9') return 0;
  if (*q == '0' && (q + 1 < c->end && q[1] >= '0' && q[1] <= '9')) return 0;
  if (*q == '0' && q > c->p) return 0; /* "-0" */
  while (q < c->end && *q >= '0' && *q <= '9') ++q;
  c->p = q;
  return 1;
}

/* What follows a token: 1 for one blank, 2 for a line feed, 0 otherwise. */
static int separator(struct cursor* c) {
  if (c->p < c->end && *c->p == ' ') {
    ++c->p;
    return 1;
  }
  if (c->p < c->end && *c->p == '\n') {
    ++c->p;
    ++c->line;
    return 2;
  }
  return 0;
}

static const char* layout_fault(const struct cursor* c) {
  if (c->p >= c->end) return "the file ends early (no line feed at its end?)";
  if (*c->p == '\r') return "a carriage return: lines must end with a line feed only";
  if (*c->p == ' ' || *c->p == '\t') return "extra blanks: one blank between numbers, none at a line's end";
  if (*c->p == '\n') return "an empty line";
  if (*c->p == '0' || *c->p == '+' || *c->p == '-') return "a number with a sign or leading zeros that plain decimal does not have";
  return "something other than a number";
}

/* The layout: nine integers, then an optional score line, nothing else. */
static int check_layout(struct cursor* c) {
  int k, sep;
  for (k = 0; k < 9; ++k) {
    if (!plain_integer(c))
      return invalid(c, c->p >= c->end ? "fewer than nine integers"
                                       : layout_fault(c));
    sep = separator(c);
    if (sep == 0) return invalid(c, layout_fault(c));
    if (k == 8 && sep != 2)
      return invalid(c, "the ninth integer must end its line");
    if (sep == 2 && c->p < c->end && *c->p == '\n')
      return invalid(c, "an empty line");
  }
  if (c->p == c->end) return 0;
  if ((size_t)(c->end - c->p) < 6 || memcmp(c->p, "score ", 6) != 0)
    return invalid(c, "after the nine integers only a line \"score F Z\" may follow");
  c->p += 6;
  if (!plain_integer(c) || separator(c) != 1 || !plain_integer(c) ||
      separator(c) != 2 || c->p != c->end)
    return invalid(c, "the score line must be \"score F Z\" and the last line");
  return 0;
}

int validate_main(int argc, char** argv) {
  static char bytes[CASE_MAX + 1];
  struct cursor c;
  struct gp_case kase;
  FILE* in;
  FILE* mem;
  size_t len;
  int index, score_ok, code;
  if (argc > 3) {
    fputs("usage: gridprobe-manager validate [FILE]\n", stderr);
    return 1;
  }
  in = argc == 3 ? fopen(argv[2], "rb") : stdin;
  if (in == NULL) {
    fprintf(stderr, "%s: cannot read %s\n", self, argv[2]);
    return 1;
  }
  len = fread(bytes, 1, sizeof bytes, in);
  if (ferror(in)) {
    fprintf(stderr, "%s: cannot read %s\n", self,
            argc == 3 ? argv[2] : "the standard input");
    if (in != stdin) fclose(in);
    return 1;
  }
  if (in != stdin) fclose(in);
  c.p = bytes;
  c.end = bytes + len;
  c.line = 1;
  if (len > CASE_MAX) return invalid(&c, "far longer than any test case");
  if (memchr(bytes, '\0', len) != NULL)
    return invalid(&c, "a NUL byte: not a text file");
  code = check_layout(&c);
  if (code != 0) return code;
  /* The layout is plain: now the same reading as the manager's. */
  mem = fmemopen(bytes, len, "r");
  if (mem == NULL) {
    fprintf(stderr, "%s: out of memory\n", self);
    return 1;
  }
  index = gp_case_load(mem, &kase, &score_ok);
  fclose(mem);
  if (index >= 0) {
    fprintf(stderr, "%s: %s\n", self, gp_message(index));
    return EXIT_INVALID;
  }
  if (!score_ok) {
    fprintf(stderr, "%s: the score line needs 0 <= F <= Z (32-bit)\n", self);
    return EXIT_INVALID;
  }
  return EXIT_VALID;
}
