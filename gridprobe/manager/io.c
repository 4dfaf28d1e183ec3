/* io.c: retried reads, writes and waits, whole-file reads, the clock. */
#define _GNU_SOURCE
#include "io.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

ssize_t gp_read(int fd, void* buf, size_t len) {
  ssize_t n;
  do n = read(fd, buf, len);
  while (n < 0 && errno == EINTR);
  return n;
}

ssize_t gp_write(int fd, const void* buf, size_t len) {
  ssize_t n;
  do n = write(fd, buf, len);
  while (n < 0 && errno == EINTR);
  return n;
}

int gp_write_all(int fd, const void* bytes, size_t len) {
  const char* p = bytes;
  while (len > 0) {
    ssize_t n = gp_write(fd, p, len);
    if (n <= 0) return 0;
    p += n;
    len -= (size_t)n;
  }
  return 1;
}

int gp_poll(struct pollfd* fds, nfds_t n, int timeout_ms) {
  int k;
  do k = poll(fds, n, timeout_ms);
  while (k < 0 && errno == EINTR);
  return k;
}

void gp_sleep_ms(long ms) {
  struct timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = (ms % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

char* gp_read_file(const char* path, size_t max, size_t* len,
                   int* out_of_memory) {
  char* bytes = NULL;
  size_t cap = 0;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  *len = 0;
  *out_of_memory = 0;
  if (fd < 0) return NULL;
  for (;;) {
    size_t want;
    ssize_t n;
    if (cap - *len < 4096 && cap <= max) {
      /* Doubling keeps a large program's copy linear. */
      size_t ncap = cap < 65536 ? 65536 : cap * 2;
      char* grown = realloc(bytes, ncap);
      if (grown == NULL) {
        *out_of_memory = 1;
        break;
      }
      bytes = grown;
      cap = ncap;
    }
    want = cap - *len - 1; /* the NUL's byte kept */
    if (want > max - *len) want = max - *len;
    if (want == 0) break;
    n = gp_read(fd, bytes + *len, want);
    if (n < 0) {
      int err = errno;
      close(fd);
      free(bytes);
      errno = err;
      return NULL;
    }
    if (n == 0) break;
    *len += (size_t)n;
  }
  close(fd);
  if (*out_of_memory) {
    free(bytes);
    errno = ENOMEM;
    return NULL;
  }
  bytes[*len] = '\0';
  return bytes;
}

double gp_now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}
