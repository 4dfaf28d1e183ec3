/* form_cms.c: the manager as a CMS Communication task's manager.
   CMS starts it as "manager FIFO_FROM_USER FIFO_TO_USER" with the test's
   input on stdin, in a directory where only output.txt may be written. It
   reads the score from the first line of stdout and the message from the
   first line of stderr; later stderr lines "ADMIN_MESSAGE: ..." reach only
   the admins. A manager that exits non-zero fails the evaluation, which CMS
   shows the admins alone: that is how broken test data is reported. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "diagnose.h"
#include "forms.h"
#include "io.h"
#include "judge.h"
#include "session.h"

/* How long the user side may take to open its ends of the two FIFOs. CMS
   gives the manager at least 10 s of CPU and more of wall time; a manager
   that outlives its limit turns a wrong submission into a system error. */
#define CMS_CONNECT_MS 8000

/* Opens the reply FIFO for writing without ever blocking for good: the
   request FIFO is already open (non-blocking) for reading, so a user that
   opens its request end first is not stuck, and one that opens its reply end
   first is found by retrying. Returns the descriptor, or -1 when the user
   went away or never came. */
static int open_reply_end(const char* path, int in) {
  double deadline = gp_now() + CMS_CONNECT_MS / 1000.0;
  for (;;) {
    struct pollfd p;
    int fd = open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      int flags = fcntl(fd, F_GETFL);
      if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      return fd;
    }
    if (errno != ENXIO && errno != EINTR) return -1;
    if (gp_now() > deadline) return -1;
    /* A writer that came and left without a byte: the user is gone. */
    p.fd = in;
    p.events = POLLIN;
    p.revents = 0;
    if (gp_poll(&p, 1, 5) > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN))
      return -1;
  }
}

/* Waits until the request FIFO has bytes or an end. Before the user has
   opened its request end, a read would say end of file at once; poll does
   not (Linux reports no hang-up on a FIFO reader that has seen no writer).
   A user that dropped its reply end without ever writing ends the wait. */
static int wait_readable(int in, int out) {
  for (;;) {
    struct pollfd p[2];
    p[0].fd = in;
    p[0].events = POLLIN;
    p[0].revents = 0;
    p[1].fd = out;
    p[1].events = 0;
    p[1].revents = 0;
    if (gp_poll(p, 2, -1) < 0) return 0;
    if (p[0].revents & (POLLIN | POLLHUP | POLLERR)) return 1;
    if (p[1].revents & (POLLERR | POLLHUP)) return 0;
  }
}

/* Runs the request/reply loop until the session ends or the wire does; past
   the log limit, without the final reply. */
static void serve(struct gp_session* s, int in, int out) {
  struct gp_line pending = {{0}, 0};
  char buf[4096], replies[4096];
  for (;;) {
    ssize_t n = 0;
    size_t used = 0;
    if (wait_readable(in, out)) {
      n = gp_read(in, buf, sizeof buf);
      if (n < 0 && errno == EAGAIN) continue;
    }
    if (n <= 0) {
      gp_session_wire_closed(s, &pending);
      return;
    }
    while (used < (size_t)n) {
      size_t len = 0;
      enum gp_step step;
      used += gp_session_feed(s, &pending, buf + used, (size_t)n - used,
                              replies, sizeof replies, &len, &step);
      /* A user that closed its end lets its requests decide. */
      gp_write_all(out, replies, len);
      if (step == GP_END) {
        if (!s->log_over) gp_write_all(out, GP_REPLY_END, 2);
        return;
      }
    }
  }
}

/* The message CMS shows the contestant: a stock text it translates, or the
   linked form's own message. */
static const char* cms_text(const struct gp_session* s,
                            const struct gp_judgement* j) {
  switch (j->verdict) {
    case GP_RIGHT:
      return "translate:success";
    case GP_PARTIAL:
      return "translate:partial";
    case GP_LATE:
    case GP_WRONG:
      return "translate:wrong";
    case GP_FAILED:
      break;
  }
  return s->outcome == GP_ERROR ? gp_message(s->error) : j->message;
}

static void write_output_txt(const struct gp_session* s) {
  char out[GP_OUT_MAX];
  size_t len = gp_session_out(s, out);
  FILE* f;
  if (len == 0) return;
  f = fopen("output.txt", "w");
  if (f == NULL || fwrite(out, 1, len, f) != len) {
    if (f != NULL) fclose(f);
    fputs("ADMIN_MESSAGE: output.txt could not be written.\n", stderr);
    return;
  }
  if (fclose(f) != 0)
    fputs("ADMIN_MESSAGE: output.txt could not be written.\n", stderr);
}

int cms_main(int argc, char** argv) {
  struct gp_session s;
  struct gp_judgement j;
  int in, out;
  unsigned long log_limit = GP_DEFAULT_LOG_LIMIT_MIB;
  /* "--log-limit MIB" may come first, for a judge that wraps the manager. */
  if (argc == 5 && strcmp(argv[1], "--log-limit") == 0) {
    if (!gp_parse_log_limit(argv[2], &log_limit)) {
      fprintf(stderr,
              "gridprobe-manager: not a whole number of MiB (1 to %d): %s\n",
              GP_MAX_LOG_LIMIT_MIB, argv[2]);
      return 1;
    }
    argc -= 2;
    argv += 2;
  }
  if (argc != 3) return 1;
  signal(SIGPIPE, SIG_IGN);
  /* The case is read whole before the user side can do anything. */
  gp_session_load(&s, stdin, 1);
  gp_session_set_log_limit(&s, log_limit);
  in = open(argv[1], O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) {
    fprintf(stderr, "gridprobe-manager: cannot open %s: %s\n", argv[1],
            strerror(errno));
    gp_session_free(&s);
    return 1;
  }
  out = open_reply_end(argv[2], in);
  if (out >= 0) serve(&s, in, out);
  gp_session_no_report(&s);
  if (out >= 0) close(out);
  close(in);

  if (s.load_error >= 0 && s.load_error <= 5) {
    /* Broken test data: a failed evaluation for the admins, never a score
       for the contestant. */
    fprintf(stderr, "gridprobe-manager: the test case is invalid: %s\n",
            gp_message(s.load_error));
    gp_session_free(&s);
    return 1;
  }
  if (!s.score_ok) {
    /* The task's own data is broken: say so as a failure, not a score. */
    fputs(
        "gridprobe-manager: the input's score line is malformed "
        "(expected \"score F Z\" with 0 <= F <= Z)\n",
        stderr);
    gp_session_free(&s);
    return 1;
  }
  if (s.log_over) {
    /* A flood of calls: no verdict on anything, a failed evaluation. */
    fprintf(stderr,
            "gridprobe-manager: no verdict: the transcript passed the log "
            "limit (--log-limit %lu MiB)\n",
            log_limit);
    gp_session_free(&s);
    return 1;
  }
  gp_judge_session(&s, s.c.full, s.c.zero, &j);
  gp_print_score(stdout, j.score);
  fflush(stdout);
  fprintf(stderr, "%s\n", cms_text(&s, &j));
  if (s.linked_output)
    fprintf(stderr, "ADMIN_MESSAGE: %s\n", gp_linked_build_hint());
  else if (j.verdict != GP_FAILED)
    fprintf(stderr, "ADMIN_MESSAGE: %s\n", j.message);
  write_output_txt(&s);
  gp_session_free(&s);
  return 0;
}
