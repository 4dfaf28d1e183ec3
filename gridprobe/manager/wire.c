/* wire.c: parses one request line; anything off the grammar is refused. */
#include "wire.h"

int gp_parse_value(const char** p, const char* end, int* value) {
  const char* q = *p;
  int negative = 0;
  long long v = 0;
  const char* digits;
  if (q < end && *q == '-') {
    negative = 1;
    ++q;
  }
  digits = q;
  while (q < end && *q >= '0' && *q <= '9') {
    if (q - digits >= 10) return 0; /* 11 digits never fit */
    v = v * 10 + (*q - '0');
    ++q;
  }
  if (q == digits) return 0;
  if (*digits == '0' && (q - digits > 1 || negative)) return 0;
  if (negative) v = -v;
  if (v < -2147483647LL - 1 || v > 2147483647LL) return 0;
  *value = (int)v;
  *p = q;
  return 1;
}

int gp_parse_request(const char* line, size_t len, struct gp_request* q) {
  const char* p = line;
  const char* end = line + len;
  int want, i;
  if (len == 0 || len > GP_REQUEST_MAX) return 0;
  switch (*p) {
    case 'G':
      q->kind = GP_REQ_GRIDSIZE;
      want = 0;
      break;
    case 'R':
      q->kind = GP_REQ_RECT;
      want = 4;
      break;
    case 'P':
      q->kind = GP_REQ_REPORT;
      want = 8;
      break;
    default:
      return 0;
  }
  ++p;
  for (i = 0; i < want; ++i) {
    if (p >= end || *p != ' ') return 0;
    ++p;
    if (!gp_parse_value(&p, end, &q->v[i])) return 0;
  }
  return p == end;
}

size_t gp_format_reply(int value, char* out) {
  char digits[10];
  unsigned int v = value < 0 ? 0U - (unsigned int)value : (unsigned int)value;
  size_t n = 0, len = 0;
  do {
    digits[n++] = (char)('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (value < 0) out[len++] = '-';
  while (n > 0) out[len++] = digits[--n];
  out[len++] = '\n';
  return len;
}
