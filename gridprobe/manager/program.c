/* program.c: the program file, its copy for another user, and its start. */
#define _GNU_SOURCE
#include "program.h"

#include <errno.h>
#include <fcntl.h>
#include <dirent.h>
#include <grp.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "case_files.h"
#include "io.h"
#include "sandbox_os.h"

extern char** environ;

int find_user(const char* name, uid_t* uid, gid_t* gid) {
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

char* resolve_program(const char* name) {
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

char* copy_program(const char* name, const char* work_dir, uid_t uid,
                   gid_t gid) {
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
  to = malloc(strlen(work_dir) + strlen(base) + 2);
  if (to == NULL) {
    free(from);
    free(c.bytes);
    return NULL;
  }
  sprintf(to, "%s/%s", work_dir, base);
  fd = open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0700);
  ok = fd >= 0 && gp_write_all(fd, c.bytes, c.len) &&
       fchown(fd, uid, gid) == 0;
  if (fd >= 0 && close(fd) != 0) ok = 0;
  free(from);
  free(c.bytes);
  if (!ok) {
    free(to);
    return NULL;
  }
  return to;
}

char** clean_environment(void) {
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

/* Removes what dir_fd holds, by descriptor only: a name the program swaps
   for a link meanwhile is unlinked as a link, never followed. */
static void empty_dir(int dir_fd, int depth) {
  DIR* d = fdopendir(dir_fd);
  struct dirent* e;
  if (d == NULL) {
    close(dir_fd);
    return;
  }
  while ((e = readdir(d)) != NULL) {
    int sub;
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    if (unlinkat(dirfd(d), e->d_name, 0) == 0) continue;
    if (depth >= 4096) continue;
    sub = openat(dirfd(d), e->d_name,
                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) continue;
    empty_dir(sub, depth + 1);
    unlinkat(dirfd(d), e->d_name, AT_REMOVEDIR);
  }
  closedir(d);
}

void remove_tree(const char* dir) {
  int fd = open(dir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  empty_dir(fd, 0);
  rmdir(dir);
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

void program_start(const struct program_start* p) {
  sigset_t none;
  int err;
  int status_fd = p->status_fd;
  setpgid(0, 0);
  signal(SIGPIPE, SIG_DFL);
  signal(SIGXFSZ, SIG_DFL); /* the manager ignores it; the program not */
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, NULL);
  if (dup2(p->in_fd, 0) < 0 || dup2(p->out_fd, 1) < 0) goto failed;
  if (status_fd != 3) {
    if (dup2(status_fd, 3) < 0) goto failed;
    status_fd = 3;
  }
  fcntl(status_fd, F_SETFD, FD_CLOEXEC);
  close_from(4);
  if (chdir(p->work_dir) != 0) goto failed;
  if (p->as_user) {
    if (setgroups(0, NULL) != 0 || setgid(p->gid) != 0 || setuid(p->uid) != 0)
      goto failed;
  }
  if (p->limits != NULL && sandbox_limit_self(p->limits) != 0) goto failed;
  /* A manager killed outright takes the program with it. */
  prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
  if (getppid() != p->manager) _exit(127);
  execve(p->path, p->argv, p->env);
failed:
  err = errno;
  if (write(status_fd, &err, sizeof err) < 0) _exit(127);
  _exit(127);
}
