/* wire.h: the request lines a stub sends, their strict parser, and the
   replies it gets back. */
#ifndef GRIDPROBE_MANAGER_WIRE_H
#define GRIDPROBE_MANAGER_WIRE_H

#include <stddef.h>

/* Longest request line, its line feed excluded; a longer one is invalid. */
#define GP_REQUEST_MAX 128

enum gp_request_kind { GP_REQ_GRIDSIZE, GP_REQ_RECT, GP_REQ_REPORT };

struct gp_request {
  enum gp_request_kind kind;
  int v[8];
};

/* One value as the grader writes it: '-'? digits, no leading zero, within
   32 bits, from *p up to end; *p moves past it. 1 on success, else 0 and *p
   stays. The transcript's numbers have the same grammar. */
int gp_parse_value(const char** p, const char* end, int* value);

/* Parses one line (no line feed): "G", "R r1 r2 c1 c2" or "P a1 .. a8",
   single blanks, decimal 32-bit values with an optional '-', no leading
   zeros. 1 on success; 0 for anything else. */
int gp_parse_request(const char* line, size_t len, struct gp_request* q);

/* Replies: "<value>\n" to G and R; "E\n" once the run has ended. */
#define GP_REPLY_MAX 12 /* "-2147483648\n" */
#define GP_REPLY_END "E\n"

/* Writes the reply to a G or R call into out (GP_REPLY_MAX bytes of room);
   returns its length. */
size_t gp_format_reply(int value, char* out);

#endif
