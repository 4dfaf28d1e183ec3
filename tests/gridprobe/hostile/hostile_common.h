/* hostile_common.h: what every hostile program shares: the forged verdict it
   aims for, the case directory it can find, and an honest cell scan. */
#ifndef GRIDPROBE_HOSTILE_COMMON_H
#define GRIDPROBE_HOSTILE_COMMON_H

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gridprobe.h"

/* A right answer after one rect call: no honest program gets it. */
static const char forged_out[] = "1\n2 3 2 7\n5 9 8 9\n";

/* The judge's case directory when the parent process sits in it. */
static char case_dir[4096];

static void find_case_dir(void) {
  char link[64], probe[4200];
  ssize_t n;
  snprintf(link, sizeof link, "/proc/%d/cwd", (int)getppid());
  n = readlink(link, case_dir, sizeof case_dir - 1);
  case_dir[n > 0 ? n : 0] = '\0';
  snprintf(probe, sizeof probe, "%s/rods.in", case_dir);
  if (n <= 0 || access(probe, F_OK) != 0) case_dir[0] = '\0';
}

static void write_to(const char* dir, const char* name, const char* bytes) {
  char path[4200];
  int fd;
  if (dir[0] == '\0') return;
  snprintf(path, sizeof path, "%s/%s", dir, name);
  fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  if (write(fd, bytes, strlen(bytes)) < 0) {
  }
  close(fd);
}

/* Writes a file here and in the case directory, wherever that is. */
static void plant(const char* name, const char* bytes) {
  write_to(".", name, bytes);
  write_to(case_dir, name, bytes);
}

/* The rods from 100 single-cell calls on a 10 by 10 grid; rods that do not
   touch, as in the tests' case. */
static void scan_cells(int (*ask)(int, int, int, int), int rods[8]) {
  int hit[11][11];
  int r, c;
  for (r = 1; r <= 10; ++r)
    for (c = 1; c <= 10; ++c) hit[r][c] = ask(r, r, c, c);
  memset(rods, 0, 8 * sizeof(int));
  for (r = 1; r <= 10; ++r)
    for (c = 1; c < 10; ++c)
      if (hit[r][c] && hit[r][c + 1]) {
        if (rods[0] == 0) rods[0] = rods[2] = r, rods[1] = c;
        if (rods[0] == r) rods[3] = c + 1;
      }
  for (c = 1; c <= 10; ++c)
    for (r = 1; r < 10; ++r)
      if (hit[r][c] && hit[r + 1][c]) {
        if (rods[5] == 0) rods[5] = rods[7] = c, rods[4] = r;
        if (rods[5] == c) rods[6] = r + 1;
      }
}

#endif
