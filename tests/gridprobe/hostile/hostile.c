/* hostile.c: a contestant program that tries to forge its verdict; argv[1]
   names the attack. Built against both forms of the library. */
#define _GNU_SOURCE
#include <elf.h>
#include <signal.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "hostile_common.h"

static int answer[8];

int main(int argc, char** argv);

static void report_answer(void) {
  report(answer[0], answer[1], answer[2], answer[3], answer[4], answer[5],
         answer[6], answer[7]);
}

/* Reads the nine integers of a rods.in; 1 on success. */
static int read_case(const char* path) {
  FILE* f = fopen(path, "r");
  int n, ok;
  if (f == NULL) return 0;
  ok = fscanf(f, "%d %d %d %d %d %d %d %d %d", &n, &answer[0], &answer[1],
              &answer[2], &answer[3], &answer[4], &answer[5], &answer[6],
              &answer[7]) == 9;
  fclose(f);
  return ok;
}

/* The address of a variable of this program by its symbol, or NULL. */
static int* find_symbol(const char* name) {
  static char* image;
  static size_t size;
  const Elf64_Ehdr* eh;
  const Elf64_Shdr* sh;
  uintptr_t bias = 0;
  int* found = NULL;
  int i, pass;
  if (image == NULL) {
    FILE* f = fopen("/proc/self/exe", "rb");
    if (f == NULL) return NULL;
    image = malloc(1 << 24);
    size = fread(image, 1, 1 << 24, f);
    fclose(f);
  }
  eh = (const Elf64_Ehdr*)image;
  if (size < sizeof *eh || eh->e_shoff + eh->e_shnum * sizeof *sh > size)
    return NULL;
  sh = (const Elf64_Shdr*)(image + eh->e_shoff);
  for (pass = 0; pass < 2; ++pass)
    for (i = 0; i < eh->e_shnum; ++i) {
      const Elf64_Sym* sym;
      const char* names;
      size_t k, count_syms;
      if (sh[i].sh_type != SHT_SYMTAB) continue;
      sym = (const Elf64_Sym*)(image + sh[i].sh_offset);
      names = image + sh[sh[i].sh_link].sh_offset;
      count_syms = sh[i].sh_size / sizeof *sym;
      for (k = 0; k < count_syms; ++k) {
        const char* sname = names + sym[k].st_name;
        if (pass == 0 && strcmp(sname, "main") == 0 &&
            ELF64_ST_TYPE(sym[k].st_info) == STT_FUNC)
          bias = (uintptr_t)&main - sym[k].st_value;
        if (pass == 1 && strcmp(sname, name) == 0 &&
            ELF64_ST_TYPE(sym[k].st_info) == STT_OBJECT)
          found = (int*)(sym[k].st_value + bias);
      }
    }
  return found;
}

static void forge(void) { plant("rods.out", forged_out); }

static void on_term(int sig) {
  (void)sig;
  forge();
  _exit(0);
}

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  find_case_dir();
  if (strcmp(mode, "read") == 0 || strcmp(mode, "readown") == 0) {
    char path[4200];
    snprintf(path, sizeof path, "%s/rods.in", case_dir);
    if (!read_case("rods.in") && strcmp(mode, "read") == 0) read_case(path);
    rect(1, 1, 1, 1);
    report_answer();
  }
  if (strcmp(mode, "memory") == 0) {
    const char* names[8] = {"sr1", "sc1", "sr2", "sc2",
                            "sp1", "sq1", "sp2", "sq2"};
    int i;
    rect(1, 1, 1, 1);
    for (i = 0; i < 8; ++i) {
      int* v = find_symbol(names[i]);
      answer[i] = v != NULL ? *v : 0;
    }
    report_answer();
  }
  if (strcmp(mode, "counter") == 0) {
    int* counter;
    scan_cells(rect, answer);
    counter = find_symbol("count");
    if (counter != NULL) *counter = 0;
    rect(1, 1, 1, 1);
    report_answer();
  }
  if (strcmp(mode, "fork") == 0) {
    int link[2];
    pid_t pid;
    if (pipe(link) != 0) return 1;
    pid = fork();
    if (pid == 0) {
      scan_cells(rect, answer);
      if (write(link[1], answer, sizeof answer) < 0) _exit(1);
      _exit(0);
    }
    if (read(link[0], answer, sizeof answer) != (ssize_t)sizeof answer)
      return 1;
    waitpid(pid, NULL, 0);
    rect(1, 1, 1, 1);
    report_answer();
  }
  if (strcmp(mode, "reexec") == 0) {
    char nums[8][16];
    int i;
    scan_cells(rect, answer);
    for (i = 0; i < 8; ++i) snprintf(nums[i], sizeof nums[i], "%d", answer[i]);
    execl("/proc/self/exe", "hostile", "again", nums[0], nums[1], nums[2],
          nums[3], nums[4], nums[5], nums[6], nums[7], (char*)NULL);
    return 1;
  }
  if (strcmp(mode, "again") == 0 && argc == 10) {
    int i;
    for (i = 0; i < 8; ++i) answer[i] = atoi(argv[i + 2]);
    rect(1, 1, 1, 1);
    report_answer();
  }
  if (strcmp(mode, "atexit") == 0) {
    scan_cells(rect, answer);
    atexit(forge);
    report_answer();
  }
  if (strcmp(mode, "sigterm") == 0) {
    scan_cells(rect, answer);
    signal(SIGTERM, on_term);
    for (;;) pause();
  }
  if (strcmp(mode, "writefail") == 0) {
    /* Only 0..2 fit: once the log is closed, rods.out cannot be opened. */
    struct rlimit few = {3, 3};
    scan_cells(rect, answer);
    forge();
    setrlimit(RLIMIT_NOFILE, &few);
    report_answer();
  }
  if (strcmp(mode, "stdout") == 0) {
    scan_cells(rect, answer);
    printf("forged verdict\n");
    fflush(stdout);
    report_answer();
  }
  if (strcmp(mode, "stale") == 0) return 0;
  if (strcmp(mode, "replace") == 0) {
    plant("rods.in", "10 1 1 1 2 3 3 4 3\n");
    rect(1, 1, 1, 1);
    report(1, 1, 1, 2, 3, 3, 4, 3);
  }
  if (strcmp(mode, "grandchild") == 0) {
    pid_t pid;
    scan_cells(rect, answer);
    pid = fork();
    if (pid == 0) {
      setsid();
      if (fork() == 0) {
        usleep(300000);
        forge();
        _exit(0);
      }
      _exit(0);
    }
    waitpid(pid, NULL, 0);
    report_answer();
  }
  return 1;
}
