/* sandbox_os.c: bwrap started, limited, released; children signalled. */
#define _GNU_SOURCE
#include "sandbox_os.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static void close_from(int lowest) {
#ifdef SYS_close_range
  if (syscall(SYS_close_range, (unsigned)lowest, ~0U, 0) == 0) return;
#endif
  {
    long top = sysconf(_SC_OPEN_MAX);
    int fd;
    if (top < 0 || top > 1048576) top = 1048576;
    for (fd = lowest; fd < top; ++fd) close(fd);
  }
}

/* Moves fd out of the way of the fixed numbers; -1 stays -1. */
static int lift(int fd) {
  return fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, SANDBOX_FIRST_FREE_FD + 8);
}

void sandbox_exec(const struct sandbox_exec* e) {
  sigset_t none;
  int err;
  int in = lift(e->in_fd), out = lift(e->out_fd), err_fd = lift(e->errno_fd);
  int status = lift(e->status_fd), block = lift(e->block_fd);
  int program = lift(e->program_fd), dir = lift(e->chdir_fd);
  signal(SIGPIPE, SIG_DFL);
  signal(SIGXFSZ, SIG_DFL); /* the manager ignores it; the program not */
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, NULL);
  if (in < 0 || out < 0 || err_fd < 0 || status < 0 || block < 0 ||
      program < 0 || (e->chdir_fd >= 0 && dir < 0))
    goto failed;
  /* dup2 clears close-on-exec: these reach bwrap, the errno pipe does not. */
  if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err_fd, 3) < 0 ||
      dup2(status, SANDBOX_STATUS_FD) < 0 ||
      dup2(block, SANDBOX_BLOCK_FD) < 0 ||
      dup2(program, SANDBOX_PROGRAM_FD) < 0 ||
      (dir >= 0 && dup2(dir, SANDBOX_CHDIR_FD) < 0))
    goto failed_3;
  fcntl(3, F_SETFD, FD_CLOEXEC);
  close_from(dir >= 0 ? SANDBOX_CHDIR_FD + 1 : SANDBOX_CHDIR_FD);
  {
    /* No core file anywhere; and the user's process count outside must not
       cap the sandbox, whose own count the limits set. */
    struct rlimit zero = {0, 0}, unlimited = {RLIM_INFINITY, RLIM_INFINITY};
    setrlimit(RLIMIT_CORE, &zero);
    if (geteuid() == 0) setrlimit(RLIMIT_NPROC, &unlimited);
  }
  if (e->as_user) {
    if (setgroups(0, NULL) != 0 || setgid(e->gid) != 0 || setuid(e->uid) != 0)
      goto failed_3;
  }
  /* After the change of user, which clears it: bwrap outlives no manager. */
  prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
  if (getppid() != e->manager) _exit(127);
  execve(e->bwrap, e->argv, e->env);
failed_3:
  err_fd = 3;
failed:
  err = errno;
  if (err_fd >= 0 && write(err_fd, &err, sizeof err) < 0) _exit(127);
  _exit(127);
}

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

/* Reads the status pipe until its first line is whole; 0 on EOF/timeout. */
static int read_first_line(struct sandbox_run* s, double until) {
  while (memchr(s->status, '\n', s->status_len) == NULL) {
    struct pollfd p = {s->status_fd, POLLIN, 0};
    double left = until - now();
    ssize_t n;
    if (left <= 0 || s->status_len + 1 >= sizeof s->status) return 0;
    if (poll(&p, 1, (int)(left * 1000) + 1) < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    n = read(s->status_fd, s->status + s->status_len,
             sizeof s->status - 1 - s->status_len);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return 0;
    s->status_len += (size_t)n;
  }
  return 1;
}

/* 1 when pid's parent is ppid, by /proc/PID/status. */
static int parent_is(pid_t pid, pid_t ppid) {
  char path[64], buf[2048];
  const char* p;
  ssize_t n;
  int fd;
  snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
  fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return 0;
  buf[n] = '\0';
  p = strstr(buf, "\nPPid:");
  return p != NULL && atol(p + 6) == (long)ppid;
}

/* Sets the limits on pid: 1, or 0 with errno. */
static int set_limits(pid_t pid, const struct sandbox_limits* l) {
  struct sandbox_rlimit want[SANDBOX_RLIMITS];
  int i;
  sandbox_rlimits(l, 1, want);
  for (i = 0; i < SANDBOX_RLIMITS; ++i) {
    struct rlimit old, set;
    set.rlim_cur = (rlim_t)want[i].soft;
    set.rlim_max = (rlim_t)want[i].hard;
    /* Never above a hard limit the judge set on the manager. */
    if (prlimit(pid, (__rlimit_resource_t)want[i].resource, NULL, &old) ==
        0) {
      if (old.rlim_max != RLIM_INFINITY && set.rlim_max > old.rlim_max)
        set.rlim_max = old.rlim_max;
      if (set.rlim_cur > set.rlim_max) set.rlim_cur = set.rlim_max;
    }
    if (prlimit(pid, (__rlimit_resource_t)want[i].resource, &set, NULL) != 0)
      return 0;
  }
  return 1;
}

/* set_limits as uid and gid: the owner of a process may limit it without
   any capability, which a root manager may lack. */
static int set_limits_as(pid_t pid, const struct sandbox_limits* l, uid_t uid,
                         gid_t gid) {
  pid_t helper = fork();
  int status;
  if (helper < 0) return 0;
  if (helper == 0) {
    if (setgroups(0, NULL) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
      _exit(errno & 0xff);
    _exit(set_limits(pid, l) ? 0 : (errno & 0xff));
  }
  while (waitpid(helper, &status, 0) < 0)
    if (errno != EINTR) return 0;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 1;
  errno = WIFEXITED(status) ? WEXITSTATUS(status) : EPERM;
  return 0;
}

int sandbox_release(struct sandbox_run* s, const struct sandbox_limits* l,
                    double timeout_seconds, int as_user, uid_t uid,
                    gid_t gid) {
  int pidfd, ok = 1;
  if (!read_first_line(s, now() + timeout_seconds)) return -1;
  s->inner = sandbox_child_pid(s->status, s->status_len);
  if (s->inner <= 0) return -1;
  /* bwrap's child is blocked until told, and only bwrap (our child, not
     yet reaped, so its pid is its own) can reap it: a pid whose parent is
     bwrap is that child. The pidfd then shows it lived throughout. */
  pidfd = (int)syscall(SYS_pidfd_open, s->inner, 0);
  if (pidfd < 0 || !parent_is(s->inner, s->bwrap)) {
    if (pidfd >= 0) close(pidfd);
    errno = ESRCH;
    return -1;
  }
  ok = as_user ? set_limits_as(s->inner, l, uid, gid) : set_limits(s->inner, l);
  if (ok && syscall(SYS_pidfd_send_signal, pidfd, 0, NULL, 0) != 0) {
    errno = ESRCH;
    ok = 0;
  }
  {
    int saved = errno;
    close(pidfd);
    errno = saved;
  }
  if (!ok) return -1;
  if (write(s->block_fd, "g", 1) != 1) return -1;
  close(s->block_fd);
  s->block_fd = -1;
  return 0;
}

int sandbox_program_ended(struct sandbox_run* s, int* code) {
  for (;;) {
    ssize_t n;
    if (s->status_fd < 0 || s->status_len + 1 >= sizeof s->status) break;
    n = read(s->status_fd, s->status + s->status_len,
             sizeof s->status - 1 - s->status_len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    s->status_len += (size_t)n;
  }
  return sandbox_exit_code(s->status, s->status_len, code);
}

int sandbox_limit_self(const struct sandbox_limits* l) {
  struct sandbox_rlimit want[SANDBOX_RLIMITS];
  int i;
  sandbox_rlimits(l, 0, want);
  for (i = 0; i < SANDBOX_RLIMITS; ++i) {
    struct rlimit old, set;
    set.rlim_cur = (rlim_t)want[i].soft;
    set.rlim_max = (rlim_t)want[i].hard;
    if (getrlimit((__rlimit_resource_t)want[i].resource, &old) == 0 &&
        old.rlim_max != RLIM_INFINITY && set.rlim_max > old.rlim_max) {
      set.rlim_max = old.rlim_max;
      if (set.rlim_cur > set.rlim_max) set.rlim_cur = set.rlim_max;
    }
    if (setrlimit((__rlimit_resource_t)want[i].resource, &set) != 0) return -1;
  }
  return 0;
}

void usage_add(struct run_usage* u, const struct rusage* ru) {
  u->cpu_seconds += (double)ru->ru_utime.tv_sec +
                    (double)ru->ru_utime.tv_usec / 1e6 +
                    (double)ru->ru_stime.tv_sec +
                    (double)ru->ru_stime.tv_usec / 1e6;
  if (ru->ru_maxrss > u->peak_kib) u->peak_kib = ru->ru_maxrss;
}

int signal_children(int sig) {
  char path[64];
  char buf[8192];
  int fd, count = 0;
  ssize_t n;
  char* p;
  snprintf(path, sizeof path, "/proc/self/task/%d/children", (int)getpid());
  fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  /* The list is read whole each time: a flood shows in pieces of 8 KiB,
     signalled piece by piece, until no child is left to list. */
  n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return 0;
  buf[n] = '\0';
  /* Only whole numbers: each ends with a blank; a cut-off last one would
     name another process. */
  for (p = buf; *p != '\0';) {
    char* end;
    long pid = strtol(p, &end, 10);
    if (end == p || *end != ' ') break;
    if (pid > 0 && kill((pid_t)pid, sig) == 0) ++count;
    p = end + 1;
  }
  return count;
}
