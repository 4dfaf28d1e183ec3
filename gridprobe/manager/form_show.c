/* form_show.c: gridprobe-manager show RODS_IN RODS_LOG [-o FILE]. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "forms.h"
#include "show.h"
#include "show_page.h"

static int show_usage(void) {
  fputs("usage: gridprobe-manager show RODS_IN RODS_LOG [-o FILE]\n", stderr);
  return 1;
}

/* Feeds the transcript line by line; a line longer than any the grader
   writes is passed cut, one byte over the limit, and refused as such. */
static int read_log(FILE* in, struct gp_show* s) {
  char line[GP_SHOW_LINE_MAX + 2];
  size_t len = 0;
  int ch;
  while ((ch = getc(in)) != EOF) {
    if (ch == '\n') {
      if (!gp_show_line(s, line, len, 1)) return 0;
      len = 0;
    } else if (len < sizeof line) {
      line[len++] = (char)ch;
    }
  }
  if (len > 0 && !gp_show_line(s, line, len, 0)) return 0;
  gp_show_finish(s);
  return 1;
}

int show_main(int argc, char** argv) {
  const char *rods_in = NULL, *rods_log = NULL, *out_path = NULL;
  struct gp_case c;
  struct gp_show* s;
  FILE *in, *out;
  char title[512];
  int i, index, score_ok, ok;
  for (i = 2; i < argc; ++i) {
    if (strcmp(argv[i], "-o") == 0 && i + 1 < argc && out_path == NULL)
      out_path = argv[++i];
    else if (argv[i][0] == '-' && argv[i][1] != '\0')
      return show_usage();
    else if (rods_in == NULL)
      rods_in = argv[i];
    else if (rods_log == NULL)
      rods_log = argv[i];
    else
      return show_usage();
  }
  if (rods_log == NULL) return show_usage();

  in = fopen(rods_in, "r");
  if (in == NULL) {
    fprintf(stderr, "gridprobe-manager: %s: %s\n", rods_in, strerror(errno));
    return 1;
  }
  index = gp_case_load(in, &c, &score_ok);
  fclose(in);
  if (index >= 0) {
    fprintf(stderr, "gridprobe-manager: %s: %s\n", rods_in, gp_message(index));
    return 1;
  }
  if (!score_ok)
    fprintf(stderr,
            "gridprobe-manager: %s: the score line is not \"score F Z\" with "
            "0 <= F <= Z; judged with F = Z = %d\n",
            rods_in, c.full);

  in = fopen(rods_log, "r");
  if (in == NULL) {
    fprintf(stderr, "gridprobe-manager: %s: %s\n", rods_log, strerror(errno));
    return 1;
  }
  s = malloc(sizeof *s);
  if (s == NULL) {
    fclose(in);
    fputs("gridprobe-manager: out of memory\n", stderr);
    return 1;
  }
  gp_show_begin(s, &c);
  ok = read_log(in, s);
  if (ferror(in)) {
    fprintf(stderr, "gridprobe-manager: %s: cannot be read\n", rods_log);
    ok = -1;
  }
  fclose(in);
  if (ok == 0)
    fprintf(stderr, "gridprobe-manager: %s does not belong to %s: %s\n",
            rods_log, rods_in, s->problem);
  if (ok != 1) {
    free(s);
    return 1;
  }

  out = out_path != NULL ? fopen(out_path, "w") : stdout;
  if (out == NULL) {
    fprintf(stderr, "gridprobe-manager: %s: %s\n", out_path, strerror(errno));
    free(s);
    return 1;
  }
  snprintf(title, sizeof title, "%s on %s", rods_log, rods_in);
  gp_show_page(out, s, title);
  free(s);
  ok = !ferror(out);
  if (out != stdout ? fclose(out) != 0 : fflush(out) != 0) ok = 0;
  if (!ok) {
    fprintf(stderr, "gridprobe-manager: %s: cannot be written\n",
            out_path != NULL ? out_path : "standard output");
    return 1;
  }
  return 0;
}
