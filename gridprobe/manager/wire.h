/* wire.h: the request lines a stub sends and their strict parser. */
#ifndef GRIDPROBE_MANAGER_WIRE_H
#define GRIDPROBE_MANAGER_WIRE_H

#include <stddef.h>

enum gp_request_kind { GP_REQ_GRIDSIZE, GP_REQ_RECT, GP_REQ_REPORT };

struct gp_request {
  enum gp_request_kind kind;
  int v[8];
};

/* Parses one line (no line feed): "G", "R r1 r2 c1 c2" or "P a1 .. a8",
   single blanks, decimal 32-bit values with an optional '-', no leading
   zeros. 1 on success; 0 for anything else. */
int gp_parse_request(const char* line, size_t len, struct gp_request* q);

#endif
