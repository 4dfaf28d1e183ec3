/* case_files.c: copies of the case files, their restore, atomic publishing. */
#define _GNU_SOURCE
#include "case_files.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "io.h"

int read_copy(const char* name, struct file_copy* c) {
  struct stat st;
  int out_of_memory;
  memset(c, 0, sizeof *c);
  if (lstat(name, &st) == 0 && S_ISLNK(st.st_mode)) c->link = 1;
  if (stat(name, &st) == 0 && S_ISDIR(st.st_mode)) {
    c->dir = 1;
    c->leave = 1;
    return 1;
  }
  c->bytes = gp_read_file(name, (size_t)-1 - 1, &c->len, &out_of_memory);
  if (c->bytes != NULL) {
    c->present = 1;
    return 1;
  }
  if (out_of_memory) return 0;
  /* Unreadable as a whole: the linked form could not read it either. */
  c->len = 0;
  c->leave = errno != ENOENT;
  return 1;
}

static int same_as(const char* name, const struct file_copy* c) {
  struct file_copy now_c;
  int same;
  if (!read_copy(name, &now_c)) return 0;
  same = now_c.present == c->present && now_c.leave == c->leave &&
         now_c.len == c->len &&
         (c->len == 0 || memcmp(now_c.bytes, c->bytes, c->len) == 0);
  free(now_c.bytes);
  return same;
}

int stage(const char* name, const char* bytes, size_t len, char tmp[64]) {
  mode_t mask = umask(0);
  int fd, ok, saved;
  umask(mask);
  snprintf(tmp, 64, ".%s.XXXXXX", name);
  fd = mkostemp(tmp, O_CLOEXEC);
  if (fd < 0) return 0;
  ok = gp_write_all(fd, bytes, len) && fchmod(fd, 0666 & ~mask) == 0;
  if (close(fd) != 0) ok = 0;
  saved = errno;
  if (!ok) unlink(tmp);
  errno = saved;
  return ok;
}

int publish(const char* name, const char* bytes, size_t len) {
  char tmp[64];
  int saved;
  if (!stage(name, bytes, len, tmp)) return 0;
  if (rename(tmp, name) == 0) return 1;
  saved = errno;
  unlink(tmp);
  errno = saved;
  return 0;
}

void restore(const char* name, const struct file_copy* old) {
  struct stat st;
  if (old->leave || same_as(name, old)) return;
  /* A link stays a link: what it points to is not ours to replace. */
  if (old->link || (lstat(name, &st) == 0 && S_ISLNK(st.st_mode))) return;
  if (old->present)
    publish(name, old->bytes, old->len);
  else
    unlink(name);
}

int log_creatable(void) {
  struct stat st;
  if (stat("rods.log", &st) == 0) {
    if (S_ISDIR(st.st_mode)) return 0;
    return access("rods.log", W_OK) == 0;
  }
  return access(".", W_OK) == 0;
}
