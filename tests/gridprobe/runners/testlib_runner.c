/* testlib_runner.c: runs an interactor of the testlib convention and a
   program the way such judges do, then judges as they do.

   testlib_runner [--checker CHECKER] WALL INTERACTOR FILE... ; PROGRAM ...

   The interactor is started as "INTERACTOR FILE..." (INPUT OUTPUT
   [ANSWER [RESULT [-appes]]], exactly as given), with the program's stdout
   on its stdin and its stdout on the program's stdin: two pipes, of which
   the runner keeps no end. With --checker, an interactor that says OK is
   followed by "CHECKER INPUT OUTPUT ANSWER", whose verdict is then final.

   Output: the raw wait statuses ("INTERACTOR PROGRAM"), the verdict, then
   the interactor's stderr (and the checker's, if it ran). The verdict, in
   the judges' order: an interactor that crashed or exited with anything but
   0, 1, 2 or 7 is FAIL (3 is the convention's failure); then the program's
   time limit (TLE) and crash or non-zero exit (RE); then the interactor's
   (or the checker's) word: OK, WA, PE, or POINTS P with P read from the
   "points P" at the start of its stderr or, with a result file, from the
   file's text (its points attribute with -appes). */
#define _GNU_SOURCE
#include "runner_util.h"

static volatile sig_atomic_t timed_out = 0;

static void on_alarm(int sig) {
  (void)sig;
  timed_out = 1;
}

static int start(char** argv, int in, int out, int err) {
  int pid = fork();
  if (pid < 0) runner_die("fork");
  if (pid == 0) {
    runner_place(in, 0);
    runner_place(out, 1);
    if (err >= 0 && dup2(err, 2) != 2) _exit(126);
    execvp(argv[0], argv);
    _exit(127);
  }
  return pid;
}

/* The whole of a stream from its start, NUL-terminated (malloc'd). */
static char* slurp_stream(FILE* f) {
  size_t cap = 4096, len = 0, n;
  char* buf = malloc(cap);
  if (buf == NULL) runner_die("malloc");
  rewind(f);
  while ((n = fread(buf + len, 1, cap - len - 1, f)) > 0) {
    len += n;
    if (cap - len < 2) {
      cap *= 2;
      buf = realloc(buf, cap);
      if (buf == NULL) runner_die("realloc");
    }
  }
  buf[len] = '\0';
  return buf;
}

static char* slurp_path(const char* path) {
  FILE* f = fopen(path, "rb");
  char* text;
  if (f == NULL) return NULL;
  text = slurp_stream(f);
  fclose(f);
  return text;
}

/* The points of a "points" verdict: from the result file when there is
   one, else from stderr. Copies the number's text into out; 0 if absent. */
static int read_points(const char* err, const char* result, int appes,
                       char* out, size_t size) {
  const char* p = NULL;
  char* file = NULL;
  size_t n;
  int ok = 0;
  if (result != NULL) {
    file = slurp_path(result);
    if (file != NULL) {
      if (appes) {
        p = strstr(file, "points = \"");
        if (p != NULL) p += strlen("points = \"");
      } else {
        p = file;
      }
    }
  } else if (strncmp(err, "points ", 7) == 0) {
    p = err + 7;
  }
  if (p != NULL) {
    n = strspn(p, "0123456789.");
    if (n > 0 && n < size) {
      memcpy(out, p, n);
      out[n] = '\0';
      ok = 1;
    }
  }
  free(file);
  return ok;
}

/* The verdict of a helper's exit status; 0 when it is no verdict. */
static int helper_verdict(int status, const char* err, const char* result,
                          int appes, char* buf, size_t size) {
  char points[64];
  if (!WIFEXITED(status)) return 0;
  switch (WEXITSTATUS(status)) {
    case 0:
      snprintf(buf, size, "OK");
      return 1;
    case 1:
      snprintf(buf, size, "WA");
      return 1;
    case 2:
      snprintf(buf, size, "PE");
      return 1;
    case 7:
      if (read_points(err, result, appes, points, sizeof points))
        snprintf(buf, size, "POINTS %s", points);
      else
        snprintf(buf, size, "FAIL points without a value");
      return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  const char* checker = NULL;
  int a = 1, i, n = 0, nfiles, wall;
  int to_int[2], to_prog[2];
  int int_pid, prog_pid, int_status = -1, prog_status = -1, remaining = 2;
  char** int_argv;
  char** prog_argv;
  const char* result = NULL;
  int appes = 0;
  FILE* int_err;
  char* err_text;
  char verdict[128];
  char b1[32], b2[32];

  if (a + 1 < argc && strcmp(argv[a], "--checker") == 0) {
    checker = argv[a + 1];
    a += 2;
  }
  if (argc - a < 5) {
    fprintf(stderr,
            "usage: testlib_runner [--checker CHECKER] WALL INTERACTOR "
            "FILE... ; PROGRAM [ARGS...]\n");
    return 99;
  }
  wall = atoi(argv[a]);
  int_argv = calloc((size_t)argc + 1, sizeof *int_argv);
  prog_argv = calloc((size_t)argc + 1, sizeof *prog_argv);
  if (int_argv == NULL || prog_argv == NULL) runner_die("calloc");
  for (i = a + 1; i < argc && strcmp(argv[i], ";") != 0; ++i)
    int_argv[i - a - 1] = argv[i];
  nfiles = i - a - 2;
  if (nfiles >= 4) result = int_argv[4];
  if (nfiles >= 5) appes = strcmp(int_argv[5], "-appes") == 0;
  for (++i; i < argc; ++i) prog_argv[n++] = argv[i];
  if (n == 0 || nfiles < 2) return 99;

  int_err = tmpfile();
  if (int_err == NULL) runner_die("tmpfile");
  if (pipe2(to_int, O_CLOEXEC) || pipe2(to_prog, O_CLOEXEC))
    runner_die("pipe");
  int_pid = start(int_argv, to_int[0], to_prog[1], fileno(int_err));
  prog_pid = start(prog_argv, to_prog[0], to_int[1], -1);
  close(to_int[0]);
  close(to_int[1]);
  close(to_prog[0]);
  close(to_prog[1]);
  {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_alarm; /* no SA_RESTART: waitpid must return */
    sigaction(SIGALRM, &sa, NULL);
  }
  if (wall > 0) alarm((unsigned)wall);
  while (remaining > 0) {
    int status;
    int r = waitpid(-1, &status, 0);
    if (r < 0 && errno == EINTR && timed_out) {
      /* The wall limit: the program is killed; the interactor, which then
         sees the end of its input, gets as long again to finish. */
      timed_out = 0;
      if (prog_status == -1) {
        kill(prog_pid, SIGKILL);
        alarm((unsigned)wall);
      } else if (int_status == -1) {
        kill(int_pid, SIGKILL);
      }
      continue;
    }
    if (r < 0) {
      if (errno == EINTR) continue;
      runner_die("waitpid");
    }
    if (r == int_pid) int_status = status;
    if (r == prog_pid) prog_status = status;
    if (r == int_pid || r == prog_pid) --remaining;
  }
  alarm(0);
  err_text = slurp_stream(int_err);

  printf("%d %d\n", int_status, prog_status);
  fprintf(stderr, "interactor %s, program %s\n",
          runner_status_text(int_status, b1, sizeof b1),
          runner_status_text(prog_status, b2, sizeof b2));
  if (!helper_verdict(int_status, err_text, result, appes, verdict,
                      sizeof verdict)) {
    if (WIFEXITED(int_status))
      snprintf(verdict, sizeof verdict, WEXITSTATUS(int_status) == 3
                                            ? "FAIL"
                                            : "FAIL interactor exited with %d",
               WEXITSTATUS(int_status));
    else
      snprintf(verdict, sizeof verdict, "FAIL interactor crashed");
    printf("%s\n%s", verdict, err_text);
  } else if (WIFSIGNALED(prog_status) && WTERMSIG(prog_status) == SIGKILL) {
    printf("TLE\n%s", err_text);
  } else if (!WIFEXITED(prog_status) || WEXITSTATUS(prog_status) != 0) {
    printf("RE\n%s", err_text);
  } else if (checker != NULL && strcmp(verdict, "OK") == 0) {
    /* As Polygon: the checker runs only after the interactor's OK. */
    char* check_argv[5];
    int status, pid;
    FILE* check_err = tmpfile();
    char* check_text;
    if (check_err == NULL) runner_die("tmpfile");
    check_argv[0] = (char*)checker;
    check_argv[1] = int_argv[1];
    check_argv[2] = int_argv[2];
    check_argv[3] = nfiles >= 3 ? int_argv[3] : (char*)"/dev/null";
    check_argv[4] = NULL;
    {
      int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
      pid = start(check_argv, null_fd, dup(null_fd), fileno(check_err));
      close(null_fd);
    }
    while (waitpid(pid, &status, 0) < 0)
      if (errno != EINTR) runner_die("waitpid");
    check_text = slurp_stream(check_err);
    if (!helper_verdict(status, check_text, NULL, 0, verdict, sizeof verdict))
      snprintf(verdict, sizeof verdict, "FAIL checker");
    printf("%s\n%s%s", verdict, err_text, check_text);
    free(check_text);
    fclose(check_err);
  } else {
    printf("%s\n%s", verdict, err_text);
  }
  free(err_text);
  fclose(int_err);
  free(int_argv);
  free(prog_argv);
  return 0;
}
