/* gridprobe.c: cgridprobe, the C-linkage grader: loading, calls, transcript. */
#include "gridprobe.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "errmsg.h"
#include "load_rods.h"

#ifndef GRIDPROBE_MAX_RECT_CALLS
#define GRIDPROBE_MAX_RECT_CALLS 400
#endif

/* All state is file-local: a contestant's own names can never clash with it. */
static int gridprobe_initialized;
static int count;
static int N;
static int sr1, sc1, sr2, sc2;
static int sp1, sq1, sp2, sq2;
static FILE* lgfile;
static FILE* oufile;
/* Left open on a failed load; kept here so the end of the process owns it. */
static FILE* rods_in;
/* rods.log's first failed write has been said on stderr. */
static int log_failed;

/* A file opened while 0, 1 or 2 is closed would take that number, and the
   standard streams would write into it: hold each free one on /dev/null. */
static void keep_standard_descriptors(void) {
  int fd;
  for (fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      int held = open("/dev/null", O_RDWR);
      if (held >= 0 && held != fd) close(held);
    }
}

/* Without rods.out the verdict would be lost silently: say so on stderr. */
static void cannot_create_out(void) {
  fprintf(stderr, "gridprobe: cannot create rods.out: %s\n", strerror(errno));
}

/* Closes rods.out; a verdict cut short (a full disk) is said on stderr too. */
static void close_out(FILE* out) {
  int failed = ferror(out);
  if (fclose(out) != 0 || failed) {
    fprintf(stderr, "gridprobe: cannot write rods.out: %s\n",
            strerror(errno != 0 ? errno : EIO));
  }
}

static void erroroutput(int index) {
  FILE* out;
  int saved_errno;
  keep_standard_descriptors();
  out = fopen("rods.out", "w");
  saved_errno = errno;
  printf("%s\n", errmsg[index]);
  if (out == NULL) {
    errno = saved_errno;
    cannot_create_out();
    return;
  }
  fprintf(out, "%d\n%s\n", 0, errmsg[index]);
  close_out(out);
}

static void fail(int index) {
  erroroutput(index);
  exit(0);
}

/* A transcript lost on a full disk is said once on stderr; the verdict and
   the exit status stay as they are. */
static void check_log(int failed) {
  if (!failed || log_failed) return;
  log_failed = 1;
  fprintf(stderr, "gridprobe: cannot write rods.log: %s\n",
          strerror(errno != 0 ? errno : EIO));
}

/* Each transcript line reaches the file at once: a crash must not lose it. */
static void end_log_line(void) {
  errno = 0;
  check_log(fflush(lgfile) != 0 || ferror(lgfile));
}

static void close_log(void) {
  int failed = ferror(lgfile);
  errno = 0;
  check_log(fclose(lgfile) != 0 || failed);
}

static void init(void) {
  int coord[8];
  int index;
  if (gridprobe_initialized != 0) return;
  gridprobe_initialized = 1;
  count = 0;
  keep_standard_descriptors();
  rods_in = fopen("rods.in", "rt");
  if (rods_in == NULL) fail(0);
  index = load_rods(rods_in, &N, coord);
  if (index >= 0) fail(index);
  sr1 = coord[0];
  sc1 = coord[1];
  sr2 = coord[2];
  sc2 = coord[3];
  sp1 = coord[4];
  sq1 = coord[5];
  sp2 = coord[6];
  sq2 = coord[7];
  fclose(rods_in);
  rods_in = NULL;
  lgfile = fopen("rods.log", "w");
  if (lgfile == NULL) fail(6);
}

int gridsize(void) {
  if (gridprobe_initialized == 0) init();
  fprintf(lgfile, "gridsize() = %d\n", N);
  end_log_line();
  return N;
}

/* Ends a refused rect call: message on its log line, log closed, verdict. */
static void refuse(int index) {
  fprintf(lgfile, "%s\n", errmsg[index]);
  close_log();
  fail(index);
}

int rect(int r1, int r2, int c1, int c2) {
  int answer;
  if (gridprobe_initialized == 0) init();
  ++count;
  fprintf(lgfile, "%d : rect (%d,%d,%d,%d) = ", count, r1, r2, c1, c2);
  if (r1 < 1 || r1 > N || r2 < 1 || r2 > N || c1 < 1 || c1 > N || c2 < 1 ||
      c2 > N || r1 > r2 || c1 > c2)
    refuse(7);
  if (count > GRIDPROBE_MAX_RECT_CALLS) refuse(8);
  if (sr2 >= r1 && sr1 <= r2 && sc2 >= c1 && sc1 <= c2)
    answer = 1;
  else if (sp2 >= r1 && sp1 <= r2 && sq2 >= c1 && sq1 <= c2)
    answer = 1;
  else
    answer = 0;
  fprintf(lgfile, "%d\n", answer);
  end_log_line();
  return answer;
}

void report(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8) {
  if (gridprobe_initialized == 0) init();
  fprintf(lgfile, "report (%d,%d,%d,%d,%d,%d,%d,%d)\n", a1, a2, a3, a4, a5, a6,
          a7, a8);
  close_log();
  if (count == 0) fail(9);
  keep_standard_descriptors();
  oufile = fopen("rods.out", "w");
  if (oufile == NULL) {
    cannot_create_out();
    exit(0);
  }
  fprintf(oufile, "%d\n%d %d %d %d\n%d %d %d %d\n", count, a1, a2, a3, a4, a5,
          a6, a7, a8);
  close_out(oufile);
  exit(0);
}
