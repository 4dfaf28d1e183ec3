// baseline_parse.cpp: the editor's own reader and command loop over a text
// that is only counted: what the editor spends outside its blocks.
#include "baselines.h"

int main() {
  return replay_files([] {
    static editor_bench::count_editor ed;
    run_script(ed);
  });
}
