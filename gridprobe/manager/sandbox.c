/* sandbox.c: bwrap's command line for one run, and what it reports back. */
#define _GNU_SOURCE
#include "sandbox.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

/* Two passes over the same steps: the first counts, the second writes. */
struct builder {
  char** argv; /* NULL while counting */
  char* text;
  size_t n_args, n_bytes;
};

static void add(struct builder* b, const char* s) {
  size_t len = strlen(s) + 1;
  if (b->argv != NULL) {
    memcpy(b->text + b->n_bytes, s, len);
    b->argv[b->n_args] = b->text + b->n_bytes;
  }
  b->n_args++;
  b->n_bytes += len;
}

static void add_number(struct builder* b, unsigned long long v) {
  char digits[32];
  snprintf(digits, sizeof digits, "%llu", v);
  add(b, digits);
}

static void add_fd_option(struct builder* b, const char* option, int fd) {
  add(b, option);
  add_number(b, (unsigned long long)fd);
}

static void add_tmpfs(struct builder* b, const char* where,
                      unsigned long long bytes) {
  add(b, "--size");
  add_number(b, bytes);
  add(b, "--tmpfs");
  add(b, where);
}

static void build(struct builder* b, const struct sandbox_spec* s,
                  const char* program) {
  size_t i;
  add(b, "bwrap");
  /* Every namespace bwrap has, the user namespace too: even a root
     manager's program holds no capability outside, and makes no user
     namespace of its own (whose mounts would escape every size limit). */
  add(b, "--unshare-all");
  add(b, "--unshare-user");
  add(b, "--disable-userns");
  add(b, "--die-with-parent");
  add(b, "--new-session");
  add(b, "--cap-drop");
  add(b, "ALL");
  for (i = 0; i < s->n_system; ++i) {
    const struct sandbox_entry* e = &s->system[i];
    if (e->kind == SANDBOX_SYMLINK) {
      add(b, "--symlink");
      add(b, e->target);
    } else {
      add(b, "--ro-bind-try");
      add(b, e->path);
    }
    add(b, e->path);
  }
  add(b, "--proc");
  add(b, "/proc");
  add(b, "--dev");
  add(b, "/dev");
  add_tmpfs(b, "/tmp", s->tmpfs_bytes);
  add_tmpfs(b, "/dev/shm", s->tmpfs_bytes);
  if (s->chdir_path != NULL) {
    add_fd_option(b, "--bind-fd", SANDBOX_CHDIR_FD);
    add(b, s->chdir_path);
    add(b, "--chdir");
    add(b, s->chdir_path);
  } else {
    add_tmpfs(b, SANDBOX_WORK_DIR, s->tmpfs_bytes);
    add(b, "--chdir");
    add(b, SANDBOX_WORK_DIR);
  }
  if (s->copy_program) {
    add(b, "--perms");
    add(b, "0555");
    add_fd_option(b, "--ro-bind-data", SANDBOX_PROGRAM_FD);
  } else {
    add_fd_option(b, "--ro-bind-fd", SANDBOX_PROGRAM_FD);
  }
  add(b, program);
  add_fd_option(b, "--json-status-fd", SANDBOX_STATUS_FD);
  add_fd_option(b, "--block-fd", SANDBOX_BLOCK_FD);
  add(b, "--");
  add(b, program);
  for (i = 0; s->args != NULL && s->args[i] != NULL; ++i) add(b, s->args[i]);
}

char** sandbox_argv(const struct sandbox_spec* spec) {
  struct builder b = {NULL, NULL, 0, 0};
  char program[sizeof SANDBOX_PROGRAM_DIR + NAME_MAX + 1];
  size_t table;
  if (spec->program_name == NULL || spec->program_name[0] == '\0' ||
      strchr(spec->program_name, '/') != NULL ||
      strlen(spec->program_name) > NAME_MAX)
    return NULL;
  snprintf(program, sizeof program, "%s/%s", SANDBOX_PROGRAM_DIR,
           spec->program_name);
  build(&b, spec, program);
  table = (b.n_args + 1) * sizeof(char*);
  b.argv = malloc(table + b.n_bytes);
  if (b.argv == NULL) return NULL;
  b.text = (char*)b.argv + table;
  b.n_args = b.n_bytes = 0;
  build(&b, spec, program);
  b.argv[b.n_args] = NULL;
  return b.argv;
}

size_t sandbox_find_system(struct sandbox_entry* out, size_t max) {
  /* What a compiled program and a shell need; the rest of /etc stays out. */
  static const char* const paths[] = {
      "/usr",           "/bin",         "/sbin",
      "/lib",           "/lib32",       "/lib64",
      "/libx32",        "/etc/ld.so.cache", "/etc/ld.so.conf",
      "/etc/ld.so.conf.d", "/etc/alternatives"};
  size_t n = 0, i;
  for (i = 0; i < sizeof paths / sizeof paths[0] && n < max; ++i) {
    struct sandbox_entry* e = &out[n];
    struct stat st;
    if (lstat(paths[i], &st) != 0) continue;
    memset(e, 0, sizeof *e);
    snprintf(e->path, sizeof e->path, "%s", paths[i]);
    if (S_ISLNK(st.st_mode)) {
      ssize_t len = readlink(paths[i], e->target, sizeof e->target - 1);
      if (len <= 0) continue;
      e->target[len] = '\0';
      e->kind = SANDBOX_SYMLINK;
    } else {
      e->kind = SANDBOX_RO_BIND;
    }
    ++n;
  }
  return n;
}

char* sandbox_find_bwrap(void) {
  const char* path = getenv("PATH");
  const char* p;
  if (path == NULL || path[0] == '\0') path = "/usr/bin:/bin";
  for (p = path;;) {
    const char* colon = strchr(p, ':');
    size_t dlen = colon ? (size_t)(colon - p) : strlen(p);
    if (dlen > 0 && p[0] == '/') {
      char* full = malloc(dlen + sizeof "/bwrap");
      if (full == NULL) return NULL;
      memcpy(full, p, dlen);
      memcpy(full + dlen, "/bwrap", sizeof "/bwrap");
      if (access(full, X_OK) == 0) return full;
      free(full);
    }
    if (colon == NULL) break;
    p = colon + 1;
  }
  if (access("/usr/bin/bwrap", X_OK) == 0) return strdup("/usr/bin/bwrap");
  return NULL;
}

void sandbox_rlimits(const struct sandbox_limits* limits,
                     unsigned long extra_procs,
                     struct sandbox_rlimit out[SANDBOX_RLIMITS]) {
  const unsigned long long mib = 1024ULL * 1024ULL;
  /* SIGXCPU at the limit, SIGKILL a second later for a program that
     catches it. */
  out[0].resource = RLIMIT_CPU;
  out[0].soft = limits->cpu_seconds;
  out[0].hard = limits->cpu_seconds + 1;
  out[1].resource = RLIMIT_AS;
  out[1].soft = out[1].hard =
      limits->mem_mib > 0 ? limits->mem_mib * mib : RLIM_INFINITY;
  out[2].resource = RLIMIT_NPROC;
  out[2].soft = out[2].hard = limits->procs + extra_procs;
  out[3].resource = RLIMIT_FSIZE;
  out[3].soft = out[3].hard = limits->fsize_mib * mib;
  /* A crash writes no core file: not in a --chdir directory of the judge's,
     not to a core handler outside. */
  out[4].resource = RLIMIT_CORE;
  out[4].soft = out[4].hard = 0;
}

/* The number after "\"key\":" in text, or -1. */
static long long json_number(const char* text, size_t len, const char* key) {
  size_t klen = strlen(key);
  size_t i;
  for (i = 0; i + klen + 2 < len; ++i) {
    long long v = 0;
    int digits = 0, negative = 0;
    size_t j;
    if (text[i] != '"' || memcmp(text + i + 1, key, klen) != 0 ||
        text[i + 1 + klen] != '"')
      continue;
    j = i + klen + 2;
    while (j < len && (text[j] == ' ' || text[j] == '\t')) ++j;
    if (j >= len || text[j] != ':') continue;
    ++j;
    while (j < len && (text[j] == ' ' || text[j] == '\t')) ++j;
    if (j < len && text[j] == '-') {
      negative = 1;
      ++j;
    }
    while (j < len && text[j] >= '0' && text[j] <= '9' && digits < 12) {
      v = v * 10 + (text[j] - '0');
      ++digits;
      ++j;
    }
    if (digits == 0) continue;
    return negative ? -v : v;
  }
  return -1;
}

pid_t sandbox_child_pid(const char* status, size_t len) {
  long long pid = json_number(status, len, "child-pid");
  return pid > 0 && pid <= INT_MAX ? (pid_t)pid : 0;
}

int sandbox_exit_code(const char* status, size_t len, int* code) {
  long long v = json_number(status, len, "exit-code");
  if (v < 0 || v > 255) return 0;
  *code = (int)v;
  return 1;
}
