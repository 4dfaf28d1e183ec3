/* call_driver.c: a contestant program that makes the calls a script lists. */
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include "gridprobe.h"

/* Script lines: g | r r1 r2 c1 c2 | p a1..a8 | d (delete rods.in) |
   s (segfault) | k (SIGKILL). Returned values go to argv[2], one a line. */
int main(int argc, char** argv) {
  FILE* script;
  FILE* returns;
  char cmd;
  int v[8];
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
