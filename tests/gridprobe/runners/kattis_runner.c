/* kattis_runner.c: runs an interactive validator and a program the way the
   Kattis tools' interactive runner does, then judges as their verifier does.

   kattis_runner [--scored] WALL FEEDBACK_DIR INPUT ANSWER VALIDATOR ; PROG..

   Wiring: two pipes; the validator gets "INPUT ANSWER FEEDBACK_DIR/" (the
   trailing slash is theirs). The runner keeps each pipe's write end open
   until the process that writes it has exited, so the other side cannot
   see end of file before the writer's exit is recorded; when the validator
   exits first with anything but 42 the runner also closes its read end of
   the program's pipe. The first line printed is the runner's own report
   ("VAL_STATUS USER_STATUS validator|submission", raw wait statuses), the
   second the verdict: AC [score], WA, RTE, TLE or JE with a reason. */
#define _GNU_SOURCE /* pipe2, before any system header */
#include <sys/resource.h>

#include "runner_util.h"

static int runner_exists(const char* path) { return access(path, F_OK) == 0; }

static int val_pid = -1, user_pid = -1;
static volatile sig_atomic_t timed_out = 0;

static void on_alarm(int sig) {
  (void)sig;
  timed_out = 1;
}

static int start(char** argv, int in, int out) {
  int pid = fork();
  if (pid < 0) runner_die("fork");
  if (pid == 0) {
    runner_place(in, 0);
    runner_place(out, 1);
    execvp(argv[0], argv);
    _exit(127);
  }
  return pid;
}

/* The verifier's reading of a validator status with the feedback dir. */
static void validator_result(int status, const char* feedback, int scored) {
  char score_path[4096];
  snprintf(score_path, sizeof score_path, "%s/score.txt", feedback);
  if (!WIFEXITED(status)) {
    printf("JE validator crashed\n");
    return;
  }
  if (WEXITSTATUS(status) != 42 && WEXITSTATUS(status) != 43) {
    printf("JE validator exited with status %d\n", WEXITSTATUS(status));
    return;
  }
  if (WEXITSTATUS(status) == 43) {
    if (runner_exists(score_path))
      printf("JE score.txt with a WA verdict\n");
    else
      printf("WA\n");
    return;
  }
  if (!scored) {
    if (runner_exists(score_path))
      printf("JE score.txt in an unscored problem\n");
    else
      printf("AC\n");
    return;
  }
  {
    FILE* f = fopen(score_path, "r");
    double score;
    char extra;
    if (f == NULL) {
      printf("JE no score.txt in a scored problem\n");
      return;
    }
    if (fscanf(f, "%lf %c", &score, &extra) != 1) {
      fclose(f);
      printf("JE score.txt unreadable\n");
      return;
    }
    fclose(f);
    printf("AC %g\n", score);
  }
}

int main(int argc, char** argv) {
  int scored = 0, a = 1, wall, remaining = 2, validator_first = 0;
  int val_status = -1, user_status = -1;
  int fromval[2], fromuser[2];
  char feedback_arg[4096];
  char* feedback;
  char** val_argv;
  char** user_argv;
  int i, n = 0;
  char b1[32], b2[32];
  if (a < argc && strcmp(argv[a], "--scored") == 0) {
    scored = 1;
    ++a;
  }
  if (argc - a < 7) {
    fprintf(stderr,
            "usage: kattis_runner [--scored] WALL FEEDBACK_DIR INPUT "
            "ANSWER VALIDATOR ; PROGRAM [ARGS...]\n");
    return 99;
  }
  wall = atoi(argv[a]);
  feedback = argv[a + 1];
  snprintf(feedback_arg, sizeof feedback_arg, "%s/", feedback);
  val_argv = calloc((size_t)argc + 4, sizeof *val_argv);
  user_argv = calloc((size_t)argc, sizeof *user_argv);
  val_argv[0] = argv[a + 4];
  val_argv[1] = argv[a + 2];
  val_argv[2] = argv[a + 3];
  val_argv[3] = feedback_arg;
  /* The problem's validator flags follow the feedback directory. */
  for (i = a + 5; i < argc && strcmp(argv[i], ";") != 0; ++i)
    val_argv[4 + i - (a + 5)] = argv[i];
  for (++i; i < argc; ++i) user_argv[n++] = argv[i];
  if (n == 0) return 99;

  if (pipe2(fromval, O_CLOEXEC) || pipe2(fromuser, O_CLOEXEC))
    runner_die("pipe");
  val_pid = start(val_argv, fromuser[0], fromval[1]);
  user_pid = start(user_argv, fromval[0], fromuser[1]);
  {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_alarm; /* no SA_RESTART: wait3 must return */
    sigaction(SIGALRM, &sa, NULL);
  }
  if (wall > 0) alarm((unsigned)wall);

  /* As the runner: the write ends stay open until their writer has gone. */
  while (remaining > 0) {
    int status;
    struct rusage ru;
    int r = wait3(&status, 0, &ru);
    if (r < 0 && errno == EINTR && timed_out) {
      /* As the runner's wall-time handler: a validator still running is
         stopped and counted as WA, a program still running is killed and
         counted as stopped by SIGUSR1; the report goes out at once. */
      if (val_pid > 0 && waitpid(val_pid, &val_status, WNOHANG) != val_pid)
        kill(val_pid, SIGTERM);
      if (user_pid > 0 && waitpid(user_pid, &user_status, WNOHANG) != user_pid)
        kill(user_pid, SIGKILL);
      if (user_status == -1) user_status = SIGUSR1;
      if (val_status == -1) val_status = 43 << 8;
      break;
    }
    if (r < 0) {
      if (errno == EINTR) continue;
      runner_die("wait");
    }
    if (r == val_pid) {
      if (remaining == 2) {
        validator_first = 1;
        if (!(WIFEXITED(status) && WEXITSTATUS(status) == 42))
          close(fromuser[0]);
      }
      val_status = status;
      val_pid = -1;
      --remaining;
      close(fromval[1]);
    }
    if (r == user_pid) {
      user_status = status;
      user_pid = -1;
      --remaining;
      close(fromuser[1]);
    }
  }
  printf("%d %d %s\n", val_status, user_status,
         validator_first ? "validator" : "submission");
  fprintf(stderr, "validator %s, program %s\n",
          runner_status_text(val_status, b1, sizeof b1),
          runner_status_text(user_status, b2, sizeof b2));

  /* The verifier's order: a validator error or a validator that left first
     with WA decides; then the program's time and crash; then the validator. */
  {
    int val_je = !WIFEXITED(val_status) || (WEXITSTATUS(val_status) != 42 &&
                                            WEXITSTATUS(val_status) != 43);
    int val_wa = WIFEXITED(val_status) && WEXITSTATUS(val_status) == 43;
    if (val_je || (val_wa && validator_first))
      validator_result(val_status, feedback, scored);
    else if ((WIFSIGNALED(user_status) && (WTERMSIG(user_status) == SIGXCPU ||
                                           WTERMSIG(user_status) == SIGUSR1)))
      printf("TLE\n");
    else if (!WIFEXITED(user_status) || WEXITSTATUS(user_status) != 0)
      printf("RTE\n");
    else
      validator_result(val_status, feedback, scored);
  }
  free(val_argv);
  free(user_argv);
  return 0;
}
