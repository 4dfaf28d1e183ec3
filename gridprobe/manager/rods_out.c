/* rods_out.c: reads a rods.out back and judges what it records. */
#include <limits.h>
#include <string.h>

#include "judge.h"

/* One decimal int of at most 32 bits after blanks; 1 on success. */
static int out_int(const char** p, int* value) {
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

int gp_judge_out(const struct gp_case* c, const char* text, size_t len,
                 struct gp_judgement* j) {
  const char* p = text;
  int v[9], k, parsed = 1;
  j->verdict = GP_FAILED;
  j->score = 0.0;
  if (strlen(text) != len) parsed = 0; /* a NUL byte: not text */
  if (parsed && out_int(&p, &v[0]) && v[0] == 0 && *p == '\n') {
    /* An error: its message is the second line. */
    const char* msg = p + 1;
    size_t mlen = strcspn(msg, "\n");
    if (mlen == 0 || mlen >= sizeof j->message) {
      parsed = 0;
    } else {
      memcpy(j->message, msg, mlen);
      j->message[mlen] = '\0';
    }
  } else if (parsed) {
    p = text;
    for (k = 0; k < 9 && parsed; ++k) parsed = out_int(&p, &v[k]);
    while (parsed && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r'))
      ++p;
    if (parsed && (*p != '\0' || v[0] < 1 || v[0] > GP_MAX_RECT_CALLS))
      parsed = 0;
    if (parsed) gp_judge_answer(c, v + 1, v[0], c->full, c->zero, j);
  }
  if (!parsed) {
    j->verdict = GP_FAILED;
    j->score = 0.0;
    snprintf(j->message, sizeof j->message, "Malformed rods.out.");
  }
  return parsed;
}
