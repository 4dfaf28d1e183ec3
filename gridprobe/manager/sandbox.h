/* sandbox.h: the bubblewrap command line that starts one run's program in
   a sandbox of its own. Building it touches nothing; sandbox_find_system
   and sandbox_find_bwrap are the only calls that look at the file system. */
#ifndef GRIDPROBE_MANAGER_SANDBOX_H
#define GRIDPROBE_MANAGER_SANDBOX_H

#include <stddef.h>
#include <sys/types.h>

/* Where the program and its private working directory appear inside. */
#define SANDBOX_PROGRAM_DIR "/program"
#define SANDBOX_WORK_DIR "/work"

/* The descriptors bwrap is handed, fixed so its arguments need no lookup. */
#define SANDBOX_STATUS_FD 4  /* bwrap writes the child's pid, then its exit */
#define SANDBOX_BLOCK_FD 5   /* the child waits here until its limits hold */
#define SANDBOX_PROGRAM_FD 6 /* the program file, opened by the manager */
#define SANDBOX_CHDIR_FD 7   /* --chdir's directory, when one is given */
#define SANDBOX_FIRST_FREE_FD 8

/* One host path the program may need to run: a directory or file bound
   read-only, or a symbolic link made again inside. */
enum sandbox_entry_kind { SANDBOX_RO_BIND, SANDBOX_SYMLINK };

struct sandbox_entry {
  enum sandbox_entry_kind kind;
  char path[64];     /* the same inside and outside */
  char target[4096]; /* SANDBOX_SYMLINK: where the link points */
};

#define SANDBOX_SYSTEM_MAX 16

struct sandbox_spec {
  const struct sandbox_entry* system;
  size_t n_system;
  const char* program_name; /* the program's base name */
  int copy_program; /* 1: a private copy the user may run; 0: bound as is */
  char* const* args;          /* the program's arguments after argv[0] */
  const char* chdir_path;     /* NULL: a private tmpfs; else this path, bound
                                 read-write from SANDBOX_CHDIR_FD */
  unsigned long long tmpfs_bytes; /* the size of each private tmpfs */
};

/* The argument vector for execve of bwrap: argv[0] is "bwrap"; everything
   lives in one allocation, freed with free(). NULL when memory runs out or
   a name does not fit. */
char** sandbox_argv(const struct sandbox_spec* spec);

/* The host's system directories (/usr, and /bin, /lib... as links or
   directories, whichever this host has) and the loader's cache. Returns how
   many entries were filled, at most max. */
size_t sandbox_find_system(struct sandbox_entry* out, size_t max);

/* bwrap's absolute path from PATH (then /usr/bin), malloc'd; NULL when it
   is not installed. */
char* sandbox_find_bwrap(void);

/* What a run may use; each limit ends the run without a verdict. */
struct sandbox_limits {
  unsigned long cpu_seconds; /* CPU time of each process */
  unsigned long mem_mib;     /* address space of each process; 0: none */
  unsigned long procs;       /* processes of the program at once */
  unsigned long fsize_mib;   /* size of any file it writes */
};

#define SANDBOX_DEFAULT_CPU 10
/* A sanitizer build's own test programs carry a runtime that reserves
   terabytes of address space: that build sets no default limit on it. */
#ifndef SANDBOX_DEFAULT_MEM
#define SANDBOX_DEFAULT_MEM 512
#endif
#define SANDBOX_DEFAULT_PROCS 64
#define SANDBOX_DEFAULT_FSIZE 64

/* One resource limit to set, soft and hard. */
struct sandbox_rlimit {
  int resource;
  unsigned long long soft, hard;
};

#define SANDBOX_RLIMITS 5

/* The resource limits that make up the limits, in the order they are set.
   extra_procs: processes besides the program's that share the count (the
   sandbox's own first process). */
void sandbox_rlimits(const struct sandbox_limits* limits,
                     unsigned long extra_procs,
                     struct sandbox_rlimit out[SANDBOX_RLIMITS]);

/* The child's pid from bwrap's first status line ("{ "child-pid": N, ...");
   0 when the text holds none. */
pid_t sandbox_child_pid(const char* status, size_t len);

/* 1 when the status text reports that the program was started and ended
   ("exit-code"), with its code in *code. */
int sandbox_exit_code(const char* status, size_t len, int* code);

#endif
