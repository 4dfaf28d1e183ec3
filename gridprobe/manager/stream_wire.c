/* stream_wire.c: the serve loop of the forms whose wire is stdin/stdout. */
#include "stream_wire.h"

#include "io.h"

enum wire_end gp_serve_stream(struct gp_session* s, int in, int out) {
  struct gp_line pending = {{0}, 0};
  char buf[4096], replies[4096];
  for (;;) {
    ssize_t n = gp_read(in, buf, sizeof buf);
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
      gp_write_all(out, replies, len);
      if (step == GP_END) return WIRE_VERDICT;
    }
  }
}
