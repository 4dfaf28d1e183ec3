/* form_kattis.c: the manager as a DOMjudge/Kattis interactive validator.
   Started as "manager INPUT ANSWER FEEDBACK_DIR [args]" with the program's
   stdout on our stdin and our stdout on the program's stdin. Exit 42 says
   accepted, 43 wrong; anything else is a judge error. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "forms.h"
#include "io.h"
#include "judge.h"
#include "session.h"

#define EXIT_ACCEPTED 42
#define EXIT_WRONG 43
#define EXIT_JUDGE_ERROR 1

/* Longest answer file read for its score line. */
#define ANSWER_MAX (1 << 20)

/* How the wire ended. */
enum wire_end { WIRE_VERDICT, WIRE_CLOSED };

/* Answers requests until the session ends (its final reply NOT sent) or the
   program closes the wire. */
static enum wire_end serve(struct gp_session* s) {
  struct gp_line pending = {{0}, 0};
  char buf[4096], replies[4096];
  for (;;) {
    ssize_t n = gp_read(0, buf, sizeof buf);
    size_t used = 0;
    if (n <= 0) {
      gp_session_wire_closed(s, &pending);
      return WIRE_CLOSED;
    }
    while (used < (size_t)n) {
      size_t len = 0;
      enum gp_step step;
      used += gp_session_feed(s, &pending, buf + used, (size_t)n - used,
                              replies, sizeof replies, &len, &step);
      /* A program that is gone lets its requests decide. */
      gp_write_all(1, replies, len);
      if (step == GP_END) return WIRE_VERDICT;
    }
  }
}

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

int kattis_main(int argc, char** argv) {
  struct gp_session s;
  struct gp_judgement j;
  FILE* input;
  int full = GP_DEFAULT_SCORE_LIMIT, zero = GP_DEFAULT_SCORE_LIMIT;
  int scored;
  char dir[4096];
  char text[400];
  char out[GP_OUT_MAX];
  size_t out_len;
  enum wire_end end;
  int right, ok = 1;

  if (argc < 4 || strlen(argv[3]) >= sizeof dir) return EXIT_JUDGE_ERROR;
  signal(SIGPIPE, SIG_IGN);
  strcpy(dir, argv[3]);
  trim_dir(dir);

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
  if (input != NULL) fclose(input);

  end = serve(&s);
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
