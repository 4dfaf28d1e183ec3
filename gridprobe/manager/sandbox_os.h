/* sandbox_os.h: starting a run's program in its bwrap sandbox, holding it to
   its limits, and ending it: the OS side of sandbox.h. */
#ifndef GRIDPROBE_MANAGER_SANDBOX_OS_H
#define GRIDPROBE_MANAGER_SANDBOX_OS_H

#include <sys/resource.h>
#include <sys/types.h>

#include "sandbox.h"

/* What the forked child needs to become bwrap. */
struct sandbox_exec {
  const char* bwrap;
  char** argv; /* sandbox_argv's */
  char** env;
  int in_fd, out_fd; /* the wire: the program's standard input and output */
  int errno_fd;      /* close-on-exec; a failed exec writes its errno here */
  int status_fd;     /* write end of bwrap's status pipe */
  int block_fd;      /* read end of the pipe the sandbox waits on */
  int program_fd;    /* the program file, open for reading */
  int chdir_fd;      /* --chdir's directory (O_PATH), or -1 */
  int as_user;       /* drop to uid and gid first (the manager is root) */
  uid_t uid;
  gid_t gid;
  pid_t manager;
};

/* In the forked child: becomes bwrap with the descriptors where its
   arguments say they are. Never returns. */
void sandbox_exec(const struct sandbox_exec* e) __attribute__((noreturn));

/* The manager's hold on one started sandbox. */
struct sandbox_run {
  pid_t bwrap;   /* the manager's child */
  pid_t inner;   /* the sandbox's first process, as this host numbers it */
  int status_fd; /* read end of bwrap's status pipe */
  int block_fd;  /* write end: a byte lets the sandbox go on */
  char status[1024];
  size_t status_len;
};

/* Waits for the sandbox's first process, sets the limits on it while it
   waits, then lets it go on to start the program. 0, or -1 when the sandbox
   could not be set up (bwrap has said why on standard error) or the limits
   could not be set (errno). */
int sandbox_release(struct sandbox_run* s, const struct sandbox_limits* l,
                    double timeout_seconds, int as_user, uid_t uid,
                    gid_t gid);

/* Reads what bwrap wrote since; 1 and *code when it reports the program's
   end, the program having started. */
int sandbox_program_ended(struct sandbox_run* s, int* code);

/* Sets the limits on this process (a program started without a sandbox). */
int sandbox_limit_self(const struct sandbox_limits* l);

/* CPU seconds and peak resident memory of everything reaped so far. */
struct run_usage {
  double cpu_seconds;
  long peak_kib;
};

void usage_add(struct run_usage* u, const struct rusage* ru);

/* Signals every child of this process not yet reaped (never a pid that may
   have been reused: an unreaped child keeps its pid). Returns how many. */
int signal_children(int sig);

#endif
