// solve.cpp: a C++ contestant program; finds both rods in under 200 queries.
#include <algorithm>

#include "gridprobe.h"

namespace {

int n;

// An empty range meets nothing and must not reach rect, which refuses it.
bool ask(int r1, int r2, int c1, int c2) {
  return r1 <= r2 && c1 <= c2 && rect(r1, r2, c1, c2) == 1;
}

// Smallest x in lo..hi where pred turns true; pred(hi) is known true.
template <class Pred>
int first_true(int lo, int hi, Pred pred) {
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (pred(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

// Largest x in lo..hi where pred is still true; pred(lo) is known true.
template <class Pred>
int last_true(int lo, int hi, Pred pred) {
  while (lo < hi) {
    int mid = lo + (hi - lo + 1) / 2;
    if (pred(mid))
      lo = mid;
    else
      hi = mid - 1;
  }
  return lo;
}

struct segment {
  int lo, hi;
  bool holds(int x) const { return lo <= x && x <= hi; }
};

// Each rod may or may not own the meeting cell when it sits at its end:
// the seen part, optionally stretched by one onto the meeting line.
int candidates(segment seen, int meet, segment out[3]) {
  int k = 0;
  out[k++] = seen;
  if (meet == seen.lo - 1) out[k++] = {meet, seen.hi};
  if (meet == seen.hi + 1) out[k++] = {seen.lo, meet};
  return k;
}

}  // namespace

int main() {
  n = gridsize();
  const int top = first_true(1, n, [](int x) { return ask(1, x, 1, n); });
  const int first =
      first_true(1, n, [top](int x) { return ask(top, top, 1, x); });
  int row, col;
  // A row with one cell lies on rod 2 alone; rod 1 gives its row two or more.
  if (first == n || !ask(top, top, first + 1, n)) {
    col = first;
    // Rod 2 lies in column col only, so any other cell belongs to rod 1.
    row = first_true(top, n, [col](int x) {
      return ask(1, x, 1, col - 1) || ask(1, x, col + 1, n);
    });
  } else {
    row = top;
    const int bottom = last_true(1, n, [](int x) { return ask(x, n, 1, n); });
    col =
        first_true(1, n, [bottom](int x) { return ask(bottom, bottom, 1, x); });
  }
  // Rod 1 without column col, rod 2 without row row, and their meeting cell.
  segment rod1{first_true(1, n,
                          [&](int x) {
                            return ask(row, row, 1, std::min(x, col - 1)) ||
                                   (x > col && ask(row, row, col + 1, x));
                          }),
               last_true(1, n, [&](int x) {
                 return ask(row, row, std::max(x, col + 1), n) ||
                        (x < col && ask(row, row, x, col - 1));
               })};
  segment rod2{first_true(1, n,
                          [&](int x) {
                            return ask(1, std::min(x, row - 1), col, col) ||
                                   (x > row && ask(row + 1, x, col, col));
                          }),
               last_true(1, n, [&](int x) {
                 return ask(std::max(x, row + 1), n, col, col) ||
                        (x < row && ask(x, row - 1, col, col));
               })};
  const bool crossing = ask(row, row, col, col);
  segment h[3], v[3];
  const int hn = candidates(rod1, col, h);
  const int vn = candidates(rod2, row, v);
  // The first pair of rods that rebuilds exactly the cells seen.
  for (int i = 0; i < hn; ++i)
    for (int j = 0; j < vn; ++j)
      if (h[i].hi > h[i].lo && v[j].hi > v[j].lo &&
          (h[i].holds(col) || v[j].holds(row)) == crossing)
        report(row, h[i].lo, row, h[i].hi, v[j].lo, col, v[j].hi, col);
  report(row, rod1.lo, row, rod1.hi, rod2.lo, col, rod2.hi, col);
}
