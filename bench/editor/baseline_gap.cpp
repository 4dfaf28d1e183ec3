// baseline_gap.cpp: replays editor.in on a gap buffer.
#include "baselines.h"

int main() { return editor_bench::run_program<editor_bench::gap_editor>(); }
