/* cms_runner.c: runs a Communication manager and one user process the way
   CMS does, then reads the outcome as CMS reads it.

   cms_runner MODE WALL MANAGER_DIR INPUT MANAGER -- PROGRAM [ARGS...]

   Wiring: a fresh directory holds the FIFOs u0_to_m and m_to_u0 (directory
   0755, FIFOs 0666). The manager starts first, in MANAGER_DIR, as
   "MANAGER FROM_USER TO_USER" with INPUT on stdin and its stdout/stderr
   captured (MANAGER_DIR/manager.stdout, manager.stderr). MODE says how the
   user process gets the FIFOs: std_io (stdin opened on m_to_u0, then stdout
   on u0_to_m, as the sandbox opens redirections), std_io_out_first (the
   other order), or fifo_io (the paths m_to_u0 and u0_to_m as arguments).
   The user runs in a directory of its own, killed at WALL seconds.

   Output: "manager: exit N" and "user: exit N|signal N|timeout" on stderr;
   on stdout one line as CMS decides it: "failed" when the manager did not
   end with status 0 in time (CMS re-queues it as a system error),
   "user-failed" when the user did not end with status 0 (outcome 0, CMS's
   own text), else "outcome OUTCOME TEXT" with the manager's first stdout
   line (a float) and first stderr line, "translate:" texts left as sent. */
#define _GNU_SOURCE /* pipe2, before any system header */
#include <sys/stat.h>

#include "runner_util.h"

static int start_manager(const char* dir, const char* input,
                         char* const* argv) {
  int pid = fork();
  if (pid < 0) runner_die("fork");
  if (pid == 0) {
    char out[4096], err[4096];
    int in;
    if (chdir(dir) != 0) _exit(127);
    snprintf(out, sizeof out, "manager.stdout");
    snprintf(err, sizeof err, "manager.stderr");
    in = open(input, O_RDONLY);
    if (in < 0) _exit(127);
    runner_place(in, 0);
    runner_place(open(out, O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    runner_place(open(err, O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    execv(argv[0], argv);
    _exit(127);
  }
  return pid;
}

static int start_user(const char* mode, const char* dir, const char* to_user,
                      const char* from_user, char** prog, int nprog) {
  int pid = fork();
  if (pid < 0) runner_die("fork");
  if (pid == 0) {
    char** argv = calloc((size_t)nprog + 3, sizeof *argv);
    int i, n = 0;
    if (chdir(dir) != 0) _exit(127);
    for (i = 0; i < nprog; ++i) argv[n++] = prog[i];
    if (strcmp(mode, "fifo_io") == 0) {
      argv[n++] = (char*)to_user;
      argv[n++] = (char*)from_user;
    } else if (strcmp(mode, "std_io_out_first") == 0) {
      runner_place(open(from_user, O_WRONLY), 1);
      runner_place(open(to_user, O_RDONLY), 0);
    } else {
      runner_place(open(to_user, O_RDONLY), 0);
      runner_place(open(from_user, O_WRONLY), 1);
    }
    execv(argv[0], argv);
    _exit(127);
  }
  return pid;
}

/* The first line of a file, its line end and outer blanks removed. */
static void first_line(const char* path, char* buf, size_t size) {
  FILE* f = fopen(path, "r");
  size_t n;
  char* p;
  buf[0] = '\0';
  if (f == NULL) return;
  if (fgets(buf, (int)size, f) == NULL) buf[0] = '\0';
  fclose(f);
  n = strcspn(buf, "\n");
  buf[n] = '\0';
  while (n > 0 && (buf[n - 1] == ' ' || buf[n - 1] == '\r')) buf[--n] = '\0';
  for (p = buf; *p == ' '; ++p) {
  }
  memmove(buf, p, strlen(p) + 1);
}

int main(int argc, char** argv) {
  char fifo_dir[] = "/tmp/cms-runner-XXXXXX";
  char from_user[256], to_user[256];
  char user_dir[] = "/tmp/cms-user-XXXXXX";
  char* manager_argv[8];
  int mgr, user, mgr_status = -1, user_status = -1, user_timeout = 0;
  int wall, dash = 6, m = 0, i;
  long long start, user_deadline, mgr_deadline;
  char b[32];
  /* Options for the manager may come between it and "--": a judge's
     wrapper script would pass them. */
  while (dash < argc && dash < 9 && strcmp(argv[dash], "--") != 0) ++dash;
  if (argc < dash + 2 || strcmp(argv[dash], "--") != 0) {
    fprintf(stderr,
            "usage: cms_runner MODE WALL MANAGER_DIR INPUT MANAGER "
            "[OPTIONS...] -- PROGRAM [ARGS...]\n");
    return 99;
  }
  wall = atoi(argv[2]);
  if (mkdtemp(fifo_dir) == NULL || mkdtemp(user_dir) == NULL)
    runner_die("mkdtemp");
  snprintf(from_user, sizeof from_user, "%s/u0_to_m", fifo_dir);
  snprintf(to_user, sizeof to_user, "%s/m_to_u0", fifo_dir);
  if (mkfifo(from_user, 0666) || mkfifo(to_user, 0666)) runner_die("mkfifo");
  chmod(fifo_dir, 0755);
  chmod(from_user, 0666);
  chmod(to_user, 0666);

  for (i = 5; i < dash; ++i) manager_argv[m++] = argv[i];
  manager_argv[m++] = from_user;
  manager_argv[m++] = to_user;
  manager_argv[m] = NULL;
  mgr = start_manager(argv[3], argv[4], manager_argv);
  user = start_user(argv[1], user_dir, to_user, from_user, argv + dash + 1,
                    argc - dash - 1);
  start = runner_now_ms();
  user_deadline = start + 1000LL * wall;
  /* The manager's own limit is larger than the user's, as CMS sets it. */
  mgr_deadline = start + 1000LL * (2 * wall + 1);

  while (mgr > 0 || user > 0) {
    int status;
    int pid = waitpid(-1, &status, WNOHANG);
    if (pid == mgr) {
      mgr_status = status;
      mgr = 0;
    } else if (pid == user) {
      user_status = status;
      user = 0;
    } else if (pid == 0) {
      long long now = runner_now_ms();
      if (user > 0 && now > user_deadline) {
        user_timeout = 1;
        kill(user, SIGKILL);
      }
      if (mgr > 0 && now > mgr_deadline) kill(mgr, SIGKILL);
      usleep(2000);
    } else if (pid < 0 && errno != EINTR) {
      break;
    }
  }
  unlink(from_user);
  unlink(to_user);
  rmdir(fifo_dir);
  {
    char cmd[300];
    snprintf(cmd, sizeof cmd, "rm -rf '%s'", user_dir);
    if (system(cmd) != 0) {
    }
  }

  fprintf(stderr, "manager: %s\n", runner_status_text(mgr_status, b, sizeof b));
  fprintf(
      stderr, "user: %s\n",
      user_timeout ? "timeout" : runner_status_text(user_status, b, sizeof b));
  if (!WIFEXITED(mgr_status) || WEXITSTATUS(mgr_status) != 0) {
    printf("failed\n");
  } else if (user_timeout || !WIFEXITED(user_status) ||
             WEXITSTATUS(user_status) != 0) {
    printf("user-failed\n");
  } else {
    char path[4096], outcome[256], text[1024];
    snprintf(path, sizeof path, "%s/manager.stdout", argv[3]);
    first_line(path, outcome, sizeof outcome);
    snprintf(path, sizeof path, "%s/manager.stderr", argv[3]);
    first_line(path, text, sizeof text);
    printf("outcome %s %s\n", outcome, text);
  }
  return 0;
}
