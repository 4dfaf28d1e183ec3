/* form_run.c: runs a program on the case in the current directory. */
#include <stdio.h>

#include "forms.h"

int run_main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  fputs("gridprobe-manager: run: not built yet\n", stderr);
  return 1;
}
