/* form_kattis.c: the manager as a DOMjudge/Kattis interactive validator. */
#include <stdio.h>

#include "forms.h"

int kattis_main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  fputs("gridprobe-manager: the DOMjudge/Kattis form is not built yet\n",
        stderr);
  return 1;
}
