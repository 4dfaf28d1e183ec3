/* call_driver.c: a contestant program that makes the calls a script lists. */
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include "gridprobe.h"

/* Script lines: g | r r1 r2 c1 c2 | p a1..a8 | d (delete rods.in) |
   s (segfault) | k (SIGKILL) | e (fail to open a file, unchecked) |
   i (1 if that failure is still pending, then forget it) | l (CR LF as the
   runtime's line-break default; C has none) | u (unbuffered standard output)
   | w (print a line of its own) | c fd (close descriptor fd). Returned values
   go to argv[2], one a line. */
int main(int argc, char** argv) {
  FILE* script;
  FILE* returns;
  char cmd;
  int v[8];
  /* C keeps no pending I/O error for the library to disturb: a flag stands
     in for the one the Pascal driver holds. */
  int held = 0;
  if (argc != 3) return 2;
  script = fopen(argv[1], "r");
  returns = fopen(argv[2], "w");
  if (script == NULL || returns == NULL) return 2;
  while (fscanf(script, " %c", &cmd) == 1) {
    if (cmd == 'g') {
      fprintf(returns, "%d\n", gridsize());
    } else if (cmd == 'r') {
      if (fscanf(script, "%d %d %d %d", &v[0], &v[1], &v[2], &v[3]) != 4)
        return 2;
      fprintf(returns, "%d\n", rect(v[0], v[1], v[2], v[3]));
    } else if (cmd == 'p') {
      if (fscanf(script, "%d %d %d %d %d %d %d %d", &v[0], &v[1], &v[2], &v[3],
                 &v[4], &v[5], &v[6], &v[7]) != 8)
        return 2;
      report(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
    } else if (cmd == 'd') {
      remove("rods.in");
    } else if (cmd == 'e') {
      FILE* missing = fopen("no-such-file", "r");
      held = missing == NULL;
      if (missing != NULL) fclose(missing);
    } else if (cmd == 'i') {
      fprintf(returns, "%d\n", held);
      held = 0;
    } else if (cmd == 'l') {
      /* stdio has no line-break default for a program to change */
    } else if (cmd == 'u') {
      setvbuf(stdout, NULL, _IONBF, 0);
    } else if (cmd == 'w') {
      printf("own line\n");
    } else if (cmd == 'c') {
      if (fscanf(script, "%d", &v[0]) != 1) return 2;
      close(v[0]);
    } else if (cmd == 's') {
      raise(SIGSEGV);
    } else if (cmd == 'k') {
      kill(getpid(), SIGKILL);
    } else {
      return 2;
    }
    fflush(returns);
  }
  /* Only a program the library did not end gets here. */
  return 3;
}
