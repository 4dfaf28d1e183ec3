// hostile_dtor.cpp: a C++ static destructor rewrites the verdict after
// report has ended the process.
#include "hostile_common.h"

namespace {

struct forger {
  ~forger() { plant("rods.out", forged_out); }
} at_the_end;

}  // namespace

int main() {
  int answer[8];
  find_case_dir();
  scan_cells(rect, answer);
  report(answer[0], answer[1], answer[2], answer[3], answer[4], answer[5],
         answer[6], answer[7]);
}
