// baseline_string.cpp: replays editor.in on one std::string.
#include "string_editor.h"

int main() { return editor_bench::run_program<editor_bench::string_editor>(); }
