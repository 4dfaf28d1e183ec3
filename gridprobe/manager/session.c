/* session.c: the linked grader's rules and bytes, driven by request lines. */
#include "session.h"

#include <limits.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "../errmsg.h"
#include "../load_rods.h"
#include "wire.h"

const char* gp_message(int index) {
  return index >= 0 && index < 10 ? errmsg[index] : "";
}

/* Reads a decimal int (optional '-') from *p up to end; 1 on success. */
static int score_number(const char** p, const char* end, int* value) {
  const char* q = *p;
  long long v = 0;
  int negative = 0, digits = 0;
  while (q < end && (*q == ' ' || *q == '\t')) ++q;
  if (q < end && *q == '-') {
    negative = 1;
    ++q;
  }
  while (q < end && *q >= '0' && *q <= '9') {
    v = v * 10 + (*q - '0');
    if (v > INT_MAX) return 0;
    ++digits;
    ++q;
  }
  if (digits == 0) return 0;
  *value = negative ? (int)-v : (int)v;
  *p = q;
  return 1;
}

int gp_find_score(const char* bytes, size_t len, int* full, int* zero) {
  const char* p = bytes;
  const char* end = bytes + len;
  while (p < end) {
    const char* eol = (const char*)memchr(p, '\n', (size_t)(end - p));
    const char* line_end = eol != NULL ? eol : end;
    const char* q = p;
    while (q < line_end && (*q == ' ' || *q == '\t' || *q == '\r')) ++q;
    if (line_end - q >= 5 && memcmp(q, "score", 5) == 0 &&
        (line_end - q == 5 || q[5] == ' ' || q[5] == '\t' || q[5] == '\r')) {
      int f, z;
      q += 5;
      if (!score_number(&q, line_end, &f) || !score_number(&q, line_end, &z))
        return -1;
      while (q < line_end && (*q == ' ' || *q == '\t' || *q == '\r')) ++q;
      if (q != line_end || f < 0 || z < f) return -1;
      *full = f;
      *zero = z;
      return 1;
    }
    p = eol != NULL ? eol + 1 : end;
  }
  return 0;
}

int gp_case_load(FILE* in, struct gp_case* c, int* score_ok) {
  int index = load_rods(in, &c->n, c->coord);
  char* rest = NULL;
  size_t len = 0, cap = 0;
  int ch;
  c->full = c->zero = GP_DEFAULT_SCORE_LIMIT;
  *score_ok = 1;
  if (index >= 0) return index;
  /* The tail is the task author's, bounded by the file; read it whole. */
  while ((ch = getc(in)) != EOF) {
    if (len == cap) {
      size_t ncap = cap != 0 ? cap * 2 : 256;
      char* grown = (char*)realloc(rest, ncap);
      if (grown == NULL) break;
      rest = grown;
      cap = ncap;
    }
    rest[len++] = (char)ch;
  }
  if (gp_find_score(rest != NULL ? rest : "", len, &c->full, &c->zero) < 0) {
    *score_ok = 0;
    c->full = c->zero = GP_DEFAULT_SCORE_LIMIT;
  }
  free(rest);
  return -1;
}

int gp_session_load(struct gp_session* s, FILE* rods_in, int log_ok) {
  memset(s, 0, sizeof *s);
  s->outcome = GP_RUNNING;
  s->error = -1;
  s->score_ok = 1;
  if (rods_in == NULL)
    s->load_error = 0;
  else
    s->load_error = gp_case_load(rods_in, &s->c, &s->score_ok);
  if (s->load_error < 0 && !log_ok) s->load_error = 6;
  gp_session_set_log_limit(s, GP_DEFAULT_LOG_LIMIT_MIB);
  return s->load_error;
}

int gp_parse_log_limit(const char* text, unsigned long* mib) {
  unsigned long v = 0;
  const char* p = text;
  if (*p == '\0') return 0;
  for (; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    v = v * 10 + (unsigned long)(*p - '0');
    if (v > GP_MAX_LOG_LIMIT_MIB) return 0;
  }
  if (v < 1) return 0;
  *mib = v;
  return 1;
}

void gp_session_set_log_limit(struct gp_session* s, unsigned long mib) {
  s->log_limit = (size_t)mib << 20;
}

void gp_session_free(struct gp_session* s) {
  free(s->log);
  s->log = NULL;
  s->log_len = s->log_cap = 0;
}

static void log_printf(struct gp_session* s, const char* fmt, ...) {
  char line[200];
  va_list ap;
  int n;
  va_start(ap, fmt);
  n = vsnprintf(line, sizeof line, fmt, ap);
  va_end(ap);
  if (n < 0 || s->log_over) return;
  if (s->log_limit != 0 && s->log_len + (size_t)n > s->log_limit) {
    /* Whole lines only: a call's line may be written in two pieces. */
    s->log_over = 1;
    while (s->log_len > 0 && s->log[s->log_len - 1] != '\n') --s->log_len;
    return;
  }
  if (s->log_len + (size_t)n > s->log_cap) {
    size_t ncap = s->log_cap != 0 ? s->log_cap : 4096;
    char* grown;
    while (ncap < s->log_len + (size_t)n) ncap *= 2;
    if (s->log_limit != 0 && ncap > s->log_limit) ncap = s->log_limit;
    grown = (char*)realloc(s->log, ncap);
    if (grown == NULL) {
      s->log_failed = 1;
      return;
    }
    s->log = grown;
    s->log_cap = ncap;
  }
  memcpy(s->log + s->log_len, line, (size_t)n);
  s->log_len += (size_t)n;
}

static enum gp_step end_error(struct gp_session* s, int index) {
  s->outcome = GP_ERROR;
  s->error = index;
  return GP_END;
}

/* The first call of any kind loads the case, as init does; 0 if it failed. */
static int first_call(struct gp_session* s) {
  if (s->initialized) return 1;
  s->initialized = 1;
  if (s->load_error >= 0) {
    end_error(s, s->load_error);
    return 0;
  }
  return 1;
}

/* 1 when a refused line is one of the linked grader's messages: the
   program was built against the linked library, which printed its error
   where the manager expects requests. */
static int is_linked_output(const char* line, size_t len) {
  int i;
  if (len > 0 && line[len - 1] == '\r') --len; /* a Windows-built program */
  for (i = 0; i < 10; ++i)
    if (strlen(errmsg[i]) == len && memcmp(errmsg[i], line, len) == 0)
      return 1;
  return 0;
}

enum gp_step gp_session_request(struct gp_session* s, const char* line,
                                size_t len, int* reply) {
  struct gp_request q;
  const int* k = s->c.coord;
  if (s->outcome != GP_RUNNING) return GP_END;
  if (!first_call(s)) return GP_END;
  if (!gp_parse_request(line, len, &q)) {
    /* Not a call the library has: logged as a refused call of its own. */
    s->linked_output = is_linked_output(line, len);
    log_printf(s, "%s\n", errmsg[7]);
    return end_error(s, 7);
  }
  switch (q.kind) {
    case GP_REQ_GRIDSIZE:
      log_printf(s, "gridsize() = %d\n", s->c.n);
      *reply = s->c.n;
      return GP_REPLY;
    case GP_REQ_RECT: {
      int r1 = q.v[0], r2 = q.v[1], c1 = q.v[2], c2 = q.v[3];
      int n = s->c.n;
      ++s->count;
      log_printf(s, "%d : rect (%d,%d,%d,%d) = ", s->count, r1, r2, c1, c2);
      if (r1 < 1 || r1 > n || r2 < 1 || r2 > n || c1 < 1 || c1 > n || c2 < 1 ||
          c2 > n || r1 > r2 || c1 > c2) {
        log_printf(s, "%s\n", errmsg[7]);
        return end_error(s, 7);
      }
      if (s->count > GP_MAX_RECT_CALLS) {
        log_printf(s, "%s\n", errmsg[8]);
        return end_error(s, 8);
      }
      if (k[2] >= r1 && k[0] <= r2 && k[3] >= c1 && k[1] <= c2)
        *reply = 1;
      else if (k[6] >= r1 && k[4] <= r2 && k[7] >= c1 && k[5] <= c2)
        *reply = 1;
      else
        *reply = 0;
      log_printf(s, "%d\n", *reply);
      return GP_REPLY;
    }
    case GP_REQ_REPORT:
      log_printf(s, "report (%d,%d,%d,%d,%d,%d,%d,%d)\n", q.v[0], q.v[1],
                 q.v[2], q.v[3], q.v[4], q.v[5], q.v[6], q.v[7]);
      if (s->count == 0) return end_error(s, 9);
      memcpy(s->answer, q.v, sizeof s->answer);
      s->outcome = GP_REPORTED;
      return GP_END;
  }
  return end_error(s, 7);
}

size_t gp_session_feed(struct gp_session* s, struct gp_line* pending,
                       const char* in, size_t n, char* out, size_t cap,
                       size_t* out_len, enum gp_step* step) {
  size_t used = 0;
  *step = s->outcome == GP_RUNNING ? GP_REPLY : GP_END;
  while (*step == GP_REPLY && used < n && cap - *out_len >= GP_REPLY_MAX) {
    const char* p = in + used;
    /* What the line may still take, the byte that makes it overlong too. */
    size_t room = GP_REQUEST_MAX + 1 - pending->len;
    size_t look = n - used < room ? n - used : room;
    const char* eol = (const char*)memchr(p, '\n', look);
    const char* line;
    size_t len;
    int value = 0;
    if (eol == NULL) {
      memcpy(pending->bytes + pending->len, p, look);
      pending->len += look;
      used += look;
      if (pending->len <= GP_REQUEST_MAX) break; /* the rest is to come */
      /* No line that long is a call: refused without waiting for its end. */
      line = pending->bytes;
      len = pending->len;
    } else if (pending->len == 0) {
      line = p;
      len = (size_t)(eol - p);
      used += len + 1;
    } else {
      size_t part = (size_t)(eol - p);
      memcpy(pending->bytes + pending->len, p, part);
      line = pending->bytes;
      len = pending->len + part;
      used += part + 1;
    }
    pending->len = 0;
    *step = gp_session_request(s, line, len, &value);
    if (s->log_over) {
      /* Past the bound no verdict stands, a report included. */
      s->outcome = GP_NO_REPORT;
      *step = GP_END;
      break;
    }
    if (*step == GP_REPLY) *out_len += gp_format_reply(value, out + *out_len);
  }
  return used;
}

void gp_session_wire_closed(struct gp_session* s,
                            const struct gp_line* pending) {
  if (pending->len > 0)
    gp_session_truncated(s);
  else
    gp_session_no_report(s);
}

void gp_session_truncated(struct gp_session* s) {
  if (s->outcome != GP_RUNNING) return;
  if (!first_call(s)) return;
  log_printf(s, "%s\n", errmsg[7]);
  end_error(s, 7);
}

void gp_session_no_report(struct gp_session* s) {
  if (s->outcome == GP_RUNNING) s->outcome = GP_NO_REPORT;
}

int gp_session_log_touched(const struct gp_session* s) {
  return s->initialized && s->load_error < 0;
}

const char* gp_session_log(const struct gp_session* s, size_t* len) {
  *len = s->log_len;
  return s->log != NULL ? s->log : "";
}

size_t gp_session_out(const struct gp_session* s, char* buf) {
  int n;
  if (s->log_over) return 0;
  if (s->outcome == GP_ERROR)
    n = snprintf(buf, GP_OUT_MAX, "0\n%s\n", errmsg[s->error]);
  else if (s->outcome == GP_REPORTED)
    n = snprintf(buf, GP_OUT_MAX, "%d\n%d %d %d %d\n%d %d %d %d\n", s->count,
                 s->answer[0], s->answer[1], s->answer[2], s->answer[3],
                 s->answer[4], s->answer[5], s->answer[6], s->answer[7]);
  else
    return 0;
  return n > 0 ? (size_t)n : 0;
}

const char* gp_session_stdout_line(const struct gp_session* s, char* buf,
                                   size_t size) {
  if (s->outcome != GP_ERROR || s->log_over) return NULL;
  snprintf(buf, size, "%s\n", errmsg[s->error]);
  return buf;
}
