// driver.h: the editor's command loop and its run over editor.in/editor.out.
#pragma once

#include <cstdint>

#include "script.h"
#include "text.h"

extern int32_t ti;  // index of the command being run
extern int32_t tn;  // commands the script announces

// The command loop over any editor with the operations a script names:
// Delete, Get, Insert, Move (each given the number), Next and Prev. Reads
// from the script as started by script_start or script_open; stops at the
// end of input; D, G, I and M without a number do nothing.
template <class Editor>
void run_script(Editor& x) {
  tn = 0;
  int32_t count = 0;
  if (read_number(count)) tn = count;
  unsigned char word = 0;
  int32_t number = 0;
  for (ti = 0; ti < tn; ++ti) {
    bool numbered;
    if (!read_command(word, number, numbered)) break;  // no stale reruns
    switch (word) {
      case 'D':
        if (numbered) x.Delete(number);
        break;
      case 'G':
        if (numbered) x.Get(number);
        break;
      case 'I':
        if (numbered) x.Insert(number);
        break;
      case 'M':
        if (numbered) x.Move(number);
        break;
      case 'N':
        x.Next();
        break;
      case 'P':
        x.Prev();
        break;
      default:
        break;
    }
  }
}

// The editor's own loop, on its block text.
void run_commands(text& x);

// The whole program around a replay: opens editor.in and checks that it can
// be read, then opens editor.out (refusing editor.in by another name), calls
// replay, and flushes and closes both. Every failure is one stderr line;
// returns the exit status.
int replay_files(void (*replay)());
