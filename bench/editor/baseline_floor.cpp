// baseline_floor.cpp: reads and parses editor.in but keeps no text; the floor.
#include "baselines.h"

int main() { return editor_bench::run_program<editor_bench::floor_editor>(); }
