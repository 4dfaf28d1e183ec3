/* judge.c: a right answer covers the true rods' cells; the score rule. */
#include "judge.h"

#include <stdlib.h>
#include <string.h>

/* A cell packed as row * 16384 + column; N <= 10000 keeps it in an int. */
static int cell(int r, int c) { return r * 16384 + c; }

static int by_value(const void* a, const void* b) {
  int x = *(const int*)a, y = *(const int*)b;
  return (x > y) - (x < y);
}

/* The sorted distinct cells of rod 1 (row) and rod 2 (column) into out. */
static size_t cells_of(const int k[8], int* out) {
  size_t n = 0, i, kept;
  int c, r;
  for (c = k[1]; c <= k[3]; ++c) out[n++] = cell(k[0], c);
  for (r = k[4]; r <= k[6]; ++r) out[n++] = cell(r, k[5]);
  qsort(out, n, sizeof *out, by_value);
  kept = 0;
  for (i = 0; i < n; ++i)
    if (kept == 0 || out[kept - 1] != out[i]) out[kept++] = out[i];
  return kept;
}

int gp_answer_right(const struct gp_case* c, const int a[8]) {
  int i, right;
  size_t na, nt;
  int* mine;
  int* truth;
  for (i = 0; i < 8; ++i)
    if (a[i] < 1 || a[i] > c->n) return 0;
  if (a[0] != a[2] || a[1] >= a[3]) return 0;
  if (a[5] != a[7] || a[4] >= a[6]) return 0;
  if (memcmp(a, c->coord, sizeof c->coord) == 0) return 1;
  mine = (int*)malloc(sizeof(int) * 2 * (size_t)c->n);
  truth = (int*)malloc(sizeof(int) * 2 * (size_t)c->n);
  if (mine == NULL || truth == NULL) {
    free(mine);
    free(truth);
    return 0;
  }
  na = cells_of(a, mine);
  nt = cells_of(c->coord, truth);
  right = na == nt && memcmp(mine, truth, na * sizeof *mine) == 0;
  free(mine);
  free(truth);
  return right;
}

double gp_score(int count, int full, int zero) {
  if (count <= full) return 1.0;
  if (count >= zero) return 0.0;
  return (double)(zero - count) / (double)(zero - full);
}

void gp_judge_answer(const struct gp_case* c, const int answer[8], int count,
                     int full, int zero, struct gp_judgement* j) {
  if (!gp_answer_right(c, answer)) {
    j->verdict = GP_WRONG;
    j->score = 0.0;
    snprintf(j->message, sizeof j->message, "Wrong answer.");
    return;
  }
  j->score = gp_score(count, full, zero);
  if (j->score >= 1.0) {
    j->verdict = GP_RIGHT;
    snprintf(j->message, sizeof j->message, "Right answer with %d calls.",
             count);
  } else if (j->score > 0.0) {
    j->verdict = GP_PARTIAL;
    snprintf(j->message, sizeof j->message,
             "Right answer with %d calls: partial score.", count);
  } else {
    j->verdict = GP_LATE;
    snprintf(j->message, sizeof j->message,
             "Right answer with %d calls: too many for any score.", count);
  }
}

void gp_judge_session(const struct gp_session* s, int full, int zero,
                      struct gp_judgement* j) {
  if (s->outcome == GP_REPORTED) {
    gp_judge_answer(&s->c, s->answer, s->count, full, zero, j);
    return;
  }
  j->verdict = GP_FAILED;
  j->score = 0.0;
  if (s->outcome == GP_ERROR)
    snprintf(j->message, sizeof j->message, "%s", gp_message(s->error));
  else
    snprintf(j->message, sizeof j->message,
             "The program ended without calling report.");
}

void gp_print_score(FILE* out, double score) {
  char buf[32];
  size_t n;
  snprintf(buf, sizeof buf, "%.6f", score);
  n = strlen(buf);
  while (n > 1 && buf[n - 1] == '0') buf[--n] = '\0';
  if (n > 0 && buf[n - 1] == '.') buf[--n] = '\0';
  fprintf(out, "%s\n", buf);
}
