/* wrong.c: reports the same two rods whatever the case. */
#include "gridprobe.h"

int main(void) {
  int n = gridsize();
  rect(1, n, 1, n);
  report(1, 1, 1, 3, 1, 1, 2, 1);
}
