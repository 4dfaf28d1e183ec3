/* main.c: gridprobe-manager picks its form from its name or arguments. */
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "forms.h"
#include "version.h"

static int is_fifo(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISFIFO(st.st_mode);
}

static int is_dir(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

/* 1 when the program was started as NAME (any directory, any ".ext"):
   judges that call a helper with fixed arguments find it by name. */
static int called(const char* argv0, const char* name) {
  const char* base = strrchr(argv0, '/');
  size_t n = strlen(name);
  base = base != NULL ? base + 1 : argv0;
  return strncmp(base, name, n) == 0 && (base[n] == '\0' || base[n] == '.');
}

static const char usage_text[] =
    "usage: gridprobe-manager run [--wall SECONDS] [--user NAME] "
    "[--chdir DIR]\n"
    "         [--cpu SECONDS] [--mem MIB] [--procs N] [--fsize MIB] "
    "[--log-limit MIB]\n"
    "         [--no-sandbox] -- PROGRAM [ARGS...]\n"
    "       gridprobe-manager check RODS_IN RODS_OUT [--full F] [--zero Z]\n"
    "       gridprobe-manager validate [FILE]\n"
    "       gridprobe-manager show RODS_IN RODS_LOG [-o FILE]\n"
    "       gridprobe-manager [--log-limit MIB] FIFO_FROM_USER FIFO_TO_USER\n"
    "       gridprobe-manager INPUT ANSWER FEEDBACK_DIR [--log-limit MIB]\n"
    "       gridprobe-interactor INPUT OUTPUT [ANSWER [RESULT]] "
    "[--log-limit MIB]\n"
    "       gridprobe-checker INPUT OUTPUT ANSWER [RESULT]\n"
    "       gridprobe-manager --help | --version\n";

static int usage(void) {
  fputs(usage_text, stderr);
  return 1;
}

int main(int argc, char** argv) {
  if (argc >= 1 && called(argv[0], "gridprobe-interactor"))
    return testlib_interactor_main(argc, argv);
  if (argc >= 1 && called(argv[0], "gridprobe-checker"))
    return testlib_checker_main(argc, argv);
  if (argc == 2 && strcmp(argv[1], "--help") == 0) {
    fputs(usage_text, stdout);
    fputs("The forms, options and exit statuses: man gridprobe-manager.\n",
          stdout);
    return fflush(stdout) == 0 ? 0 : 1;
  }
  if (argc == 2 && strcmp(argv[1], "--version") == 0) {
    printf("gridprobe-manager %s\n", JUDGEKIT_VERSION);
    return fflush(stdout) == 0 ? 0 : 1;
  }
  if (argc >= 2 && strcmp(argv[1], "run") == 0) return run_main(argc, argv);
  if (argc >= 2 && strcmp(argv[1], "check") == 0) return check_main(argc, argv);
  if (argc >= 2 && strcmp(argv[1], "validate") == 0)
    return validate_main(argc, argv);
  if (argc >= 2 && strcmp(argv[1], "show") == 0) return show_main(argc, argv);
  if (argc == 3 && is_fifo(argv[1]) && is_fifo(argv[2]))
    return cms_main(argc, argv);
  if (argc == 5 && strcmp(argv[1], "--log-limit") == 0 && is_fifo(argv[3]) &&
      is_fifo(argv[4]))
    return cms_main(argc, argv);
  if (argc >= 4 && is_dir(argv[3])) return kattis_main(argc, argv);
  return usage();
}
