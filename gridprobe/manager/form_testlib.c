/* form_testlib.c: the manager as an interactor and a checker of the testlib
   convention, which many judges share:

     interactor INPUT OUTPUT [ANSWER [RESULT [-appes]]]
     checker    INPUT OUTPUT ANSWER [RESULT [-appes]]

   The interactor has the program's stdout on its stdin and its stdout on the
   program's stdin; it writes the rods.out bytes to OUTPUT, which is what a
   checker later gets as the run's output. The verdict is the exit status:
   0 accepted, 1 wrong answer, 2 an OUTPUT that is no rods.out (checker
   only), 3 the judge's failure (a broken test, bad arguments, a file that
   cannot be read or written), 7 points. The comment goes to stderr as
   "ok ...", "wrong answer ...", "FAIL ...", "points P ...", or, with a
   RESULT file, into that file (an XML result element with -appes). */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "forms.h"
#include "judge.h"
#include "io.h"
#include "session.h"
#include "stream_wire.h"

enum tl_result {
  TL_OK = 0,
  TL_WA = 1,
  TL_PE = 2,
  TL_FAIL = 3,
  TL_POINTS = 7
};

/* Longest answer file or OUTPUT read; judges' files are far smaller. */
#define TL_FILE_MAX (1 << 20)

struct tl_args {
  const char* input;
  const char* output;
  const char* answer; /* NULL: none given */
  const char* result; /* NULL: the comment goes to stderr */
  int appes;          /* the result file in XML */
  int ejudge;         /* started by ejudge (EJUDGE in the environment) */
  unsigned long log_limit; /* --log-limit MIB: the transcript's bound */
};

/* A right answer's share of the points, as the exact fraction n / d. */
struct tl_share {
  long long n, d;
};

static const char* const tl_usage_interactor =
    "Program must be run with the following arguments: <input-file> "
    "<output-file> [<answer-file> [<report-file> [<-appes>]]]";
static const char* const tl_usage_checker =
    "Program must be run with the following arguments: <input-file> "
    "<output-file> <answer-file> [<report-file> [<-appes>]]";

/* ejudge passes extra arguments (a process id, an info file) where the
   convention has the result file, and sets EJUDGE for its helpers. */
static int tl_under_ejudge(void) {
  const char* e = getenv("EJUDGE");
  return e != NULL && *e != '\0';
}

/* Splits argv: "--testset X" and "--group Y" are skipped as testlib does,
   "--log-limit MIB" is taken; the rest are positional. min_files: 2
   (interactor) or 3 (checker). */
static int tl_parse_args(int argc, char** argv, int min_files,
                         struct tl_args* a) {
  const char* pos[8];
  int n = 0, i;
  memset(a, 0, sizeof *a);
  a->ejudge = tl_under_ejudge();
  a->log_limit = GP_DEFAULT_LOG_LIMIT_MIB;
  for (i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--log-limit") == 0) {
      if (i + 1 >= argc || !gp_parse_log_limit(argv[i + 1], &a->log_limit))
        return 0;
      ++i;
      continue;
    }
    if (strcmp(argv[i], "--testset") == 0 || strcmp(argv[i], "--group") == 0) {
      if (i + 1 >= argc) return 0;
      ++i;
      continue;
    }
    if (n == 8) return 0;
    pos[n++] = argv[i];
  }
  if (n < min_files || n > 5) return 0;
  a->input = pos[0];
  a->output = pos[1];
  if (n >= 3) a->answer = pos[2];
  if (a->ejudge) return 1; /* whatever follows is not a result file */
  if (n >= 4) a->result = pos[3];
  if (n == 5) {
    if (strcmp(pos[4], "-appes") != 0 && strcmp(pos[4], "-APPES") != 0)
      return 0;
    a->appes = 1;
  }
  return 1;
}

static long long tl_gcd(long long a, long long b) {
  while (b != 0) {
    long long t = a % b;
    a = b;
    b = t;
  }
  return a;
}

/* The share of a right answer after count calls, full..zero as gp_score. */
static struct tl_share tl_share_of(int count, int full, int zero) {
  struct tl_share s;
  long long g;
  if (count <= full) {
    s.n = s.d = 1;
    return s;
  }
  if (count >= zero) {
    s.n = 0;
    s.d = 1;
    return s;
  }
  s.n = (long long)zero - count;
  s.d = (long long)zero - full;
  g = tl_gcd(s.n, s.d);
  s.n /= g;
  s.d /= g;
  return s;
}

/* The points as testlib prints a double ("%.10f", trailing zeros cut to one
   decimal); under ejudge, whole points of EJUDGE_MAX_SCORE, as its
   testlib mode reads them. */
static void tl_points_text(const struct tl_args* a, struct tl_share s,
                           char* buf, size_t size) {
  const char* max = a->ejudge ? getenv("EJUDGE_MAX_SCORE") : NULL;
  size_t n;
  if (max != NULL && *max != '\0') {
    char* end;
    long k;
    errno = 0;
    k = strtol(max, &end, 10);
    if (errno == 0 && *end == '\0' && k >= 0 && k <= INT_MAX) {
      snprintf(buf, size, "%lld", (long long)k * s.n / s.d);
      return;
    }
  }
  snprintf(buf, size, "%.10f", (double)s.n / (double)s.d);
  n = strlen(buf);
  while (n > 0 && buf[n - 1] == '0' && strchr(buf, '.') != NULL)
    buf[--n] = '\0';
  if (n > 0 && buf[n - 1] == '.') {
    buf[n++] = '0';
    buf[n] = '\0';
  }
}

static void tl_xml_text(FILE* f, const char* text) {
  for (; *text != '\0'; ++text) {
    unsigned char ch = (unsigned char)*text;
    if (ch == '&')
      fputs("&amp;", f);
    else if (ch == '<')
      fputs("&lt;", f);
    else if (ch == '>')
      fputs("&gt;", f);
    else if (ch == '"')
      fputs("&quot;", f);
    else if (ch <= 31)
      fputc('.', f);
    else
      fputc(ch, f);
  }
}

/* Writes the result file; 0 when it cannot be written. */
static int tl_write_result(const struct tl_args* a, enum tl_result r,
                           const char* points, const char* message) {
  FILE* f = fopen(a->result, "w");
  int ok;
  if (f == NULL) return 0;
  if (a->appes) {
    const char* outcome = r == TL_OK       ? "accepted"
                          : r == TL_WA     ? "wrong-answer"
                          : r == TL_PE     ? "presentation-error"
                          : r == TL_POINTS ? "points"
                                           : "fail";
    fputs("<?xml version=\"1.0\" encoding=\"windows-1251\"?>", f);
    if (r == TL_POINTS)
      fprintf(f, "<result outcome = \"%s\" points = \"%s\">", outcome, points);
    else
      fprintf(f, "<result outcome = \"%s\">", outcome);
    tl_xml_text(f, message);
    fputs("</result>\n", f);
  } else {
    fputs(message, f);
  }
  ok = !ferror(f);
  if (fclose(f) != 0) ok = 0;
  return ok;
}

/* Reports the verdict and returns its exit status. share: with TL_POINTS. */
static int tl_quit(const struct tl_args* a, enum tl_result r, const char* text,
                   struct tl_share share) {
  char points[48] = "";
  char message[512];
  const char* name = r == TL_OK       ? "ok "
                     : r == TL_WA     ? "wrong answer "
                     : r == TL_PE     ? "wrong output format "
                     : r == TL_POINTS ? "points "
                                      : "FAIL ";
  if (r == TL_POINTS) {
    tl_points_text(a, share, points, sizeof points);
    snprintf(message, sizeof message, "%s %s", points, text);
  } else {
    snprintf(message, sizeof message, "%s", text);
  }
  if (a->result != NULL) {
    if (!tl_write_result(a, r, points, message)) {
      fprintf(stderr, "FAIL Can not write to the result file\n");
      return TL_FAIL;
    }
    fprintf(stderr, "\nSee file to check exit message\n");
  } else {
    fprintf(stderr, "%s%s\n", name, message);
  }
  /* The same share as a fraction, for judges that read points that way. */
  if (r == TL_POINTS)
    fprintf(stderr, "partial %lld/%lld\n", share.n, share.d);
  return r;
}

static int tl_fail(const struct tl_args* a, const char* text) {
  struct tl_share none = {0, 1};
  return tl_quit(a, TL_FAIL, text, none);
}

/* The whole of a small file, NUL-terminated; NULL when it cannot be read
   or is longer than TL_FILE_MAX. */
static char* tl_slurp(const char* path, size_t* len) {
  int out_of_memory;
  char* bytes = gp_read_file(path, TL_FILE_MAX + 1, len, &out_of_memory);
  if (bytes != NULL && *len > TL_FILE_MAX) {
    free(bytes);
    *len = 0;
    return NULL;
  }
  return bytes;
}

/* The score counts: the answer file's score line if it has one, else the
   input's. 0 (the failure reported) when the answer file is unreadable or
   its score line malformed. */
static int tl_answer_score(const struct tl_args* a, struct gp_case* c,
                           int* status) {
  char* bytes;
  size_t len;
  int found, full, zero;
  char text[600];
  if (a->answer == NULL) return 1;
  bytes = tl_slurp(a->answer, &len);
  if (bytes == NULL) {
    snprintf(text, sizeof text, "Can not open the answer file '%s'",
             a->answer);
    *status = tl_fail(a, text);
    return 0;
  }
  found = gp_find_score(bytes, len, &full, &zero);
  free(bytes);
  if (found < 0) {
    snprintf(text, sizeof text,
             "The score line of the answer file '%s' is malformed "
             "(expected \"score F Z\", 0 <= F <= Z)",
             a->answer);
    *status = tl_fail(a, text);
    return 0;
  }
  if (found > 0) {
    c->full = full;
    c->zero = zero;
  }
  return 1;
}

/* The failure for a test case that does not load; 0 when it loaded. */
static int tl_case_failure(const struct tl_args* a, int index, int score_ok,
                           int* status) {
  char text[600];
  if (index == 0) {
    snprintf(text, sizeof text, "Can not open the input file '%s'", a->input);
  } else if (index > 0) {
    snprintf(text, sizeof text, "The test case is invalid: %s",
             gp_message(index));
  } else if (!score_ok) {
    snprintf(text, sizeof text,
             "The score line of the input file '%s' is malformed "
             "(expected \"score F Z\", 0 <= F <= Z)",
             a->input);
  } else {
    return 0;
  }
  *status = tl_fail(a, text);
  return 1;
}

/* The verdict on a judged answer or run: accepted, points or wrong. */
static int tl_verdict(const struct tl_args* a, const struct gp_judgement* j,
                      int count, const struct gp_case* c) {
  struct tl_share share = tl_share_of(count, c->full, c->zero);
  switch (j->verdict) {
    case GP_RIGHT:
      return tl_quit(a, TL_OK, j->message, share);
    case GP_PARTIAL:
      return tl_quit(a, TL_POINTS, j->message, share);
    case GP_LATE:
    case GP_WRONG:
    case GP_FAILED:
      break;
  }
  return tl_quit(a, TL_WA, j->message, share);
}

/* ---- the interactor ---- */

/* Reads until the program closes its end; what it still sends is moot. */
static void tl_drain(void) {
  char buf[4096];
  while (gp_read(0, buf, sizeof buf) > 0) {
  }
}

int testlib_interactor_main(int argc, char** argv) {
  struct tl_args a;
  struct gp_session s;
  struct gp_judgement j;
  FILE* input;
  FILE* output;
  char out[GP_OUT_MAX];
  size_t out_len;
  int status = TL_FAIL, accepted, ok;

  if (!tl_parse_args(argc, argv, 2, &a)) {
    memset(&a, 0, sizeof a);
    return tl_fail(&a, tl_usage_interactor);
  }
  signal(SIGPIPE, SIG_IGN);
  input = fopen(a.input, "rb");
  gp_session_load(&s, input, 1);
  gp_session_set_log_limit(&s, a.log_limit);
  if (input != NULL) fclose(input);
  if (tl_case_failure(&a, s.load_error, s.score_ok, &status) ||
      !tl_answer_score(&a, &s.c, &status)) {
    gp_session_free(&s);
    return status;
  }
  output = fopen(a.output, "wb");
  if (output == NULL) {
    char text[600];
    snprintf(text, sizeof text, "Can not write to the test-output-file '%s'",
             a.output);
    gp_session_free(&s);
    return tl_fail(&a, text);
  }

  gp_serve_stream(&s, 0, 1);
  if (s.log_over) {
    /* A flood of calls: no verdict on the program, and OUTPUT left empty. */
    char text[200];
    fclose(output);
    snprintf(text, sizeof text,
             "No verdict: the transcript passed the log limit (--log-limit "
             "%lu MiB)",
             a.log_limit);
    gp_session_free(&s);
    return tl_fail(&a, text);
  }
  gp_judge_session(&s, s.c.full, s.c.zero, &j);
  accepted = j.verdict == GP_RIGHT || j.verdict == GP_PARTIAL;

  /* OUTPUT first: whatever follows, a checker finds the run's rods.out. */
  out_len = gp_session_out(&s, out);
  ok = fwrite(out, 1, out_len, output) == out_len;
  if (fclose(output) != 0) ok = 0;
  if (!ok) {
    char text[600];
    snprintf(text, sizeof text, "Can not write to the test-output-file '%s'",
             a.output);
    gp_session_free(&s);
    return tl_fail(&a, text);
  }
  if (accepted) {
    /* Only an accepted run gets the final reply, and the verdict waits until
       the program has let go: a crash in its exit code stays a crash. A
       rejected one ends at once, so a wrong answer stays wrong. */
    gp_write_all(1, GP_REPLY_END, sizeof GP_REPLY_END - 1);
    close(1);
    tl_drain();
    if (a.ejudge) {
      /* ejudge takes no points from an interactor and reads them from the
         start of the log its checker shares: say nothing; the checker
         judges OUTPUT alike and gives the points. */
      gp_session_free(&s);
      return TL_OK;
    }
  }
  status = tl_verdict(&a, &j, s.count, &s.c);
  gp_session_free(&s);
  return status;
}

/* ---- the checker ---- */

int testlib_checker_main(int argc, char** argv) {
  struct tl_args a;
  struct gp_case c;
  struct gp_judgement j;
  FILE* input;
  char* out;
  size_t out_len;
  int index, score_ok = 1, status = TL_FAIL, count = 0;

  if (!tl_parse_args(argc, argv, 3, &a)) {
    memset(&a, 0, sizeof a);
    return tl_fail(&a, tl_usage_checker);
  }
  input = fopen(a.input, "rb");
  if (input == NULL) {
    index = 0;
  } else {
    index = gp_case_load(input, &c, &score_ok);
    fclose(input);
  }
  if (tl_case_failure(&a, index, score_ok, &status) ||
      !tl_answer_score(&a, &c, &status))
    return status;
  out = tl_slurp(a.output, &out_len);
  if (out == NULL) {
    char text[600];
    snprintf(text, sizeof text, "Can not open the output file '%s'", a.output);
    return tl_fail(&a, text);
  }
  if (out_len == 0) {
    /* The interactor writes nothing when the program never reported. */
    struct tl_share none = {0, 1};
    free(out);
    return tl_quit(&a, TL_WA, "The program ended without calling report.",
                   none);
  }
  if (!gp_judge_out(&c, out, out_len, &j)) {
    struct tl_share none = {0, 1};
    free(out);
    return tl_quit(&a, TL_PE, j.message, none);
  }
  if (j.verdict != GP_FAILED) {
    const char* p = out;
    count = (int)strtol(p, NULL, 10);
  }
  free(out);
  return tl_verdict(&a, &j, count, &c);
}

#ifdef GRIDPROBE_TESTLIB_MAIN
/* The one-file source: a single form, whatever the judge names the
   program. */
int main(int argc, char** argv) { return GRIDPROBE_TESTLIB_MAIN(argc, argv); }
#endif
