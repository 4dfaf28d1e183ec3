// baseline_rope.cpp: replays editor.in on a __gnu_cxx::rope<char>.
#include "baselines.h"

int main() { return editor_bench::run_program<editor_bench::rope_editor>(); }
