/* crash.c: asks once, then dies before it reports. */
#include <stdlib.h>

#include "gridprobe.h"

int main(void) {
  int n = gridsize();
  rect(1, n, 1, n);
  abort();
}
