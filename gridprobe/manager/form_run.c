/* form_run.c: runs a program on the case in the current directory and
   leaves rods.log, rods.out and the error line as the linked form would. */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "diagnose.h"
#include "forms.h"
#include "session.h"

extern char** environ;

#define PARTIAL_LOG "rods.log.partial"
/* Replies held back while the program does not read them. */
#define REPLY_BACKLOG 65536
/* How long a program that closed the wire may take to end by itself. */
#define EXIT_GRACE_MS 200
/* How long a program may take to end after its verdict is known. */
#define VERDICT_GRACE_MS 1000

static const char* self = "gridprobe-manager";

struct options {
  double wall;
  const char* user;
  const char* chdir;
  char** program;
};

/* A file's whole bytes, or present = 0; leave: not ours to put back (a
   directory, or a file this process cannot read). */
struct file_copy {
  int present;
  int leave;
  char* bytes;
  size_t len;
};

struct run {
  struct options opt;
  struct gp_session s;
  struct file_copy rods_in, old_log;
  int partial_fd;
  int sig_fd;
  int to_prog, from_prog; /* the manager's ends of the wire */
  pid_t manager;
  pid_t child;
  int child_status;
  int child_done;
  char* work_dir; /* the program's own working directory (made here) */
  int made_work_dir;
  uid_t uid;
  gid_t gid;
  int as_user;
  char reply[REPLY_BACKLOG];
  size_t reply_len;
  size_t log_written; /* transcript bytes already in the partial file */
  int killed_at_wall;
  int ended_alone; /* the first process ended before being killed */
  int ended_by_signal;
  int wire_ended;
};

static int fail(const char* what, const char* detail) {
  fprintf(stderr, "%s: %s%s%s\n", self, what, detail ? ": " : "",
          detail ? detail : "");
  return 1;
}

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static int parse_options(int argc, char** argv, struct options* o) {
  int i = 2;
  o->wall = 10.0;
  o->user = NULL;
  o->chdir = NULL;
  o->program = NULL;
  while (i < argc) {
    const char* a = argv[i];
    if (strcmp(a, "--") == 0) {
      ++i;
      break;
    }
    if (a[0] != '-') break;
    if (i + 1 >= argc) return 0;
    if (strcmp(a, "--wall") == 0) {
      char* end;
      errno = 0;
      o->wall = strtod(argv[i + 1], &end);
      if (errno != 0 || *end != '\0' || end == argv[i + 1] || !(o->wall > 0) ||
          o->wall > 86400)
        return 0;
    } else if (strcmp(a, "--user") == 0) {
      o->user = argv[i + 1];
    } else if (strcmp(a, "--chdir") == 0) {
      o->chdir = argv[i + 1];
    } else {
      return 0;
    }
    i += 2;
  }
  if (i >= argc) return 0;
  o->program = argv + i;
  return 1;
}

/* Reads a whole regular file; present = 0 when it cannot be opened. */
static int read_copy(const char* name, struct file_copy* c) {
  struct stat st;
  int fd;
  memset(c, 0, sizeof *c);
  if (lstat(name, &st) == 0 && S_ISDIR(st.st_mode)) {
    c->leave = 1;
    return 1;
  }
  fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    c->leave = errno != ENOENT;
    return 1;
  }
  for (;;) {
    char chunk[65536];
    ssize_t n = read(fd, chunk, sizeof chunk);
    char* grown;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      /* Unreadable as a whole: the linked form could not read it either. */
      close(fd);
      free(c->bytes);
      memset(c, 0, sizeof *c);
      c->leave = 1;
      return 1;
    }
    if (n == 0) break;
    grown = realloc(c->bytes, c->len + (size_t)n);
    if (grown == NULL) {
      close(fd);
      return 0;
    }
    c->bytes = grown;
    memcpy(c->bytes + c->len, chunk, (size_t)n);
    c->len += (size_t)n;
  }
  close(fd);
  c->present = 1;
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

static int write_all(int fd, const char* p, size_t len) {
  while (len > 0) {
    ssize_t n = write(fd, p, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    p += n;
    len -= (size_t)n;
  }
  return 1;
}

/* Publishes bytes under name at once: a temporary file, then rename. */
static int publish(const char* name, const char* bytes, size_t len) {
  char tmp[64];
  mode_t mask = umask(0);
  int fd, ok;
  umask(mask);
  snprintf(tmp, sizeof tmp, ".%s.XXXXXX", name);
  fd = mkostemp(tmp, O_CLOEXEC);
  if (fd < 0) return 0;
  ok = write_all(fd, bytes, len) && fchmod(fd, 0666 & ~mask) == 0;
  if (close(fd) != 0) ok = 0;
  if (ok && rename(tmp, name) != 0) ok = 0;
  if (!ok) unlink(tmp);
  return ok;
}

/* Whether fopen(name, "w") would succeed in the linked form. */
static int log_creatable(void) {
  struct stat st;
  if (stat("rods.log", &st) == 0) {
    if (S_ISDIR(st.st_mode)) return 0;
    return access("rods.log", W_OK) == 0;
  }
  return access(".", W_OK) == 0;
}

/* The uid and gid of a user named in the password file. */
static int find_user(const char* name, uid_t* uid, gid_t* gid) {
  FILE* f = fopen("/etc/passwd", "re");
  char line[1024];
  size_t nlen = strlen(name);
  int found = 0;
  if (f == NULL) return 0;
  while (!found && fgets(line, sizeof line, f) != NULL) {
    char* p;
    unsigned long u, g;
    if (strncmp(line, name, nlen) != 0 || line[nlen] != ':') continue;
    p = strchr(line + nlen + 1, ':'); /* past the password field */
    if (p == NULL) continue;
    errno = 0;
    u = strtoul(p + 1, &p, 10);
    if (errno != 0 || *p != ':') continue;
    g = strtoul(p + 1, &p, 10);
    if (errno != 0 || *p != ':') continue;
    *uid = (uid_t)u;
    *gid = (gid_t)g;
    found = 1;
  }
  fclose(f);
  return found;
}

/* A relative name made absolute: the program starts elsewhere. */
static char* absolute(char* name) {
  char cwd[PATH_MAX];
  char* full;
  if (name == NULL || name[0] == '/') return name;
  if (getcwd(cwd, sizeof cwd) == NULL) {
    free(name);
    return NULL;
  }
  full = malloc(strlen(cwd) + strlen(name) + 2);
  if (full != NULL) sprintf(full, "%s/%s", cwd, name);
  free(name);
  return full;
}

/* The program file as execvp would find it, as an absolute name. */
static char* resolve_program(const char* name) {
  const char* path;
  if (strchr(name, '/') != NULL) return absolute(strdup(name));
  path = getenv("PATH");
  if (path == NULL) path = "/usr/local/bin:/usr/bin:/bin";
  while (*path != '\0') {
    const char* colon = strchr(path, ':');
    size_t dlen = colon ? (size_t)(colon - path) : strlen(path);
    char* full = malloc(dlen + strlen(name) + 3);
    if (full == NULL) return NULL;
    if (dlen == 0)
      sprintf(full, "./%s", name);
    else
      sprintf(full, "%.*s/%s", (int)dlen, path, name);
    if (access(full, X_OK) == 0) return absolute(full);
    free(full);
    path = colon ? colon + 1 : path + dlen;
  }
  return NULL;
}

/* Copies the program into the private directory, owned by the user. */
static char* copy_program(struct run* r, const char* name) {
  char* from = resolve_program(name);
  struct file_copy c;
  char* to;
  const char* base;
  int fd, ok;
  if (from == NULL || !read_copy(from, &c) || !c.present) {
    free(from);
    return NULL;
  }
  base = strrchr(from, '/');
  base = base ? base + 1 : from;
  to = malloc(strlen(r->work_dir) + strlen(base) + 2);
  if (to == NULL) {
    free(from);
    free(c.bytes);
    return NULL;
  }
  sprintf(to, "%s/%s", r->work_dir, base);
  fd = open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0700);
  ok = fd >= 0 && write_all(fd, c.bytes, c.len) &&
       fchown(fd, r->uid, r->gid) == 0;
  if (fd >= 0 && close(fd) != 0) ok = 0;
  free(from);
  free(c.bytes);
  if (!ok) {
    free(to);
    return NULL;
  }
  return to;
}

static int remove_entry(const char* path, const struct stat* st, int flag,
                        struct FTW* ftw) {
  (void)st;
  (void)flag;
  (void)ftw;
  remove(path);
  return 0;
}

/* The environment without the judge's working directories. */
static char** clean_environment(void) {
  size_t n = 0, i, k = 0;
  char** env;
  while (environ[n] != NULL) ++n;
  env = calloc(n + 1, sizeof *env);
  if (env == NULL) return NULL;
  for (i = 0; i < n; ++i)
    if (strncmp(environ[i], "PWD=", 4) != 0 &&
        strncmp(environ[i], "OLDPWD=", 7) != 0)
      env[k++] = environ[i];
  env[k] = NULL;
  return env;
}

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

/* In the child: becomes the program, or reports errno on status_fd. */
static void start_program(struct run* r, int in_fd, int out_fd, int status_fd,
                          char* path, char** env) {
  sigset_t none;
  int err;
  setpgid(0, 0);
  signal(SIGPIPE, SIG_DFL);
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, NULL);
  if (dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0) goto failed;
  if (status_fd != 3) {
    if (dup2(status_fd, 3) < 0) goto failed;
    status_fd = 3;
  }
  fcntl(status_fd, F_SETFD, FD_CLOEXEC);
  close_from(4);
  if (chdir(r->work_dir) != 0) goto failed;
  if (r->as_user) {
    if (setgroups(0, NULL) != 0 || setgid(r->gid) != 0 || setuid(r->uid) != 0)
      goto failed;
  }
  /* A manager killed outright takes the program with it. */
  prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
  if (getppid() != r->manager) _exit(127);
  execve(path, r->opt.program, env);
failed:
  err = errno;
  if (write(status_fd, &err, sizeof err) < 0) _exit(127);
  _exit(127);
}

/* Kills every process the program left and reaps them all. */
static void end_all(struct run* r) {
  pid_t me = getpid();
  for (;;) {
    int status;
    pid_t pid;
    DIR* proc;
    kill(-r->child, SIGKILL);
    /* Orphans came to this subreaper; those in other groups die here. */
    proc = opendir("/proc");
    if (proc != NULL) {
      struct dirent* d;
      while ((d = readdir(proc)) != NULL) {
        char path[300], buf[512];
        int fd;
        ssize_t n;
        char* close_paren;
        long ppid;
        if (d->d_name[0] < '1' || d->d_name[0] > '9') continue;
        snprintf(path, sizeof path, "/proc/%s/stat", d->d_name);
        fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        n = read(fd, buf, sizeof buf - 1);
        close(fd);
        if (n <= 0) continue;
        buf[n] = '\0';
        close_paren = strrchr(buf, ')');
        if (close_paren == NULL) continue;
        if (sscanf(close_paren + 2, "%*c %ld", &ppid) == 1 && ppid == me)
          kill((pid_t)atol(d->d_name), SIGKILL);
      }
      closedir(proc);
    }
    pid = waitpid(-1, &status, 0);
    if (pid < 0 && errno == ECHILD) break;
    if (pid == r->child && !r->child_done) {
      r->child_done = 1;
      r->child_status = status;
    }
  }
}

static void reap(struct run* r) {
  int status;
  pid_t pid;
  while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
    if (pid == r->child) {
      r->child_done = 1;
      r->child_status = status;
    }
  }
}

/* Appends the transcript's new bytes to the file that outlives a kill. */
static void flush_partial(struct run* r) {
  size_t len;
  const char* log = gp_session_log(&r->s, &len);
  if (r->partial_fd >= 0 && len > r->log_written) {
    if (!write_all(r->partial_fd, log + r->log_written, len - r->log_written)) {
      close(r->partial_fd);
      r->partial_fd = -1;
    }
    r->log_written = len;
  }
}

static void queue_reply(struct run* r, const char* text, size_t len) {
  if (r->reply_len + len <= sizeof r->reply) {
    memcpy(r->reply + r->reply_len, text, len);
    r->reply_len += len;
  }
}

static void drain_replies(struct run* r) {
  while (r->reply_len > 0 && r->to_prog >= 0) {
    ssize_t n = write(r->to_prog, r->reply, r->reply_len);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    if (n <= 0) { /* the program no longer reads: nothing more to say */
      close(r->to_prog);
      r->to_prog = -1;
      r->reply_len = 0;
      return;
    }
    memmove(r->reply, r->reply + n, r->reply_len - (size_t)n);
    r->reply_len -= (size_t)n;
  }
}

/* Handles one signalfd event: 1 when the manager is told to stop. */
static int take_signal(struct run* r) {
  struct signalfd_siginfo info;
  int stop = 0;
  while (read(r->sig_fd, &info, sizeof info) == sizeof info) {
    if (info.ssi_signo == SIGCHLD)
      reap(r);
    else
      stop = 1;
  }
  return stop;
}

/* Serves requests until the run ends, the wire ends or the wall time runs
   out. Returns 0 normally, 1 when a signal stopped the manager. */
static int serve(struct run* r, double deadline) {
  char line[GP_REQUEST_MAX + 2];
  size_t line_len = 0;
  while (r->s.outcome == GP_RUNNING) {
    struct pollfd p[3];
    int np = 0, timeout, wire = -1;
    size_t room;
    double left = deadline - now();
    char buf[4096];
    ssize_t n, i;
    if (left <= 0) {
      r->killed_at_wall = 1;
      return 0;
    }
    timeout = (int)(left * 1000) + 1;
    p[np].fd = r->sig_fd;
    p[np++].events = POLLIN;
    /* A request takes 2 bytes at least, its reply 6 at most: read no more
       than the replies can answer, whatever the program floods in. */
    room = (sizeof r->reply - r->reply_len) / 3;
    if (room > sizeof buf) room = sizeof buf;
    if (room >= 2) {
      wire = np;
      p[np].fd = r->from_prog;
      p[np++].events = POLLIN;
    }
    if (r->reply_len > 0 && r->to_prog >= 0) {
      p[np].fd = r->to_prog;
      p[np++].events = POLLOUT;
    }
    if (poll(p, (nfds_t)np, timeout) < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    if ((p[0].revents & POLLIN) && take_signal(r)) return 1;
    drain_replies(r);
    if (wire < 0 || p[wire].revents == 0) continue;
    n = read(r->from_prog, buf, room);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      r->wire_ended = 1;
      if (line_len > 0)
        gp_session_truncated(&r->s);
      else
        gp_session_no_report(&r->s);
      flush_partial(r);
      return 0;
    }
    for (i = 0; i < n && r->s.outcome == GP_RUNNING; ++i) {
      char ch = buf[i];
      if (ch != '\n') {
        line[line_len++] = ch;
        if (line_len > GP_REQUEST_MAX) {
          int ignored;
          /* No line that long is a call: refuse it without waiting. */
          gp_session_request(&r->s, line, line_len, &ignored);
          break;
        }
        continue;
      }
      {
        int value = 0;
        char text[16];
        if (gp_session_request(&r->s, line, line_len, &value) == GP_REPLY) {
          int len = snprintf(text, sizeof text, "%d\n", value);
          queue_reply(r, text, (size_t)len);
        }
        line_len = 0;
      }
    }
    if (r->s.outcome != GP_RUNNING) queue_reply(r, "E\n", 2);
    drain_replies(r);
    /* After the reply: the program goes on while the line is saved. */
    flush_partial(r);
  }
  return 0;
}

/* Waits until the program's first process has ended or the time is up. */
static int wait_child(struct run* r, double until) {
  while (!r->child_done) {
    struct pollfd p[2];
    double left = until - now();
    if (left <= 0) return 0;
    p[0].fd = r->sig_fd;
    p[0].events = POLLIN;
    p[1].fd = r->to_prog;
    p[1].events = POLLOUT;
    if (poll(p, r->reply_len > 0 && r->to_prog >= 0 ? 2 : 1,
             (int)(left * 1000) + 1) > 0) {
      if ((p[0].revents & POLLIN) && take_signal(r)) return 1;
      drain_replies(r);
    }
  }
  return 0;
}

static void describe_no_verdict(const struct run* r) {
  if (r->killed_at_wall) {
    fprintf(stderr,
            "%s: no verdict: the program ran out of wall time (%g s) "
            "before calling report\n",
            self, r->opt.wall);
  } else if (r->ended_alone && WIFSIGNALED(r->child_status)) {
    fprintf(stderr,
            "%s: no verdict: the program crashed (%s) before calling "
            "report\n",
            self, strsignal(WTERMSIG(r->child_status)));
  } else if (r->ended_alone) {
    fprintf(stderr,
            "%s: no verdict: the program ended (exit status %d) without "
            "calling report\n",
            self, WEXITSTATUS(r->child_status));
  } else {
    fprintf(stderr,
            "%s: no verdict: the program closed the wire without calling "
            "report\n",
            self);
  }
}

/* Puts back a file the program changed; old is what it was. */
static void restore(const char* name, const struct file_copy* old) {
  if (old->leave || same_as(name, old)) return;
  if (old->present)
    publish(name, old->bytes, old->len);
  else
    unlink(name);
}

static int setup_signals(struct run* r) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGCHLD);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGQUIT);
  if (sigprocmask(SIG_BLOCK, &set, NULL) != 0) return 0;
  r->sig_fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  signal(SIGPIPE, SIG_IGN);
  return r->sig_fd >= 0;
}

static int make_work_dir(struct run* r) {
  if (r->opt.chdir != NULL) {
    r->work_dir = strdup(r->opt.chdir);
    return r->work_dir != NULL;
  }
  {
    const char* tmp = getenv("TMPDIR");
    char* dir;
    if (tmp == NULL || tmp[0] != '/') tmp = "/tmp";
    dir = malloc(strlen(tmp) + 32);
    if (dir == NULL) return 0;
    sprintf(dir, "%s/gridprobe-run-XXXXXX", tmp);
    if (mkdtemp(dir) == NULL) {
      free(dir);
      return 0;
    }
    r->work_dir = dir;
    r->made_work_dir = 1;
    if (r->as_user && chown(dir, r->uid, r->gid) != 0) return 0;
  }
  return 1;
}

static int launch(struct run* r) {
  int to_child[2], from_child[2], status[2];
  char* path;
  char** env = clean_environment();
  ssize_t n;
  int err = 0;
  if (env == NULL) return fail("out of memory", NULL);
  if (r->as_user)
    path = copy_program(r, r->opt.program[0]);
  else
    path = resolve_program(r->opt.program[0]);
  if (path == NULL) {
    free(env);
    return fail("cannot start the program", r->opt.program[0]);
  }
  /* The wire is a socket pair: the stub can then write without SIGPIPE
     at no extra cost. Each direction has a socket of its own. */
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, to_child) != 0 ||
      socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, from_child) != 0 ||
      pipe2(status, O_CLOEXEC) != 0) {
    free(env);
    free(path);
    return fail("cannot make the wire", strerror(errno));
  }
  r->manager = getpid();
  r->child = fork();
  if (r->child < 0) return fail("cannot start the program", strerror(errno));
  if (r->child == 0)
    start_program(r, to_child[0], from_child[1], status[1], path, env);
  setpgid(r->child, r->child); /* either side may get there first */
  close(to_child[0]);
  close(from_child[1]);
  close(status[1]);
  /* One-way each: the manager never reads replies back nor writes up. */
  shutdown(to_child[1], SHUT_RD);
  shutdown(from_child[0], SHUT_WR);
  free(env);
  free(path);
  r->to_prog = to_child[1];
  r->from_prog = from_child[0];
  fcntl(r->to_prog, F_SETFL, O_NONBLOCK);
  do n = read(status[0], &err, sizeof err);
  while (n < 0 && errno == EINTR);
  close(status[0]);
  if (n == (ssize_t)sizeof err) {
    end_all(r);
    return fail("cannot start the program", strerror(err));
  }
  return 0;
}

static int run_with(struct run* r, int argc, char** argv) {
  int code = 0, stopped = 0, bad_case = 0;
  double deadline;
  FILE* in;
  char out[GP_OUT_MAX];
  size_t out_len;
  r->partial_fd = r->sig_fd = r->to_prog = r->from_prog = -1;
  /* A program of the same user must not read the case from this memory. */
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  if (!parse_options(argc, argv, &r->opt)) {
    fputs(
        "usage: gridprobe-manager run [--wall SECONDS] [--user NAME] "
        "[--chdir DIR] -- PROGRAM [ARGS...]\n",
        stderr);
    return 1;
  }
  if (r->opt.user != NULL) {
    if (geteuid() != 0) return fail("--user needs root", NULL);
    if (!find_user(r->opt.user, &r->uid, &r->gid))
      return fail("no such user", r->opt.user);
    if (r->uid == 0)
      return fail("--user must name a user other than root", r->opt.user);
    r->as_user = 1;
  } else if (geteuid() == 0) {
    fprintf(stderr,
            "%s: warning: running as root without --user: the program can "
            "read the judge's files, the case included\n",
            self);
  }
  if (prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0)
    return fail("cannot become a subreaper", strerror(errno));
  if (!setup_signals(r)) return fail("cannot set up signals", strerror(errno));

  /* The case is read whole before the program exists. */
  if (!read_copy("rods.in", &r->rods_in)) return fail("out of memory", NULL);
  if (!read_copy("rods.log", &r->old_log)) return fail("out of memory", NULL);
  in = r->rods_in.present
           ? fmemopen(r->rods_in.len ? r->rods_in.bytes : (char*)"x",
                      r->rods_in.len ? r->rods_in.len : 1, "r")
           : NULL;
  if (in != NULL && r->rods_in.len == 0) fgetc(in); /* an empty file */
  gp_session_load(&r->s, r->rods_in.present ? in : NULL, log_creatable());
  if (in != NULL) fclose(in);

  /* A verdict left by an earlier run must not pass for this one's. */
  {
    struct stat st;
    if (lstat("rods.out", &st) == 0 && S_ISDIR(st.st_mode))
      return fail("cannot write rods.out", "it is a directory");
    if (unlink("rods.out") != 0 && errno != ENOENT)
      return fail("cannot remove the old rods.out", strerror(errno));
  }
  unlink(PARTIAL_LOG);
  r->partial_fd = open(
      PARTIAL_LOG, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (r->partial_fd < 0)
    return fail("cannot write in the case directory", strerror(errno));
  if (!make_work_dir(r)) {
    unlink(PARTIAL_LOG);
    return fail("cannot make the working directory", strerror(errno));
  }

  if (launch(r) != 0) {
    code = 1;
  } else {
    deadline = now() + r->opt.wall;
    stopped = serve(r, deadline);
    if (!stopped) {
      if (r->s.outcome == GP_RUNNING) {
        /* the wall time ran out with the run still going */
      } else if (r->wire_ended && r->s.outcome == GP_NO_REPORT) {
        double grace = now() + EXIT_GRACE_MS / 1000.0;
        stopped = wait_child(r, grace < deadline ? grace : deadline);
      } else {
        /* A verdict: the program ends itself on "E" unless it hangs. */
        double grace = now() + VERDICT_GRACE_MS / 1000.0;
        stopped = wait_child(r, grace < deadline ? grace : deadline);
      }
    }
    r->ended_alone = r->child_done;
    end_all(r);
    close(r->from_prog);
    if (r->to_prog >= 0) close(r->to_prog);
  }

  /* Every process of the program is gone: only now is anything published. */
  if (code == 0 && !stopped) {
    size_t len;
    const char* log = gp_session_log(&r->s, &len);
    char line[128];
    const char* out_line;
    if (r->s.outcome == GP_RUNNING) gp_session_no_report(&r->s);
    out_len = gp_session_out(&r->s, out);
    if (gp_session_log_touched(&r->s)) {
      if (r->s.log_failed || !publish("rods.log", log, len))
        code = fail("cannot write rods.log", strerror(errno));
    } else {
      restore("rods.log", &r->old_log);
    }
    if (out_len > 0) {
      if (!publish("rods.out", out, out_len))
        code = fail("cannot write rods.out", strerror(errno));
    } else {
      unlink("rods.out"); /* nothing but the program can have put it there */
    }
    out_line = gp_session_stdout_line(&r->s, line, sizeof line);
    if (out_line != NULL) {
      fputs(out_line, stdout);
      fflush(stdout);
    }
    if (code == 0 && out_len == 0) {
      describe_no_verdict(r);
      code = 2;
    }
    if (r->s.linked_output)
      fprintf(stderr, "%s: %s\n", self, gp_linked_build_hint());
    /* Broken test data: the files stay as the linked form leaves them, but
       the run is no verdict on the program. */
    if (gp_case_fault(&r->s, line, sizeof line) != NULL && code != 1) {
      fprintf(stderr, "%s: rods.in: %s\n", self, line);
      bad_case = 1;
    }
    unlink(PARTIAL_LOG);
  } else if (stopped) {
    unlink("rods.out");
    fprintf(stderr, "%s: stopped by a signal; the transcript so far is in %s\n",
            self, PARTIAL_LOG);
    code = 3;
  }
  if (code == 1) {
    unlink(PARTIAL_LOG);
    unlink("rods.out");
  }
  if (r->partial_fd >= 0) close(r->partial_fd);
  r->partial_fd = -1;
  restore("rods.in", &r->rods_in);
  if (r->made_work_dir)
    nftw(r->work_dir, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  return bad_case ? 1 : code;
}

int run_main(int argc, char** argv) {
  struct run* r = calloc(1, sizeof *r);
  int code;
  if (r == NULL) return fail("out of memory", NULL);
  code = run_with(r, argc, argv);
  if (r->partial_fd >= 0) close(r->partial_fd);
  if (r->sig_fd >= 0) close(r->sig_fd);
  gp_session_free(&r->s);
  free(r->rods_in.bytes);
  free(r->old_log.bytes);
  free(r->work_dir);
  free(r);
  return code;
}
