/* hang.c: asks once, then never ends. */
#include "gridprobe.h"

int main(void) {
  volatile unsigned spin = 0;
  int n = gridsize();
  rect(1, n, 1, n);
  for (;;) ++spin;
}
