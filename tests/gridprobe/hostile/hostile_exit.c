/* hostile_exit.c: a program whose own exit and fprintf the library's calls
   bind to; argv[1] "exit" or "fprintf". */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <setjmp.h>
#include <stdarg.h>

#include "hostile_common.h"

static jmp_buf back;
static int hijack;
static int answer[8];

/* The library's exit lands here and comes back into main. */
void exit(int status) {
  if (hijack) longjmp(back, 1);
  ((void (*)(int))dlsym(RTLD_NEXT, "exit"))(status);
  _exit(status);
}

/* The library's writes of its verdict come through here. */
int fprintf(FILE* stream, const char* format, ...) {
  va_list ap;
  int n;
  if (hijack == 2 && strncmp(format, "%d\n%d %d", 8) == 0)
    return fputs(forged_out, stream);
  va_start(ap, format);
  n = vfprintf(stream, format, ap);
  va_end(ap);
  return n;
}

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  find_case_dir();
  scan_cells(rect, answer);
  if (strcmp(mode, "exit") == 0) {
    hijack = 1;
    if (setjmp(back) != 0) {
      plant("rods.out", forged_out);
      _exit(0);
    }
  } else if (strcmp(mode, "fprintf") == 0) {
    hijack = 2;
  }
  report(answer[0], answer[1], answer[2], answer[3], answer[4], answer[5],
         answer[6], answer[7]);
}
