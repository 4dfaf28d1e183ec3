/* solve.c: a C contestant program that finds both rods in under 200 queries. */
#include "gridprobe.h"

static int n;
static int top, row,
    col; /* top row of all cells; rod 1's row; rod 2's column */

/* An empty range meets nothing and must not reach rect, which refuses it. */
static int ask(int r1, int r2, int c1, int c2) {
  if (r1 > r2 || c1 > c2) return 0;
  return rect(r1, r2, c1, c2);
}

/* Smallest x in lo..hi where pred turns true; pred(hi) is known true. */
static int first_true(int lo, int hi, int (*pred)(int)) {
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (pred(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

/* Largest x in lo..hi where pred is still true; pred(lo) is known true. */
static int last_true(int lo, int hi, int (*pred)(int)) {
  while (lo < hi) {
    int mid = lo + (hi - lo + 1) / 2;
    if (pred(mid))
      lo = mid;
    else
      hi = mid - 1;
  }
  return lo;
}

static int rows_to(int x) { return ask(1, x, 1, n); }
static int rows_from(int x) { return ask(x, n, 1, n); }
static int top_row_to(int x) { return ask(top, top, 1, x); }
static int bottom_row;
static int bottom_row_to(int x) { return ask(bottom_row, bottom_row, 1, x); }
/* Rod 2 lies in column col only, so any other cell belongs to rod 1. */
static int off_col_rows_to(int x) {
  return ask(1, x, 1, col - 1) || ask(1, x, col + 1, n);
}
static int off_col_to(int x) {
  return ask(row, row, 1, x < col - 1 ? x : col - 1) ||
         (x > col && ask(row, row, col + 1, x));
}
static int off_col_from(int x) {
  return ask(row, row, x > col + 1 ? x : col + 1, n) ||
         (x < col && ask(row, row, x, col - 1));
}
static int off_row_to(int x) {
  return ask(1, x < row - 1 ? x : row - 1, col, col) ||
         (x > row && ask(row + 1, x, col, col));
}
static int off_row_from(int x) {
  return ask(x > row + 1 ? x : row + 1, n, col, col) ||
         (x < row && ask(x, row - 1, col, col));
}

/* A row with one cell lies on rod 2 alone; rod 1 gives its row two or more. */
static int single_cell_at(int r, int first) {
  return first == n || !ask(r, r, first + 1, n);
}

int main(void) {
  int first, lo1, hi1, lo2, hi2, crossing, i, j;
  n = gridsize();
  top = first_true(1, n, rows_to);
  first = first_true(1, n, top_row_to);
  if (single_cell_at(top, first)) {
    col = first;
    row = first_true(top, n, off_col_rows_to);
  } else {
    row = top;
    bottom_row = last_true(1, n, rows_from);
    col = first_true(1, n, bottom_row_to);
  }
  /* Rod 1 without column col, rod 2 without row row, and their meeting cell. */
  lo1 = first_true(1, n, off_col_to);
  hi1 = last_true(1, n, off_col_from);
  lo2 = first_true(1, n, off_row_to);
  hi2 = last_true(1, n, off_row_from);
  crossing = ask(row, row, col, col);
  /* Each rod may or may not own the meeting cell when it sits at its end;
     take the first pair of rods that rebuilds exactly the cells seen. */
  for (i = 0; i < 3; ++i) {
    int a = lo1, b = hi1;
    if (i == 1) {
      if (col != lo1 - 1) continue;
      a = col;
    } else if (i == 2) {
      if (col != hi1 + 1) continue;
      b = col;
    }
    if (b - a < 1) continue;
    for (j = 0; j < 3; ++j) {
      int p = lo2, q = hi2;
      if (j == 1) {
        if (row != lo2 - 1) continue;
        p = row;
      } else if (j == 2) {
        if (row != hi2 + 1) continue;
        q = row;
      }
      if (q - p < 1) continue;
      if (((a <= col && col <= b) || (p <= row && row <= q)) == crossing)
        report(row, a, row, b, p, col, q, col);
    }
  }
  report(row, lo1, row, hi1, lo2, col, hi2, col); /* not reached */
}
