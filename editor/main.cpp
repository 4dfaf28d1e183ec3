// main.cpp: the editor program: replays editor.in into editor.out.
#include "driver.h"

// Built before main opens any file, so every script starts on an empty text.
text t;

int main() {
  return replay_files([] { run_commands(t); });
}
