/* judge.h: the verdict on a finished run and its score. */
#ifndef GRIDPROBE_MANAGER_JUDGE_H
#define GRIDPROBE_MANAGER_JUDGE_H

#include "session.h"

enum gp_verdict {
  GP_RIGHT,   /* right, score 1 */
  GP_PARTIAL, /* right, 0 < score < 1 */
  GP_LATE,    /* right, but at or past the zero-score count: score 0 */
  GP_WRONG,   /* the reported rods cover other cells: score 0 */
  GP_FAILED,  /* an error 0..9 or no report: score 0 */
};

struct gp_judgement {
  enum gp_verdict verdict;
  double score;
  char message[160]; /* one line, no line feed */
};

/* 1 when answer[8] is a valid pair of rods on case c covering exactly the
   cells the true rods cover. */
int gp_answer_right(const struct gp_case* c, const int answer[8]);

/* Score of a right answer after count rect calls: 1 up to full, falling
   linearly to 0 at zero. */
double gp_score(int count, int full, int zero);

/* Judges a reported answer (count calls). */
void gp_judge_answer(const struct gp_case* c, const int answer[8], int count,
                     int full, int zero, struct gp_judgement* j);

/* Judges the rods.out bytes text (len bytes, NUL-terminated) on case c with
   c's score counts: 1 when they are a rods.out (an answer, judged, or an
   error, j->message its message); 0 when malformed ("Malformed rods.out."). */
int gp_judge_out(const struct gp_case* c, const char* text, size_t len,
                 struct gp_judgement* j);

/* Judges a finished session: a report, an error, or no report. */
void gp_judge_session(const struct gp_session* s, int full, int zero,
                      struct gp_judgement* j);

/* Prints the score as the judges want it: shortest of up to 6 decimals. */
void gp_print_score(FILE* out, double score);

#endif
