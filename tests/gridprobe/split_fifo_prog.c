/* split_fifo_prog.c: a program that makes three calls and reports; built on
   the stub, it finds its wire wherever the stub does. */
#include <stdio.h>

#include "gridprobe.h"

int main(void) {
  int n = gridsize();
  int hit = rect(1, n, 1, n);
  printf("printed by the program\n");
  report(hit, 2, 3, 4, 5, 6, 7, 8);
}
