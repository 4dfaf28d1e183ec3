/* form_kattis.c: the manager as a DOMjudge/Kattis interactive validator.
   Started as "manager INPUT ANSWER FEEDBACK_DIR [args]" with the program's
   stdout on our stdin and our stdout on the program's stdin. Exit 42 says
   accepted, 43 wrong; anything else is a judge error. */
#define _GNU_SOURCE
#include <ctype.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "diagnose.h"
#include "forms.h"
#include "io.h"
#include "judge.h"
#include "session.h"
#include "stream_wire.h"

#define EXIT_ACCEPTED 42
#define EXIT_WRONG 43
#define EXIT_JUDGE_ERROR 1

/* Longest answer file read for its score line. */
#define ANSWER_MAX (1 << 20)

/* Reads until the program closes the wire; what it still sends is moot. */
static void drain(void) {
  char buf[4096];
  while (gp_read(0, buf, sizeof buf) > 0) {
  }
}

/* Writes one feedback file whole; 0 on failure. */
static int put_file(const char* dir, const char* name, const char* bytes,
                    size_t len) {
  char path[4096];
  FILE* f;
  int ok;
  if (snprintf(path, sizeof path, "%s/%s", dir, name) >= (int)sizeof path)
    return 0;
  f = fopen(path, "w");
  if (f == NULL) return 0;
  ok = fwrite(bytes, 1, len, f) == len;
  if (fclose(f) != 0) ok = 0;
  return ok;
}

static int put_line(const char* dir, const char* name, const char* line) {
  char text[512];
  int k = snprintf(text, sizeof text, "%s\n", line);
  if (k < 0) return 0;
  if ((size_t)k >= sizeof text) k = (int)sizeof text - 1;
  return put_file(dir, name, text, (size_t)k);
}

/* Reads the answer file for its optional score line: 1 found, 0 none,
   -1 malformed or unreadable. */
static int answer_score(const char* path, int* full, int* zero) {
  size_t len;
  char* bytes = gp_read_file(path, ANSWER_MAX, &len, &(int){0});
  int found;
  if (bytes == NULL) return -1;
  found = gp_find_score(bytes, len, full, zero);
  free(bytes);
  return found;
}

/* The feedback directory without trailing slashes ("/" stays "/"). */
static void trim_dir(char* dir) {
  size_t n = strlen(dir);
  while (n > 1 && dir[n - 1] == '/') dir[--n] = '\0';
}

/* The judges' message: the verdict and, for a wrong answer, both readings. */
static void judge_text(const struct gp_session* s, const struct gp_judgement* j,
                       char* buf, size_t size) {
  const int* k = s->c.coord;
  if (j->verdict == GP_WRONG)
    snprintf(buf, size,
             "%s Reported %d %d %d %d %d %d %d %d after %d calls; the rods "
             "are %d %d %d %d %d %d %d %d.",
             j->message, s->answer[0], s->answer[1], s->answer[2], s->answer[3],
             s->answer[4], s->answer[5], s->answer[6], s->answer[7], s->count,
             k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7]);
  else if (s->outcome == GP_ERROR && s->error <= 5)
    snprintf(buf, size, "The test case is invalid: %s", j->message);
  else
    snprintf(buf, size, "%s", j->message);
}

/* Broken test data is the judges' fault: a judge error with the reason for
   them, nothing for the team, and the program never served. */
static int case_error(const char* dir, const char* input, const char* why) {
  char text[700];
  size_t n = strlen(why);
  snprintf(text, sizeof text, "%s%s", why,
           n > 0 && why[n - 1] == '.' ? "" : ".");
  fprintf(stderr, "gridprobe-manager: %s: %s\n", input, text);
  text[0] = (char)toupper((unsigned char)text[0]);
  put_line(dir, "judgeerror.txt", text);
  put_line(dir, "judgemessage.txt", text);
  return EXIT_JUDGE_ERROR;
}

int kattis_main(int argc, char** argv) {
  struct gp_session s;
  struct gp_judgement j;
  FILE* input;
  int full = GP_DEFAULT_SCORE_LIMIT, zero = GP_DEFAULT_SCORE_LIMIT;
  int scored;
  char dir[4096];
  char text[640];
  char out[GP_OUT_MAX];
  size_t out_len;
  enum wire_end end;
  int right, ok = 1, i;
  unsigned long log_limit = GP_DEFAULT_LOG_LIMIT_MIB;

  if (argc < 4 || strlen(argv[3]) >= sizeof dir) return EXIT_JUDGE_ERROR;
  signal(SIGPIPE, SIG_IGN);
  strcpy(dir, argv[3]);
  trim_dir(dir);
  /* The problem's validator flags: "--log-limit MIB"; others are not ours. */
  for (i = 4; i < argc; ++i) {
    if (strcmp(argv[i], "--log-limit") != 0) continue;
    if (i + 1 >= argc || !gp_parse_log_limit(argv[i + 1], &log_limit)) {
      snprintf(text, sizeof text,
               "--log-limit needs a whole number of MiB (1 to %d): %s",
               GP_MAX_LOG_LIMIT_MIB, i + 1 < argc ? argv[i + 1] : "none");
      fprintf(stderr, "gridprobe-manager: %s\n", text);
      put_line(dir, "judgeerror.txt", text);
      return EXIT_JUDGE_ERROR;
    }
    ++i;
  }

  scored = answer_score(argv[2], &full, &zero);
  if (scored < 0) {
    fprintf(stderr,
            "gridprobe-manager: the answer file %s is unreadable or its "
            "score line is malformed (expected \"score F Z\", 0 <= F <= Z)\n",
            argv[2]);
    put_line(dir, "judgeerror.txt",
             "The answer file is unreadable or its score line is malformed.");
    return EXIT_JUDGE_ERROR;
  }
  input = fopen(argv[1], "rb");
  gp_session_load(&s, input, 1);
  gp_session_set_log_limit(&s, log_limit);
  if (input != NULL) fclose(input);
  if (gp_case_fault(&s, text, sizeof text) != NULL) {
    int code = case_error(dir, argv[1], text);
    gp_session_free(&s);
    return code;
  }

  end = gp_serve_stream(&s, 0, 1);
  if (s.log_over) {
    /* A flood of calls: no verdict, the judges told why, the team nothing.
       The transcript kept is bounded. */
    size_t log_len;
    const char* log = gp_session_log(&s, &log_len);
    put_file(dir, "rods.log", log, log_len);
    snprintf(text, sizeof text,
             "No verdict: the transcript passed the log limit (--log-limit "
             "%lu MiB).",
             log_limit);
    fprintf(stderr, "gridprobe-manager: %s\n", text);
    put_line(dir, "judgeerror.txt", text);
    put_line(dir, "judgemessage.txt", text);
    gp_session_free(&s);
    return EXIT_JUDGE_ERROR;
  }
  gp_judge_session(&s, full, zero, &j);
  right = s.outcome == GP_REPORTED && j.verdict != GP_WRONG;

  /* The feedback first: a wrong verdict must leave before the program can
     do anything more, and the files are small. */
  {
    size_t log_len;
    const char* log = gp_session_log(&s, &log_len);
    if (gp_session_log_touched(&s) && !s.log_failed)
      ok &= put_file(dir, "rods.log", log, log_len);
  }
  out_len = gp_session_out(&s, out);
  if (out_len > 0) ok &= put_file(dir, "rods.out", out, out_len);
  judge_text(&s, &j, text, sizeof text);
  if (s.linked_output) {
    size_t used = strlen(text);
    snprintf(text + used, sizeof text - used, " Note: %s.",
             gp_linked_build_hint());
  }
  ok &= put_line(dir, "judgemessage.txt", text);
  ok &= put_line(dir, "teammessage.txt", j.message);
  if (!ok) {
    fprintf(stderr, "gridprobe-manager: cannot write into %s\n", dir);
    gp_session_free(&s);
    return EXIT_JUDGE_ERROR;
  }

  if (!right) {
    /* The program ended first: let the judge see its exit before ours, so
       that a crash stays a crash. */
    if (end == WIRE_CLOSED) gp_sleep_ms(100);
    gp_session_free(&s);
    return EXIT_WRONG;
  }
  /* Right: only now the final reply; accept once the program has let go. */
  gp_write_all(1, GP_REPLY_END, 2);
  close(1);
  drain();
  if (scored == 1) {
    char score[32];
    int k = snprintf(score, sizeof score, "%.6f\n", j.score);
    if (!put_file(dir, "score.txt", score, (size_t)k)) {
      fprintf(stderr, "gridprobe-manager: cannot write %s/score.txt\n", dir);
      gp_session_free(&s);
      return EXIT_JUDGE_ERROR;
    }
  }
  gp_session_free(&s);
  return EXIT_ACCEPTED;
}
