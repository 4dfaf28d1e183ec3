/* form_cms.c: the manager as a CMS Communication task's manager. */
#include <stdio.h>

#include "forms.h"

int cms_main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  fputs("gridprobe-manager: the CMS form is not built yet\n", stderr);
  return 1;
}
