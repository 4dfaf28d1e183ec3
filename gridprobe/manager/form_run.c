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
#include "forms.h"
#include "io.h"
#include "program.h"
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
  double wall;      /* --wall: seconds the program may run */
  const char* user; /* --user: who the program runs as, or NULL */
  const char* chdir; /* --chdir: its working directory, or NULL: a new one */
  char** program;   /* the program and its arguments */
};

struct run {
  struct options opt;
  struct gp_session s;
  struct file_copy rods_in; /* put back after the run, whatever it did */
  struct file_copy old_log; /* put back when the run leaves no rods.log */
  int partial_fd; /* PARTIAL_LOG: the transcript so far, or -1 */
  int sig_fd;     /* signalfd: SIGCHLD and the signals that stop us */
  int to_prog, from_prog; /* the manager's ends of the wire, or -1 */
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
  size_t log_written; /* transcript bytes already in the partial file */
  int killed_at_wall; /* the wall time ran out while serving */
  int ended_alone;    /* the first process ended before being killed */
  int wire_ended;     /* the program closed its end of the wire */
};

/* ****************************** Options ****************************** */

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

/* ****************************** The child ****************************** */

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
        n = gp_read(fd, buf, sizeof buf - 1);
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

/* Starts the program on a fresh wire; 0, or 1 once the failure is said. */
static int launch(struct run* r) {
  int to_child[2], from_child[2], status[2];
  struct program_start start;
  char* path;
  char** env = clean_environment();
  ssize_t n;
  int err = 0;
  if (env == NULL) return fail("out of memory", NULL);
  if (r->as_user)
    path = copy_program(r->opt.program[0], r->work_dir, r->uid, r->gid);
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

/* Appends the transcript's new bytes to the file that outlives a kill. */
static void flush_partial(struct run* r) {
  size_t len;
  const char* log = gp_session_log(&r->s, &len);
  if (r->partial_fd >= 0 && len > r->log_written) {
    if (!gp_write_all(r->partial_fd, log + r->log_written, len - r->log_written)) {
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
  while (r->s.outcome == GP_RUNNING) {
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
    }
    r->wire_used += gp_session_feed(&r->s, &r->pending, r->wire + r->wire_used,
                                    r->wire_len - r->wire_used, r->reply,
                                    sizeof r->reply, &r->reply_len, &step);
    if (r->wire_used == r->wire_len) r->wire_len = r->wire_used = 0;
    if (step == GP_END) queue_reply(r, GP_REPLY_END, 2);
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

/* Everything before the program exists: the options, the user, the case
   read whole, the old verdict removed, the partial transcript and the working
   directory made. 0, or the exit status once the failure is said. */
static int prepare(struct run* r, int argc, char** argv) {
  FILE* in;
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
  /* fmemopen refuses an empty buffer: an empty file is one byte, read away. */
  in = r->rods_in.present
           ? fmemopen(r->rods_in.len ? r->rods_in.bytes : (char*)"x",
                      r->rods_in.len ? r->rods_in.len : 1, "r")
           : NULL;
  if (in != NULL && r->rods_in.len == 0) fgetc(in);
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
  unlink(PARTIAL_LOG);
  return code;
}

static int run_with(struct run* r, int argc, char** argv) {
  int code;
  r->partial_fd = r->sig_fd = r->to_prog = r->from_prog = -1;
  code = prepare(r, argc, argv);
  if (code != 0) return code;
  switch (play(r)) {
    case PLAYED:
      /* Every process of the program is gone: only now is anything
         published. */
      code = publish_outcome(r);
      break;
    case STOPPED:
      unlink("rods.out");
      fprintf(stderr,
              "%s: stopped by a signal; the transcript so far is in %s\n", self,
              PARTIAL_LOG);
      code = 3;
      break;
    case NOT_STARTED:
      code = 1;
      break;
  }
  if (code == 1) {
    unlink(PARTIAL_LOG);
    unlink("rods.out");
  }
  if (r->partial_fd >= 0) close(r->partial_fd);
  r->partial_fd = -1;
  restore("rods.in", &r->rods_in);
  if (r->made_work_dir) remove_tree(r->work_dir);
  return code;
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
