/* program.h: finding the program, its private copy, and the bare start it
   gets. Whatever isolates a run changes program_start and nothing else. */
#ifndef GRIDPROBE_MANAGER_PROGRAM_H
#define GRIDPROBE_MANAGER_PROGRAM_H

#include <sys/types.h>

struct sandbox_limits;

/* The uid and gid of a user named in the password file; 0 when none. */
int find_user(const char* name, uid_t* uid, gid_t* gid);

/* The program file as execvp would find it, as an absolute name (malloc'd),
   or NULL. */
char* resolve_program(const char* name);

/* Copies the program into work_dir, owned by uid and gid; the copy's name
   (malloc'd), or NULL. */
char* copy_program(const char* name, const char* work_dir, uid_t uid,
                   gid_t gid);

/* The environment without the judge's working directories (the strings are
   environ's; free the array only), or NULL. */
char** clean_environment(void);

/* Removes a directory and everything under it, links not followed. */
void remove_tree(const char* dir);

/* All that the program's start needs. */
struct program_start {
  const char* path;     /* the file to execute, absolute */
  char** argv;          /* its arguments, argv[0] included */
  char** env;           /* its whole environment */
  const char* work_dir; /* where it starts */
  int as_user;          /* 1: it drops to uid and gid (the manager is root) */
  uid_t uid;
  gid_t gid;
  pid_t manager;  /* its parent: were that gone, it must not start */
  int in_fd;      /* becomes its standard input: the replies */
  int out_fd;     /* becomes its standard output: the requests */
  int status_fd;  /* close-on-exec; a failed start writes its errno here */
  const struct sandbox_limits* limits; /* set on itself before it starts */
};

/* In the forked child: becomes the program, alone in a process group of its
   own, the wire on descriptors 0 and 1, standard error kept, nothing else
   open, default signals, and death when the manager dies. Never returns: a
   failed start writes errno on status_fd and exits 127. */
void program_start(const struct program_start* p) __attribute__((noreturn));

#endif
