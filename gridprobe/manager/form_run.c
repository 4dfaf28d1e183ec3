/* form_run.c: runs a program on the case in the current directory and
   leaves rods.log, rods.out and the error line as the linked form would.

   The file is in four divisions, in this order; keep them so:
   - options: the command line of "run";
   - the child: the program's wire, its fork and start (program.h holds
     what it starts as), and the end of every process it made;
   - the wire: serving requests into a reply backlog, the signals that stop
     the manager, the transcript that outlives a kill;
   - the run: prepare, play and publish_outcome, called in that order by
     run_with. Nothing is published before play has ended every process.
   The case files' copies and their publishing are in case_files.c; finding
   the program and its copy are in program.c. */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "case_files.h"
#include "diagnose.h"
#include "forms.h"
#include "io.h"
#include "program.h"
#include "sandbox.h"
#include "sandbox_os.h"
#include "session.h"

#define PARTIAL_LOG "rods.log.partial"
/* Replies held back while the program does not read them. */
#define REPLY_BACKLOG 65536
/* How long a program that closed the wire may take to end by itself. */
#define EXIT_GRACE_MS 200
/* How long a program may take to end after its verdict is known. */
#define VERDICT_GRACE_MS 1000

static const char* self = "gridprobe-manager";

static int fail(const char* what, const char* detail) {
  fprintf(stderr, "%s: %s%s%s\n", self, what, detail ? ": " : "",
          detail ? detail : "");
  return 1;
}

struct options {
  double wall;       /* --wall: seconds the program may run */
  const char* user;  /* --user: who the program runs as, or NULL */
  const char* chdir; /* --chdir: its working directory, or NULL: a new one */
  char** program;    /* the program and its arguments */
  int no_sandbox;    /* --no-sandbox: the program starts as it is */
  struct sandbox_limits limits;
  unsigned long log_limit_mib; /* --log-limit: the transcript's bound */
};

struct run {
  struct options opt;
  struct gp_session s;
  struct file_copy rods_in; /* put back after the run, whatever it did */
  struct file_copy old_log; /* put back when the run leaves no rods.log */
  int partial_fd;           /* PARTIAL_LOG: the transcript so far, or -1 */
  int sig_fd;               /* signalfd: SIGCHLD and the signals that stop us */
  int to_prog, from_prog;   /* the manager's ends of the wire, or -1 */
  pid_t child;       /* the program's first process, its group's leader */
  int child_status;  /* its wait status, once child_done */
  int child_done;    /* the first process has been reaped */
  char* work_dir;    /* the program's own working directory */
  int made_work_dir; /* work_dir was made here: removed at the end */
  uid_t uid;         /* with as_user: whom the program runs as */
  gid_t gid;
  int as_user; /* --user was given: the program is copied and drops to it */
  char reply[REPLY_BACKLOG]; /* replies not yet taken by the program */
  size_t reply_len;
  char wire[4096]; /* requests read but not yet fed: the backlog was full */
  size_t wire_len, wire_used;
  struct gp_line pending; /* a request line still without its line feed */
  size_t log_written;     /* transcript bytes already in the partial file */
  int killed_at_wall;     /* the wall time ran out while serving */
  int ended_alone;        /* the first process ended before being killed */
  int wire_ended;         /* the program closed its end of the wire */
  int sandboxed;          /* child is bwrap, the program inside its sandbox */
  struct sandbox_run sb;
  struct run_usage usage; /* of everything reaped */
  int log_over;           /* the transcript passed --log-limit */
  int write_errno;        /* the partial transcript could not be written */
  int heard;              /* the program sent something: it has started */
  int old_log_gone; /* an earlier rods.log was removed at the first call */
  char* copy_dir;   /* --no-sandbox --user: the program's copy is here */
  int bad_case;     /* rods.in is unusable: files as the linked form, exit 1 */
};

/* ****************************** Options ****************************** */

/* A usage error: what was wrong, and the word or value it was about. */
struct usage_error {
  char what[96];
  const char* arg;
};

static int usage_error(struct usage_error* e, const char* prefix,
                       const char* what, const char* arg) {
  snprintf(e->what, sizeof e->what, "%s%s", prefix, what);
  e->arg = arg;
  return 0;
}

/* A whole number in 1..max into *v: 1, or 0 once the error is noted. */
static int whole(const char* text, unsigned long max, const char* value,
                 unsigned long* v, struct usage_error* e) {
  char* end;
  char range[48];
  errno = 0;
  if (text[0] < '0' || text[0] > '9')
    return usage_error(e, "not ", value, text);
  *v = strtoul(text, &end, 10);
  if (*end != '\0') return usage_error(e, "not ", value, text);
  if (errno != 0 || *v < 1 || *v > max) {
    snprintf(range, sizeof range, "out of range (1 to %lu)", max);
    return usage_error(e, "", range, text);
  }
  return 1;
}

/* The options of run: 1, or 0 with the error noted in e. */
static int parse_options(int argc, char** argv, struct options* o,
                         struct usage_error* e) {
  /* Each option with a value, what its value is, and its bound. */
  static const struct {
    const char* name;
    const char* value; /* names what must follow, and what was not it */
    unsigned long max; /* the bound of a whole number; 0: not one */
  } with_value[] = {
      {"--wall", "a number of seconds", 0},
      {"--user", "a user name", 0},
      {"--chdir", "a directory", 0},
      {"--cpu", "a whole number of seconds", 86400},
      {"--mem", "a whole number of MiB", 1UL << 22},
      {"--procs", "a whole number of processes", 1UL << 20},
      {"--fsize", "a whole number of MiB", 1UL << 22},
      {"--log-limit", "a whole number of MiB", GP_MAX_LOG_LIMIT_MIB},
  };
  int i = 2;
  o->wall = 10.0;
  o->user = NULL;
  o->chdir = NULL;
  o->program = NULL;
  o->no_sandbox = 0;
  o->limits.cpu_seconds = SANDBOX_DEFAULT_CPU;
  o->limits.mem_mib = SANDBOX_DEFAULT_MEM;
  o->limits.procs = SANDBOX_DEFAULT_PROCS;
  o->limits.fsize_mib = SANDBOX_DEFAULT_FSIZE;
  o->log_limit_mib = GP_DEFAULT_LOG_LIMIT_MIB;
  while (i < argc) {
    const char* a = argv[i];
    const char* v;
    size_t k, n = sizeof with_value / sizeof with_value[0];
    if (strcmp(a, "--") == 0) {
      ++i;
      break;
    }
    if (a[0] != '-') break;
    if (strcmp(a, "--no-sandbox") == 0) {
      o->no_sandbox = 1;
      ++i;
      continue;
    }
    for (k = 0; k < n && strcmp(a, with_value[k].name) != 0; ++k) {
    }
    if (k == n) return usage_error(e, "", "unknown option", a);
    if (i + 1 >= argc) {
      usage_error(e, with_value[k].value, " must follow", a);
      return 0;
    }
    v = argv[i + 1];
    if (strcmp(a, "--wall") == 0) {
      char* end;
      errno = 0;
      o->wall = strtod(v, &end);
      if (errno != 0 || *end != '\0' || end == v || o->wall != o->wall)
        return usage_error(e, "not ", with_value[k].value, v);
      if (!(o->wall > 0) || o->wall > 86400)
        return usage_error(e, "", "out of range (above 0, at most 86400)", v);
    } else if (strcmp(a, "--user") == 0) {
      o->user = v;
    } else if (strcmp(a, "--chdir") == 0) {
      o->chdir = v;
    } else {
      unsigned long* number = strcmp(a, "--cpu") == 0   ? &o->limits.cpu_seconds
                              : strcmp(a, "--mem") == 0 ? &o->limits.mem_mib
                              : strcmp(a, "--procs") == 0 ? &o->limits.procs
                              : strcmp(a, "--fsize") == 0 ? &o->limits.fsize_mib
                                                          : &o->log_limit_mib;
      if (!whole(v, with_value[k].max, with_value[k].value, number, e))
        return 0;
    }
    i += 2;
  }
  if (i >= argc) return usage_error(e, "", "no program to run", NULL);
  o->program = argv + i;
  return 1;
}

/* ****************************** The child ****************************** */

/* Notes a reaped process: its usage, and whether it was the first. */
static void reaped(struct run* r, pid_t pid, int status,
                   const struct rusage* ru) {
  usage_add(&r->usage, ru);
  if (pid == r->child && !r->child_done) {
    r->child_done = 1;
    r->child_status = status;
  }
}

/* Kills every process the program left and reaps them all. Only a process
   not yet reaped is ever signalled: the first one (so its group too, whose
   id it holds) and this subreaper's own children. In a sandbox, bwrap's
   death ends the PID namespace, every process in it at once. */
static void end_all(struct run* r) {
  for (;;) {
    int status;
    struct rusage ru;
    pid_t pid;
    if (!r->child_done) {
      if (r->sandboxed)
        kill(r->child, SIGKILL);
      else
        kill(-r->child, SIGKILL);
    }
    /* Orphans came to this subreaper (in a sandbox: bwrap's own child, were
       bwrap gone first); those in other groups die here. */
    signal_children(SIGKILL);
    pid = wait4(-1, &status, __WALL, &ru);
    if (pid < 0 && errno == EINTR) continue;
    if (pid < 0) break;
    reaped(r, pid, status, &ru);
  }
}

static void reap(struct run* r) {
  int status;
  struct rusage ru;
  pid_t pid;
  while ((pid = wait4(-1, &status, WNOHANG | __WALL, &ru)) > 0)
    reaped(r, pid, status, &ru);
}

/* Starts bwrap on the wire and lets its sandbox start the program once the
   limits hold; 0, or 1 once the failure is said. */
/* 1 when every directory above path lets anybody pass: bwrap, running as
   the --user, must reach the program by its path. */
static int reachable_by_all(const char* path) {
  char dir[PATH_MAX];
  size_t n = strlen(path);
  if (n == 0 || n >= sizeof dir) return 0;
  memcpy(dir, path, n + 1);
  for (;;) {
    char* slash = strrchr(dir, '/');
    struct stat st;
    if (slash == NULL) return 1;
    if (slash == dir)
      slash[1] = '\0';
    else
      *slash = '\0';
    if (stat(dir, &st) != 0 || !(st.st_mode & S_IXOTH)) return 0;
    if (slash == dir) return 1;
  }
}

static int launch_sandboxed(struct run* r, int to_child[2], int from_child[2],
                            int status[2], char** env) {
  struct sandbox_entry system[SANDBOX_SYSTEM_MAX];
  struct sandbox_spec spec;
  struct sandbox_exec e;
  char* bwrap = sandbox_find_bwrap();
  char* path = resolve_program(r->opt.program[0]);
  char** argv;
  int info[2], block[2];
  int program_fd, chdir_fd = -1;
  struct stat st;
  const char* base;
  ssize_t n;
  int err = 0;
  if (bwrap == NULL)
    return fail("bubblewrap is not installed",
                "install it (apt-get install bubblewrap), or give "
                "--no-sandbox to run the program without a sandbox");
  if (path == NULL) {
    free(bwrap);
    return fail("cannot start the program", r->opt.program[0]);
  }
  program_fd = open(path, O_RDONLY | O_CLOEXEC);
  if (program_fd < 0 || fstat(program_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    free(bwrap);
    if (program_fd >= 0) close(program_fd);
    err = fail("cannot start the program", r->opt.program[0]);
    free(path);
    return err;
  }
  if (r->opt.chdir != NULL) {
    chdir_fd = open(r->work_dir, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (chdir_fd < 0) {
      free(bwrap);
      free(path);
      close(program_fd);
      return fail("cannot use the working directory", strerror(errno));
    }
  }
  base = strrchr(path, '/');
  base = base != NULL ? base + 1 : path;
  memset(&spec, 0, sizeof spec);
  spec.system = system;
  spec.n_system = sandbox_find_system(system, SANDBOX_SYSTEM_MAX);
  spec.program_name = base;
  /* Bound as it is when the user may run it and reach it; else a copy. */
  spec.copy_program = (r->as_user && !reachable_by_all(path)) ||
                      !((st.st_mode & S_IXOTH) ||
                        (st.st_uid == (r->as_user ? r->uid : geteuid()) &&
                         (st.st_mode & S_IXUSR)) ||
                        (st.st_gid == (r->as_user ? r->gid : getegid()) &&
                         (st.st_mode & S_IXGRP)));
  spec.args = r->opt.program + 1;
  spec.chdir_path = r->opt.chdir != NULL ? r->work_dir : NULL;
  spec.tmpfs_bytes = (unsigned long long)r->opt.limits.fsize_mib << 20;
  argv = sandbox_argv(&spec);
  if (argv == NULL || pipe2(info, O_CLOEXEC) != 0 ||
      pipe2(block, O_CLOEXEC) != 0) {
    free(bwrap);
    free(path);
    free(argv);
    close(program_fd);
    if (chdir_fd >= 0) close(chdir_fd);
    return fail("cannot start the sandbox", strerror(errno));
  }
  e.bwrap = bwrap;
  e.argv = argv;
  e.env = env;
  e.in_fd = to_child[0];
  e.out_fd = from_child[1];
  e.errno_fd = status[1];
  e.status_fd = info[1];
  e.block_fd = block[0];
  e.program_fd = program_fd;
  e.chdir_fd = chdir_fd;
  e.as_user = r->as_user;
  e.uid = r->uid;
  e.gid = r->gid;
  e.manager = getpid();
  r->sandboxed = 1;
  r->child = fork();
  if (r->child < 0) return fail("cannot start the program", strerror(errno));
  if (r->child == 0) sandbox_exec(&e);
  close(to_child[0]);
  close(from_child[1]);
  close(status[1]);
  close(info[1]);
  close(block[0]);
  close(program_fd);
  if (chdir_fd >= 0) close(chdir_fd);
  free(bwrap);
  free(path);
  free(argv);
  r->to_prog = to_child[1];
  r->from_prog = from_child[0];
  shutdown(to_child[1], SHUT_RD);
  shutdown(from_child[0], SHUT_WR);
  fcntl(r->to_prog, F_SETFL, O_NONBLOCK);
  r->sb.bwrap = r->child;
  r->sb.status_fd = info[0];
  r->sb.block_fd = block[1];
  n = gp_read(status[0], &err, sizeof err);
  close(status[0]);
  if (n == (ssize_t)sizeof err) {
    end_all(r);
    return fail("cannot start the sandbox", strerror(err));
  }
  if (sandbox_release(&r->sb, &r->opt.limits, 30, r->as_user, r->uid, r->gid) !=
      0) {
    err = errno;
    end_all(r);
    return fail("cannot start the sandbox",
                err != 0 ? strerror(err) : "bwrap ended early");
  }
  fcntl(r->sb.status_fd, F_SETFL, O_NONBLOCK);
  return 0;
}

/* Starts the program on a fresh wire; 0, or 1 once the failure is said. */
static int launch(struct run* r) {
  int to_child[2], from_child[2], status[2];
  struct program_start start;
  char* path;
  char** env = clean_environment();
  ssize_t n;
  int err = 0;
  if (env == NULL) return fail("out of memory", NULL);
  if (!r->opt.no_sandbox) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, to_child) != 0 ||
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, from_child) != 0 ||
        pipe2(status, O_CLOEXEC) != 0) {
      free(env);
      return fail("cannot make the wire", strerror(errno));
    }
    err = launch_sandboxed(r, to_child, from_child, status, env);
    free(env);
    return err;
  }
  if (r->as_user)
    path = r->copy_dir != NULL
               ? copy_program(r->opt.program[0], r->copy_dir, r->uid, r->gid)
               : NULL;
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
  start.path = path;
  start.argv = r->opt.program;
  start.env = env;
  start.work_dir = r->work_dir;
  start.as_user = r->as_user;
  start.uid = r->uid;
  start.gid = r->gid;
  start.manager = getpid();
  start.in_fd = to_child[0];
  start.out_fd = from_child[1];
  start.status_fd = status[1];
  start.limits = &r->opt.limits;
  r->child = fork();
  if (r->child < 0) return fail("cannot start the program", strerror(errno));
  if (r->child == 0) program_start(&start);
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
  n = gp_read(status[0], &err, sizeof err);
  close(status[0]);
  if (n == (ssize_t)sizeof err) {
    end_all(r);
    return fail("cannot start the program", strerror(err));
  }
  return 0;
}

/* ****************************** The wire ****************************** */

/* Appends the transcript's new bytes to the file that outlives a kill; a
   write that fails (a full disk, the judge's file-size limit) ends the
   run. */
static void flush_partial(struct run* r) {
  size_t len;
  const char* log = gp_session_log(&r->s, &len);
  if (len > 0 && !r->old_log_gone) {
    /* The linked form empties rods.log at its first call: from then on no
       earlier run's transcript may stand beside this run's. */
    r->old_log_gone = 1;
    if (r->old_log.present || r->old_log.link) unlink("rods.log");
  }
  /* The session holds whole lines within --log-limit, no more. */
  if (r->s.log_over) r->log_over = 1;
  if (r->partial_fd >= 0 && len > r->log_written) {
    if (!gp_write_all(r->partial_fd, log + r->log_written,
                      len - r->log_written)) {
      r->write_errno = errno != 0 ? errno : ENOSPC;
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
    ssize_t n = gp_write(r->to_prog, r->reply, r->reply_len);
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
  while (gp_read(r->sig_fd, &info, sizeof info) == sizeof info) {
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
  while (r->s.outcome == GP_RUNNING && !r->log_over && !r->write_errno) {
    struct pollfd p[3];
    int np = 0, timeout, wire = -1;
    double left = deadline - gp_now();
    enum gp_step step;
    if (left <= 0) {
      r->killed_at_wall = 1;
      return 0;
    }
    timeout = (int)(left * 1000) + 1;
    p[np].fd = r->sig_fd;
    p[np++].events = POLLIN;
    /* Requests that the backlog had no room to answer are fed first: read
       no more until then, whatever the program floods in. */
    if (r->wire_len == 0) {
      wire = np;
      p[np].fd = r->from_prog;
      p[np++].events = POLLIN;
    }
    if (r->reply_len > 0 && r->to_prog >= 0) {
      p[np].fd = r->to_prog;
      p[np++].events = POLLOUT;
    }
    if (gp_poll(p, (nfds_t)np, timeout) < 0) return 0;
    if ((p[0].revents & POLLIN) && take_signal(r)) return 1;
    drain_replies(r);
    if (r->wire_len == 0) {
      ssize_t n;
      if (wire < 0 || p[wire].revents == 0) continue;
      n = gp_read(r->from_prog, r->wire, sizeof r->wire);
      if (n < 0 && errno == EAGAIN) continue;
      if (n <= 0) {
        r->wire_ended = 1;
        gp_session_wire_closed(&r->s, &r->pending);
        flush_partial(r);
        return 0;
      }
      r->wire_len = (size_t)n;
      r->wire_used = 0;
      r->heard = 1;
    }
    r->wire_used += gp_session_feed(&r->s, &r->pending, r->wire + r->wire_used,
                                    r->wire_len - r->wire_used, r->reply,
                                    sizeof r->reply, &r->reply_len, &step);
    if (r->wire_used == r->wire_len) r->wire_len = r->wire_used = 0;
    if (step == GP_END && !r->s.log_over) queue_reply(r, GP_REPLY_END, 2);
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
    double left = until - gp_now();
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

/* ****************************** The run ****************************** */

/* The program's first process ended by this signal, or 0. In a sandbox
   bwrap passes it on as 128 + the signal's number. */
static int end_signal(const struct run* r) {
  int code;
  if (!r->ended_alone) return 0;
  if (!r->sandboxed)
    return WIFSIGNALED(r->child_status) ? WTERMSIG(r->child_status) : 0;
  if (!WIFEXITED(r->child_status)) return 0;
  code = WEXITSTATUS(r->child_status);
  return code > 128 && code < 128 + 65 ? code - 128 : 0;
}

static int end_status(const struct run* r) {
  return WIFEXITED(r->child_status) ? WEXITSTATUS(r->child_status) : -1;
}

/* Which limit ended the run, by how the program ended; NULL: none. */
static const char* limit_reached(const struct run* r, char* buf, size_t size) {
  const struct sandbox_limits* l = &r->opt.limits;
  int sig = end_signal(r);
  if (r->log_over) {
    snprintf(buf, size,
             "the transcript passed the log limit (--log-limit %lu "
             "MiB)",
             r->opt.log_limit_mib);
    return buf;
  }
  if (sig == SIGXCPU ||
      (sig == SIGKILL && r->usage.cpu_seconds >= (double)l->cpu_seconds)) {
    snprintf(buf, size, "the program reached the CPU limit (--cpu %lu s)",
             l->cpu_seconds);
    return buf;
  }
  if (sig == SIGXFSZ) {
    snprintf(buf, size,
             "the program reached the file-size limit (--fsize %lu MiB)",
             l->fsize_mib);
    return buf;
  }
  /* Past the limit an allocation fails, and a program then crashes or
     stops on its runtime's error: near the limit, that was why. */
  if ((sig != 0 || (r->ended_alone && end_status(r) != 0)) && l->mem_mib > 0 &&
      r->usage.peak_kib >= (long)(l->mem_mib * 1024 * 3 / 4)) {
    snprintf(buf, size, "the program reached the memory limit (--mem %lu MiB)",
             l->mem_mib);
    return buf;
  }
  return NULL;
}

static void describe_no_verdict(const struct run* r) {
  char limit[128];
  int sig = end_signal(r);
  if (limit_reached(r, limit, sizeof limit) != NULL) {
    fprintf(stderr, "%s: no verdict: %s before calling report\n", self, limit);
  } else if (r->killed_at_wall) {
    fprintf(stderr,
            "%s: no verdict: the program ran out of wall time (%g s) "
            "before calling report\n",
            self, r->opt.wall);
  } else if (sig != 0) {
    fprintf(stderr,
            "%s: no verdict: the program crashed (%s) before calling "
            "report\n",
            self, strsignal(sig));
  } else if (r->ended_alone) {
    fprintf(stderr,
            "%s: no verdict: the program ended (exit status %d) without "
            "calling report\n",
            self, end_status(r));
  } else {
    fprintf(stderr,
            "%s: no verdict: the program closed the wire without calling "
            "report\n",
            self);
  }
}

/* One line at the end of every run that started: outcome, calls, usage. */
static void summarize(const struct run* r) {
  char outcome[32];
  if (r->s.outcome == GP_REPORTED)
    snprintf(outcome, sizeof outcome, "reported");
  else if (r->s.outcome == GP_ERROR)
    snprintf(outcome, sizeof outcome, "error %d", r->s.error);
  else
    snprintf(outcome, sizeof outcome, "no verdict");
  fprintf(stderr,
          "%s: summary: %s, %d rect calls, %.3f s CPU, %.1f MiB peak "
          "memory\n",
          self, outcome, r->s.count, r->usage.cpu_seconds,
          (double)r->usage.peak_kib / 1024.0);
}

/* Whether user can open rods.in or list the case directory, tried as that
   user: 1 it can, 0 it cannot, -1 the try failed. */
static int user_reaches_case(uid_t uid, gid_t gid) {
  char cwd[4096], path[4200];
  pid_t pid;
  int status;
  if (getcwd(cwd, sizeof cwd) == NULL) return -1;
  snprintf(path, sizeof path, "%s/rods.in", cwd);
  pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int fd;
    DIR* d;
    if (setgroups(0, NULL) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
      _exit(2);
    fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) _exit(1);
    d = opendir(cwd);
    if (d != NULL && readdir(d) != NULL) _exit(1);
    _exit(0);
  }
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
  return WEXITSTATUS(status);
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
  /* A write past the judge's file-size limit fails; it never kills. */
  signal(SIGXFSZ, SIG_IGN);
  return r->sig_fd >= 0;
}

static int make_work_dir(struct run* r) {
  if (r->opt.chdir != NULL) {
    r->work_dir = realpath(r->opt.chdir, NULL);
    if (r->work_dir == NULL) return 0;
    if (r->opt.no_sandbox && r->as_user) {
      /* The program's copy never lands in the judge's directory: a rerun
         there would meet it. */
      const char* tmp = getenv("TMPDIR");
      char* dir;
      if (tmp == NULL || tmp[0] != '/') tmp = "/tmp";
      dir = malloc(strlen(tmp) + 32);
      if (dir == NULL) return 0;
      sprintf(dir, "%s/gridprobe-copy-XXXXXX", tmp);
      if (mkdtemp(dir) == NULL) {
        free(dir);
        return 0;
      }
      r->copy_dir = dir;
      if (chown(dir, r->uid, r->gid) != 0) return 0;
    }
    return 1;
  }
  if (!r->opt.no_sandbox) {
    /* A tmpfs of the sandbox's own: nothing to make, nothing to remove. */
    r->work_dir = strdup(SANDBOX_WORK_DIR);
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
    if (r->as_user) r->copy_dir = strdup(dir);
  }
  return 1;
}

/* Everything before the program exists: the options, the user, the case
   read whole, the old verdict removed, the partial transcript and the working
   directory made. 0, or the exit status once the failure is said. */
static int prepare(struct run* r, int argc, char** argv) {
  FILE* in;
  struct usage_error e;
  /* A program of the same user must not read the case from this memory. */
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  memset(&e, 0, sizeof e);
  if (!parse_options(argc, argv, &r->opt, &e)) {
    fprintf(stderr, "%s: %s%s%s\n", self, e.what, e.arg ? ": " : "",
            e.arg ? e.arg : "");
    fputs(
        "usage: gridprobe-manager run [--wall SECONDS] [--user NAME] "
        "[--chdir DIR] [--cpu SECONDS] [--mem MIB] [--procs N] "
        "[--fsize MIB] [--log-limit MIB] [--no-sandbox] -- PROGRAM "
        "[ARGS...]\n",
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
  } else if (geteuid() == 0 && r->opt.no_sandbox) {
    fprintf(stderr,
            "%s: warning: running as root without --user: the program can "
            "read the judge's files, the case included\n",
            self);
  } else if (geteuid() == 0) {
    fprintf(stderr,
            "%s: warning: running as root without --user: the program runs "
            "with root's uid in its sandbox\n",
            self);
  }
  if (r->opt.no_sandbox && r->as_user) {
    int reaches = user_reaches_case(r->uid, r->gid);
    if (reaches != 0)
      return fail(reaches > 0 ? "refusing to run without a sandbox"
                              : "cannot test the case directory's access",
                  reaches > 0 ? "the user can open rods.in or list the case "
                                "directory; make it private (chmod 700 on "
                                "the case directory) or drop --no-sandbox"
                              : r->opt.user);
  }
  if (!r->opt.no_sandbox) {
    char* bwrap = sandbox_find_bwrap();
    if (bwrap == NULL)
      return fail("bubblewrap is not installed",
                  "install it (apt-get install bubblewrap), or give "
                  "--no-sandbox to run the program without a sandbox");
    free(bwrap);
  }
  if (prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0)
    return fail("cannot become a subreaper", strerror(errno));
  if (!setup_signals(r)) return fail("cannot set up signals", strerror(errno));

  /* The case is read whole before the program exists. */
  if (!read_copy("rods.in", &r->rods_in)) return fail("out of memory", NULL);
  if (!read_copy("rods.log", &r->old_log)) return fail("out of memory", NULL);
  /* fmemopen refuses an empty buffer: an empty file is one byte, read away. */
  /* The linked form opens a directory and fails to read it: error 1. */
  if (r->rods_in.dir) {
    r->rods_in.present = 1;
    r->rods_in.len = 0;
  }
  in = r->rods_in.present
           ? fmemopen(r->rods_in.len ? r->rods_in.bytes : (char*)"x",
                      r->rods_in.len ? r->rods_in.len : 1, "r")
           : NULL;
  if (in != NULL && r->rods_in.len == 0) fgetc(in);
  gp_session_load(&r->s, r->rods_in.present ? in : NULL, log_creatable());
  gp_session_set_log_limit(&r->s, r->opt.log_limit_mib);
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
  return 0;
}

enum play_end {
  PLAYED,      /* the run ended: a verdict, or none to be had */
  NOT_STARTED, /* the program could not start; said already */
  STOPPED      /* a signal stopped the manager */
};

/* Runs the program to its end. Whatever the end, every process it made is
   gone when this returns. */
static enum play_end play(struct run* r) {
  double deadline;
  int stopped;
  if (launch(r) != 0) return NOT_STARTED;
  deadline = gp_now() + r->opt.wall;
  stopped = serve(r, deadline);
  if (!stopped) {
    if (r->s.outcome == GP_RUNNING) {
      /* the wall time ran out with the run still going */
    } else if (r->wire_ended && r->s.outcome == GP_NO_REPORT) {
      double grace = gp_now() + EXIT_GRACE_MS / 1000.0;
      stopped = wait_child(r, grace < deadline ? grace : deadline);
    } else {
      /* A verdict: the program ends itself on "E" unless it hangs. */
      double grace = gp_now() + VERDICT_GRACE_MS / 1000.0;
      stopped = wait_child(r, grace < deadline ? grace : deadline);
    }
  }
  r->ended_alone = r->child_done;
  end_all(r);
  close(r->from_prog);
  if (r->to_prog >= 0) close(r->to_prog);
  if (r->sandboxed) {
    int code;
    int ran = sandbox_program_ended(&r->sb, &code);
    close(r->sb.status_fd);
    r->sb.status_fd = -1;
    /* bwrap ended by itself, silent, with no program end to report: the
       program never started (bwrap has said why). */
    if (!stopped && r->ended_alone && !ran && !r->heard) {
      fail("cannot start the program", r->opt.program[0]);
      return NOT_STARTED;
    }
  }
  return stopped ? STOPPED : PLAYED;
}

/* Leaves rods.log, rods.out and the error line as the linked form would:
   0, 1 when a file cannot be written, 2 when there is no verdict. */
static int publish_outcome(struct run* r) {
  int code = 0;
  size_t len, out_len;
  const char* log = gp_session_log(&r->s, &len);
  char out[GP_OUT_MAX];
  char line[128];
  const char* out_line;
  char log_tmp[64] = "", out_tmp[64] = "";
  if (r->write_errno != 0) {
    errno = r->write_errno;
    return fail("cannot write " PARTIAL_LOG, strerror(errno));
  }
  if (r->s.outcome == GP_RUNNING || r->log_over) {
    gp_session_no_report(&r->s);
    if (r->log_over) r->s.outcome = GP_NO_REPORT;
  }
  out_len = r->log_over ? 0 : gp_session_out(&r->s, out);
  /* Both files are written aside first and renamed only when both are
     whole: a failure leaves the case directory as it was, and the
     transcript in the partial file. */
  if (gp_session_log_touched(&r->s) &&
      (r->s.log_failed || !stage("rods.log", log, len, log_tmp))) {
    if (r->s.log_failed) errno = ENOMEM;
    return fail("cannot write rods.log (the transcript is in " PARTIAL_LOG ")",
                strerror(errno));
  }
  if (out_len > 0 && !stage("rods.out", out, out_len, out_tmp)) {
    int saved = errno;
    if (log_tmp[0] != '\0') unlink(log_tmp);
    return fail("cannot write rods.out (the transcript is in " PARTIAL_LOG ")",
                strerror(saved));
  }
  if (log_tmp[0] != '\0' && rename(log_tmp, "rods.log") != 0) {
    int saved = errno;
    unlink(log_tmp);
    if (out_tmp[0] != '\0') unlink(out_tmp);
    return fail("cannot write rods.log (the transcript is in " PARTIAL_LOG ")",
                strerror(saved));
  }
  if (log_tmp[0] == '\0') restore("rods.log", &r->old_log);
  if (out_tmp[0] != '\0' && rename(out_tmp, "rods.out") != 0) {
    int saved = errno;
    unlink(out_tmp);
    return fail("cannot write rods.out (the transcript is in " PARTIAL_LOG ")",
                strerror(saved));
  }
  if (out_len == 0)
    unlink("rods.out"); /* nothing but the program can have put it there */
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
  if (code != 1 && gp_case_fault(&r->s, line, sizeof line) != NULL) {
    fprintf(stderr, "%s: rods.in: %s\n", self, line);
    r->bad_case = 1;
  }
  unlink(PARTIAL_LOG);
  return code;
}

static int run_with(struct run* r, int argc, char** argv) {
  int code, kept_partial = 0;
  r->partial_fd = r->sig_fd = r->to_prog = r->from_prog = -1;
  r->sb.status_fd = r->sb.block_fd = -1;
  code = prepare(r, argc, argv);
  if (code != 0) {
    if (r->copy_dir != NULL) remove_tree(r->copy_dir);
    return code;
  }
  switch (play(r)) {
    case PLAYED:
      /* Every process of the program is gone: only now is anything
         published. A failure keeps the partial transcript. */
      code = publish_outcome(r);
      summarize(r);
      if (code == 1) kept_partial = 1;
      break;
    case STOPPED:
      unlink("rods.out");
      summarize(r);
      fprintf(stderr,
              "%s: stopped by a signal; the transcript so far is in %s\n", self,
              PARTIAL_LOG);
      code = 3;
      break;
    case NOT_STARTED:
      code = 1;
      break;
  }
  if (code == 1 && !kept_partial) {
    unlink(PARTIAL_LOG);
    unlink("rods.out");
  }
  if (r->partial_fd >= 0) close(r->partial_fd);
  r->partial_fd = -1;
  /* Only a program of the judge's own uid without a sandbox can have
     changed rods.in; otherwise a change is the judge's, and stays. */
  if (r->opt.no_sandbox && !r->as_user) restore("rods.in", &r->rods_in);
  if (r->made_work_dir) remove_tree(r->work_dir);
  if (r->copy_dir != NULL && !r->made_work_dir) remove_tree(r->copy_dir);
  return r->bad_case ? 1 : code;
}

int run_main(int argc, char** argv) {
  struct run* r = calloc(1, sizeof *r);
  int code;
  if (r == NULL) return fail("out of memory", NULL);
  code = run_with(r, argc, argv);
  if (r->partial_fd >= 0) close(r->partial_fd);
  if (r->sig_fd >= 0) close(r->sig_fd);
  if (r->sb.status_fd >= 0) close(r->sb.status_fd);
  if (r->sb.block_fd >= 0) close(r->sb.block_fd);
  gp_session_free(&r->s);
  free(r->rods_in.bytes);
  free(r->old_log.bytes);
  free(r->work_dir);
  free(r->copy_dir);
  free(r);
  return code;
}
