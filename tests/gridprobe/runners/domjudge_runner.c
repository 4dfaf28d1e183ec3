/* domjudge_runner.c: runs an interactive validator and a program the way
   DOMjudge's judgehost does (its pipe runner with traffic capture, the
   program under its guard), then decides the verdict in the judgehost's
   order.

   domjudge_runner WALL FEEDBACK_DIR TESTIN TESTOUT VALIDATOR = PROG [ARGS..]

   Wiring: the validator gets "TESTIN TESTOUT FEEDBACK_DIR" (no trailing
   slash, no more arguments); the program gets its own arguments followed by
   "-U <runner pid>", which the judgehost appends to the guarded command.
   The program runs under a guard process of its own, as under the
   judgehost's guard. Traffic runs through a proxy in this process. When either
   child exits, the proxy closes the pipes into both children and the output
   pipe of the one that exited; it records which child exited first, unless the
   guard had already killed the program for its time. The first line printed is
   "exitcode: N" and "validator-exited-first: true|false" as the runner's
   metadata says them, the second the verdict: CORRECT [score], WRONG-ANSWER,
   TIMELIMIT, RUN-ERROR or COMPARE-ERROR. */
#define _GNU_SOURCE /* pipe2, before any system header */
#include <poll.h>

#include "runner_util.h"

struct proc {
  int pid;
  int exited, status;
  int to_proc;   /* proxy -> process stdin */
  int from_proc; /* process stdout -> proxy */
};

static int sig_pipe[2];

static void on_child(int sig) {
  char c = 42;
  (void)sig;
  if (write(sig_pipe[1], &c, 1) < 0) {
  }
}

static void close_fd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

/* guarded: the program runs under a guard process, as the judgehost runs
   it under its guard, one process layer between the runner and the program;
   the guard ends with the program's exit status (128 + N for signal N). */
static int spawn(char** argv, int in, int out, int guarded) {
  int pid = fork();
  if (pid < 0) runner_die("fork");
  if (pid == 0) {
    runner_place(in, 0);
    runner_place(out, 1);
    if (guarded) {
      int status, child, fd;
      /* It does not exec: it must not keep the runner's pipe ends open. */
      for (fd = 3; fd < 1024; ++fd) close(fd);
      signal(SIGCHLD, SIG_DFL);
      setpgid(0, 0);
      child = fork();
      if (child == 0) {
        execvp(argv[0], argv);
        _exit(127);
      }
      close(0);
      close(1);
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
      _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }
    execvp(argv[0], argv);
    _exit(127);
  }
  close(in);
  close(out);
  return pid;
}

/* Moves what one child wrote to the other; on end of file closes both. */
static void pump(struct proc* from, struct proc* to) {
  char buf[65536];
  for (;;) {
    ssize_t n = read(from->from_proc, buf, sizeof buf);
    if (n == 0) {
      close_fd(&to->to_proc);
      close_fd(&from->from_proc);
      return;
    }
    if (n < 0) return; /* EAGAIN: all read */
    if (to->to_proc >= 0) {
      ssize_t off = 0;
      while (off < n) {
        ssize_t w = write(to->to_proc, buf + off, (size_t)(n - off));
        if (w <= 0) break;
        off += w;
      }
    }
  }
}

int main(int argc, char** argv) {
  struct proc p[2]; /* 0: the validator (main process), 1: the program */
  char** val_argv;
  char** prog_argv;
  char runner_pid[32];
  int i, n = 0, wall, first = -1, tle = 0, j;
  long long deadline;
  char b1[32], b2[32];
  if (argc < 8 || strcmp(argv[6], "=") != 0) {
    fprintf(stderr,
            "usage: domjudge_runner WALL FEEDBACK_DIR TESTIN TESTOUT "
            "VALIDATOR = PROGRAM [ARGS...]\n");
    return 99;
  }
  wall = atoi(argv[1]);
  val_argv = calloc(5, sizeof *val_argv);
  val_argv[0] = argv[5];
  val_argv[1] = argv[3];
  val_argv[2] = argv[4];
  val_argv[3] = argv[2];
  prog_argv = calloc((size_t)argc + 3, sizeof *prog_argv);
  for (i = 7; i < argc; ++i) prog_argv[n++] = argv[i];
  snprintf(runner_pid, sizeof runner_pid, "%d", (int)getpid());
  prog_argv[n++] = "-U";
  prog_argv[n++] = runner_pid;

  if (pipe2(sig_pipe, O_CLOEXEC | O_NONBLOCK)) runner_die("pipe");
  signal(SIGCHLD, on_child);
  signal(SIGPIPE, SIG_IGN);
  for (i = 0; i < 2; ++i) {
    p[i].exited = 0;
    p[i].status = -1;
  }
  {
    int v_in[2], v_out[2], u_in[2], u_out[2];
    if (pipe2(v_in, O_CLOEXEC) || pipe2(v_out, O_CLOEXEC) ||
        pipe2(u_in, O_CLOEXEC) || pipe2(u_out, O_CLOEXEC))
      runner_die("pipe");
    p[0].to_proc = v_in[1];
    p[0].from_proc = v_out[0];
    p[1].to_proc = u_in[1];
    p[1].from_proc = u_out[0];
    fcntl(v_out[0], F_SETFL, O_NONBLOCK);
    fcntl(u_out[0], F_SETFL, O_NONBLOCK);
    p[0].pid = spawn(val_argv, v_in[0], v_out[1], 0);
    p[1].pid = spawn(prog_argv, u_in[0], u_out[1], 1);
  }
  deadline = runner_now_ms() + 1000LL * wall;

  while (!(p[0].exited && p[1].exited)) {
    struct pollfd fds[3];
    int nf = 0, r;
    long long left = deadline - runner_now_ms();
    fds[nf].fd = sig_pipe[0];
    fds[nf++].events = POLLIN;
    for (i = 0; i < 2; ++i)
      if (p[i].from_proc >= 0) {
        fds[nf].fd = p[i].from_proc;
        fds[nf++].events = POLLIN;
      }
    r = poll(fds, (nfds_t)nf,
             wall > 0 && !tle ? (int)(left > 0 ? left : 0) : -1);
    if (r < 0 && errno == EINTR) continue;
    if (r == 0 && !p[1].exited) {
      /* The guard kills the program at its wall limit and says so first. */
      tle = 1;
      kill(-p[1].pid, SIGKILL);
      kill(p[1].pid, SIGKILL);
      continue;
    }
    for (j = 0; j < nf; ++j) {
      if (!fds[j].revents) continue;
      if (fds[j].fd == sig_pipe[0]) {
        char c;
        int status, pid;
        while (read(sig_pipe[0], &c, 1) == 1) {
        }
        while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
          int k = pid == p[0].pid ? 0 : 1;
          /* Once the guard has said time limit, nobody is first. */
          if (first < 0 && !tle) first = k;
          p[k].exited = 1;
          p[k].status = status;
          for (i = 0; i < 2; ++i) {
            close_fd(&p[i].to_proc);
            if (p[i].exited) close_fd(&p[i].from_proc);
          }
        }
        continue;
      }
      for (i = 0; i < 2; ++i)
        if (fds[j].fd == p[i].from_proc && !p[1 - i].exited)
          pump(&p[i], &p[1 - i]);
    }
  }

  {
    int code = WIFEXITED(p[0].status) ? WEXITSTATUS(p[0].status) : -1;
    int prog_error = !WIFEXITED(p[1].status) || WEXITSTATUS(p[1].status) != 0;
    char score_path[4096];
    printf("exitcode: %d validator-exited-first: %s\n", code,
           first == 0 ? "true" : "false");
    fprintf(stderr, "validator %s, program %s\n",
            runner_status_text(p[0].status, b1, sizeof b1),
            runner_status_text(p[1].status, b2, sizeof b2));
    snprintf(score_path, sizeof score_path, "%s/score.txt", argv[2]);
    /* The judgehost's order of checks. */
    if (code != 42 && code != 43)
      printf("COMPARE-ERROR\n");
    else if (first == 0 && code == 43)
      printf("WRONG-ANSWER\n");
    else if (tle)
      printf("TIMELIMIT\n");
    else if (prog_error)
      printf("RUN-ERROR\n");
    else if (code == 42) {
      FILE* f = fopen(score_path, "r");
      double score;
      if (f != NULL && fscanf(f, "%lf", &score) == 1)
        printf("CORRECT %g\n", score);
      else
        printf("CORRECT\n");
      if (f != NULL) fclose(f);
    } else
      printf("WRONG-ANSWER\n");
  }
  free(val_argv);
  free(prog_argv);
  return 0;
}
