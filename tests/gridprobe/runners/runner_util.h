/* runner_util.h: child start and status text shared by the judge emulators. */
#ifndef GRIDPROBE_RUNNER_UTIL_H
#define GRIDPROBE_RUNNER_UTIL_H

#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static inline void runner_die(const char* what) {
  fprintf(stderr, "runner: %s: %s\n", what, strerror(errno));
  exit(99);
}

static inline long long runner_now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

/* "exit N" or "signal N", as the judges tell a status apart. */
static inline const char* runner_status_text(int status, char* buf,
                                             size_t size) {
  if (WIFEXITED(status))
    snprintf(buf, size, "exit %d", WEXITSTATUS(status));
  else if (WIFSIGNALED(status))
    snprintf(buf, size, "signal %d", WTERMSIG(status));
  else
    snprintf(buf, size, "unknown");
  return buf;
}

/* Moves fd onto target in a child about to exec; -1 leaves target alone. */
static inline void runner_place(int fd, int target) {
  if (fd < 0 || fd == target) return;
  if (dup2(fd, target) != target) runner_die("dup2");
  close(fd);
}

#endif
