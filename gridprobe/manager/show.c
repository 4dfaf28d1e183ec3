/* show.c: replays a transcript against its case; refuses one from another. */
#include "show.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "wire.h"

/* Matches the literal word at *p; advances past it on success. */
static int scan_word(const char** p, const char* end, const char* word) {
  size_t n = strlen(word);
  if ((size_t)(end - *p) < n || memcmp(*p, word, n) != 0) return 0;
  *p += n;
  return 1;
}

/* count values joined by ',' */
static int scan_list(const char** p, const char* end, int* v, int count) {
  int i;
  for (i = 0; i < count; ++i) {
    if (i > 0 && !scan_word(p, end, ",")) return 0;
    if (!gp_parse_value(p, end, &v[i])) return 0;
  }
  return 1;
}

enum line_kind {
  LINE_GRIDSIZE,
  LINE_RECT,    /* answered: v[4] is 0 or 1 */
  LINE_REFUSED, /* rect refused: v[4] is 7 or 8 */
  LINE_REPORT,
  LINE_LONE_ERROR, /* a request the manager could not parse */
  LINE_OTHER
};

struct parsed {
  enum line_kind kind;
  int number;
  int v[8];
};

static enum line_kind parse_line(const char* line, size_t len,
                                 struct parsed* out) {
  const char* p = line;
  const char* end = line + len;
  if (scan_word(&p, end, "gridsize() = ")) {
    if (gp_parse_value(&p, end, &out->v[0]) && p == end)
      return out->kind = LINE_GRIDSIZE;
    return out->kind = LINE_OTHER;
  }
  if (scan_word(&p, end, "report (")) {
    if (scan_list(&p, end, out->v, 8) && scan_word(&p, end, ")") && p == end)
      return out->kind = LINE_REPORT;
    return out->kind = LINE_OTHER;
  }
  if (len == strlen(gp_message(7)) && memcmp(line, gp_message(7), len) == 0)
    return out->kind = LINE_LONE_ERROR;
  if (gp_parse_value(&p, end, &out->number) && scan_word(&p, end, " : rect (") &&
      scan_list(&p, end, out->v, 4) && scan_word(&p, end, ") = ")) {
    size_t rest = (size_t)(end - p);
    if (rest == 1 && (*p == '0' || *p == '1')) {
      out->v[4] = *p - '0';
      return out->kind = LINE_RECT;
    }
    if (rest == strlen(gp_message(7)) && memcmp(p, gp_message(7), rest) == 0) {
      out->v[4] = 7;
      return out->kind = LINE_REFUSED;
    }
    if (rest == strlen(gp_message(8)) && memcmp(p, gp_message(8), rest) == 0) {
      out->v[4] = 8;
      return out->kind = LINE_REFUSED;
    }
  }
  return out->kind = LINE_OTHER;
}

static int refuse(struct gp_show* s, const char* fmt, ...) {
  int n;
  va_list ap;
  n = snprintf(s->problem, sizeof s->problem, "line %d: ", s->lines);
  va_start(ap, fmt);
  if (n > 0 && (size_t)n < sizeof s->problem)
    vsnprintf(s->problem + n, sizeof s->problem - (size_t)n, fmt, ap);
  va_end(ap);
  return 0;
}

/* The line as a reader can take it in a message: short, printable. */
static void quote(const char* line, size_t len, char* out, size_t size) {
  size_t i, k = 0;
  for (i = 0; i < len && k + 4 < size; ++i) {
    unsigned char ch = (unsigned char)line[i];
    out[k++] = ch >= 32 && ch < 127 ? (char)ch : '?';
  }
  if (i < len) out[k++] = '.', out[k++] = '.', out[k++] = '.';
  out[k] = '\0';
}

static int valid_box(const struct gp_show_box* b, int n) {
  return b->r1 >= 1 && b->r1 <= n && b->r2 >= 1 && b->r2 <= n && b->c1 >= 1 &&
         b->c1 <= n && b->c2 >= 1 && b->c2 <= n && b->r1 <= b->r2 &&
         b->c1 <= b->c2;
}

/* The grader's answer: does the block share a cell with a rod? */
static int meets(const struct gp_case* c, const struct gp_show_box* b) {
  const int* k = c->coord;
  if (k[2] >= b->r1 && k[0] <= b->r2 && k[3] >= b->c1 && k[1] <= b->c2)
    return 1;
  return k[6] >= b->r1 && k[4] <= b->r2 && k[7] >= b->c1 && k[5] <= b->c2;
}

void gp_show_begin(struct gp_show* s, const struct gp_case* c) {
  memset(s, 0, sizeof *s);
  s->c = *c;
  s->end = GP_SHOW_NO_REPORT;
  s->error = -1;
}

static int take_rect(struct gp_show* s, const struct parsed* q,
                     const char* line, size_t len) {
  struct gp_show_call* call;
  struct gp_show_box b;
  int valid;
  b.r1 = q->v[0];
  b.r2 = q->v[1];
  b.c1 = q->v[2];
  b.c2 = q->v[3];
  valid = valid_box(&b, s->c.n);
  if (q->number != s->ncalls + 1)
    return refuse(s, "rect call number %d, but %d rect calls came before it",
                  q->number, s->ncalls);
  if (q->kind == LINE_RECT) {
    int want;
    if (!valid)
      return refuse(s,
                    "rect (%d,%d,%d,%d) is answered, but on a grid of %d the "
                    "grader refuses it",
                    b.r1, b.r2, b.c1, b.c2, s->c.n);
    if (q->number > GP_MAX_RECT_CALLS)
      return refuse(s,
                    "rect call %d is answered, but the grader refuses "
                    "every call past %d",
                    q->number, GP_MAX_RECT_CALLS);
    want = meets(&s->c, &b);
    if (q->v[4] != want)
      return refuse(s,
                    "rect (%d,%d,%d,%d) is answered %d, but the rods of this "
                    "case give %d",
                    b.r1, b.r2, b.c1, b.c2, q->v[4], want);
  } else if (q->v[4] == 7 && valid) {
    return refuse(s,
                  "rect (%d,%d,%d,%d) is refused as invalid, but it is valid "
                  "on a grid of %d",
                  b.r1, b.r2, b.c1, b.c2, s->c.n);
  } else if (q->v[4] == 8 && !valid) {
    return refuse(s,
                  "rect (%d,%d,%d,%d) is refused as one call too many, but on "
                  "a grid of %d it is invalid, which comes first",
                  b.r1, b.r2, b.c1, b.c2, s->c.n);
  } else if (q->v[4] == 8 && q->number != GP_MAX_RECT_CALLS + 1) {
    return refuse(s,
                  "rect call %d is refused as one too many, but only call "
                  "%d is",
                  q->number, GP_MAX_RECT_CALLS + 1);
  }
  call = &s->calls[s->ncalls++];
  call->line = s->lines;
  call->number = q->number;
  call->box = b;
  call->answer = q->kind == LINE_RECT ? q->v[4] : -1;
  memcpy(call->text, line, len);
  call->text[len] = '\0';
  if (q->kind == LINE_REFUSED) {
    s->ended = s->lines;
    s->end = GP_SHOW_ERROR;
    s->error = q->v[4];
  }
  return 1;
}

static int take_line(struct gp_show* s, const char* line, size_t len) {
  struct parsed q;
  char shown[64];
  if (len > GP_SHOW_LINE_MAX || parse_line(line, len, &q) == LINE_OTHER) {
    quote(line, len, shown, sizeof shown);
    return refuse(s, "\"%s\" is not a line the grader writes", shown);
  }
  switch (q.kind) {
    case LINE_GRIDSIZE:
      if (q.v[0] != s->c.n)
        return refuse(s, "gridsize() = %d, but the grid of this case is %d",
                      q.v[0], s->c.n);
      ++s->gridsize_calls;
      return 1;
    case LINE_RECT:
    case LINE_REFUSED:
      return take_rect(s, &q, line, len);
    case LINE_REPORT:
      s->reported = 1;
      memcpy(s->answer, q.v, sizeof s->answer);
      s->ended = s->lines;
      if (s->ncalls == 0) {
        s->end = GP_SHOW_ERROR;
        s->error = 9;
      } else {
        s->end = GP_SHOW_REPORTED;
      }
      break;
    case LINE_LONE_ERROR:
      s->ended = s->lines;
      s->end = GP_SHOW_ERROR;
      s->error = 7;
      break;
    case LINE_OTHER:
      break;
  }
  memcpy(s->end_text, line, len);
  s->end_text[len] = '\0';
  return 1;
}

int gp_show_line(struct gp_show* s, const char* line, size_t len,
                 int terminated) {
  ++s->lines;
  if (len > 0 && line[len - 1] == '\r') --len; /* a copy made on Windows */
  if (s->ended) return refuse(s, "the run already ended in line %d", s->ended);
  if (take_line(s, line, len)) return 1;
  /* A linked program that dies unflushed leaves its last line cut short. */
  if (!terminated && len > 0 && len <= GP_SHOW_LINE_MAX) {
    s->broken_line = s->lines;
    s->problem[0] = '\0';
    return 1;
  }
  return 0;
}

void gp_show_finish(struct gp_show* s) {
  int i;
  for (i = 0; i < s->ncalls; ++i) s->calls[i].zoom = gp_show_zoom(s, i);
  if (s->end == GP_SHOW_REPORTED) {
    gp_judge_answer(&s->c, s->answer, s->ncalls, s->c.full, s->c.zero,
                    &s->verdict);
    return;
  }
  s->verdict.verdict = GP_FAILED;
  s->verdict.score = 0.0;
  if (s->end == GP_SHOW_ERROR)
    snprintf(s->verdict.message, sizeof s->verdict.message, "%s",
             gp_message(s->error));
  else
    snprintf(s->verdict.message, sizeof s->verdict.message,
             "The program ended without calling report.");
}

int gp_show_read(struct gp_show* s, const struct gp_case* c, const char* log,
                 size_t len) {
  const char* p = log;
  const char* end = log + len;
  gp_show_begin(s, c);
  while (p < end) {
    const char* eol = memchr(p, '\n', (size_t)(end - p));
    const char* line_end = eol != NULL ? eol : end;
    if (!gp_show_line(s, p, (size_t)(line_end - p), eol != NULL)) return 0;
    p = eol != NULL ? eol + 1 : end;
  }
  gp_show_finish(s);
  return 1;
}

int gp_show_cells(int n) { return n <= GP_SHOW_CELLS_MAX; }

int gp_show_tick_step(int n) {
  int step = 1;
  for (;;) {
    if (n / step <= 10) return step;
    if (n / (step * 2) <= 10) return step * 2;
    if (n / (step * 5) <= 10) return step * 5;
    step *= 10;
  }
}

static int box_empty(const struct gp_show_box* b) {
  return b->r1 > b->r2 || b->c1 > b->c2;
}

static void box_join(struct gp_show_box* acc, int* any,
                     const struct gp_show_box* b) {
  if (box_empty(b)) return;
  if (!*any) {
    *acc = *b;
    *any = 1;
    return;
  }
  if (b->r1 < acc->r1) acc->r1 = b->r1;
  if (b->r2 > acc->r2) acc->r2 = b->r2;
  if (b->c1 < acc->c1) acc->c1 = b->c1;
  if (b->c2 > acc->c2) acc->c2 = b->c2;
}

/* Boxes the cells of a that b lacks: up to four strips around their overlap. */
static void subtract(const struct gp_show_box* a, const struct gp_show_box* b,
                     struct gp_show_box* acc, int* any) {
  struct gp_show_box in, strip;
  in.r1 = a->r1 > b->r1 ? a->r1 : b->r1;
  in.r2 = a->r2 < b->r2 ? a->r2 : b->r2;
  in.c1 = a->c1 > b->c1 ? a->c1 : b->c1;
  in.c2 = a->c2 < b->c2 ? a->c2 : b->c2;
  if (box_empty(&in)) {
    box_join(acc, any, a);
    return;
  }
  strip = *a;
  strip.r2 = in.r1 - 1;
  box_join(acc, any, &strip);
  strip = *a;
  strip.r1 = in.r2 + 1;
  box_join(acc, any, &strip);
  strip = in;
  strip.c1 = a->c1;
  strip.c2 = in.c1 - 1;
  box_join(acc, any, &strip);
  strip = in;
  strip.c1 = in.c2 + 1;
  strip.c2 = a->c2;
  box_join(acc, any, &strip);
}

int gp_show_difference(const struct gp_show_box* a, const struct gp_show_box* b,
                       struct gp_show_box* out) {
  int any = 0;
  subtract(a, b, out, &any);
  subtract(b, a, out, &any);
  return any;
}

/* The part of a call's block inside the grid, bounds put in order (a refused
   call may have them swapped or outside); 0 when nothing is left. */
static int clip(const struct gp_show_box* b, int n, struct gp_show_box* out) {
  int r1 = b->r1 < b->r2 ? b->r1 : b->r2, r2 = b->r1 < b->r2 ? b->r2 : b->r1;
  int c1 = b->c1 < b->c2 ? b->c1 : b->c2, c2 = b->c1 < b->c2 ? b->c2 : b->c1;
  out->r1 = r1 < 1 ? 1 : r1;
  out->r2 = r2 > n ? n : r2;
  out->c1 = c1 < 1 ? 1 : c1;
  out->c2 = c2 > n ? n : c2;
  return !box_empty(out);
}

/* One side of the frame: a span of `side` cells holding lo..hi, in 1..n. */
static void frame_span(int lo, int hi, int side, int n, int* from, int* to) {
  long long start = ((long long)lo + hi + 1 - side) / 2;
  if (start + side - 1 > n) start = (long long)n - side + 1;
  if (start < 1) start = 1;
  *from = (int)start;
  *to = (int)(start + side - 1);
}

static long long area(const struct gp_show_box* b) {
  return (long long)(b->r2 - b->r1 + 1) * (b->c2 - b->c1 + 1);
}

struct gp_show_box gp_show_zoom(const struct gp_show* s, int i) {
  struct gp_show_box acc = {0, 0, 0, 0}, cur, prev, d, frame;
  int any = 0, j, n = s->c.n, h, w, side;
  /* Where this call differs least from one of the last before it: a search
     moves one edge at a time, and may take turns between two searches. */
  if (clip(&s->calls[i].box, n, &cur))
    for (j = i - 1; j >= 0 && j >= i - GP_SHOW_ZOOM_CALLS; --j)
      if (clip(&s->calls[j].box, n, &prev) &&
          gp_show_difference(&cur, &prev, &d) &&
          (!any || area(&d) < area(&acc))) {
        acc = d;
        any = 1;
      }
  if (!any && clip(&s->calls[i].box, n, &cur)) {
    acc = cur;
    any = 1;
  }
  if (!any) {
    frame.r1 = frame.c1 = 1;
    frame.r2 = frame.c2 = n;
    return frame;
  }
  h = acc.r2 - acc.r1 + 1;
  w = acc.c2 - acc.c1 + 1;
  side = h > w ? h : w;
  side += side / 2; /* a margin of a quarter on each side */
  if (side < GP_SHOW_ZOOM_MIN) side = GP_SHOW_ZOOM_MIN;
  if (side > n) side = n;
  frame_span(acc.r1, acc.r2, side, n, &frame.r1, &frame.r2);
  frame_span(acc.c1, acc.c2, side, n, &frame.c1, &frame.c2);
  return frame;
}
